#include "FernwickUI/Visualisations/BubbleNodeView.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Visualisations/BubbleLayout.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;

class BubbleNodeViewTest : public QObject {
    Q_OBJECT
private slots:
    void diameterGrowsWithTheSquareRootOfTheShare() {
        QCOMPARE(BubbleLayout::diameter(100, 100), 160.0);
        QCOMPARE(BubbleLayout::diameter(25, 100), 117.5);
        QVERIFY(BubbleLayout::isLarge(117.5));
        QVERIFY(std::abs(BubbleLayout::diameter(10, 100) - 101.88) < 0.01);
        QVERIFY(!BubbleLayout::isLarge(BubbleLayout::diameter(10, 100)));
        QCOMPARE(BubbleLayout::diameter(0, 100), 75.0);
        QCOMPARE(BubbleLayout::diameter(-3, 100), 75.0);
        QCOMPARE(BubbleLayout::diameter(5, 0), 80.0);
        QVERIFY(!BubbleLayout::isLarge(110.0));
        QVERIFY(BubbleLayout::isLarge(110.01));
    }

    void keepsTheThirtyLargestInRowsAsHighAsTheirLargestBubble() {
        const auto root =
            fernwick::test::makeFolderOfFiles("/r", 45, [](int i) { return 1000 - i * 10; });
        const auto layout =
            BubbleLayout::compute(root, 600); // 568 available: four columns of 131.5
        QCOMPARE(layout.bubbles().size(), std::size_t{30});
        QCOMPARE(layout.bubbles().front().node->name(), std::string("f0"));
        QCOMPARE(layout.bubbles().back().node->name(), std::string("f29"));
        const auto& first = layout.bubbles()[0];
        QCOMPARE(first.diameter, 160.0);
        QCOMPARE(first.centerY, 16.0 + 80);
        QCOMPARE(first.centerX, 16 + 131.5 / 2);
        QCOMPARE(layout.bubbles()[1].centerX, 16 + 131.5 + 14 + 131.5 / 2);
        const auto& fourth = layout.bubbles()[4]; // second row
        const double rowOneHeight = 160;
        QCOMPARE(fourth.centerY, 16 + rowOneHeight + 14 + fourth.diameter / 2);
        QVERIFY(!first.showsItemCount); // a file
        // Hit area: the circle, not the square cell around it.
        QCOMPARE(layout.bubbleAt(first.centerX, first.centerY + 79), 0);
        QCOMPARE(layout.bubbleAt(first.centerX + 75, first.centerY + 75), -1);
    }

    void onlyLargeFolderBubblesShowTheItemCount() {
        const auto big = makeFolder("/r/big", {makeFile("/r/big/a", 100)});
        const auto small = makeFolder("/r/small", {makeFile("/r/small/a", 5)});
        const auto layout =
            BubbleLayout::compute(makeFolder("/r", {small, big, makeFile("/r/f", 90)}), 800);
        QVERIFY(layout.bubbles()[0].showsItemCount);
        QVERIFY(!layout.bubbles()[1].showsItemCount); // a large file
        QVERIFY(!layout.bubbles()[2].isLarge);
        QVERIFY(!layout.bubbles()[2].showsItemCount);
    }

    void menusClicksAndDoubleClicks() {
        BubbleNodeView view;
        view.resize(600, 400);
        const auto folder = makeFolder("/r/d", {makeFile("/r/d/x", 100)});
        const auto file = makeFile("/r/f", 50);
        view.setRoot(makeFolder("/r", {file, folder}));
        const auto& bubbles = view.layout().bubbles();
        const QPoint onFolder(int(bubbles[0].centerX), int(bubbles[0].centerY));
        const QPoint onFile(int(bubbles[1].centerX), int(bubbles[1].centerY));
        QCOMPARE(fernwick::test::menuTexts(*view.contextMenuAt(onFolder)),
                 QStringList({"Inspect Details", "Drill Down Into Folder", "Show in File Manager",
                              "-", "Move to Trash"}));
        QCOMPARE(fernwick::test::menuTexts(*view.contextMenuAt(onFile)),
                 QStringList({"Inspect Details", "Show in File Manager", "-", "Move to Trash"}));
        // "Move to Trash" is destructive: its text is red, the others' is not.
        auto menu = view.contextMenuAt(onFolder);
        QVERIFY(fernwick::test::redPixelsOfEntry(*menu, "Move to Trash") > 5);
        QCOMPARE(fernwick::test::redPixelsOfEntry(*menu, "Inspect Details"), 0);

        fernwick::test::checkClicks(view, onFile, file, onFolder, folder, QPoint(2, 2));
        QVERIFY(!QTest::currentTestFailed());
    }

    // The kept picture, drawn again only around the bubbles a hover moves, equals a plain whole
    // draw at rest, with bubbles hovered (also while their spring runs) and after.
    void framesEqualAPlainWholeDraw() {
        for (const int count : {100, 1000}) {
            BubbleNodeView view;
            view.resize(1000, 700);
            view.setRoot(fernwick::test::wideFolder(count));
            view.resize(1000, view.heightForWidth(1000));
            const auto& bubbles = view.layout().bubbles();
            QCOMPARE(bubbles.size(), std::size_t{30});
            std::vector<QPointF> points;
            for (const std::size_t i :
                 {std::size_t{0}, std::size_t{1}, std::size_t{7}, std::size_t{29}}) {
                points.emplace_back(bubbles[i].centerX, bubbles[i].centerY);
            }
            fernwick::test::checkFramesEqualPlainDraw(view, points);
            QVERIFY2(!QTest::currentTestFailed(), qPrintable(QString::number(count)));
            // Halfway through a spring.
            fernwick::test::movePointer(view, points[1]);
            QTest::qWait(100);
            QCOMPARE(fernwick::test::firstDifference(fernwick::test::shownPicture(view),
                                                     fernwick::test::plainPicture(view)),
                     QString());
        }
    }

    void rendersAGlowBrightestAtTheCentre() {
        BubbleNodeView view;
        view.resize(400, 300);
        view.setRoot(makeFolder("/r", {makeFile("/r/a", 100, StorageCategory::photos)}));
        const QImage image = fernwick::test::render(view);
        const auto& bubble = view.layout().bubbles()[0];
        const QColor category = FernwickTheme::color(StorageCategory::photos);
        // Left of the labels, a third of the way in from the rim, against the rim itself.
        const QColor inner = image.pixelColor(int(bubble.centerX - 45), int(bubble.centerY));
        const QColor nearRim = image.pixelColor(int(bubble.centerX - 76), int(bubble.centerY));
        QVERIFY(inner.red() + inner.green() + inner.blue() >
                nearRim.red() + nearRim.green() + nearRim.blue());
        // The square's corner outside the circle stays empty.
        QCOMPARE(image.pixelColor(int(bubble.centerX - 78), int(bubble.centerY - 78)),
                 QColor(Qt::black));
        // The outline is drawn in the category's hue.
        const QColor rim = image.pixelColor(int(bubble.centerX - 80), int(bubble.centerY));
        QVERIFY(rim.value() > 60);
        QVERIFY(std::abs(rim.hue() - category.hue()) < 12);
    }
};

QTEST_MAIN(BubbleNodeViewTest)
#include "BubbleNodeViewTest.moc"
