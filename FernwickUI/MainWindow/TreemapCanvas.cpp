#include "FernwickUI/MainWindow/TreemapCanvas.h"

#include "FernwickCore/Scanning/TreemapLayoutEngine.h"
#include "FernwickUI/MainWindow/InspectorBar.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Visualisations/VisualPainting.h"

#include <QPainter>

namespace fernwick::ui {

namespace {
constexpr double kMargin = 12;
constexpr double kInspectorOffset = 56;
constexpr double kIdleOffset = 14;
constexpr int kMaxVisualDepth = 4;
constexpr double kMinTileSize = 6;
} // namespace

TreemapCanvas::TreemapCanvas(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_inspector(new InspectorBar(this)) {
    m_inspector->hide();
    connect(m_inspector, &InspectorBar::revealRequested, this,
            [this](const DiskNodePtr& node) { m_state.revealInFinder(node->url()); });
    connect(m_inspector, &InspectorBar::trashRequested, this,
            [this](const DiskNodePtr& node) { m_state.trashNode(node); });
    connect(m_inspector, &InspectorBar::drillDownRequested, this,
            [this](const DiskNodePtr& node) { m_state.drillDownIntoNode(node); });
    connect(&m_state, &AppState::selectedNodeForInspectionChanged, this, [this] {
        if (isVisible()) {
            relayout();
        }
    });
}

Rect TreemapCanvas::layoutBounds(QSizeF size, bool inspectorShown) {
    const double offset = inspectorShown ? kInspectorOffset : kIdleOffset;
    return {0, 0, size.width() - 2 * kMargin,
            std::max(size.height() - 2 * kMargin - offset, 100.0)};
}

DiskNodePtr TreemapCanvas::inspectedNode() const {
    if (m_hoveredRect) {
        return m_hoveredRect->node;
    }
    return m_state.selectedNodeForInspection();
}

void TreemapCanvas::setHoveredRect(std::optional<TreemapRect> rect) {
    const bool same = rect.has_value() == m_hoveredRect.has_value() &&
                      (!rect || rect->node == m_hoveredRect->node);
    m_hoveredRect = std::move(rect);
    if (!same) {
        relayout();
    }
}

void TreemapCanvas::refresh() {
    // The hovered tile may belong to a layout that is gone.
    m_hoveredRect.reset();
    relayout();
}

void TreemapCanvas::relayout() {
    const DiskNodePtr inspected = inspectedNode();
    m_inspectorShown = inspected != nullptr;
    const Rect bounds = layoutBounds(size(), m_inspectorShown);
    const DiskNodePtr& root = m_state.currentTreemapRoot();
    m_tiles = root ? TreemapLayoutEngine::shared().generateLayout(root, bounds, kMaxVisualDepth,
                                                                  kMinTileSize)
                   : std::vector<TreemapRect>{};
    if (m_tileView != nullptr) {
        m_tileView->setGeometry(static_cast<int>(kMargin), static_cast<int>(kMargin),
                                static_cast<int>(std::max(0.0, bounds.width)),
                                static_cast<int>(bounds.height));
    }
    m_inspector->setNode(inspected);
    m_inspector->setVisible(m_inspectorShown);
    placeInspector();
    update();
}

void TreemapCanvas::placeInspector() {
    if (!m_inspectorShown) {
        return;
    }
    // The bar's own frame holds room for its shadow; 16 points at the sides, 8 below.
    const QSize hint = m_inspector->sizeHint();
    const int side = 16 - 8;
    const int width = std::max(0, this->width() - 2 * side);
    m_inspector->setGeometry(side, height() - (8 - 11) - hint.height(), width, hint.height());
    m_inspector->raise();
}

void TreemapCanvas::resizeEvent(QResizeEvent* /*event*/) {
    relayout();
}

void TreemapCanvas::paintEvent(QPaintEvent* /*event*/) {
    if (m_inspectorShown) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(whiteAt(0.18));
    painter.drawRoundedRect(QRectF((width() - 34) / 2.0, height() - 6 - 4, 34, 4), 2, 2);
}

} // namespace fernwick::ui
