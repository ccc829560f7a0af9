#include "FernwickUI/Kit/Badge.h"

#include "FernwickUI/Style/Palette.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace fernwick::ui {

QSizeF badgeSize(const QString& text, const BadgeLook& look) {
    const QFontMetricsF metrics(look.font);
    return {metrics.horizontalAdvance(text) + 2 * look.paddingH,
            metrics.height() + 2 * look.paddingV};
}

QRectF paintBadge(QPainter& painter, QPointF topLeft, const QString& text, const BadgeLook& look) {
    const QRectF box(topLeft, badgeSize(text, look));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withOpacity(look.colour, look.backgroundOpacity));
    painter.drawRoundedRect(box, look.cornerRadius, look.cornerRadius);
    painter.setFont(look.font);
    painter.setPen(look.colour);
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text);
    painter.restore();
    return box;
}

Badge::Badge(QString text, BadgeLook look, QWidget* parent)
    : QWidget(parent), m_text(std::move(text)), m_look(std::move(look)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Badge::setText(QString text) {
    m_text = std::move(text);
    updateGeometry();
    update();
}

void Badge::setLook(BadgeLook look) {
    m_look = std::move(look);
    updateGeometry();
    update();
}

QSize Badge::sizeHint() const {
    const QSizeF size = badgeSize(m_text, m_look);
    return {static_cast<int>(std::ceil(size.width())), static_cast<int>(std::ceil(size.height()))};
}

void Badge::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const QSizeF size = badgeSize(m_text, m_look);
    paintBadge(painter, QPointF(0, (height() - size.height()) / 2), m_text, m_look);
}

} // namespace fernwick::ui
