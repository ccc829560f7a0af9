#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

using namespace fernwick::ui;

class VisualPaintingTest : public QObject {
    Q_OBJECT
private slots:
    // Filled outline pieces and pixels written straight into the image equal QPainter's hairline
    // stroke exactly, for fractional, half-pixel and 1/64-pixel rectangles over opaque or clear
    // backgrounds with translucent pens; thin or off-image rectangles are left to the painter.
    void hairlineOutlinesMatchAStrokedRectangle() {
        std::mt19937 random(17);
        std::uniform_real_distribution<double> at(-4, 40);
        std::uniform_real_distribution<double> extent(0.05, 24);
        int pieced = 0;
        for (int i = 0; i < 3000; ++i) {
            const double grid = i % 3 == 0 ? 2 : i % 3 == 1 ? 64 : 1e9;
            const auto snap = [grid](double v) { return std::round(v * grid) / grid; };
            const QRectF rect(snap(at(random)), snap(at(random)), snap(extent(random)),
                              snap(extent(random)));
            QColor pen = i % 2 ? QColor::fromRgb(random() % 256, 40, 200) : QColor(Qt::black);
            pen.setAlphaF(i % 2 ? 0.85f : 0.25f);
            QImage expected(48, 48, QImage::Format_ARGB32_Premultiplied);
            expected.fill(i % 4 ? QColor::fromRgb(random() % 256, 90, 200) : Qt::transparent);
            // A fill under the outline, as the painter draws a brush before its pen.
            const QColor fill = i % 5 ? QColor(40, 160, 90) : QColor(Qt::transparent);
            QImage pieces = expected;
            {
                QPainter painter(&pieces);
                painter.setPen(Qt::NoPen);
                painter.setBrush(fill);
                painter.drawRect(rect);
            }
            QImage written = pieces;
            std::vector<QRect> outline;
            const bool accepted = appendHairlineOutline(rect, expected.rect(), outline);
            {
                QPainter painter(&expected);
                painter.setPen(QPen(pen, 0));
                painter.setBrush(fill);
                painter.drawRect(rect);
            }
            std::vector<QRectF> left{rect};
            strokeHairlines(written, left, pen);
            QCOMPARE(left.empty(), accepted);
            QCOMPARE(outline.size(), accepted ? std::size_t{4} : std::size_t{0});
            if (accepted) {
                ++pieced;
                QPainter painter(&pieces);
                painter.setPen(Qt::NoPen);
                painter.setBrush(pen);
                painter.drawRects(outline.data(), static_cast<int>(outline.size()));
                painter.end();
                QVERIFY2(pieces == expected && written == expected,
                         qPrintable(QStringLiteral("%1 %2 %3 %4")
                                        .arg(rect.x())
                                        .arg(rect.y())
                                        .arg(rect.width())
                                        .arg(rect.height())));
            }
        }
        QVERIFY(pieced > 1200 && pieced < 2400);

        const double nan = std::numeric_limits<double>::quiet_NaN();
        const QRect bounds(0, 0, 100, 100);
        std::vector<QRect> outline;
        for (const QRectF& bad : {QRectF(nan, 0, 10, 10), QRectF(1e300, 0, 10, 10),
                                  QRectF(0, 0, std::numeric_limits<double>::infinity(), 5)}) {
            QVERIFY(!appendHairlineOutline(bad, bounds, outline));
        }
        QVERIFY(outline.empty());
    }
};

QTEST_MAIN(VisualPaintingTest)
#include "VisualPaintingTest.moc"
