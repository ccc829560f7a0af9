#include "FernwickUI/Kit/PaintedCardList.h"

#include "FernwickUI/Style/FernwickTheme.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

PaintedCardList::PaintedCardList(int rowHeight, int spacing, int padding, double cornerRadius,
                                 RowPainter paintRow, RowTexts rowTexts, QWidget* parent)
    : QWidget(parent), m_rowHeight(rowHeight), m_spacing(spacing), m_padding(padding),
      m_cornerRadius(cornerRadius), m_paintRow(std::move(paintRow)),
      m_rowTexts(std::move(rowTexts)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void PaintedCardList::setRowCount(int count) {
    m_rowCount = std::max(0, count);
    m_topsWidth = -1;
    updateGeometry();
    update();
}

void PaintedCardList::setContentHeight(ContentHeight contentHeight) {
    m_contentHeight = std::move(contentHeight);
    m_topsWidth = -1;
    updateGeometry();
    update();
}

const std::vector<int>& PaintedCardList::tops(int width) const {
    if (m_topsWidth != width) {
        m_tops.assign(1, 0);
        m_tops.reserve(static_cast<std::size_t>(m_rowCount) + 1);
        const double content = std::max(0, width - 2 * m_padding);
        for (int row = 0; row < m_rowCount; ++row) {
            int height = m_rowHeight;
            if (m_contentHeight) {
                height = std::max(height, static_cast<int>(std::ceil(m_contentHeight(row, content) +
                                                                     2 * m_padding)));
            }
            m_tops.push_back(m_tops.back() + height + m_spacing);
        }
        m_topsWidth = width;
    }
    return m_tops;
}

int PaintedCardList::totalHeight(int width) const {
    return m_rowCount == 0 ? 0 : tops(width).back() - m_spacing;
}

QRectF PaintedCardList::cardRect(int row) const {
    const std::vector<int>& at = tops(width());
    const auto index = static_cast<std::size_t>(row);
    return {0, static_cast<double>(at[index]), static_cast<double>(width()),
            static_cast<double>(at[index + 1] - at[index] - m_spacing)};
}

void PaintedCardList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_contentHeight) {
        // Cards whose texts wrap at the new width may change height.
        updateGeometry();
    }
}

QSize PaintedCardList::sizeHint() const {
    return {200, totalHeight()};
}

QSize PaintedCardList::minimumSizeHint() const {
    // Cards whose texts wrap are never lower than with one line each; how much higher follows
    // the width the layout gives (heightForWidth).
    const int base = m_rowCount == 0 ? 0 : m_rowCount * (m_rowHeight + m_spacing) - m_spacing;
    return {0, m_contentHeight ? base : totalHeight()};
}

int PaintedCardList::heightForWidth(int width) const {
    return totalHeight(width);
}

void PaintedCardList::paintEvent(QPaintEvent* event) {
    m_lastPainted = 0;
    if (m_rowCount == 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect exposed = event->rect();
    // The cards whose top lies above the exposed bottom and whose next lies below its top.
    const std::vector<int>& at = tops(width());
    const auto rowAt = [&](int y) {
        const auto after = std::upper_bound(at.begin(), at.end() - 1, y);
        return std::clamp(static_cast<int>(after - at.begin()) - 1, 0, m_rowCount - 1);
    };
    const int first = rowAt(exposed.top());
    const int last = rowAt(exposed.bottom());
    for (int row = first; row <= last; ++row) {
        const QRectF card = cardRect(row);
        painter.setPen(Qt::NoPen);
        painter.setBrush(FernwickTheme::cardBackground());
        painter.drawRoundedRect(card, m_cornerRadius, m_cornerRadius);
        painter.save();
        m_paintRow(painter, card.adjusted(m_padding, m_padding, -m_padding, -m_padding), row);
        painter.restore();
        ++m_lastPainted;
    }
}

} // namespace fernwick::ui
