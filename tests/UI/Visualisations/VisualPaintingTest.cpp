#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using namespace fernwick::ui;

namespace {

// Rectangles as the treemap makes them: fractional, on half pixels, on 1/64 pixels (the raster
// engine's own grid), and some running off the image.
QRectF randomRect(std::mt19937& random, int index) {
    std::uniform_real_distribution<double> position(-4, 40);
    std::uniform_real_distribution<double> extent(0.05, 24);
    QRectF rect(position(random), position(random), extent(random), extent(random));
    const double grid = index % 3 == 0 ? 2 : index % 3 == 1 ? 64 : 0;
    if (grid > 0) {
        rect =
            QRectF(std::round(rect.x() * grid) / grid, std::round(rect.y() * grid) / grid,
                   std::round(rect.width() * grid) / grid, std::round(rect.height() * grid) / grid);
    }
    return rect;
}

QImage canvas(QColor background) {
    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    return image;
}

} // namespace

class VisualPaintingTest : public QObject {
    Q_OBJECT
private slots:
    // Filling the outline pieces, or writing them straight into the image, gives exactly the
    // pixels of a hairline pen stroking the rectangle (over an opaque or a translucent
    // background, with a translucent black or coloured pen, after a fill or alone); rectangles
    // too thin for the pieces are left to the painter and still come out the same.
    void hairlineOutlinesMatchAStrokedRectangle() {
        std::mt19937 random(17);
        int pieced = 0;
        int refused = 0;
        for (int i = 0; i < 3000; ++i) {
            const QRectF rect = randomRect(random, i);
            const QColor background =
                i % 4 == 0 ? QColor(Qt::transparent) : QColor::fromRgb(random() % 256, 90, 200);
            QColor pen = QColor::fromRgbF(0, 0, 0, 0.25f);
            if (i % 2 == 1) {
                pen = QColor::fromRgb(random() % 256, random() % 256, random() % 256);
                pen.setAlphaF(0.85f);
            }
            const QColor fill = i % 5 == 0 ? QColor(Qt::transparent) : QColor(40, 160, 90);

            QImage expected = canvas(background);
            {
                QPainter painter(&expected);
                painter.setPen(QPen(pen, 0));
                painter.setBrush(fill);
                painter.drawRect(rect);
            }
            QImage pieces = canvas(background);
            QImage written = canvas(background);
            std::vector<QRect> outline;
            const bool accepted = appendHairlineOutline(rect, expected.rect(), outline);
            std::vector<QRectF> left{rect};
            {
                QPainter painter(&written);
                painter.setPen(Qt::NoPen);
                painter.setBrush(fill);
                painter.drawRect(rect);
            }
            strokeHairlines(written, left, pen);
            QCOMPARE(left.empty(), accepted);
            if (!accepted) {
                ++refused;
                QVERIFY(outline.empty());
                continue;
            }
            ++pieced;
            QCOMPARE(outline.size(), std::size_t{4});
            {
                QPainter painter(&pieces);
                painter.setPen(Qt::NoPen);
                painter.setBrush(fill);
                painter.drawRect(rect);
                painter.setBrush(pen);
                painter.drawRects(outline.data(), static_cast<int>(outline.size()));
            }
            if (pieces != expected || written != expected) {
                QFAIL(qPrintable(QStringLiteral("rectangle %1 %2 %3 %4 differs")
                                     .arg(rect.x())
                                     .arg(rect.y())
                                     .arg(rect.width())
                                     .arg(rect.height())));
            }
        }
        QVERIFY(pieced > 1200);
        QVERIFY(refused > 600);
    }

    // Nothing is drawn for what cannot be placed, and an image of another format is left to the
    // painter whole.
    void unusableInputIsLeftAlone() {
        std::vector<QRect> outline;
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const QRect bounds(0, 0, 100, 100);
        QVERIFY(!appendHairlineOutline(QRectF(nan, 0, 10, 10), bounds, outline));
        QVERIFY(!appendHairlineOutline(QRectF(0, 0, std::numeric_limits<double>::infinity(), 5),
                                       bounds, outline));
        QVERIFY(!appendHairlineOutline(QRectF(1e300, 0, 10, 10), bounds, outline));
        QVERIFY(!appendHairlineOutline(QRectF(3.2, 3.2, 1.5, 9), bounds, outline));
        QVERIFY(!appendHairlineOutline(QRectF(95.5, 3, 4.5, 9), bounds, outline));
        QVERIFY(outline.empty());

        QImage rgb(16, 16, QImage::Format_RGB32);
        rgb.fill(Qt::white);
        std::vector<QRectF> rects{QRectF(2, 2, 8, 8), QRectF(4, 4, 6, 6)};
        strokeHairlines(rgb, rects, Qt::black);
        QCOMPARE(rects.size(), std::size_t{2});
        QCOMPARE(rgb.pixelColor(2, 2), QColor(Qt::white));
    }
};

QTEST_MAIN(VisualPaintingTest)
#include "VisualPaintingTest.moc"
