#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickCore/Model/ScanTree.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/NestedTileLayout.h"
#include "FernwickUI/Visualisations/NestedTilePainter.h"
#include "tests/Support/TreeBuilder.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeFile;
using fernwick::test::makeFolder;

namespace {

TreemapRect tile(const DiskNodePtr& node, Rect rect, int depth, bool isLeaf, double header = 0,
                 std::vector<TreemapRect> children = {}) {
    TreemapRect out;
    out.node = node;
    out.rect = rect;
    out.depth = depth;
    out.isDirectory = node->isDirectory();
    out.isLeaf = isLeaf;
    out.headerHeight = header;
    out.children = std::move(children);
    return out;
}

int indexOf(const NestedTileLayout& layout, const DiskNodePtr& node) {
    for (std::size_t i = 0; i < layout.tiles().size(); ++i) {
        if (layout.tiles()[i].rect->node == node) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QPoint pointIn(const NestedTileLayout& layout, const DiskNodePtr& node, double dy = -1) {
    const auto& frame = layout.tiles()[static_cast<std::size_t>(indexOf(layout, node))].frame;
    return QPointF(frame.midX(), dy < 0 ? frame.midY() : frame.y + dy).toPoint();
}

// A folder of `folders` folders of ten files each and as many files beside them: well above
// what the view lays out at once, with headers, labels and small tiles.
DiskNodePtr largeFolder(const std::string& path, int folders) {
    std::vector<DiskNodePtr> children;
    for (int i = 0; i < folders; ++i) {
        const std::string name = path + "/d" + std::to_string(i);
        children.push_back(fernwick::test::makeFolderOfFiles(
            name, 10, [i](int j) { return 1000 + (i * 37 + j * 11) % 5000; }));
        children.push_back(makeFile(path + "/f" + std::to_string(i), 500 + i * 13 % 9000,
                                    StorageCategory::videos));
    }
    return makeFolder(path, children);
}

// The view's tiles as a fresh layout drawn on this thread gives them, over black.
QImage drawnAtOnce(const KelvaneNestedTileView& view, const DiskNodePtr& root) {
    const auto layout = NestedTileLayout::compute(
        root, NestedTileLayout::layoutBounds(view.width(), view.height(), view.bottomInset()));
    QImage tiles;
    NestedTilePainter().paint(layout, view.theme(), view.size(), 1, tiles);
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter(&image).drawImage(0, 0, tiles);
    return image;
}

bool showsNodesOf(const KelvaneNestedTileView& view, const DiskNodePtr& root) {
    const auto& tiles = view.layout().tiles();
    return !tiles.empty() && tiles.front().rect->node->url().parent_path() == root->url();
}

} // namespace

class KelvaneNestedTileViewTest : public QObject {
    Q_OBJECT
private slots:
    // A folder header keeps its name: the size shows only after at least four letters of it;
    // where they do not fit beside it the size goes and the name is elided. Nothing passes the
    // header's padding.
    void folderHeadersKeepTheNameAndDropTheSizeFirst() {
        const QFontMetricsF nameMetrics(uiFont(9.5, QFont::Bold));
        const QFontMetricsF sizeMetrics(uiFont(9, QFont::Medium));
        const QString name = QStringLiteral("Application Support");
        const QString size = QStringLiteral("36 MB");
        const double both =
            nameMetrics.horizontalAdvance(name) + 8 + sizeMetrics.horizontalAdvance(size);
        bool sawBoth = false;
        bool sawShortened = false;
        bool sawElided = false;
        for (int width = 20; width <= 300; ++width) {
            const auto texts =
                KelvaneNestedTileView::headerTexts(name, size, width, nameMetrics, sizeMetrics);
            const double room = width - 2 * 4.0;
            if (both <= room) {
                QCOMPARE(texts.name, name);
                QCOMPARE(texts.size, size);
                sawBoth = true;
                continue;
            }
            if (!texts.size.isEmpty()) {
                QVERIFY2(texts.name.startsWith(QStringLiteral("Appl")),
                         qPrintable(QString::number(width)));
                QVERIFY(nameMetrics.horizontalAdvance(texts.name) + 8 +
                            sizeMetrics.horizontalAdvance(size) <=
                        room + 1e-9);
                sawShortened = true;
                continue;
            }
            QVERIFY(nameMetrics.horizontalAdvance(texts.name) <= room + 1e-9);
            if (room >= nameMetrics.horizontalAdvance(QStringLiteral("Ap\u2026"))) {
                QVERIFY(texts.name.startsWith(QStringLiteral("Ap")));
                sawElided = true;
            }
        }
        QVERIFY(sawBoth && sawShortened && sawElided);
        // A header of 48 points, which showed "36 MB" alone, shows the name.
        const auto narrow =
            KelvaneNestedTileView::headerTexts(name, size, 48, nameMetrics, sizeMetrics);
        QVERIFY(narrow.name.startsWith(QStringLiteral("A")));
        QVERIFY(narrow.size.isEmpty());
    }

    void boundsLabelsAndFonts() {
        QCOMPARE(NestedTileLayout::layoutBounds(1000, 700, 14), (Rect{0, 0, 976, 662}));
        QCOMPARE(NestedTileLayout::layoutBounds(1000, 700, 56), (Rect{0, 0, 976, 620}));
        QCOMPARE(NestedTileLayout::layoutBounds(1000, 300, 56).height, 220.0);
        QCOMPARE(NestedTileLayout::layoutBounds(1000, 150, 56).height, 100.0);
        QVERIFY(!NestedTileLayout::showsLabel(28, 20));
        QVERIFY(!NestedTileLayout::showsLabel(40, 15));
        QVERIFY(NestedTileLayout::showsLabel(29, 16));
        QVERIFY(!NestedTileLayout::showsSize(65, 30));
        QVERIFY(!NestedTileLayout::showsSize(80, 22));
        QVERIFY(NestedTileLayout::showsSize(66, 23));
        QCOMPARE(NestedTileLayout::nameFontSize(50), 7.0);
        QVERIFY(std::abs(NestedTileLayout::nameFontSize(100) - 7.6923) < 1e-4);
        QCOMPARE(NestedTileLayout::nameFontSize(200), 10.5);
        QCOMPARE(NestedTileLayout::sizeFontSize(97.5), 6.5);
        QCOMPARE(NestedTileLayout::sizeFontSize(142.5), 9.5);
        QCOMPARE(NestedTileLayout::sizeFontSize(300), 9.5);
    }

    void flattensInDrawingOrderAndHitsTheInnermostTile() {
        const auto a1 = makeFile("/r/a/1", 10);
        const auto a2 = makeFile("/r/a/2", 10);
        const auto a = makeFolder("/r/a", {a1, a2});
        const auto b = makeFile("/r/b", 10);
        std::vector<TreemapRect> rects;
        rects.push_back(
            tile(a, {0, 0, 200, 100}, 0, false, 16,
                 {tile(a1, {2, 18, 96, 80}, 1, true), tile(a2, {100, 18, 98, 80}, 1, true)}));
        rects.push_back(tile(b, {200, 0, 100, 100}, 0, true));
        // Moved once more: the tiles still point into the layout's own rectangles.
        NestedTileLayout built = NestedTileLayout::fromRects(std::move(rects));
        const NestedTileLayout layout = std::move(built);
        QCOMPARE(layout.tiles()[0].rect, &layout.rects()[0]);
        const auto& tiles = layout.tiles();
        QCOMPARE(tiles.size(), std::size_t{4});
        QCOMPARE(tiles[0].rect->node, a);
        QCOMPARE(tiles[1].rect->node, a1);
        QCOMPARE(tiles[3].rect->node, b);
        QCOMPARE(tiles[0].frame, (Rect{12, 12, 200, 100}));
        QCOMPARE(tiles[1].frame, (Rect{14, 30, 96, 80}));
        QCOMPARE(tiles[1].parent, 0);
        QCOMPARE(tiles[0].subtreeEnd, 3);
        QCOMPARE(tiles[3].subtreeEnd, 4);
        QVERIFY(tiles[0].showsHeader);
        QVERIFY(tiles[1].showsLabel && tiles[1].showsSize);

        QCOMPARE(layout.tileAt(50, 60), 1);
        QCOMPARE(layout.tileAt(150, 60), 2);
        QCOMPARE(layout.tileAt(50, 20), 0); // the folder's header
        QCOMPARE(layout.tileAt(250, 50), 3);
        QCOMPARE(layout.tileAt(5, 5), -1); // the padding
        std::vector<int> chain;
        layout.chainAt(50, 60, chain);
        QCOMPARE(chain, (std::vector<int>{0, 1}));
    }

    void hoverFollowsWhatTheTilesReport() {
        using L = NestedTileLayout;
        QCOMPARE(L::hoverAfterMove({}, {0, 1}, -1), 1);
        QCOMPARE(L::hoverAfterMove({0}, {0, 2}, 0), 2);
        QCOMPARE(L::hoverAfterMove({0, 1}, {0, 2}, 1), 2);
        // Back from a nested tile onto its parent's header: the nested tile reports its exit,
        // the parent, never left, reports nothing.
        QCOMPARE(L::hoverAfterMove({0, 1}, {0}, 1), -1);
        QCOMPARE(L::hoverAfterMove({0, 1}, {}, 1), -1);
        QCOMPARE(L::hoverAfterMove({0}, {0}, -1), -1);
        QCOMPARE(L::hoverAfterMove({0, 1}, {3}, 1), 3);
    }

    void menusAndClicks() {
        KelvaneNestedTileView view;
        view.resize(1000, 700);
        const auto folder =
            makeFolder("/r/d", {makeFile("/r/d/x", 300), makeFile("/r/d/y & z", 300)});
        const auto file = makeFile("/r/f", 400);
        view.setRoot(makeFolder("/r", {folder, file}));
        const auto& layout = view.layout();
        QCOMPARE(fernwick::test::menuTexts(*view.contextMenuAt(pointIn(layout, file))),
                 QStringList({"Show in File Manager", "Move to Trash", "Copy Path"}));
        QCOMPARE(fernwick::test::menuTexts(*view.contextMenuAt(pointIn(layout, folder, 8))),
                 QStringList({"Show in File Manager", "Move to Trash", "Copy Path",
                              "Drill Down Into Folder"}));
        QVERIFY(!view.contextMenuAt(QPoint(4, 4)));
        fernwick::test::checkClicks(view, pointIn(layout, file), file, pointIn(layout, folder, 8),
                                    folder, QPoint(4, 4));
        QVERIFY(!QTest::currentTestFailed());
    }

    void aFolderDrawnAsALeafStillDrillsDown() {
        KelvaneNestedTileView view;
        view.resize(300, 200);
        // Far too small to nest: the folder is a leaf tile.
        const auto folder = makeFolder("/r/d", {makeFile("/r/d/x", 90)});
        std::vector<DiskNodePtr> children{folder};
        for (int i = 0; i < 40; ++i) {
            children.push_back(makeFile("/r/f" + std::to_string(i), 1000));
        }
        view.setRoot(makeFolder("/r", children));
        const int index = indexOf(view.layout(), folder);
        QVERIFY(index >= 0);
        QVERIFY(view.layout().tiles()[static_cast<std::size_t>(index)].isLeaf);
        QSignalSpy drilled(&view, &VisualisationView::drillDownRequested);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, pointIn(view.layout(), folder));
        QCOMPARE(drilled.size(), 1);
        QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(1, 1)); // leaves QTest's buttons up
        QCOMPARE(
            fernwick::test::menuTexts(*view.contextMenuAt(pointIn(view.layout(), folder))).last(),
            QString("Drill Down Into Folder"));
    }

    void reportsHoverAsThePointerCrossesTiles() {
        KelvaneNestedTileView view;
        view.resize(1000, 700);
        const auto inner = makeFile("/r/d/x", 300);
        const auto folder = makeFolder("/r/d", {inner, makeFile("/r/d/y", 300)});
        const auto file = makeFile("/r/f", 400);
        view.setRoot(makeFolder("/r", {folder, file}));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy hovered(&view, &KelvaneNestedTileView::hoveredNodeChanged);
        QTest::mouseMove(&view, pointIn(view.layout(), inner));
        QTRY_COMPARE(hovered.size(), 1);
        QCOMPARE(hovered.last().at(0).value<DiskNodePtr>(), inner);
        QCOMPARE(view.hoveredTile()->node, inner);
        QTest::mouseMove(&view, pointIn(view.layout(), folder, 8)); // the header
        QTRY_COMPARE(hovered.size(), 2);
        QVERIFY(!hovered.last().at(0).value<DiskNodePtr>());
        QTest::mouseMove(&view, pointIn(view.layout(), file));
        QTRY_COMPARE(hovered.size(), 3);
        QCOMPARE(hovered.last().at(0).value<DiskNodePtr>(), file);
    }

    // Laying out again in place gives what a fresh layout gives, whatever was there before; the
    // small tiles drawn keep their dark hairline edge.
    void recomputesInPlaceAndOutlinesSmallTiles() {
        std::vector<DiskNodePtr> files;
        for (int i = 0; i < 400; ++i) {
            files.push_back(makeFile("/r/f" + std::to_string(i), 100 + i % 7));
        }
        const auto many = makeFolder("/r", files);
        const auto few = makeFolder("/s", {makeFolder("/s/a", {makeFile("/s/a/1", 3)})});
        const Rect bounds = NestedTileLayout::layoutBounds(400, 300, 14);
        NestedTileLayout reused;
        for (const auto& root : {many, few, DiskNodePtr(), many}) {
            reused.recompute(root, bounds);
            const auto fresh = NestedTileLayout::compute(root, bounds);
            QCOMPARE(reused.tiles().size(), fresh.tiles().size());
            for (std::size_t i = 0; i < fresh.tiles().size(); ++i) {
                QCOMPARE(reused.tiles()[i].rect->node, fresh.tiles()[i].rect->node);
                QCOMPARE(reused.tiles()[i].frame, fresh.tiles()[i].frame);
                QCOMPARE(reused.tiles()[i].subtreeEnd, fresh.tiles()[i].subtreeEnd);
            }
        }
        KelvaneNestedTileView view;
        view.resize(400, 300);
        view.setRoot(many);
        const QImage image = fernwick::test::render(view);
        int checked = 0;
        for (const auto& tile : view.layout().tiles()) {
            const Rect& f = tile.frame;
            if (std::min(f.width, f.height) >= 4 && std::min(f.width, f.height) < 24) {
                const QColor inside = image.pixelColor(int(f.midX()), int(f.midY()));
                const QColor edge = image.pixelColor(int(std::floor(f.x)), int(f.midY()));
                QVERIFY(edge.lightness() < inside.lightness());
                ++checked;
            }
        }
        QVERIFY(checked > 100);
    }

    // Every leaf wider than 28 and higher than 15 shows its name however thin it is (a 376 x 19
    // strip, a 29 x 16 tile), and a small leaf keeps its rounded corners: its corner pixel is
    // only partly covered, unlike the middle of its edge.
    void thinLeavesShowTheirLabelsAndRoundedCorners() {
        const auto strip = makeFile("/r/WWWW Wide recording of the concert.wav", 10);
        const auto small = makeFile("/r/WWWW", 10);
        const auto bare = makeFile("/r/WWWW bare", 10);
        std::vector<TreemapRect> rects;
        rects.push_back(tile(strip, {0, 0, 376, 19}, 0, true));
        rects.push_back(tile(small, {0, 30, 29, 16}, 0, true));
        rects.push_back(tile(bare, {40, 30, 28, 20}, 0, true));
        const auto layout = NestedTileLayout::fromRects(std::move(rects));
        QImage image;
        NestedTilePainter().paint(layout, TreemapTheme::kelvane, QSize(420, 80), 1, image);
        const auto whitePixels = [&image](const Rect& frame) {
            int count = 0;
            for (int y = int(frame.y) + 1; y < int(frame.maxY()) - 1; ++y) {
                for (int x = int(frame.x) + 1; x < int(frame.maxX()) - 1; ++x) {
                    const QColor c = image.pixelColor(x, y);
                    count += c.red() > 200 && c.green() > 200 && c.blue() > 200 ? 1 : 0;
                }
            }
            return count;
        };
        const auto& tiles = layout.tiles();
        QVERIFY(whitePixels(tiles[0].frame) > 40);
        QVERIFY(whitePixels(tiles[1].frame) > 10);
        QCOMPARE(whitePixels(tiles[2].frame), 0);
        for (const auto& drawn : tiles) {
            const int x = int(drawn.frame.x);
            const int y = int(drawn.frame.y);
            QVERIFY(image.pixelColor(x, y).alpha() < image.pixelColor(x + 10, y).alpha());
        }
    }

    void paintsTilesInTheThemesColours() {
        KelvaneNestedTileView view;
        view.resize(600, 400);
        const auto file = makeFile("/r/movie.mov", 400, StorageCategory::videos);
        view.setRoot(makeFolder("/r", {file, makeFile("/r/b", 100)}));
        const auto& tileOf =
            view.layout().tiles()[static_cast<std::size_t>(indexOf(view.layout(), file))];
        const QPoint probe(int(tileOf.frame.midX()), int(tileOf.frame.maxY() - 6));
        for (const auto theme : {TreemapTheme::kelvane, TreemapTheme::matrix}) {
            view.setTheme(theme);
            const QColor expected = FernwickTheme::tileColor(file->path(), file->name(), true, 0,
                                                             StorageCategory::videos, theme);
            QVERIFY(fernwick::test::near(fernwick::test::render(view).pixelColor(probe), expected));
        }
    }

    // The tiles a layout can give: the nodes down to the maximum visual depth, counted no
    // further than just past the limit.
    void boundsTheTilesBeforeLayingOut() {
        using L = NestedTileLayout;
        QCOMPARE(L::tileBound(nullptr, 100), std::size_t{0});
        QCOMPARE(L::tileBound(makeFile("/f", 1), 100), std::size_t{1});
        // Six levels of folders, two files in each: the sixth level is below the deepest tile.
        DiskNodePtr chain = makeFolder("/a/b/c/d/e/f", {makeFile("/a/b/c/d/e/f/1", 5)});
        for (std::string path : {"/a/b/c/d/e", "/a/b/c/d", "/a/b/c", "/a/b", "/a"}) {
            chain = makeFolder(path, {chain, makeFile(path + "/x", 5)});
        }
        QCOMPARE(L::tileBound(chain, 100), std::size_t{10});
        QVERIFY(L::tileBound(chain, 3) > 3);
        const auto large = largeFolder("/r", 200);
        QCOMPARE(L::tileBound(large, 10000), std::size_t{2400});
        for (const auto& root : {chain, large}) {
            QVERIFY(L::compute(root, L::layoutBounds(1600, 1000, 14)).tiles().size() <=
                    L::tileBound(root, 10000));
        }
    }

    // A large folder is laid out and drawn on the worker: no tiles at all (drawn or hit) until
    // they are ready, then exactly the picture drawn at once. A new size or theme keeps the
    // tiles shown until their replacement is ready, the same root set again only their picture;
    // a newer root wins over an older one still being prepared, and a view may go while its
    // worker is busy.
    void drawsLargeFoldersOnTheWorkerAsAtOnce() {
        const auto first = largeFolder("/r", 200);
        const auto second = largeFolder("/s", 220);
        QVERIFY(NestedTileLayout::tileBound(first, KelvaneNestedTileView::kSynchronousTiles) >
                KelvaneNestedTileView::kSynchronousTiles);
        QImage black(800, 600, QImage::Format_ARGB32_Premultiplied);
        black.fill(Qt::black);
        {
            KelvaneNestedTileView view;
            view.resize(800, 600);
            view.show(); // a shown widget resizes at once
            view.setRoot(first);
            QVERIFY(view.hasPendingTiles());
            QVERIFY(view.layout().tiles().empty());
            QCOMPARE(fernwick::test::render(view), black);
            QTRY_VERIFY(!view.hasPendingTiles());
            QVERIFY(showsNodesOf(view, first));
            QCOMPARE(fernwick::test::render(view), drawnAtOnce(view, first));

            view.setTheme(TreemapTheme::matrix);
            QVERIFY(view.hasPendingTiles() && showsNodesOf(view, first));
            QTRY_VERIFY(!view.hasPendingTiles());
            QCOMPARE(fernwick::test::render(view), drawnAtOnce(view, first));
            view.resize(700, 500);
            QVERIFY(view.hasPendingTiles() && showsNodesOf(view, first));
            QVERIFY(view.contextMenuAt(QPoint(400, 300)));
            QTRY_VERIFY(!view.hasPendingTiles());
            QCOMPARE(fernwick::test::render(view), drawnAtOnce(view, first));

            // The same root set again (an item of it may be gone) keeps its picture until the
            // new tiles are ready, but meanwhile no old tile is hovered, clicked or given a menu.
            // The pointer events are sent without running the event loop, which would take the
            // new tiles in.
            const QPoint onTile(400, 300);
            const QImage shown = fernwick::test::render(view);
            const DiskNodePtr hit =
                view.layout()
                    .tiles()[static_cast<std::size_t>(view.layout().tileAt(400, 300))]
                    .rect->node;
            QSignalSpy hovered(&view, &KelvaneNestedTileView::hoveredNodeChanged);
            QSignalSpy selected(&view, &VisualisationView::selectRequested);
            QSignalSpy drilled(&view, &VisualisationView::drillDownRequested);
            QMouseEvent move(QEvent::MouseMove, QPointF(onTile), view.mapToGlobal(QPointF(onTile)),
                             Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            view.setRoot(first);
            QCoreApplication::sendEvent(&view, &move);
            QTest::mouseDClick(&view, Qt::LeftButton, {}, onTile);
            QTest::mouseClick(&view, Qt::LeftButton, {}, onTile);
            QVERIFY(view.hasPendingTiles() && view.layout().tiles().empty());
            QVERIFY(view.layout().tileAt(400, 300) < 0 && !view.contextMenuAt(onTile));
            QVERIFY(!view.hoveredTile());
            QCOMPARE(hovered.size() + selected.size() + drilled.size(), 0);
            QCOMPARE(fernwick::test::render(view), shown);
            QTRY_VERIFY(!view.hasPendingTiles());
            QCoreApplication::sendEvent(&view, &move);
            QTest::mouseClick(&view, Qt::LeftButton, {}, onTile);
            QVERIFY(hovered.size() == 1 && view.hoveredTile());
            QCOMPARE(selected.size(), 1);
            QCOMPARE(selected.at(0).at(0).value<DiskNodePtr>(), hit);
            // A different root set meanwhile shows nothing of the old picture.
            view.setRoot(first);
            view.setRoot(second);
            QCOMPARE(fernwick::test::render(view), black.copy(0, 0, 700, 500));
            view.setRoot(first);
            view.setRoot(second);
            QTRY_VERIFY(!view.hasPendingTiles());
            QVERIFY(showsNodesOf(view, second));
            QCOMPARE(fernwick::test::render(view), drawnAtOnce(view, second));
            // A small root is shown at once and replaces a large one still being prepared.
            view.setRoot(first);
            const auto small = makeFolder("/t", {makeFile("/t/a", 5), makeFile("/t/b", 3)});
            view.setRoot(small);
            QVERIFY(!view.hasPendingTiles());
            QCOMPARE(view.layout().tiles().size(), std::size_t{2});
            QCOMPARE(fernwick::test::render(view), drawnAtOnce(view, small));
            view.setRoot(second); // still busy when the view goes
        }
    }

    // The worker reads the tree through a hold taken when the request is made and let go when
    // its tiles are shown: a change meanwhile copies the nodes instead of changing them.
    void holdsTheTreeWhileTheWorkerReadsIt() {
        ScanTree tree;
        tree.reset(largeFolder("/r", 200));
        const DiskNodePtr root = tree.root();
        const DiskNodePtr trashed = root->children.front();
        KelvaneNestedTileView view;
        view.resize(800, 600);
        view.show();
        int holds = 0;
        view.setTreeHold([&] {
            ++holds;
            return tree.view();
        });
        view.setRoot(tree.root());
        QCOMPARE(holds, 1);
        QVERIFY(tree.hasReaders());
        const auto change = tree.empty(trashed);
        QVERIFY(change.copied);
        QVERIFY(trashed->size > 0 && !trashed->children.empty());
        QTRY_VERIFY(!view.hasPendingTiles());
        QVERIFY(!tree.hasReaders());
        // The tree's copy of the root stands for the folder shown: its picture stays, its tiles
        // (among them the emptied folder's) are no longer hit.
        const QImage shown = fernwick::test::render(view);
        QVERIFY(tree.root() != root && tree.root()->id() == root->id());
        view.setRoot(tree.root());
        QVERIFY(view.hasPendingTiles() && view.layout().tiles().empty());
        QCOMPARE(fernwick::test::render(view), shown);
        QTRY_VERIFY(!view.hasPendingTiles());
        QCOMPARE(holds, 2);
        view.setRoot(makeFolder("/t", {makeFile("/t/a", 5)}));
        QCOMPARE(holds, 2); // laid out at once: nothing to hold
    }

    // White labels stay where white reads; on a tile as light as the cyan of "Cyberpunk Neon"
    // the label is drawn dark.
    void labelsOnLightTilesAreDrawnDark() {
        const auto root = makeFolder(
            "/r", {makeFile("/r/holiday.mov", 600000), makeFile("/r/notes.txt", 400000)});
        for (TreemapTheme theme : {TreemapTheme::cyberpunk, TreemapTheme::kelvane}) {
            const auto layout =
                NestedTileLayout::compute(root, NestedTileLayout::layoutBounds(600, 400, 14));
            QImage image;
            NestedTilePainter().paint(layout, theme, QSize(600, 400), 1, image);
            int light = 0;
            int dark = 0;
            for (const auto& tile : layout.tiles()) {
                QVERIFY(tile.isLeaf && tile.showsLabel);
                const QColor fill = FernwickTheme::tileColor(*tile.rect, theme);
                const double lightness = fill.lightnessF();
                for (int x = int(tile.frame.x + 3); x < int(tile.frame.x + 60); ++x) {
                    for (int y = int(tile.frame.y + 3); y < int(tile.frame.y + 15); ++y) {
                        const double pixel = image.pixelColor(x, y).lightnessF();
                        light += pixel > lightness + 0.3;
                        dark += pixel < lightness - 0.3;
                    }
                }
            }
            if (theme == TreemapTheme::cyberpunk) {
                QVERIFY2(light == 0 && dark > 20,
                         qPrintable(QString("%1 %2").arg(light).arg(dark)));
            } else {
                QVERIFY2(light > 20 && dark == 0,
                         qPrintable(QString("%1 %2").arg(light).arg(dark)));
            }
        }
    }
};

QTEST_MAIN(KelvaneNestedTileViewTest)
#include "KelvaneNestedTileViewTest.moc"
