#include "FernwickUI/Kit/PaintedCardList.h"

#include "FernwickUI/Style/FernwickTheme.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

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
    updateGeometry();
    update();
}

int PaintedCardList::totalHeight() const {
    return m_rowCount == 0 ? 0 : m_rowCount * m_rowHeight + (m_rowCount - 1) * m_spacing;
}

QRectF PaintedCardList::cardRect(int row) const {
    return {0, static_cast<double>(row * (m_rowHeight + m_spacing)), static_cast<double>(width()),
            static_cast<double>(m_rowHeight)};
}

QSize PaintedCardList::sizeHint() const {
    return {200, totalHeight()};
}

QSize PaintedCardList::minimumSizeHint() const {
    return {0, totalHeight()};
}

int PaintedCardList::heightForWidth(int /*width*/) const {
    return totalHeight();
}

void PaintedCardList::paintEvent(QPaintEvent* event) {
    m_lastPainted = 0;
    if (m_rowCount == 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect exposed = event->rect();
    const int stride = m_rowHeight + m_spacing;
    const int first = std::clamp(exposed.top() / stride, 0, m_rowCount - 1);
    const int last = std::clamp(exposed.bottom() / stride, 0, m_rowCount - 1);
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
