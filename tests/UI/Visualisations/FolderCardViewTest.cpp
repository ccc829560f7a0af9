#include "FernwickUI/Visualisations/FolderCardView.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Visualisations/FolderCardLayout.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;

class FolderCardViewTest : public QObject {
    Q_OBJECT
private slots:
    void percentIsTheExactWholePartLimitedToTwoAndAHundred() {
        QCOMPARE(FolderCardLayout::wholePercent(29, 100), 29);
        QCOMPARE(FolderCardLayout::wholePercent(57, 100), 57);
        QCOMPARE(FolderCardLayout::wholePercent(100, 100), 100);
        QCOMPARE(FolderCardLayout::wholePercent(50, 100), 50);
        QCOMPARE(FolderCardLayout::wholePercent(999, 1000), 99);
        QCOMPARE(FolderCardLayout::wholePercent(25, 1000), 2);
        QCOMPARE(FolderCardLayout::wholePercent(1, 100), 2);
        QCOMPARE(FolderCardLayout::wholePercent(0, 100), 2);
        QCOMPARE(FolderCardLayout::wholePercent(-5, 100), 2);
        QCOMPARE(FolderCardLayout::wholePercent(7, 0), 0);
        // size × 100 would overflow 64 bits.
        QCOMPARE(FolderCardLayout::wholePercent(INT64_MAX / 2, INT64_MAX), 49);
        QCOMPARE(FolderCardLayout::wholePercent(INT64_MAX, INT64_MAX), 100);
    }

    void shareRatioAndBarFill() {
        QCOMPARE(FolderCardLayout::shareRatio(50, 100), 0.5);
        QCOMPARE(FolderCardLayout::shareRatio(1, 100), 0.02);
        QCOMPARE(FolderCardLayout::shareRatio(0, 0), 0.0);
        QCOMPARE(FolderCardLayout::barFillWidth(200, 1.0), 200.0);
        QCOMPARE(FolderCardLayout::barFillWidth(200, 0.02), 4.0);
        QCOMPARE(FolderCardLayout::barFillWidth(200, 0.0), 4.0);
    }

    void adaptiveColumnsBetween180And240() {
        const auto root = makeFolder("/r", {makeFile("/r/a", 10)});
        auto layout = FolderCardLayout::compute(root, 1000); // 972 available: five columns of 184.8
        QCOMPARE(layout.grid().columns, 5);
        QCOMPARE(layout.grid().columnWidth, 184.8);
        QCOMPARE(layout.grid().originX, 14.0);
        layout = layout.placedFor(328); // one column, capped at 240 and centred
        QCOMPARE(layout.grid().columns, 1);
        QCOMPARE(layout.grid().columnWidth, 240.0);
        QCOMPARE(layout.grid().originX, 44.0);
        layout = layout.placedFor(100); // never narrower than 180
        QCOMPARE(layout.grid().columnWidth, 180.0);

        // Placing for another width leaves the source as it was and equals a fresh layout.
        const auto wide = FolderCardLayout::compute(root, 1000);
        const auto narrow = wide.placedFor(328);
        QCOMPARE(wide.grid().columns, 5);
        QCOMPARE(narrow.cards()[0].frame, FolderCardLayout::compute(root, 328).cards()[0].frame);
    }

    void cardsSortedLargestFirstStablyAndHitTested() {
        const auto root = makeFolder("/r", {makeFile("/r/small", 10), makeFile("/r/tieA", 50),
                                            makeFolder("/r/big", {makeFile("/r/big/x", 100)}),
                                            makeFile("/r/tieB", 50), makeFile("/r/t29", 29)});
        const auto layout = FolderCardLayout::compute(root, 600); // three columns of 182.67
        const auto& cards = layout.cards();
        QCOMPARE(cards.size(), std::size_t{5});
        QStringList names;
        for (const auto& card : cards) {
            names << QString::fromStdString(card.node->name());
        }
        QCOMPARE(names, QStringList({"big", "tieA", "tieB", "t29", "small"}));
        QCOMPARE(layout.maxSize(), std::int64_t{100});
        QCOMPARE(cards[3].percent, 29);
        QCOMPARE(cards[0].frame.y, 14.0);
        QCOMPARE(cards[3].frame.y, 14.0 + 103 + 12);
        QCOMPARE(layout.contentHeight(), 28.0 + 2 * 103 + 12);
        const auto& second = cards[1].frame;
        QCOMPARE(layout.cardAt(second.midX(), second.midY()), 1);
        QCOMPARE(layout.cardAt(second.x - 6, second.midY()), -1); // the gap between columns
        QCOMPARE(layout.cardAt(second.midX(), 5), -1);
        QCOMPARE(layout.cardAt(590, 300), -1); // below the last row
        QCOMPARE(layout.cardsInBand(0, 50), std::make_pair(0, 3));
        QCOMPARE(layout.cardsInBand(130, 400), std::make_pair(3, 5));
    }

    void menusListTheirEntriesInOrder() {
        FolderCardView view;
        view.resize(600, 400);
        const auto root = makeFolder(
            "/r", {makeFolder("/r/A & B", {makeFile("/r/A & B/x", 100)}), makeFile("/r/f", 50)});
        view.setRoot(root);
        const auto& cards = view.layout().cards();
        auto folderMenu = view.contextMenuAt(centre(cards[0].frame));
        QVERIFY(folderMenu);
        QCOMPARE(fernwick::test::menuTexts(*folderMenu),
                 QStringList({"Inspect Details", "Drill Down Into Folder", "Show in File Manager",
                              "-", "Copy Path", "Move to Trash"}));
        auto fileMenu = view.contextMenuAt(centre(cards[1].frame));
        QCOMPARE(fernwick::test::menuTexts(*fileMenu),
                 QStringList({"Inspect Details", "Show in File Manager", "-", "Copy Path",
                              "Move to Trash"}));
        // "Move to Trash" is destructive: its text is red, the others' is not.
        QVERIFY(fernwick::test::redPixelsOfEntry(*fileMenu, "Move to Trash") > 5);
        QCOMPARE(fernwick::test::redPixelsOfEntry(*fileMenu, "Copy Path"), 0);
        QVERIFY(!view.contextMenuAt(QPoint(3, 3)));

        QSignalSpy selected(&view, &VisualisationView::selectRequested);
        QSignalSpy drilled(&view, &VisualisationView::drillDownRequested);
        QSignalSpy revealed(&view, &VisualisationView::revealRequested);
        QSignalSpy trashed(&view, &VisualisationView::trashRequested);
        QVERIFY(fernwick::test::triggerEntry(*folderMenu, "Inspect Details"));
        QVERIFY(fernwick::test::triggerEntry(*folderMenu, "Drill Down Into Folder"));
        QVERIFY(fernwick::test::triggerEntry(*folderMenu, "Show in File Manager"));
        QVERIFY(fernwick::test::triggerEntry(*folderMenu, "Move to Trash"));
        QVERIFY(fernwick::test::triggerEntry(*folderMenu, "Copy Path"));
        QCOMPARE(selected.size(), 1);
        QCOMPARE(drilled.size(), 1);
        QCOMPARE(revealed.size(), 1);
        QCOMPARE(trashed.size(), 1);
        QCOMPARE(trashed.at(0).at(0).value<DiskNodePtr>(), cards[0].node);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("/r/A & B"));
    }

    void clickSelectsAndDoubleClickDrillsIntoFoldersOnly() {
        FolderCardView view;
        view.resize(600, 400);
        const auto folder = makeFolder("/r/d", {makeFile("/r/d/x", 100)});
        const auto file = makeFile("/r/f", 50);
        view.setRoot(makeFolder("/r", {folder, file}));
        const auto& cards = view.layout().cards();
        fernwick::test::checkClicks(view, centre(cards[1].frame), file, centre(cards[0].frame),
                                    folder, QPoint(3, 3));
        QVERIFY(!QTest::currentTestFailed());
    }

    void rendersCardBackgroundAndBar() {
        FolderCardView view;
        view.resize(600, 300);
        view.setRoot(makeFolder("/r", {makeFile("/r/a", 100, StorageCategory::videos),
                                       makeFile("/r/b", 50, StorageCategory::videos)}));
        const QImage image = fernwick::test::render(view);
        const auto& cards = view.layout().cards();
        // Card background between the value row and the bar.
        const QPointF inside(cards[0].frame.x + 6, cards[0].frame.y + 80);
        QVERIFY(fernwick::test::near(image.pixelColor(inside.toPoint()), QColor(23, 26, 33)));
        // The full bar of the largest card ends in the category colour; half of the second
        // card's track is unfilled.
        const auto track = FolderCardLayout::barTrackRect(cards[0].frame);
        const QColor category = FernwickTheme::color(StorageCategory::videos);
        QVERIFY(fernwick::test::near(
            image.pixelColor(QPoint(int(track.maxX() - 4), int(track.midY()))), category, 20));
        const auto half = FolderCardLayout::barTrackRect(cards[1].frame);
        QVERIFY(!fernwick::test::near(
            image.pixelColor(QPoint(int(half.maxX() - 10), int(half.midY()))), category, 40));
    }

    void restingCardsDrawnInPlaceWithShadowAndOutline() {
        // Cards at rest are copied from a shared image: each must land on its own frame, in
        // every column, with its shadow below it and nothing left of its outline.
        FolderCardView view;
        view.resize(731, 300);
        view.setRoot(fernwick::test::makeFolderOfFiles("/r", 6, [](int i) { return 100 - i; }));
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(128, 128, 128));
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const auto& cards = view.layout().cards();
        QVERIFY(view.layout().grid().columns >= 3);
        for (int i = 0; i < 3; ++i) {
            const auto& frame = cards[static_cast<std::size_t>(i)].frame;
            const int midY = int(frame.y + 80);
            QVERIFY(
                fernwick::test::near(image.pixelColor(int(frame.x + 6), midY), QColor(23, 26, 33)));
            QVERIFY(fernwick::test::near(image.pixelColor(int(std::floor(frame.x)) - 7, midY),
                                         QColor(128, 128, 128), 2));
            QVERIFY(image.pixelColor(int(frame.midX()), int(frame.maxY()) + 2).red() < 120);
            QVERIFY(fernwick::test::near(image.pixelColor(int(frame.midX()), int(frame.maxY()) + 7),
                                         QColor(128, 128, 128), 2));
        }
    }

    // Cards at rest copied from a kept image, and only those in the exposed band drawn (in parts
    // at once, and kept while nothing changes), equal every card drawn in place, at rest, hovered
    // (and animating), after, and for the next folder.
    void framesEqualAPlainDrawOfEveryCard() {
        for (const int count : {100, 1000}) {
            FolderCardView view;
            view.resize(1000, 700);
            view.setRoot(fernwick::test::wideFolder(count));
            const auto& cards = view.layout().cards();
            std::vector<QPointF> points;
            for (const std::size_t i :
                 {std::size_t{0}, std::size_t{1}, std::size_t{6}, std::size_t{21}}) {
                points.emplace_back(cards[i].frame.midX(), cards[i].frame.midY());
            }
            fernwick::test::checkFramesEqualPlainDraw(view, points);
            QVERIFY2(!QTest::currentTestFailed(), qPrintable(QString::number(count)));
            // The band kept from the frames before shows no more once another folder is shown.
            view.setRoot(fernwick::test::wideFolder(count / 10));
            QCOMPARE(fernwick::test::firstDifference(fernwick::test::shownPicture(view),
                                                     fernwick::test::plainPicture(view)),
                     QString());
        }
    }

    void reportsItsHeightToAScrollArea() {
        QScrollArea area;
        area.setWidgetResizable(true);
        auto* view = new FolderCardView;
        area.setWidget(view);
        area.resize(600, 300);
        view->setRoot(fernwick::test::makeFolderOfFiles("/r", 30, [](int i) { return 100 - i; }));
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        QTRY_VERIFY(view->height() >= int(view->layout().contentHeight()));
    }

private:
    static QPoint centre(const Rect& rect) { return QPointF(rect.midX(), rect.midY()).toPoint(); }
};

QTEST_MAIN(FolderCardViewTest)
#include "FolderCardViewTest.moc"
