#include "FernwickUI/Visualisations/MindMapBranchView.h"

#include "FernwickUI/Kit/Painting.h"
#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace fernwick::ui {

namespace {

constexpr double kCardPaddingX = 10;
constexpr double kIconWidth = 16;
constexpr double kItemSpacing = 8;
constexpr double kMinimumSpacer = 12;

} // namespace

MindMapBranchView::MindMapBranchView(QWidget* parent)
    : VisualisationView(parent), m_rootNameFont(uiFont(12, QFont::Bold)),
      m_rootSizeFont(uiFont(11, QFont::Black, FontDesign::monospaced)),
      m_nameFont(uiFont(11, QFont::Bold)),
      m_sizeFont(uiFont(10, QFont::Medium, FontDesign::monospaced)), m_itemsFont(uiFont(9)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    relayout();
}

MindMapBranchView::~MindMapBranchView() = default;

void MindMapBranchView::setRoot(const DiskNodePtr& root) {
    m_root = root;
    m_rootName = root && !root->name().empty() ? displayText(root->name()) : QStringLiteral("~");
    m_rootSize = root ? displayText(root->formattedSize()) : QString();
    m_rootTextWidth = std::max(QFontMetricsF(m_rootNameFont).horizontalAdvance(m_rootName),
                               QFontMetricsF(m_rootSizeFont).horizontalAdvance(m_rootSize));
    relayout();
}

QSize MindMapBranchView::sizeHint() const {
    return minimumSize();
}

void MindMapBranchView::relayout() {
    m_layout = MindMapLayout::compute(m_root, width(), m_rootTextWidth);
    const QFontMetricsF nameMetrics(m_nameFont);
    const QFontMetricsF itemsMetrics(m_itemsFont);
    m_texts.clear();
    for (const auto& branch : m_layout.branches()) {
        const auto& node = *branch.node;
        BranchTexts texts;
        texts.size = displayText(node.formattedSize());
        // The item count gives way to the name.
        auto fitted = fitNameAndNumber(
            displayText(node.name()), nameMetrics,
            node.isDirectory() ? tr("%1 items").arg(static_cast<qlonglong>(node.itemCount))
                               : QString(),
            itemsMetrics, branch.card.width - 2 * kCardPaddingX - kIconWidth - kItemSpacing,
            kMinimumSpacer);
        texts.name = std::move(fitted.name);
        texts.items = std::move(fitted.number);
        m_texts.push_back(std::move(texts));
    }
    const QSize needed(static_cast<int>(std::ceil(m_layout.contentWidth())),
                       static_cast<int>(std::ceil(m_layout.contentHeight())));
    if (minimumSize() != needed) {
        setMinimumSize(needed);
        updateGeometry();
    }
    clearHover();
    update();
}

void MindMapBranchView::resizeEvent(QResizeEvent* event) {
    relayout();
    VisualisationView::resizeEvent(event);
}

int MindMapBranchView::itemAt(const QPointF& pos) const {
    return m_layout.branchAt(pos.x(), pos.y());
}

DiskNodePtr MindMapBranchView::nodeOfItem(int item) const {
    return m_layout.branches().at(static_cast<std::size_t>(item)).node;
}

// The map shows no hover.
void MindMapBranchView::hoverChanged(int, int) {}

void MindMapBranchView::paintEvent(QPaintEvent*) {
    if (!m_root) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintRootCard(painter);
    for (std::size_t i = 0; i < m_layout.branches().size(); ++i) {
        paintBranch(painter, i);
    }
}

void MindMapBranchView::paintRootCard(QPainter& painter) {
    const QRectF card = toQRect(m_layout.rootCard());
    const QColor& blue = FernwickTheme::primaryBlue();
    drawSoftShadow(painter, card, 12, withOpacity(blue, 0.3), 8, 0);
    painter.setBrush(Palette::chartCentreBackground());
    painter.setPen(QPen(blue, 1.5));
    painter.drawRoundedRect(card, 12, 12);

    double top = card.top() + MindMapLayout::kRootPadding;
    const QRectF badge(card.center().x() - MindMapLayout::kBadgeSize / 2, top,
                       MindMapLayout::kBadgeSize, MindMapLayout::kBadgeSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::mindMapRootBadge());
    painter.drawEllipse(badge);
    drawSystemIcon(painter, badge, "internaldrive.fill", 22, blue);
    top += MindMapLayout::kBadgeSize + MindMapLayout::kRootSpacing;
    const QRectF text(card.left(), top, card.width(), MindMapLayout::kRootNameLine);
    painter.setFont(m_rootNameFont);
    painter.setPen(Qt::white);
    painter.drawText(text, Qt::AlignCenter | Qt::TextSingleLine, m_rootName);
    top += MindMapLayout::kRootNameLine + MindMapLayout::kRootSpacing;
    painter.setFont(m_rootSizeFont);
    painter.setPen(FernwickTheme::accentCyan());
    painter.drawText(QRectF(card.left(), top, card.width(), MindMapLayout::kRootSizeLine),
                     Qt::AlignCenter | Qt::TextSingleLine, m_rootSize);
}

void MindMapBranchView::paintBranch(QPainter& painter, std::size_t index) {
    const auto& branch = m_layout.branches()[index];
    const auto& texts = m_texts[index];
    const auto& node = *branch.node;
    const QColor category = FernwickTheme::color(node.category);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(category, 0.6));
    painter.drawRect(toQRect(branch.connector));

    const QRectF card = toQRect(branch.card);
    painter.setBrush(Palette::mindMapBranchBackground());
    painter.setPen(QPen(withOpacity(category, 0.5), 1));
    painter.drawRoundedRect(card, 7, 7);

    const QRectF content = card.adjusted(kCardPaddingX, 7, -kCardPaddingX, -7);
    drawSystemIcon(painter, QRectF(content.left(), content.top(), kIconWidth, content.height()),
                   node.isDirectory() ? "folder.fill" : "doc.fill", 13, category);
    const double textLeft = content.left() + kIconWidth + kItemSpacing;
    painter.setFont(m_nameFont);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(textLeft, content.top(), content.right() - textLeft, 14),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, texts.name);
    painter.setFont(m_sizeFont);
    painter.setPen(whiteAt(0.6));
    painter.drawText(QRectF(textLeft, content.top() + 15, content.right() - textLeft, 13),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, texts.size);
    if (!texts.items.isEmpty()) {
        painter.setFont(m_itemsFont);
        painter.setPen(whiteAt(0.4));
        painter.drawText(content, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         texts.items);
    }
}

} // namespace fernwick::ui
