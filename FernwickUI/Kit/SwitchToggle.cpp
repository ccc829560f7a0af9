#include "FernwickUI/Kit/SwitchToggle.h"

#include "FernwickUI/Style/FernwickTheme.h"
#include "FernwickUI/Style/Palette.h"

#include <QPainter>

namespace fernwick::ui {

namespace {
constexpr int kTrackWidth = 32;
constexpr int kTrackHeight = 18;
constexpr double kKnobInset = 2;
} // namespace

SwitchToggle::SwitchToggle(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SwitchToggle::sizeHint() const {
    return {kTrackWidth, kTrackHeight};
}

void SwitchToggle::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(isEnabled() ? 1.0 : 0.4);
    const QRectF track(QPointF((width() - kTrackWidth) / 2.0, (height() - kTrackHeight) / 2.0),
                       QSizeF(kTrackWidth, kTrackHeight));
    const double radius = track.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? FernwickTheme::primaryBlue() : Palette::switchTrackOff());
    painter.drawRoundedRect(track, radius, radius);
    const double knob = track.height() - 2 * kKnobInset;
    const double x = isChecked() ? track.right() - kKnobInset - knob : track.left() + kKnobInset;
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(x, track.top() + kKnobInset, knob, knob));
}

} // namespace fernwick::ui
