#include "FernwickUI/MainWindow/CrumbTrail.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/Palette.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>

using namespace fernwick::ui;

namespace {

// Whether every pixel of column `x` of `image`, between the crumbs' top and bottom, is `colour`.
bool columnIs(const QImage& image, int x, const QColor& colour) {
    for (int y = 2; y < image.height() - 2; ++y) {
        const QColor pixel = image.pixelColor(x, y);
        if (std::abs(pixel.red() - colour.red()) > 2 ||
            std::abs(pixel.green() - colour.green()) > 2 ||
            std::abs(pixel.blue() - colour.blue()) > 2) {
            return false;
        }
    }
    return true;
}

// Whether something is drawn in columns `from` to `to`.
bool anyInk(const QImage& image, int from, int to, const QColor& background) {
    for (int x = from; x <= to; ++x) {
        if (!columnIs(image, x, background)) {
            return true;
        }
    }
    return false;
}

} // namespace

class CrumbTrailTest : public QObject {
    Q_OBJECT

private slots:
    // A mouse's vertical wheel scrolls the trail as a horizontal wheel does: turned up towards
    // its start, turned down back towards its end.
    void bothWheelsScrollTheTrail() {
        CrumbTrail trail;
        trail.setTrail(std::vector<QString>(12, QStringLiteral("Folder-with-a-long-name")));
        trail.resize(200, trail.height());
        trail.show();
        QScrollBar* bar = trail.horizontalScrollBar();
        const auto turn = [&](QPoint delta) {
            const QPointF at(10, 5);
            QWheelEvent event(at, at, QPoint(), delta, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(trail.viewport(), &event);
            return bar->value();
        };
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const int up = turn(QPoint(0, 120));
        QVERIFY(up < bar->maximum());
        QVERIFY(turn(QPoint(0, -120)) > up);
        QVERIFY(turn(QPoint(120, 0)) < bar->maximum());
    }

    // Scrolled, the trail fades into the header's background at each edge where it goes on,
    // so that a crumb cut there reads as continued; an edge where the trail ends shows its
    // crumb as drawn.
    void theTrailFadesWhereItGoesOn() {
        QWidget header;
        setBackground(&header, Palette::chromeBackground());
        auto* trail = new CrumbTrail(&header);
        trail->setTrail(std::vector<QString>(8, QStringLiteral("Northwind-Traders-Records")));
        trail->setGeometry(0, 0, 220, trail->height());
        header.resize(220, trail->height());
        header.show();
        QScrollBar* bar = trail->horizontalScrollBar();
        const QColor background = Palette::chromeBackground();
        const int right = trail->width() - 2;
        const auto at = [&](int value) {
            bar->setValue(value);
            return header.grab().toImage().convertToFormat(QImage::Format_RGB32);
        };
        // Scrolled so that the left edge lies inside a crumb.
        StyledButton* middle = trail->crumbs()[3];
        const int inside = middle->x() + middle->width() / 2;
        QVERIFY(inside > 0 && inside < bar->maximum());
        QImage image = at(inside);
        QVERIFY(columnIs(image, 0, background));
        QVERIFY(columnIs(image, right, background));
        QVERIFY(anyInk(image, 40, 80, background)); // the crumbs' letters past the fade

        image = at(bar->maximum()); // the end: the last crumb drawn to its edge
        QVERIFY(columnIs(image, 0, background));
        QVERIFY(!columnIs(image, right, background));
        image = at(0); // the start: the house crumb whole, more to the right
        QVERIFY(anyInk(image, 0, 14, background));
        QVERIFY(columnIs(image, right, background));

        // At its narrowest, scrolled to its end, the trail shows its last crumb whole past the
        // fade, which lies over what comes before.
        trail->setGeometry(0, 0, trail->minimumSizeHint().width(), trail->height());
        QCOMPARE(bar->value(), bar->maximum());
        image = header.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(columnIs(image, 0, background));
        QVERIFY(trail->crumbs().back()->mapTo(trail, QPoint()).x() >= CrumbTrail::kFadeWidth);

        // A trail that fits has no fade.
        trail->setTrail({QStringLiteral("home"), QStringLiteral("Docs")});
        image = header.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(bar->maximum(), 0);
        QVERIFY(anyInk(image, 0, 14, background));
    }
};

QTEST_MAIN(CrumbTrailTest)
#include "CrumbTrailTest.moc"
