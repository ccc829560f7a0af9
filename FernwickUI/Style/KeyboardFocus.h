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

/// Gives the keyboard focus back after something that held it for a moment (a question, a
/// click on the undo toast): to `preferred` when it is shown and enabled, else to `fallback`
/// when that is; both may be null. The focus stays where it is when neither can take it.
void returnFocus(QWidget* preferred, QWidget* fallback);

} // namespace fernwick::ui
