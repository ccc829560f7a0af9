#include "FernwickUI/Visualisations/BubbleNodeView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Visualisations/HoverAnimator.h"

#include <QFontMetricsF>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace fernwick::ui {

namespace {

constexpr double kLabelSpacing = 3;
constexpr double kNamePadding = 8;

double lineHeight(const QFont& font) {
    return QFontMetricsF(font).height();
}

constexpr double kLargeIconSize = 20;
constexpr double kSmallIconSize = 14;

QFont nameFont(bool large) {
    return uiFont(large ? 11 : 9, QFont::Bold);
}
QFont sizeFont(bool large) {
    return uiFont(large ? 12 : 10, QFont::Black, FontDesign::rounded);
}
QFont itemsFont() {
    return uiFont(8, QFont::Normal, FontDesign::monospaced);
}

} // namespace

// Made for each drawing: the picture is drawn on several threads at once, and a font keeps what
// it resolves to, for one thread.
struct BubbleNodeView::Fonts {
    std::array<QFont, 2> name{nameFont(false), nameFont(true)};
    std::array<QFont, 2> size{sizeFont(false), sizeFont(true)};
    QFont items = itemsFont();
};

void BubbleNodeView::warmUp() {
    warmUpFonts({nameFont(true), sizeFont(true), nameFont(false), sizeFont(false), itemsFont()},
                {"folder.fill", "doc.fill"}, kLargeIconSize);
    warmUpFonts({}, {"folder.fill", "doc.fill"}, kSmallIconSize);
}

BubbleNodeView::BubbleNodeView(QWidget* parent)
    // A spring of response 0.25 s and damping 0.7: a short ease with a slight overshoot.
    : VisualisationView(parent),
      m_animator(new HoverAnimator(this, 300, QEasingCurve::OutBack,
                                   [this](int item) { repaintBubble(item); })) {
    for (int large = 0; large < 2; ++large) {
        auto& type = m_type[static_cast<std::size_t>(large)];
        type.name = nameFont(large != 0);
        type.size = sizeFont(large != 0);
        type.iconSize = large ? kLargeIconSize : kSmallIconSize;
        type.iconLine = type.iconSize * 1.2;
        type.nameLine = lineHeight(type.name);
        type.sizeLine = lineHeight(type.size);
    }
    m_itemsLine = lineHeight(itemsFont());
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

BubbleNodeView::~BubbleNodeView() = default;

void BubbleNodeView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    m_layout = BubbleLayout::compute(root, width());
    m_animator->reset();
    clearHover();
    m_texts.clear();
    for (const auto& bubble : m_layout.bubbles()) {
        const auto& node = *bubble.node;
        BubbleTexts texts;
        const auto& type = m_type[bubble.isLarge ? 1 : 0];
        texts.name =
            QFontMetricsF(type.name).elidedText(displayText(node.name()), Qt::ElideRight,
                                                std::max(bubble.diameter - 2 * kNamePadding, 0.0));
        texts.size = displayText(node.formattedSize());
        if (bubble.showsItemCount) {
            texts.items = tr("%1 items").arg(static_cast<qlonglong>(node.itemCount));
        }
        m_texts.push_back(std::move(texts));
    }
    m_picture.invalidate();
    updateGeometry();
    update();
}

int BubbleNodeView::heightForWidth(int width) const {
    return static_cast<int>(std::ceil(m_layout.placedFor(width).contentHeight()));
}

QSize BubbleNodeView::sizeHint() const {
    return {static_cast<int>(BubbleLayout::kMaximumColumnWidth + 2 * BubbleLayout::kPadding),
            static_cast<int>(std::ceil(m_layout.contentHeight()))};
}

int BubbleNodeView::itemAt(const QPointF& pos) const {
    return m_layout.bubbleAt(pos.x(), pos.y());
}

DiskNodePtr BubbleNodeView::nodeOfItem(int item) const {
    return m_layout.bubbles().at(static_cast<std::size_t>(item)).node;
}

void BubbleNodeView::hoverChanged(int previous, int current) {
    // The hovered bubble is drawn above the others from now on, before its spring moves.
    repaintBubble(previous);
    repaintBubble(current);
    m_animator->setHovered(current);
}

QRectF BubbleNodeView::reachOf(const BubbleLayout::Bubble& bubble) const {
    // Grown by 6 % with a little overshoot, plus the outline.
    const double reach = bubble.diameter / 2 * 1.1 + 3;
    return {bubble.centerX - reach, bubble.centerY - reach, 2 * reach, 2 * reach};
}

void BubbleNodeView::cutIntoRows() {
    // The rows of the grid, each from the top of the highest bubble in it to the bottom of the
    // lowest as drawn now, grown by a hover and outlined (a row begins where a bubble lies left
    // of the one before).
    std::vector<std::pair<double, double>> rows;
    double previousX = 0;
    const auto& bubbles = m_layout.bubbles();
    for (std::size_t i = 0; i < bubbles.size(); ++i) {
        const auto& bubble = bubbles[i];
        const double hover = m_animator->progress(static_cast<int>(i));
        const double extent = bubble.diameter / 2 * (1 + (BubbleLayout::kHoverScale - 1) * hover) +
                              (1 + std::clamp(hover, 0.0, 1.0)) / 2 + 1;
        const double top = bubble.centerY - extent;
        const double bottom = bubble.centerY + extent;
        if (rows.empty() || bubble.centerX < previousX) {
            rows.emplace_back(top, bottom);
        } else {
            rows.back().first = std::min(rows.back().first, top);
            rows.back().second = std::max(rows.back().second, bottom);
        }
        previousX = bubble.centerX;
    }
    // Up to four parts of about as many rows, cut between rows.
    constexpr std::size_t kParts = 4;
    const std::size_t parts = std::min(rows.size(), kParts);
    std::vector<double> cuts;
    for (std::size_t part = 1; part < parts; ++part) {
        const std::size_t after = rows.size() * part / parts - 1;
        if (rows[after].second < rows[after + 1].first) {
            cuts.push_back((rows[after].second + rows[after + 1].first) / 2);
        }
    }
    m_picture.setRowCuts(std::move(cuts));
}

void BubbleNodeView::repaintBubble(int item) {
    if (item >= 0 && item < static_cast<int>(m_layout.bubbles().size())) {
        const QRect area =
            reachOf(m_layout.bubbles()[static_cast<std::size_t>(item)]).toAlignedRect();
        m_picture.invalidate(area);
        update(area);
    }
}

std::unique_ptr<QMenu> BubbleNodeView::contextMenuAt(const QPoint& pos) {
    const int item = itemAt(pos);
    if (item < 0) {
        return nullptr;
    }
    return buildItemMenu(nodeOfItem(item),
                         {MenuEntry::inspect, MenuEntry::drillDown, MenuEntry::reveal,
                          MenuEntry::separator, MenuEntry::destructiveTrash});
}

void BubbleNodeView::resizeEvent(QResizeEvent* event) {
    m_layout = m_layout.placedFor(width());
    m_picture.invalidate();
    VisualisationView::resizeEvent(event);
}

void BubbleNodeView::paintEvent(QPaintEvent* event) {
    cutIntoRows();
    QPainter painter(this);
    m_picture.paint(painter, event->rect(), size(), devicePixelRatioF(),
                    [this](QPainter& picture, const QRectF& area) { drawArea(picture, area); });
}

void BubbleNodeView::drawPlain(QPainter& painter) const {
    drawArea(painter, QRectF(rect()));
}

void BubbleNodeView::drawArea(QPainter& painter, const QRectF& area) const {
    // The hovered bubble is drawn last so that its grown circle lies above its neighbours.
    const int hovered = hoveredItem();
    const auto& bubbles = m_layout.bubbles();
    const Fonts fonts;
    for (int i = 0; i < static_cast<int>(bubbles.size()); ++i) {
        if (i != hovered && area.intersects(reachOf(bubbles[static_cast<std::size_t>(i)]))) {
            paintBubble(painter, i, fonts);
        }
    }
    if (hovered >= 0 && area.intersects(reachOf(bubbles[static_cast<std::size_t>(hovered)]))) {
        paintBubble(painter, hovered, fonts);
    }
}

void BubbleNodeView::paintBubble(QPainter& painter, int index, const Fonts& fonts) const {
    const auto& bubble = m_layout.bubbles()[static_cast<std::size_t>(index)];
    const auto& texts = m_texts[static_cast<std::size_t>(index)];
    const auto& node = *bubble.node;
    const QColor category = FernwickTheme::color(node.category);
    const double hover = m_animator->progress(index);
    const double clampedHover = std::clamp(hover, 0.0, 1.0);
    const QPointF centre(bubble.centerX, bubble.centerY);
    const double radius = bubble.diameter / 2;

    painter.save();
    const double scale = 1 + (BubbleLayout::kHoverScale - 1) * hover;
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);

    QRadialGradient glow(centre, radius);
    glow.setColorAt(std::min(5 / radius, 1.0), withOpacity(category, 0.25 + 0.2 * clampedHover));
    glow.setColorAt(1, withOpacity(category, 0.05));
    painter.setPen(Qt::NoPen);
    painter.setBrush(glow);
    painter.drawEllipse(centre, radius, radius);
    painter.setPen(
        QPen(mixColours(withOpacity(category, 0.7), Qt::white, clampedHover), 1 + clampedHover));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);

    const auto& type = m_type[bubble.isLarge ? 1 : 0];
    double height = type.iconLine + type.nameLine + type.sizeLine + 2 * kLabelSpacing;
    if (!texts.items.isEmpty()) {
        height += kLabelSpacing + m_itemsLine;
    }
    double top = centre.y() - height / 2;
    const double left = centre.x() - radius;
    const double width = bubble.diameter;
    drawSystemIcon(painter, QRectF(left, top, width, type.iconLine),
                   node.isDirectory() ? "folder.fill" : "doc.fill", type.iconSize, category);
    top += type.iconLine + kLabelSpacing;
    const std::size_t large = bubble.isLarge ? 1 : 0;
    painter.setFont(fonts.name[large]);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(left + kNamePadding, top, width - 2 * kNamePadding, type.nameLine),
                     Qt::AlignCenter | Qt::TextSingleLine, texts.name);
    top += type.nameLine + kLabelSpacing;
    painter.setFont(fonts.size[large]);
    painter.setPen(whiteAt(0.9));
    painter.drawText(QRectF(left - radius, top, 2 * width, type.sizeLine),
                     Qt::AlignCenter | Qt::TextSingleLine, texts.size);
    if (!texts.items.isEmpty()) {
        top += type.sizeLine + kLabelSpacing;
        painter.setFont(fonts.items);
        painter.setPen(whiteAt(0.45));
        painter.drawText(QRectF(left - radius, top, 2 * width, m_itemsLine),
                         Qt::AlignCenter | Qt::TextSingleLine, texts.items);
    }
    painter.restore();
}

} // namespace fernwick::ui
