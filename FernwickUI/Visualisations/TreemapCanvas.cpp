#include "FernwickUI/Visualisations/TreemapCanvas.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Visualisations/InspectorBar.h"
#include "FernwickUI/Visualisations/KelvaneNestedTileView.h"

namespace fernwick::ui {

namespace {
constexpr double kInspectorOffset = 56;
constexpr double kIdleOffset = 14;
} // namespace

TreemapCanvas::TreemapCanvas(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_tileView(new KelvaneNestedTileView(this)),
      m_inspector(new InspectorBar(this)),
      m_idleHandle(makeRoundedBar(QSize(34, 4), whiteAt(0.18), 2, this)) {
    m_inspector->hide();
    // A large folder is laid out on the tile view's worker, which reads the tree through a view
    // of it: a change meanwhile copies what it touches instead of changing what is read.
    m_tileView->setTreeHold([this] { return m_state.scanTree().view(); });
    connect(m_tileView, &VisualisationView::selectRequested, this,
            [this](const DiskNodePtr& node) { m_state.setSelectedNodeForInspection(node); });
    connect(m_tileView, &VisualisationView::drillDownRequested, this,
            [this](const DiskNodePtr& node) { m_state.drillDownIntoNode(node); });
    connect(m_tileView, &VisualisationView::revealRequested, this,
            [this](const DiskNodePtr& node) { m_state.revealInFinder(node->url()); });
    connect(m_tileView, &VisualisationView::trashRequested, this,
            [this](const DiskNodePtr& node) { m_state.trashNode(node); });
    connect(m_tileView, &KelvaneNestedTileView::hoveredNodeChanged, this,
            &TreemapCanvas::setHoveredNode);
    connect(m_inspector, &InspectorBar::revealRequested, this,
            [this](const DiskNodePtr& node) { m_state.revealInFinder(node->url()); });
    connect(m_inspector, &InspectorBar::trashRequested, this,
            [this](const DiskNodePtr& node) { m_state.trashNode(node); });
    connect(m_inspector, &InspectorBar::drillDownRequested, this,
            [this](const DiskNodePtr& node) { m_state.drillDownIntoNode(node); });
    connect(&m_state, &AppState::selectedNodeForInspectionChanged, this,
            &TreemapCanvas::updateInspector);
    connect(&m_state, &AppState::currentThemeChanged, this,
            [this] { m_tileView->setTheme(m_state.currentTheme()); });
    m_tileView->setTheme(m_state.currentTheme());
}

DiskNodePtr TreemapCanvas::inspectedNode() const {
    if (m_hoveredNode) {
        return m_hoveredNode;
    }
    return m_state.selectedNodeForInspection();
}

void TreemapCanvas::setHoveredNode(DiskNodePtr node) {
    if (node == m_hoveredNode) {
        return;
    }
    m_hoveredNode = std::move(node);
    updateInspector();
}

void TreemapCanvas::setRoot(const DiskNodePtr& root) {
    m_hoveredNode.reset();
    m_tileView->setRoot(root);
    updateInspector();
}

void TreemapCanvas::updateInspector() {
    const DiskNodePtr inspected = inspectedNode();
    const bool shown = inspected != nullptr;
    m_tileView->setBottomInset(shown ? kInspectorOffset : kIdleOffset);
    m_inspector->setNode(inspected);
    m_inspector->setVisible(shown);
    m_idleHandle->setVisible(!shown);
    placeInspector();
}

void TreemapCanvas::placeInspector() {
    m_idleHandle->move((width() - m_idleHandle->width()) / 2,
                       height() - 6 - m_idleHandle->height());
    m_idleHandle->raise();
    if (m_inspector->isHidden()) {
        return;
    }
    // The bar's frame holds room for its shadow: 8 points at the sides and 11 below, so that
    // the bar itself keeps 16 points from the sides and 8 from the bottom.
    const int height = m_inspector->sizeHint().height();
    m_inspector->setGeometry(16 - 8, this->height() - 8 + 11 - height,
                             std::max(0, width() - 2 * (16 - 8)), height);
    m_inspector->raise();
}

void TreemapCanvas::resizeEvent(QResizeEvent* /*event*/) {
    m_tileView->setGeometry(rect());
    placeInspector();
}

} // namespace fernwick::ui
