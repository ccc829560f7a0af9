#pragma once

class QObject;

namespace fernwick::ui {

/// Brings the program's windows to the front: for every shown top-level window that is not a
/// dialog, sets the title "Tarnbrook Ridar", centres it on its screen, raises it and asks for
/// the keyboard focus. With no shown window it does nothing (it never creates one). GUI thread.
void bringMainWindowToFront();

/// Runs bringMainWindowToFront once the event loop runs, and again 0.1 s and 0.4 s later, so
/// that the window comes forward even when the desktop shows it late. GUI thread.
void scheduleLaunchActivation(QObject* context);

} // namespace fernwick::ui
