#pragma once

#include <QRectF>

class QKeyEvent;
class QPainter;
class QWidget;

namespace fernwick::ui {

/// Whether `widget` shows the keyboard focus ring: it has the focus and its window was last
/// moved through from the keyboard (Tab, Shift+Tab), not by a mouse click.
bool showsFocusRing(const QWidget* widget);

/// The keyboard focus ring: a 2-point line along the inside of `rect` with corner `radius`, in
/// `Palette::keyboardFocusRing()`. Nothing is drawn outside `rect`.
void drawFocusRing(QPainter& painter, const QRectF& rect, double radius);

/// Whether `event` is Return or Enter (without modifiers) that the focused `button` answers by
/// pressing itself. In a dialog with a default button the key stays with that default, so a
/// "Cancel" default is not overridden by whatever button has the focus.
bool returnPressesFocusedButton(const QKeyEvent* event, const QWidget* button);

} // namespace fernwick::ui
