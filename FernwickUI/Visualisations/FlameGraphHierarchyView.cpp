#include "FernwickUI/Visualisations/FlameGraphHierarchyView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

namespace {

constexpr double kContentPadding = 6;
constexpr double kContentSpacing = 4;
constexpr double kIconWidth = 12;
constexpr double kIconSize = 10;

QFont nameFont() {
    return uiFont(10, QFont::Bold);
}
QFont smallNameFont() {
    return uiFont(8.5, QFont::Bold);
}
QFont sizeFont() {
    return uiFont(9.5, QFont::DemiBold, FontDesign::monospaced);
}

} // namespace

void FlameGraphHierarchyView::warmUp() {
    warmUpFonts({nameFont(), smallNameFont(), sizeFont()}, {"folder.fill", "doc.fill"}, kIconSize);
}

FlameGraphHierarchyView::FlameGraphHierarchyView(QWidget* parent)
    : VisualisationView(parent), m_nameFont(nameFont()), m_smallNameFont(smallNameFont()),
      m_sizeFont(sizeFont()) {
    // A double click is told from a click before the click selects: on a file it does nothing.
    setDoubleClickFirst(true);
    setMinimumSize(static_cast<int>(FlameGraphLayout::kMinimumViewWidth),
                   static_cast<int>(FlameGraphLayout::contentHeight()));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

FlameGraphHierarchyView::~FlameGraphHierarchyView() = default;

void FlameGraphHierarchyView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    relayout();
}

QSize FlameGraphHierarchyView::sizeHint() const {
    return minimumSize();
}

void FlameGraphHierarchyView::relayout() {
    m_layout = FlameGraphLayout::compute(m_root, width());
    prepareTexts();
    m_hiddenRatio = 0; // marked at the next paint, for its device pixels
    m_picture.invalidate();
    // The node stays hovered while its bar is still shown; its index may have changed.
    int hovered = -1;
    if (m_state.hoveredFlameNode) {
        for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
            if (m_layout.bars()[i].node->id() == m_state.hoveredFlameNode->id()) {
                hovered = static_cast<int>(i);
                break;
            }
        }
    }
    clearHover();
    if (hovered < 0) {
        m_state.hoveredFlameNode.reset();
    }
    setHoveredItem(hovered);
    update();
}

void FlameGraphHierarchyView::prepareTexts() {
    const QFontMetricsF nameMetrics(m_nameFont);
    const QFontMetricsF smallMetrics(m_smallNameFont);
    const QFontMetricsF sizeMetrics(m_sizeFont);
    m_texts.assign(m_layout.bars().size(), {});
    for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
        const auto& bar = m_layout.bars()[i];
        // The content starts after the padding: on a bar no wider than that all of it is clipped.
        if (bar.rect.width <= kContentPadding) {
            continue;
        }
        auto& texts = m_texts[i];
        // Icon, name, a spacer and the size; the name gives way first.
        double room = bar.rect.width - 2 * kContentPadding;
        if (!bar.isSmall) {
            texts.size = displayText(bar.node->formattedSize());
            texts.sizeWidth = sizeMetrics.horizontalAdvance(texts.size);
            room -= kIconWidth + 2 * kContentSpacing + texts.sizeWidth;
        }
        if (room > 0) {
            texts.name = (bar.isSmall ? smallMetrics : nameMetrics)
                             .elidedText(displayText(bar.node->name()), Qt::ElideRight, room);
        }
    }
}

void FlameGraphHierarchyView::markCrowdedRows(qreal ratio) {
    const auto& bars = m_layout.bars();
    m_hidden.assign(bars.size(), false);
    m_hiddenRatio = ratio;
    const double rowPixels =
        (std::max(width(), static_cast<int>(FlameGraphLayout::kMinimumViewWidth)) -
         2 * FlameGraphLayout::kPadding) *
        ratio;
    // The children row follows the root; the bottom row follows the children row.
    std::size_t rowStart = 1;
    while (rowStart < bars.size()) {
        std::size_t rowEnd = rowStart;
        while (rowEnd < bars.size() && bars[rowEnd].isSmall == bars[rowStart].isSmall) {
            ++rowEnd;
        }
        if (static_cast<double>(rowEnd - rowStart) > 2 * rowPixels) {
            for (std::size_t i = rowStart; i + 1 < rowEnd; ++i) {
                const Rect& rect = bars[i].rect;
                const Rect& next = bars[i + 1].rect;
                m_hidden[i] = rect.width * ratio < 1 && next.width * ratio < 1 &&
                              std::floor(rect.x * ratio) == std::floor(next.x * ratio);
            }
        }
        rowStart = rowEnd;
    }
}

void FlameGraphHierarchyView::resizeEvent(QResizeEvent* event) {
    relayout();
    VisualisationView::resizeEvent(event);
}

int FlameGraphHierarchyView::itemAt(const QPointF& pos) const {
    return m_layout.barAt(pos.x(), pos.y());
}

DiskNodePtr FlameGraphHierarchyView::nodeOfItem(int item) const {
    return m_layout.bars().at(static_cast<std::size_t>(item)).node;
}

void FlameGraphHierarchyView::hoverChanged(int previous, int current) {
    m_state.hoveredFlameNode = current >= 0 ? nodeOfItem(current) : nullptr;
    repaintBar(previous);
    repaintBar(current);
}

void FlameGraphHierarchyView::repaintBar(int item) {
    if (item < 0 || item >= static_cast<int>(m_layout.bars().size())) {
        return;
    }
    // The hovered outline reaches 0.75 beyond the bar.
    const QRect area = toQRect(m_layout.bars()[static_cast<std::size_t>(item)].rect)
                           .adjusted(-2, -2, 2, 2)
                           .toAlignedRect();
    m_picture.invalidate(area);
    update(area);
}

void FlameGraphHierarchyView::paintEvent(QPaintEvent* event) {
    const qreal ratio = devicePixelRatioF();
    if (m_hiddenRatio != ratio) {
        markCrowdedRows(ratio);
        m_picture.invalidate();
    }
    QPainter painter(this);
    m_picture.paint(
        painter, event->rect(), size(), ratio,
        [this](QPainter& picture, const QRectF& area) { drawBars(picture, area, false); });
}

void FlameGraphHierarchyView::drawPlain(QPainter& painter) const {
    drawBars(painter, QRectF(rect()), true);
}

void FlameGraphHierarchyView::drawBars(QPainter& painter, const QRectF& area, bool plain) const {
    const int hovered = hoveredItem();
    for (std::size_t i = 0; i < m_layout.bars().size(); ++i) {
        const auto& bar = m_layout.bars()[i];
        if (!bar.isVisible() || (!plain && m_hidden[i] && static_cast<int>(i) != hovered)) {
            continue;
        }
        // An outline reaches up to 0.75 beyond its bar.
        if (area.intersects(toQRect(bar.rect).adjusted(-1, -1, 1, 1))) {
            paintBar(painter, i);
        }
    }
}

void FlameGraphHierarchyView::paintBar(QPainter& painter, std::size_t index) const {
    const auto& bar = m_layout.bars()[index];
    const auto& texts = m_texts[index];
    const auto& node = *bar.node;
    const QColor k = FernwickTheme::color(node.category);
    const bool isHovered = m_state.hoveredFlameNode && m_state.hoveredFlameNode->id() == node.id();
    const QRectF rect = toQRect(bar.rect);
    painter.setBrush(withOpacity(k, isHovered ? 0.7 : (bar.isRoot ? 0.35 : 0.22)));
    painter.setPen(isHovered ? QPen(Qt::white, 1.5) : QPen(withOpacity(k, 0.6), 0.8));
    painter.drawRoundedRect(rect, 4, 4);
    if (bar.rect.width <= kContentPadding) {
        return;
    }
    // What does not fit is clipped at the bar's edges.
    painter.save();
    painter.setClipRect(rect);
    const QRectF content = rect.adjusted(kContentPadding, 0, -kContentPadding, 0);
    double nameLeft = content.left();
    if (!bar.isSmall) {
        drawSystemIcon(painter, QRectF(content.left(), content.top(), kIconWidth, content.height()),
                       node.isDirectory() ? "folder.fill" : "doc.fill", kIconSize, k);
        nameLeft += kIconWidth + kContentSpacing;
        // At the end of the row; on a bar too narrow for it, right after the icon.
        const double sizeLeft = std::max(content.right() - texts.sizeWidth, nameLeft);
        painter.setFont(m_sizeFont);
        painter.setPen(whiteAt(0.85));
        painter.drawText(QRectF(sizeLeft, content.top(), texts.sizeWidth + 1, content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, texts.size);
    }
    if (!texts.name.isEmpty()) {
        painter.setFont(bar.isSmall ? m_smallNameFont : m_nameFont);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(nameLeft, content.top(), std::max(content.right() - nameLeft, 0.0),
                                content.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, texts.name);
    }
    painter.restore();
}

} // namespace fernwick::ui
