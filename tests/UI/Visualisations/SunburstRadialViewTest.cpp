#include "FernwickUI/Visualisations/SunburstRadialView.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Visualisations/SunburstLayout.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <numbers>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;

namespace {

constexpr double kPi = std::numbers::pi;
const SunburstLayout::Frame kFrame{500, 350, 84, 189, 294};

bool close(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

} // namespace

class SunburstRadialViewTest : public QObject {
    Q_OBJECT
private slots:
    void frameFollowsTheShorterSide() {
        const auto frame = SunburstLayout::frameFor(1000, 700);
        QCOMPARE(frame.centerX, 500.0);
        QCOMPARE(frame.centerY, 350.0);
        QCOMPARE(frame.r0, 84.0);
        QCOMPARE(frame.r1, 189.0);
        QCOMPARE(frame.r2, 294.0);
        const auto small = SunburstLayout::frameFor(250, 250);
        QCOMPARE(small.r0, 38.0);
        QCOMPARE(small.r1, 75.0);
        QCOMPARE(small.r2, 115.0);
    }

    void anglesRunClockwiseFromThreeOClock() {
        QCOMPARE(SunburstLayout::angleOf(1, 0), 0.0);
        QVERIFY(close(SunburstLayout::angleOf(0, 1), kPi / 2)); // below the centre
        QVERIFY(close(SunburstLayout::angleOf(-1, 0), kPi));
        QVERIFY(close(SunburstLayout::angleOf(0, -1), 3 * kPi / 2)); // above the centre
        // Qt counts counter-clockwise: a quarter turn clockwise is -90 degrees.
        QCOMPARE(SunburstLayout::toQtDegrees(kPi / 2), -90.0);
        QCOMPARE(SunburstLayout::toQtDegrees(0), -0.0);
    }

    void innerSectorsAreSharesOfTheTurnLargestFirst() {
        const auto root = makeFolder("/r", {makeFile("/r/c", 20), makeFile("/r/a", 50),
                                            makeFile("/r/zero", 0), makeFile("/r/b", 30)});
        const auto layout = SunburstLayout::compute(root, kFrame);
        const auto& s = layout.sectors();
        QCOMPARE(s.size(), std::size_t{3});
        QCOMPARE(s[0].node->name(), std::string("a"));
        QCOMPARE(s[0].startAngle, 0.0);
        QVERIFY(close(s[0].endAngle, kPi));
        QVERIFY(close(s[1].startAngle, kPi));
        QVERIFY(close(s[1].endAngle, 1.6 * kPi));
        QVERIFY(close(s[2].endAngle, 2 * kPi));
        QCOMPARE(s[0].innerRadius, 84.0);
        QCOMPARE(s[0].outerRadius, 189.0);
        QCOMPARE(s[0].colourOpacity, 1.0);

        // Below the centre lies a quarter turn clockwise: the first sector; above the centre,
        // three quarters: the second.
        QCOMPARE(layout.sectorAt(500, 350 + 120), 0);
        QCOMPARE(layout.sectorAt(500, 350 - 120), 1);
        // Exactly on the boundary at nine o'clock: the sector listed first.
        QCOMPARE(layout.sectorAt(500 - 120, 350), 0);
        // Inside the disc, beyond the rings, in the gap between them.
        QCOMPARE(layout.sectorAt(500, 350 + 50), -1);
        QCOMPARE(layout.sectorAt(500, 350 + 300), -1);
        QCOMPARE(layout.sectorAt(500, 350 + 190.5), -1);
    }

    void aSingleChildFillsTheTurnAndTinyOnesLeaveAGap() {
        const auto one = SunburstLayout::compute(makeFolder("/r", {makeFile("/r/a", 7)}), kFrame);
        QCOMPARE(one.sectors().size(), std::size_t{1});
        QVERIFY(close(one.sectors()[0].endAngle, 2 * kPi));

        // 1 of 1000 is 0.00628 rad, under 0.03: no sector, and none for anything smaller.
        const auto gap = SunburstLayout::compute(
            makeFolder("/r", {makeFile("/r/a", 997), makeFile("/r/b", 2), makeFile("/r/c", 1)}),
            kFrame);
        QCOMPARE(gap.sectors().size(), std::size_t{1});
        QVERIFY(gap.sectors()[0].endAngle < 2 * kPi);
        QCOMPARE(gap.sectorAt(500 + 120, 350 - 1), -1); // just before three o'clock
    }

    void outerRingShowsEightLargestInTheParentsColour() {
        std::vector<DiskNodePtr> grandchildren;
        for (int i = 0; i < 10; ++i) {
            grandchildren.push_back(makeFile("/r/d/g" + std::to_string(i), 10));
        }
        const auto folder = makeFolder("/r/d", grandchildren, StorageCategory::caches);
        const auto emptyFolder = makeFolder("/r/e", {});
        test::writable(emptyFolder->size) = 100;
        const auto root = makeFolder("/r", {folder, makeFile("/r/f", 100), emptyFolder});
        const auto layout = SunburstLayout::compute(root, kFrame);
        const auto& s = layout.sectors();
        // folder (100), its 8 grandchildren, then the file, then the childless folder.
        QCOMPARE(s.size(), std::size_t{1 + 8 + 1 + 1});
        QCOMPARE(s[0].node, folder);
        const double folderSweep = s[0].endAngle - s[0].startAngle;
        QCOMPARE(s[1].startAngle, s[0].startAngle);
        QVERIFY(close(s[1].endAngle - s[1].startAngle, folderSweep / 10));
        QVERIFY(close(s[8].endAngle, s[0].startAngle + folderSweep * 0.8)); // stops short
        QCOMPARE(s[1].innerRadius, 189.0 + 3);
        QCOMPARE(s[1].outerRadius, 294.0);
        QCOMPARE(s[1].colourCategory, StorageCategory::caches);
        QCOMPARE(s[1].colourOpacity, 0.75);
        QCOMPARE(s[9].node->name(), std::string("f"));
        QCOMPARE(s[10].node, emptyFolder);
        // Beyond the eighth grandchild the outer ring is empty.
        const double angle = s[0].startAngle + folderSweep * 0.9;
        QCOMPARE(layout.sectorAt(500 + 250 * std::cos(angle), 350 + 250 * std::sin(angle)), -1);
    }

    void nothingToDrawForEmptyOrZeroSizedChildren() {
        QVERIFY(SunburstLayout::compute(makeFolder("/r", {}), kFrame).sectors().empty());
        QVERIFY(SunburstLayout::compute(makeFolder("/r", {makeFile("/r/a", 0)}), kFrame)
                    .sectors()
                    .empty());
        QVERIFY(SunburstLayout::compute(nullptr, kFrame).sectors().empty());
    }

    void hoverHighlightsAndShowsTheCard() {
        SunburstRadialView view;
        view.resize(1000, 700);
        const auto folder =
            makeFolder("/r/d", {makeFile("/r/d/x", 50)}, StorageCategory::developerData);
        const auto file = makeFile("/r/f", 50, StorageCategory::videos);
        view.setRoot(makeFolder("/r", {folder, file}));
        const QPoint inFolder(500, 350 + 130); // below the centre: the first half turn
        const QColor before = fernwick::test::render(view).pixelColor(inFolder);
        const QColor colour = FernwickTheme::color(StorageCategory::developerData);
        QVERIFY(
            fernwick::test::near(before,
                                 QColor::fromRgbF(colour.redF() * 0.65f, colour.greenF() * 0.65f,
                                                  colour.blueF() * 0.65f),
                                 8));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTest::mouseMove(&view, inFolder);
        QTRY_COMPARE(view.hoveredSectorNode(), folder);
        const QImage hovered = fernwick::test::render(view);
        QVERIFY(hovered.pixelColor(inFolder).green() > before.green());
        const QRectF card = view.hoverCardRect();
        QCOMPARE(card, QRectF(24, 700 - 12 - 45, 952, 45));
        QVERIFY(
            fernwick::test::near(hovered.pixelColor(int(card.center().x()), int(card.top() + 3)),
                                 QColor(20, 23, 31), 8));
        QTest::mouseMove(&view, QPoint(500, 350)); // onto the disc
        QTRY_VERIFY(!view.hoveredSectorNode());
    }

    // The kept picture, drawn again only around the sectors and the card a hover changes, equals
    // a plain whole draw at rest, with an inner and an outer sector hovered, on the disc and after.
    void framesEqualAPlainWholeDraw() {
        for (const int count : {100, 1000}) {
            SunburstRadialView view;
            view.resize(1000, 700);
            view.setRoot(fernwick::test::wideFolder(count));
            const auto& sectors = view.layout().sectors();
            QVERIFY(sectors.size() > 3);
            const auto& frame = view.layout().frame();
            std::vector<QPointF> points;
            for (const std::size_t i : {std::size_t{0}, std::size_t{1}, sectors.size() - 1}) {
                const auto& sector = sectors[i];
                const double angle = (sector.startAngle + sector.endAngle) / 2;
                const double radius = (sector.innerRadius + sector.outerRadius) / 2;
                points.emplace_back(frame.centerX + radius * std::cos(angle),
                                    frame.centerY + radius * std::sin(angle));
            }
            points.emplace_back(frame.centerX, frame.centerY);
            points.push_back(points.front());
            fernwick::test::checkFramesEqualPlainDraw(view, points);
            QVERIFY2(!QTest::currentTestFailed(), qPrintable(QString::number(count)));
        }
    }

    // A long name wraps inside the card, which grows by its lines: the name's end is drawn on
    // the lines below the first, none of it cut off.
    void theHoverCardWrapsALongName() {
        SunburstRadialView view;
        view.resize(1000, 700);
        const QString word = QString(60, QLatin1Char('w'));
        const auto file = makeFile("/r/" + (word + " " + word + " " + word).toStdString(), 50);
        view.setRoot(makeFolder("/r", {file}));
        fernwick::test::render(view); // delivers the pending resize first
        fernwick::test::movePointer(view, QPointF(500, 350 + 130));
        QCOMPARE(view.hoveredSectorNode(), file);
        const QRectF card = view.hoverCardRect();
        QVERIFY(card.height() >= 45 + 2 * 15); // three lines at least
        QCOMPARE(card.bottom(), 700.0 - 12);
        const QImage image = fernwick::test::render(view);
        // White strokes of the name on its third line.
        int white = 0;
        for (int y = int(card.top() + 8 + 30); y < int(card.top() + 8 + 45); ++y) {
            for (int x = int(card.left() + 50); x < int(card.left() + 300); ++x) {
                white += image.pixelColor(x, y).value() > 200;
            }
        }
        QVERIFY(white > 20);
    }

    void clicksSelectAndDoubleClicksDrillIntoFolders() {
        SunburstRadialView view;
        view.resize(1000, 700);
        const auto folder = makeFolder("/r/d", {makeFile("/r/d/x", 50)});
        const auto file = makeFile("/r/f", 50);
        view.setRoot(makeFolder("/r", {folder, file}));
        const QPoint inFolder(500, 350 + 130);
        const QPoint inFile(500, 350 - 130);
        fernwick::test::checkClicks(view, inFile, file, inFolder, folder, QPoint(500, 350));
        QVERIFY(!QTest::currentTestFailed());
        fernwick::test::checkDoubleClickFirst(view, inFile, file, inFolder, folder);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!view.contextMenuAt(inFolder));
    }
};

QTEST_MAIN(SunburstRadialViewTest)
#include "SunburstRadialViewTest.moc"
