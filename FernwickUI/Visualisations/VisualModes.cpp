#include "FernwickUI/Visualisations/VisualModes.h"

#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Visualisations/BubbleNodeView.h"
#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"
#include "FernwickUI/Visualisations/FolderCardView.h"
#include "FernwickUI/Visualisations/ListCanvas.h"
#include "FernwickUI/Visualisations/MindMapBranchView.h"
#include "FernwickUI/Visualisations/NestedTilePainter.h"
#include "FernwickUI/Visualisations/SunburstRadialView.h"
#include "FernwickUI/Visualisations/TreemapCanvas.h"
#include "FernwickUI/Visualisations/ViewPicture.h"

#include <QScrollArea>

#include <array>

namespace fernwick::ui {

namespace {

enum class Scrolling { none, vertical, both };

QWidget* inScrollArea(QWidget* content, Scrolling scrolling) {
    if (scrolling == Scrolling::none) {
        // A click takes the keys from the search field, as it does in the scrolled canvases.
        content->setFocusPolicy(Qt::ClickFocus);
        return content;
    }
    auto* area = new QScrollArea;
    // A click into the canvas lets the keys scroll it; Tab passes by (it would show nothing).
    area->setFocusPolicy(Qt::ClickFocus);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(scrolling == Scrolling::both ? Qt::ScrollBarAsNeeded
                                                                    : Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->viewport()->setAutoFillBackground(false);
    area->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
    area->setWidget(content);
    return area;
}

template <typename View, Scrolling scrolling> ModePage viewPage(AppState& /*state*/) {
    auto* view = new View;
    return {inScrollArea(view, scrolling), view, view,
            [view](const DiskNodePtr& root) { view->setRoot(root); }, nullptr};
}

ModePage treemapPage(AppState& state) {
    auto* canvas = new TreemapCanvas(state);
    // A click on a tile or on the inspector takes the keys from the search field.
    canvas->setFocusPolicy(Qt::ClickFocus);
    // Shown again, only the inspector follows what was selected meanwhile; the tiles stand.
    return {canvas, canvas, nullptr, [canvas](const DiskNodePtr& root) { canvas->setRoot(root); },
            [canvas] { canvas->updateInspector(); }};
}

ModePage listPage(AppState& state) {
    auto* list = new ListCanvas;
    QObject::connect(list, &ListCanvas::revealRequested, list,
                     [&state](const DiskNodePtr& node) { state.revealInFinder(node->url()); });
    return {inScrollArea(list, Scrolling::vertical), list, nullptr,
            [list](const DiskNodePtr& root) { list->setRoot(root); }, nullptr};
}

// In the order of StorageVisualMode.
constexpr std::array<VisualModeEntry, 7> kModes = {{
    {StorageVisualMode::folders, viewPage<FolderCardView, Scrolling::vertical>},
    {StorageVisualMode::treemap, treemapPage},
    {StorageVisualMode::sunburst, viewPage<SunburstRadialView, Scrolling::none>},
    {StorageVisualMode::bubbles, viewPage<BubbleNodeView, Scrolling::vertical>},
    {StorageVisualMode::flame, viewPage<FlameGraphHierarchyView, Scrolling::both>},
    {StorageVisualMode::mindmap, viewPage<MindMapBranchView, Scrolling::both>},
    {StorageVisualMode::list, listPage},
}};

static_assert(kModes.size() ==
              std::tuple_size_v<std::remove_cvref_t<decltype(allStorageVisualModes())>>);

} // namespace

const VisualModeEntry& visualModeEntry(StorageVisualMode mode) {
    const VisualModeEntry& entry = kModes.at(static_cast<std::size_t>(mode));
    return entry;
}

void warmUpVisualModes() {
    static bool started = false;
    if (started) {
        return;
    }
    started = true;
    warmUpPoolThreads([] {
        NestedTilePainter::warmUp();
        FlameGraphHierarchyView::warmUp();
        BubbleNodeView::warmUp();
        SunburstRadialView::warmUp();
        FolderCardView::warmUp();
    });
}

} // namespace fernwick::ui
