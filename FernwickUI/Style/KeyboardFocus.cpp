#include "FernwickUI/Style/KeyboardFocus.h"

#include "FernwickUI/Style/Palette.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QWidget>

#include <algorithm>

namespace fernwick::ui {

namespace {
constexpr double kRingWidth = 2;
} // namespace

bool returnPressesFocusedButton(const QKeyEvent* event, const QWidget* button) {
    const bool confirmKey = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!confirmKey || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        return false;
    }
    if (const auto* dialog = qobject_cast<const QDialog*>(button->window())) {
        for (const auto* candidate : dialog->findChildren<const QPushButton*>()) {
            if (candidate->isDefault()) {
                return false;
            }
        }
    }
    return true;
}

void returnFocus(QWidget* preferred, QWidget* fallback) {
    for (QWidget* widget : {preferred, fallback}) {
        if (widget != nullptr && widget->isVisible() && widget->isEnabled()) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

bool showsFocusRing(const QWidget* widget) {
    return widget->hasFocus() && widget->window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void drawFocusRing(QPainter& painter, const QRectF& rect, double radius) {
    const double inset = kRingWidth / 2;
    const QRectF line = rect.adjusted(inset, inset, -inset, -inset);
    if (line.width() <= 0 || line.height() <= 0) {
        return;
    }
    const double corner = std::max(0.0, radius - inset);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Palette::keyboardFocusRing(), kRingWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(line, corner, corner);
    painter.restore();
}

} // namespace fernwick::ui
