#include "FernwickUI/Kit/CardFrame.h"

#include "FernwickUI/Style/FernwickTheme.h"

#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace fernwick::ui {

CardFrame::CardFrame(double radius, int padding, QWidget* parent)
    : QWidget(parent), m_radius(radius), m_fill(FernwickTheme::cardBackground()),
      m_stroke(FernwickTheme::panelBorder()), m_column(new QVBoxLayout(this)) {
    m_column->setContentsMargins(padding, padding, padding, padding);
    m_column->setSpacing(8);
}

void CardFrame::setFill(const QColor& fill) {
    m_fill = fill;
    update();
}

void CardFrame::setStroke(const QColor& stroke, double width) {
    m_stroke = stroke;
    m_strokeWidth = width;
    update();
}

void CardFrame::paint(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                      const QColor& stroke, double strokeWidth) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, radius, radius);
    if (strokeWidth > 0 && stroke.alpha() > 0) {
        const double inset = strokeWidth / 2;
        painter.setPen(QPen(stroke, strokeWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset),
                                std::max(0.0, radius - inset), std::max(0.0, radius - inset));
    }
    painter.restore();
}

void CardFrame::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_radius, m_fill, m_stroke, m_strokeWidth);
}

} // namespace fernwick::ui
