#include "FernwickUI/Kit/CheckBox.h"

#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace fernwick::ui {

CheckBox::CheckBox(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CheckBox::sizeHint() const {
    const int side = static_cast<int>(std::ceil(kSide)) + 2;
    return {side, side};
}

void CheckBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintCheckBox(painter, QRectF(rect()), isChecked(), isEnabled());
}

QRectF checkBoxRect(const QRectF& row, double left) {
    return {left, row.center().y() - CheckBox::kSide / 2, CheckBox::kSide, CheckBox::kSide};
}

void paintCheckBox(QPainter& painter, const QRectF& box, bool checked, bool enabled) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(painter.opacity() * (enabled ? 1.0 : 0.4));
    const QRectF square(box.center().x() - CheckBox::kSide / 2,
                        box.center().y() - CheckBox::kSide / 2, CheckBox::kSide, CheckBox::kSide);
    const QRectF inner = square.adjusted(0.5, 0.5, -0.5, -0.5);
    if (checked) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(FernwickTheme::primaryBlue());
        painter.drawRoundedRect(inner, 3.5, 3.5);
        QPainterPath tick;
        tick.moveTo(square.left() + 3.5, square.center().y() + 0.2);
        tick.lineTo(square.left() + 6, square.bottom() - 3.8);
        tick.lineTo(square.right() - 3.2, square.top() + 3.8);
        painter.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    } else {
        painter.setPen(QPen(Palette::checkBoxOutline(), 1));
        painter.setBrush(Palette::checkBoxFill());
        painter.drawRoundedRect(inner, 3.5, 3.5);
    }
    painter.restore();
}

} // namespace fernwick::ui
