#include "FernwickUI/Visualisations/SunburstRadialView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>

namespace fernwick::ui {

namespace {

// The card's padding, the name's lines, the path under them.
constexpr double kCardNameLine = 15;
constexpr double kCardHeightBesideName = 8 + 2 + 12 + 8;
constexpr double kCardIconWidth = 18;
constexpr double kCardSpacing = 10;
constexpr double kCardSideMargin = 24;
constexpr double kCardBottomMargin = 12;
constexpr double kCardPadding = 14;
constexpr double kCentreIconLine = 17;

QPainterPath sectorPath(const SunburstLayout::Sector& sector, double cx, double cy) {
    const QRectF outer(cx - sector.outerRadius, cy - sector.outerRadius, 2 * sector.outerRadius,
                       2 * sector.outerRadius);
    const QRectF inner(cx - sector.innerRadius, cy - sector.innerRadius, 2 * sector.innerRadius,
                       2 * sector.innerRadius);
    const double start = SunburstLayout::toQtDegrees(sector.startAngle);
    const double end = SunburstLayout::toQtDegrees(sector.endAngle);
    QPainterPath path;
    path.arcMoveTo(outer, start);
    path.arcTo(outer, start, end - start);
    path.arcTo(inner, end, start - end);
    path.closeSubpath();
    return path;
}

constexpr double kCentreIconSize = 14;
constexpr double kCardIconSize = 13;

QFont centreNameFont() {
    return uiFont(11, QFont::Bold);
}
QFont centreSizeFont() {
    return uiFont(10, QFont::Black, FontDesign::monospaced);
}
QFont cardNameFont() {
    return uiFont(12, QFont::Bold);
}
QFont cardPathFont() {
    return uiFont(9, QFont::Normal, FontDesign::monospaced);
}
QFont cardSizeFont() {
    return uiFont(12, QFont::Black, FontDesign::rounded);
}

} // namespace

void SunburstRadialView::warmUp() {
    warmUpFonts(
        {centreNameFont(), centreSizeFont(), cardNameFont(), cardPathFont(), cardSizeFont()},
        {"internaldrive.fill"}, kCentreIconSize);
    warmUpFonts({}, {"folder.fill", "doc.fill"}, kCardIconSize);
}

SunburstRadialView::SunburstRadialView(QWidget* parent)
    : VisualisationView(parent), m_centreNameFont(centreNameFont()),
      m_centreSizeFont(centreSizeFont()), m_cardNameFont(cardNameFont()),
      m_cardPathFont(cardPathFont()), m_cardSizeFont(cardSizeFont()) {
    // A double click is told from a click before the click selects: on a file it does nothing.
    setDoubleClickFirst(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

SunburstRadialView::~SunburstRadialView() = default;

void SunburstRadialView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    m_rootName = root && !root->name().empty() ? displayText(root->name()) : QStringLiteral("~");
    m_rootSize = root ? displayText(root->formattedSize()) : QString();
    relayout();
}

void SunburstRadialView::relayout() {
    const auto frame = SunburstLayout::frameFor(width(), height());
    m_layout = SunburstLayout::compute(m_root, frame);
    m_paths.clear();
    m_bounds.clear();
    m_colours.clear();
    for (const auto& sector : m_layout.sectors()) {
        m_paths.push_back(sectorPath(sector, frame.centerX, frame.centerY));
        // The hovered outline reaches 0.9 beyond the path.
        m_bounds.push_back(m_paths.back().boundingRect().adjusted(-2, -2, 2, 2));
        m_colours.push_back(
            withOpacity(FernwickTheme::color(sector.colourCategory), sector.colourOpacity));
    }
    // The next pointer event finds the hovered sector among the new ones.
    clearHover();
    m_state.hoveredSectorNode.reset();
    m_picture.invalidate();
    update();
}

void SunburstRadialView::resizeEvent(QResizeEvent* event) {
    relayout();
    VisualisationView::resizeEvent(event);
}

int SunburstRadialView::itemAt(const QPointF& pos) const {
    return m_layout.sectorAt(pos.x(), pos.y());
}

DiskNodePtr SunburstRadialView::nodeOfItem(int item) const {
    return m_layout.sectors().at(static_cast<std::size_t>(item)).node;
}

void SunburstRadialView::hoverChanged(int previous, int current) {
    // Only the sectors that change and the card below need drawing again.
    for (const int item : {previous, current}) {
        if (item >= 0 && item < static_cast<int>(m_bounds.size())) {
            repaintArea(m_bounds[static_cast<std::size_t>(item)].toAlignedRect());
        }
    }
    // The card before and after: its height follows the name.
    repaintArea(hoverCardRect().adjusted(-10, -10, 10, 10).toAlignedRect());
    m_state.hoveredSectorNode = current >= 0 ? nodeOfItem(current) : nullptr;
    prepareCard();
    repaintArea(hoverCardRect().adjusted(-10, -10, 10, 10).toAlignedRect());
}

void SunburstRadialView::prepareCard() {
    const auto& node = m_state.hoveredSectorNode;
    if (!node) {
        return;
    }
    m_cardSize = displayText(node->formattedSize());
    const double cardWidth = std::max(width() - 2 * kCardSideMargin, 0.0);
    const double pathWidth = cardWidth - 2 * kCardPadding - 120;
    m_cardPath =
        QFontMetricsF(m_cardPathFont)
            .elidedText(displayText(node->path()), Qt::ElideRight, std::max(pathWidth, 40.0));
    const double nameWidth =
        std::max(cardWidth - 2 * kCardPadding - kCardIconWidth - 2 * kCardSpacing -
                     QFontMetricsF(m_cardSizeFont).horizontalAdvance(m_cardSize),
                 1.0);
    // Wrapped between words, or anywhere in a word longer than a line.
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_cardName.setText(displayText(node->name()));
    m_cardName.setFont(m_cardNameFont);
    m_cardName.setTextOption(option);
    m_cardName.beginLayout();
    m_cardNameLines = 0;
    for (QTextLine line = m_cardName.createLine(); line.isValid(); line = m_cardName.createLine()) {
        line.setLineWidth(nameWidth);
        line.setPosition(
            QPointF(0, m_cardNameLines * kCardNameLine + (kCardNameLine - line.height()) / 2));
        ++m_cardNameLines;
    }
    m_cardName.endLayout();
    m_cardNameLines = std::max(m_cardNameLines, 1);
}

void SunburstRadialView::repaintArea(const QRect& area) {
    m_picture.invalidate(area);
    update(area);
}

QRectF SunburstRadialView::hoverCardRect() const {
    const double cardHeight = kCardHeightBesideName + m_cardNameLines * kCardNameLine;
    return {kCardSideMargin, height() - kCardBottomMargin - cardHeight,
            std::max(width() - 2 * kCardSideMargin, 0.0), cardHeight};
}

void SunburstRadialView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    m_picture.paint(painter, event->rect(), size(), devicePixelRatioF(),
                    [this](QPainter& picture, const QRectF& area) { drawArea(picture, area); });
}

void SunburstRadialView::drawPlain(QPainter& painter) const {
    drawArea(painter, QRectF(rect()));
}

void SunburstRadialView::drawArea(QPainter& painter, const QRectF& area) const {
    const auto& hovered = m_state.hoveredSectorNode;
    const QPen normalPen(blackAt(0.5), 0.8);
    const QPen hoveredPen(Qt::white, 1.8);
    const auto& sectors = m_layout.sectors();
    for (std::size_t i = 0; i < sectors.size(); ++i) {
        if (!area.intersects(m_bounds[i])) {
            continue;
        }
        const bool isHovered = hovered && hovered->id() == sectors[i].node->id();
        painter.setBrush(withOpacity(m_colours[i], isHovered ? 0.95 : 0.65));
        painter.setPen(isHovered ? hoveredPen : normalPen);
        painter.drawPath(m_paths[i]);
    }
    paintCentre(painter);
    if (hovered) {
        paintHoverCard(painter);
    }
}

void SunburstRadialView::paintCentre(QPainter& painter) const {
    const auto& frame = m_layout.frame();
    const QPointF centre(frame.centerX, frame.centerY);
    painter.setBrush(Palette::chartCentreBackground());
    painter.setPen(QPen(whiteAt(0.15), 1.5));
    painter.drawEllipse(centre, frame.r0, frame.r0);

    const double nameLine = QFontMetricsF(m_centreNameFont).height();
    const double sizeLine = QFontMetricsF(m_centreSizeFont).height();
    const double height = kCentreIconLine + nameLine + sizeLine + 4;
    const double width = 2 * frame.r0 + 200;
    double top = centre.y() - height / 2;
    const double left = centre.x() - width / 2;
    drawSystemIcon(painter, QRectF(left, top, width, kCentreIconLine), "internaldrive.fill",
                   kCentreIconSize, FernwickTheme::primaryBlue());
    top += kCentreIconLine + 2;
    painter.setFont(m_centreNameFont);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(left, top, width, nameLine), Qt::AlignCenter | Qt::TextSingleLine,
                     m_rootName);
    top += nameLine + 2;
    painter.setFont(m_centreSizeFont);
    painter.setPen(FernwickTheme::accentCyan());
    painter.drawText(QRectF(left, top, width, sizeLine), Qt::AlignCenter | Qt::TextSingleLine,
                     m_rootSize);
}

void SunburstRadialView::paintHoverCard(QPainter& painter) const {
    const auto& node = *m_state.hoveredSectorNode;
    const QColor category = FernwickTheme::color(node.category);
    const QRectF card = hoverCardRect();
    drawSoftShadow(painter, card, 8, blackAt(0.33), 8, 0);
    painter.setBrush(Palette::sunburstTooltipBackground());
    painter.setPen(QPen(whiteAt(0.15), 1));
    painter.drawRoundedRect(card, 8, 8);

    const QRectF content = card.adjusted(kCardPadding, 8, -kCardPadding, -8);
    const QRectF icon(content.left(), content.top(), kCardIconWidth, content.height());
    drawSystemIcon(painter, icon, node.isDirectory() ? "folder.fill" : "doc.fill", kCardIconSize,
                   category);
    painter.setFont(m_cardSizeFont);
    painter.setPen(category);
    painter.drawText(content, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, m_cardSize);
    const double sizeWidth = QFontMetricsF(m_cardSizeFont).horizontalAdvance(m_cardSize);
    const QRectF text(icon.right() + kCardSpacing, content.top(),
                      std::max(content.width() - icon.width() - 2 * kCardSpacing - sizeWidth, 0.0),
                      content.height());
    painter.setPen(Qt::white);
    m_cardName.draw(&painter, text.topLeft());
    const double nameHeight = m_cardNameLines * kCardNameLine;
    painter.setFont(m_cardPathFont);
    painter.setPen(whiteAt(0.6));
    painter.drawText(QRectF(text.left(), text.top() + nameHeight + 2, text.width(), 12),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_cardPath);
}

} // namespace fernwick::ui
