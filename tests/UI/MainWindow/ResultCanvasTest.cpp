#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/MainWindow/CrumbTrail.h"
#include "FernwickUI/MainWindow/ModeSwitcher.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/MainWindow/TopToolbar.h"
#include "FernwickUI/MainWindow/UndoToast.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Visualisations/BubbleNodeView.h"
#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"
#include "FernwickUI/Visualisations/FolderCardView.h"
#include "FernwickUI/Visualisations/InspectorBar.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"
#include "FernwickUI/Visualisations/ListCanvas.h"
#include "FernwickUI/Visualisations/MindMapBranchView.h"
#include "FernwickUI/Visualisations/SunburstRadialView.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"
#include "tests/UI/Visualisations/VisualTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>

#include <cmath>
#include <string>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::menuTexts;
using fernwick::test::triggerEntry;
using fernwick::test::WindowHarness;

namespace {

QPoint centreOf(const Rect& rect) {
    return QPointF(rect.x + rect.width / 2, rect.y + rect.height / 2).toPoint();
}

// Where `node` is drawn in the visualisation of `mode`; (-1, -1) when it is not drawn.
QPoint pointOf(VisualisationView* view, StorageVisualMode mode, const DiskNodePtr& node) {
    switch (mode) {
    case StorageVisualMode::folders:
        for (const auto& card : static_cast<FolderCardView*>(view)->layout().cards()) {
            if (card.node == node) {
                return centreOf(card.frame);
            }
        }
        break;
    case StorageVisualMode::bubbles:
        for (const auto& bubble : static_cast<BubbleNodeView*>(view)->layout().bubbles()) {
            if (bubble.node == node) {
                return QPointF(bubble.centerX, bubble.centerY).toPoint();
            }
        }
        break;
    case StorageVisualMode::sunburst: {
        const SunburstLayout& layout = static_cast<SunburstRadialView*>(view)->layout();
        for (const auto& sector : layout.sectors()) {
            if (sector.node == node) {
                const double angle = (sector.startAngle + sector.endAngle) / 2;
                const double radius = (sector.innerRadius + sector.outerRadius) / 2;
                return QPointF(layout.frame().centerX + radius * std::cos(angle),
                               layout.frame().centerY + radius * std::sin(angle))
                    .toPoint();
            }
        }
        break;
    }
    case StorageVisualMode::flame:
        for (const auto& bar : static_cast<FlameGraphHierarchyView*>(view)->layout().bars()) {
            if (bar.node == node) {
                return centreOf(bar.rect);
            }
        }
        break;
    case StorageVisualMode::mindmap:
        for (const auto& branch : static_cast<MindMapBranchView*>(view)->layout().branches()) {
            if (branch.node == node) {
                return centreOf(branch.card);
            }
        }
        break;
    case StorageVisualMode::treemap:
        for (const auto& tile : static_cast<KelvaneNestedTileView*>(view)->layout().tiles()) {
            if (tile.rect->node == node) {
                // A folder's own area is its header strip; its inside holds its children.
                return tile.isLeaf ? centreOf(tile.frame)
                                   : QPointF(tile.frame.x + tile.frame.width / 2, tile.frame.y + 6)
                                         .toPoint();
            }
        }
        break;
    case StorageVisualMode::list:
        break;
    }
    return {-1, -1};
}

// Ten nested folders below the fixture, each named with 40 characters.
std::vector<std::string> makeDeepTrail(WindowHarness& w) {
    std::vector<std::string> names;
    std::string path = "fixture";
    for (int level = 0; level < 10; ++level) {
        std::string name = "Level " + std::to_string(level) + " scanned holiday photographs ";
        name.resize(40, 'x');
        names.push_back(name);
        path += "/" + name;
    }
    w.h.tree.denseFile(path + "/leaf.dat", 4000);
    return names;
}

// Whether `inner`, in the coordinates of `outer`, lies wholly inside it.
bool liesWithin(QWidget* inner, QWidget* outer, const QRect& bounds) {
    const QRect placed(inner->mapTo(outer, QPoint(0, 0)), inner->size());
    return bounds.contains(placed);
}

} // namespace

class ResultCanvasTest : public QObject {
    Q_OBJECT

    static void useMode(WindowHarness& w, StorageVisualMode mode) {
        ResultCanvas* canvas = w.window->resultCanvas();
        click(canvas->modeSwitcher(), canvas->modeSwitcher()->buttonRect(mode).center().toPoint());
        QCOMPARE(w.state->storageVisualMode(), mode);
        QTRY_VERIFY(canvas->canvas(mode)->isVisible());
        QCoreApplication::processEvents();
    }

private slots:
    void drillDownByDoubleClickAndBackByBreadcrumbsInEachMode() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        const DiskNodePtr root = w.state->currentTreemapRoot();
        for (StorageVisualMode mode :
             {StorageVisualMode::folders, StorageVisualMode::treemap, StorageVisualMode::bubbles,
              StorageVisualMode::sunburst, StorageVisualMode::flame, StorageVisualMode::mindmap}) {
            const QByteArray label(rawValue(mode).data(),
                                   static_cast<qsizetype>(rawValue(mode).size()));
            useMode(w, mode);
            VisualisationView* view = mode == StorageVisualMode::treemap
                                          ? canvas->treemapCanvas()->tileView()
                                          : canvas->visualisation(mode);
            const DiskNodePtr alpha = w.child("Alpha");
            const DiskNodePtr gamma = w.child("gamma.bin");
            QVERIFY(alpha && gamma);

            // A click selects (in the sunburst and the flame graph once the double-click interval
            // has passed); a double click on a file enters nothing.
            const QPoint file = pointOf(view, mode, gamma);
            QVERIFY2(file.x() >= 0, label.constData());
            QTest::mouseClick(view, Qt::LeftButton, {}, file);
            QTRY_VERIFY2(w.state->selectedNodeForInspection() == gamma, label.constData());
            QTest::mouseDClick(view, Qt::LeftButton, {}, file);
            QCOMPARE(w.state->currentTreemapRoot(), root);

            const QPoint folder = pointOf(view, mode, alpha);
            QVERIFY2(folder.x() >= 0, label.constData());
            QTest::mouseDClick(view, Qt::LeftButton, {}, folder);
            QVERIFY2(w.state->currentTreemapRoot() == alpha, label.constData());
            QCOMPARE(canvas->breadcrumbButtons().size(), std::size_t{2});
            QVERIFY(canvas->backButton()->isVisible());
            QCOMPARE(canvas->breadcrumbButtons()[1]->label(), QStringLiteral("Alpha"));

            click(canvas->breadcrumbButtons()[0]);
            QCOMPARE(w.state->currentTreemapRoot(), root);
            QCOMPARE(canvas->breadcrumbButtons().size(), std::size_t{1});
            QVERIFY(!canvas->backButton()->isVisible());
        }
    }

    void backButtonAndPlainTextCrumbs() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        QCOMPARE(canvas->breadcrumbButtons().size(), std::size_t{1});
        QCOMPARE(canvas->breadcrumbButtons()[0]->label(), QStringLiteral("fixture"));
        QVERIFY(canvas->backButton()->isHidden());
        const DiskNodePtr root = w.state->currentTreemapRoot();
        const DiskNodePtr odd = w.child("<b>x<b> & y");
        QVERIFY(odd);
        w.state->drillDownIntoNode(odd);
        StyledButton* crumb = canvas->breadcrumbButtons().back();
        QCOMPARE(crumb->label(), QStringLiteral("<b>x<b> & y"));
        QVERIFY(crumb->shortcut().isEmpty()); // "&" is no mnemonic
        QCOMPARE(canvas->backButton()->toolTip(),
                 QStringLiteral("Navigate up to parent directory"));
        click(canvas->backButton());
        QCOMPARE(w.state->currentTreemapRoot(), root);
        // The last crumb shows its node again.
        w.state->setSelectedNodeForInspection(w.child("Beta"));
        click(canvas->breadcrumbButtons()[0]);
        QCOMPARE(w.state->selectedNodeForInspection(), root);
    }

    void contextMenusReachTheState() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        useMode(w, StorageVisualMode::folders);
        VisualisationView* cards = canvas->visualisation(StorageVisualMode::folders);
        const DiskNodePtr alpha = w.child("Alpha");
        const DiskNodePtr gamma = w.child("gamma.bin");

        auto menu = cards->contextMenuAt(pointOf(cards, StorageVisualMode::folders, alpha));
        QVERIFY(menu);
        QCOMPARE(menuTexts(*menu),
                 QStringList({QStringLiteral("Inspect Details"),
                              QStringLiteral("Drill Down Into Folder"),
                              QStringLiteral("Show in File Manager"), QStringLiteral("-"),
                              QStringLiteral("Copy Path"), QStringLiteral("Move to Trash")}));
        QVERIFY(triggerEntry(*menu, QStringLiteral("Show in File Manager")));
        QCOMPARE(w.h.revealed.back(), alpha->url());
        QVERIFY(triggerEntry(*menu, QStringLiteral("Inspect Details")));
        QCOMPARE(w.state->selectedNodeForInspection(), alpha);
        QVERIFY(triggerEntry(*menu, QStringLiteral("Copy Path")));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(alpha->path()));
        QVERIFY(triggerEntry(*menu, QStringLiteral("Drill Down Into Folder")));
        QCOMPARE(w.state->currentTreemapRoot(), alpha);
        w.state->navigateBack();

        menu = cards->contextMenuAt(pointOf(cards, StorageVisualMode::folders, gamma));
        QVERIFY(!menuTexts(*menu).contains(QStringLiteral("Drill Down Into Folder")));
        const std::filesystem::path gammaPath = gamma->url();
        QVERIFY(triggerEntry(*menu, QStringLiteral("Move to Trash")));
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        QVERIFY(!std::filesystem::exists(gammaPath));
        QVERIFY(w.window->undoToast()->isPresented());
        QCOMPARE(w.window->undoToast()->text(), QStringLiteral("Moved gamma.bin to Trash"));

        useMode(w, StorageVisualMode::bubbles);
        VisualisationView* bubbles = canvas->visualisation(StorageVisualMode::bubbles);
        menu = bubbles->contextMenuAt(pointOf(bubbles, StorageVisualMode::bubbles, alpha));
        QCOMPARE(menuTexts(*menu),
                 QStringList({QStringLiteral("Inspect Details"),
                              QStringLiteral("Drill Down Into Folder"),
                              QStringLiteral("Show in File Manager"), QStringLiteral("-"),
                              QStringLiteral("Move to Trash")}));
        QVERIFY(triggerEntry(*menu, QStringLiteral("Drill Down Into Folder")));
        QCOMPARE(w.state->currentTreemapRoot(), alpha);
    }

    void inspectorRevealsTrashesAndDrillsDown() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        useMode(w, StorageVisualMode::treemap);
        TreemapCanvas* treemap = w.window->resultCanvas()->treemapCanvas();
        InspectorBar* inspector = treemap->inspector();
        // After a scan the root is selected, so the inspector describes it.
        QVERIFY(inspector->isVisible());
        QCOMPARE(inspector->node(), w.state->rootNode());

        const DiskNodePtr gamma = w.child("gamma.bin");
        w.state->setSelectedNodeForInspection(gamma);
        QCOMPARE(inspector->node(), gamma);
        QVERIFY(!inspector->drillDownButton()->isVisible());
        QCOMPARE(inspector->nameLabel()->text(), QStringLiteral("gamma.bin"));
        QCOMPARE(inspector->pathLabel()->text(), QString::fromStdString(gamma->path()));
        click(inspector->revealButton());
        QCOMPARE(w.h.revealed.back(), gamma->url());

        // A hovered tile wins over the selection.
        const DiskNodePtr beta = w.child("Beta");
        KelvaneNestedTileView* tiles = treemap->tileView();
        QCOMPARE(tiles->bottomInset(), 56.0);
        emit tiles->hoveredNodeChanged(beta);
        QCOMPARE(inspector->node(), beta);
        QVERIFY(inspector->drillDownButton()->isVisible());
        emit tiles->hoveredNodeChanged(nullptr);
        QCOMPARE(inspector->node(), gamma);

        // The tiles' menu reaches the state as the other modes' menus do.
        const QPoint betaTile = pointOf(tiles, StorageVisualMode::treemap, beta);
        auto menu = tiles->contextMenuAt(betaTile);
        QVERIFY(menu);
        QVERIFY(triggerEntry(*menu, QStringLiteral("Show in File Manager")));
        QCOMPARE(w.h.revealed.back(), beta->url());

        // "Trash" in the system red, "Drill Down" in the header's accent blue.
        QCOMPARE(inspector->trashButton()->look().textColour, Palette::systemRed());
        QCOMPARE(inspector->drillDownButton()->look().background, Palette::selectionBlue());
        const std::filesystem::path gammaPath = gamma->url();
        click(inspector->trashButton());
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        QVERIFY(!std::filesystem::exists(gammaPath));
        UndoToast* toast = w.window->undoToast();
        QVERIFY(toast->isPresented());
        QTRY_COMPARE(toast->progress(), 1.0);
        click(toast->undoButton());
        QTRY_VERIFY(std::filesystem::exists(gammaPath));
        QTRY_VERIFY(!w.state->lastTrashed().has_value());
        QVERIFY(!toast->isPresented());
        QTRY_VERIFY(toast->isHidden());
        QCOMPARE(gamma->size, std::int64_t{10000});

        const DiskNodePtr alpha = w.child("Alpha");
        w.state->setSelectedNodeForInspection(alpha);
        click(inspector->drillDownButton());
        QCOMPARE(w.state->currentTreemapRoot(), alpha);
    }

    // One navigation step or one change of the tree gives the canvas its root once.
    void eachStepRefreshesTheCanvasOnce() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        useMode(w, StorageVisualMode::treemap);
        ResultCanvas* canvas = w.window->resultCanvas();
        const DiskNodePtr alpha = w.child("Alpha");
        int before = canvas->refreshCount();
        w.state->drillDownIntoNode(alpha);
        QCOMPARE(canvas->refreshCount(), before + 1);
        w.state->navigateBack();
        QCOMPARE(canvas->refreshCount(), before + 2);
        w.state->drillDownIntoNode(alpha);
        w.state->navigateBreadcrumb(0);
        QCOMPARE(canvas->refreshCount(), before + 4);
        w.state->computeTreemapLayout(); // a layout alone is no reason
        QCOMPARE(canvas->refreshCount(), before + 4);
        before = canvas->refreshCount();
        w.state->trashNode(w.child("gamma.bin"));
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        QCOMPARE(canvas->refreshCount(), before + 1);
    }

    // A mode shown again on the folder it showed keeps what it laid out while the tree stands. A
    // move to the Trash may change the shown folder in place (when no reader holds the tree), and
    // the mode then lays it out again when it is shown.
    void aModeShownAgainKeepsItsLayoutUntilTheTreeChanges() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        useMode(w, StorageVisualMode::folders);
        auto* cards =
            qobject_cast<FolderCardView*>(canvas->visualisation(StorageVisualMode::folders));
        QVERIFY(cards);
        const auto* laidOut = cards->layout().cards().data();
        const std::size_t count = cards->layout().cards().size();
        useMode(w, StorageVisualMode::list);
        useMode(w, StorageVisualMode::folders);
        QCOMPARE(cards->layout().cards().data(), laidOut);
        // The treemap keeps its tiles too.
        const KelvaneNestedTileView* tiles = canvas->treemapCanvas()->tileView();
        useMode(w, StorageVisualMode::treemap);
        const TreemapRect* tiled = tiles->layout().tiles().front().rect;
        useMode(w, StorageVisualMode::list);
        useMode(w, StorageVisualMode::treemap);
        QCOMPARE(tiles->layout().tiles().front().rect, tiled);

        useMode(w, StorageVisualMode::list);
        const DiskNodePtr shown = w.state->currentTreemapRoot();
        const DiskNodePtr gamma = w.child("gamma.bin");
        QVERIFY(cards->layout().cards().back().node != gamma);
        w.state->trashNode(gamma);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        // The case that matters: the same node, changed in place.
        QCOMPARE(w.state->currentTreemapRoot(), shown);
        useMode(w, StorageVisualMode::folders);
        QVERIFY(cards->layout().cards().data() != laidOut);
        QCOMPARE(cards->layout().cards().size(), count);
        // Emptied, it is laid out as the smallest.
        QCOMPARE(cards->layout().cards().back().node, gamma);
        useMode(w, StorageVisualMode::treemap);
        QVERIFY(tiles->layout().tiles().front().rect != tiled);
    }

    void controlZUndoesOnlyWhileTheToastShows() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        QVERIFY(!w.window->undoShortcut()->isEnabled());
        QCOMPARE(w.window->undoShortcut()->key(), QKeySequence(QStringLiteral("Ctrl+Z")));
        const DiskNodePtr beta = w.child("Beta");
        const DiskNodePtr gamma = w.child("gamma.bin");
        w.state->trashNode(beta);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        w.state->trashNode(gamma);
        QTRY_VERIFY(w.state->lastTrashed() && w.state->lastTrashed()->node == gamma);
        QCOMPARE(w.window->undoToast()->text(), QStringLiteral("Moved gamma.bin to Trash"));
        QVERIFY(w.window->undoShortcut()->isEnabled());
        QTest::keyClick(w.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QTRY_VERIFY(std::filesystem::exists(gamma->url()));
        QVERIFY(!std::filesystem::exists(beta->url())); // only the last move is undone
        QTRY_VERIFY(!w.window->undoShortcut()->isEnabled());
    }

    // The toast shortens a long name in its middle; Ctrl+Z undoes the last move from the
    // canvas, does nothing once the record is gone, and is the search field's own undo there.
    void undoRowShortensLongNamesAndLeavesTheFieldItsControlZ() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        UndoToast* toast = w.window->undoToast();
        const std::string longName(300, 'n');
        w.state->setLastTrashed(TrashUndo(test::makeNode(w.h.tree / longName, false, 1),
                                          w.h.tree / longName, w.h.tree / "gone", 1, 1, {}));
        QVERIFY(toast->shownText().startsWith(QStringLiteral("Moved ")));
        QVERIFY(toast->shownText().endsWith(QStringLiteral(" to Trash")));
        QVERIFY(toast->shownText().contains(QChar(0x2026)));
        QVERIFY(toast->width() <= w.window->width());
        w.state->setLastTrashed(std::nullopt);

        const auto pressUndo = [] {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
            QTest::qWait(50);
        };
        QWidget* canvas = w.window->resultCanvas()->canvas(w.state->storageVisualMode());
        w.window->activateWindow();
        canvas->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), canvas);
        const DiskNodePtr gamma = w.child("gamma.bin");
        w.state->trashNode(gamma);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        pressUndo();
        QTRY_VERIFY(std::filesystem::exists(gamma->url()));

        const DiskNodePtr beta = w.child("Beta");
        w.state->trashNode(beta);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        w.state->setLastTrashed(std::nullopt);
        pressUndo();
        w.h.settle();
        QVERIFY(!std::filesystem::exists(beta->url()));

        const DiskNodePtr alpha = w.child("Alpha");
        w.state->trashNode(alpha);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        QLineEdit* field = w.window->topToolbar()->searchField()->edit();
        field->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field));
        QTest::keyClicks(field, QStringLiteral("xy"));
        pressUndo();
        w.h.settle();
        QVERIFY(field->text() != QStringLiteral("xy"));
        QVERIFY(!std::filesystem::exists(alpha->url()));
        QVERIFY(w.state->lastTrashed().has_value());
        w.state->setSearchText("");
        canvas->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), canvas);
        pressUndo();
        QTRY_VERIFY(std::filesystem::exists(alpha->url()));
    }

    // The search field does not have the keys at start. In the Treemap mode a click on a tile
    // or on the inspector's "Trash" takes them to the canvas, so Ctrl+Z undoes the move; the
    // toast's "Undo" is a button that Tab reaches, and the toast rests above the inspector.
    void treemapClicksTakeTheKeysAndTheToastRestsAboveTheInspector() {
        WindowHarness w;
        w.open();
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QLineEdit* field = w.window->topToolbar()->searchField()->edit();
        QVERIFY(QApplication::focusWidget() != field);
        QVERIFY(w.scanFixture());
        useMode(w, StorageVisualMode::treemap);
        TreemapCanvas* treemap = w.window->resultCanvas()->treemapCanvas();
        KelvaneNestedTileView* tiles = treemap->tileView();
        const DiskNodePtr gamma = w.child("gamma.bin");
        field->setFocus();
        click(tiles, pointOf(tiles, StorageVisualMode::treemap, gamma));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(treemap));
        QCOMPARE(w.state->selectedNodeForInspection(), gamma);

        field->setFocus();
        click(treemap->inspector()->trashButton());
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(treemap));
        UndoToast* toast = w.window->undoToast();
        QTRY_COMPARE(toast->progress(), 1.0);
        QVERIFY(treemap->inspector()->isVisible());
        const int toastBottom = toast->mapTo(w.window.get(), toast->undoRect().bottomLeft()).y();
        const int inspectorTop = treemap->inspector()->mapTo(w.window.get(), QPoint(0, 0)).y();
        QVERIFY2(toastBottom < inspectorTop,
                 qPrintable(QStringLiteral("%1 %2").arg(toastBottom).arg(inspectorTop)));

        QVERIFY(toast->undoButton()->focusPolicy() & Qt::TabFocus);
        toast->undoButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(toast->undoButton(), Qt::Key_Space);
        QTRY_VERIFY(std::filesystem::exists(gamma->url()));

        w.state->trashNode(w.child("Beta"));
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        click(tiles, pointOf(tiles, StorageVisualMode::treemap, w.child("Alpha")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QTRY_VERIFY(std::filesystem::exists(w.h.tree / "fixture/Beta"));
    }

    void listShowsStoredOrderAndReveals() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        useMode(w, StorageVisualMode::list);
        ListCanvas* list = w.window->resultCanvas()->listCanvas();
        const auto& children = w.state->currentTreemapRoot()->children;
        QCOMPARE(list->rowCount(), static_cast<int>(children.size()));
        click(list, list->revealRect(1).center().toPoint());
        QCOMPARE(w.h.revealed.back(), children[1]->url());
        // A click elsewhere on a row neither selects nor drills down.
        const DiskNodePtr selected = w.state->selectedNodeForInspection();
        QTest::mouseDClick(list, Qt::LeftButton, {}, list->rowRect(0).center().toPoint());
        QCOMPARE(w.state->selectedNodeForInspection(), selected);
        QCOMPARE(w.state->currentTreemapRoot(), w.state->rootNode());
    }

    void everyModeTakesTheShownNodeThroughTheModeTable() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        const DiskNodePtr alpha = w.child("Alpha");
        QVERIFY(alpha);
        const auto shownRoot = [canvas](StorageVisualMode mode) -> DiskNodePtr {
            switch (mode) {
            case StorageVisualMode::treemap:
                return canvas->treemapCanvas()->tileView()->root();
            case StorageVisualMode::list:
                return canvas->listCanvas()->root();
            default:
                return canvas->visualisation(mode)->root();
            }
        };
        for (StorageVisualMode mode : allStorageVisualModes()) {
            QCOMPARE(visualModeEntry(mode).mode, mode);
            useMode(w, mode);
            QCOMPARE(shownRoot(mode), w.state->rootNode());
            w.state->drillDownIntoNode(alpha);
            QCOMPARE(shownRoot(mode), alpha);
            w.state->navigateBack();
            QCOMPARE(shownRoot(mode), w.state->rootNode());
        }
        // The treemap and the list answer their own requests: no generic view is wired for them.
        QCOMPARE(canvas->visualisation(StorageVisualMode::treemap), nullptr);
        QCOMPARE(canvas->visualisation(StorageVisualMode::list), nullptr);
    }

    void headerStaysWholeAndShowsTheLastCrumbAtEveryWidth() {
        WindowHarness w;
        const std::vector<std::string> names = makeDeepTrail(w);
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        ModeSwitcher* switcher = canvas->modeSwitcher();
        QWidget* header = switcher->parentWidget();
        const auto check = [&](int width, std::size_t depth) {
            const QByteArray where = QByteArray::number(width) + " wide, trail " +
                                     QByteArray::number(static_cast<int>(depth));
            QCOMPARE(canvas->breadcrumbButtons().size(), depth);
            // The header's own controls keep their full size inside its padding.
            const QRect inside = header->rect().adjusted(14, 0, -14, 0);
            QWidget* const fixed[] = {canvas->backButton(), switcher, canvas->themeButton()};
            for (QWidget* control : fixed) {
                if (control == canvas->backButton() && depth < 2) {
                    QVERIFY2(control->isHidden(), where.constData());
                    continue;
                }
                QVERIFY2(control->isVisible(), where.constData());
                QVERIFY2(control->width() >= control->sizeHint().width(), where.constData());
                QVERIFY2(liesWithin(control, header, inside), where.constData());
            }
            // Every crumb keeps its whole text, none is shortened; the trail is scrolled to its
            // end, where the last crumb shows whole.
            for (StyledButton* crumb : canvas->breadcrumbButtons()) {
                QVERIFY2(crumb->width() >= crumb->sizeHint().width(), where.constData());
            }
            StyledButton* last = canvas->breadcrumbButtons().back();
            QWidget* viewport = last->parentWidget()->parentWidget();
            QVERIFY2(liesWithin(last, viewport, viewport->rect()), where.constData());
            auto* trail = qobject_cast<CrumbTrail*>(viewport->parentWidget());
            QVERIFY(trail != nullptr);
            QScrollBar* scroll = trail->horizontalScrollBar();
            QVERIFY2(scroll->value() == scroll->maximum(), where.constData());
            QVERIFY2(trail->widget()->width() >= trail->widget()->sizeHint().width(),
                     where.constData());
            // Nothing overlaps: the trail takes what the other controls leave.
            const QRect trailRect(trail->mapTo(header, QPoint(0, 0)), trail->size());
            for (QWidget* control : fixed) {
                QVERIFY2(control->isHidden() || !control->geometry().intersects(trailRect),
                         where.constData());
            }
        };
        for (int width : {1050, 1280, 1600}) {
            w.window->resize(width, w.window->minimumHeight());
            w.state->navigateBreadcrumb(0);
            w.h.settle();
            check(width, 1);
            for (std::size_t level = 0; level < names.size(); ++level) {
                const DiskNodePtr next = w.child(names[level]);
                QVERIFY(next);
                w.state->drillDownIntoNode(next);
                w.h.settle();
                check(width, level + 2);
            }
            // A crumb reached with Tab is scrolled into view.
            QApplication::setActiveWindow(w.window.get());
            StyledButton* first = canvas->breadcrumbButtons().front();
            first->setFocus(Qt::TabFocusReason);
            QWidget* viewport = first->parentWidget()->parentWidget();
            QVERIFY(liesWithin(first, viewport, viewport->rect()));
            // Every mode button answers a click, the last one too.
            for (StorageVisualMode mode : {StorageVisualMode::list, StorageVisualMode::folders}) {
                click(switcher, switcher->buttonRect(mode).center().toPoint());
                QCOMPARE(w.state->storageVisualMode(), mode);
            }
        }
    }

    void modeSwitcherThemeButtonAndLayoutBounds() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        ModeSwitcher* switcher = canvas->modeSwitcher();
        click(switcher, switcher->buttonRect(StorageVisualMode::sunburst).center().toPoint());
        QCOMPARE(w.state->storageVisualMode(), StorageVisualMode::sunburst);
        // The pill glides to the new mode.
        QTRY_COMPARE(switcher->pillRect(), switcher->buttonRect(StorageVisualMode::sunburst));
        QCOMPARE(canvas->themeButton()->label(), QStringLiteral("Tarnbrook Classic"));
        QCOMPARE(canvas->themeButton()->look().dots.size(), std::size_t{3});
        click(canvas->themeButton());
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::theme));
        // The sheet holds the window until it closes.
        w.state->setActiveModal(std::nullopt);
        w.h.settle();

        // Without a hovered or selected node the tiles keep 14 points and the idle handle shows.
        useMode(w, StorageVisualMode::treemap);
        TreemapCanvas* treemap = canvas->treemapCanvas();
        w.state->setSelectedNodeForInspection(nullptr);
        QCOMPARE(treemap->tileView()->bottomInset(), 14.0);
        QVERIFY(treemap->inspector()->isHidden());
        w.state->setSelectedNodeForInspection(w.state->rootNode());
        QCOMPARE(treemap->tileView()->bottomInset(), 56.0);
        QVERIFY(treemap->inspector()->isVisible());
    }

    // The flame graph and the mind map show a scroll bar only where part of the map lies
    // outside the canvas, at every window size from the smallest up: here nowhere, the map
    // being no larger than the canvas of the smallest window.
    void scrollBarsShowOnlyWhereThereIsSomethingToScroll() {
        WindowHarness w;
        for (int i = 0; i < 12; ++i) {
            w.h.tree.denseFile("fixture/Folder number " + std::to_string(i) + "/f.dat",
                               1000 * (i + 1));
        }
        w.open();
        QVERIFY(w.scanFixture());
        ResultCanvas* canvas = w.window->resultCanvas();
        for (StorageVisualMode mode : {StorageVisualMode::flame, StorageVisualMode::mindmap}) {
            useMode(w, mode);
            auto* area = qobject_cast<QScrollArea*>(canvas->canvas(mode));
            QVERIFY(area != nullptr);
            for (int height : {w.window->minimumHeight(), 1000}) {
                for (int width = w.window->minimumWidth(); width <= 1700; width += 9) {
                    w.window->resize(width, height);
                    w.h.settle();
                    const QByteArray where =
                        QByteArray(rawValue(mode).data()) + " at " + QByteArray::number(width) +
                        " x " + QByteArray::number(height) + ": map " +
                        QByteArray::number(area->widget()->minimumWidth()) + " wide in " +
                        QByteArray::number(area->viewport()->width()) + ", ranges " +
                        QByteArray::number(area->horizontalScrollBar()->maximum()) + " / " +
                        QByteArray::number(area->verticalScrollBar()->maximum());
                    QVERIFY2(!area->horizontalScrollBar()->isVisible() &&
                                 !area->verticalScrollBar()->isVisible(),
                             where.constData());
                    QVERIFY2(area->horizontalScrollBar()->maximum() == 0 &&
                                 area->verticalScrollBar()->maximum() == 0,
                             where.constData());
                }
            }
        }
    }
};

QTEST_MAIN(ResultCanvasTest)
#include "ResultCanvasTest.moc"
