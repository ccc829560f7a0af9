#pragma once

class QObject;
class QString;
class QWidget;

namespace fernwick::ui {

/// Remembers from now on the state `window` has while shown (maximised, full screen or
/// neither), so that the functions below bring it back in that state after it was minimised or
/// hidden, whatever the desktop reported meanwhile. Once per window; GUI thread.
void keepWindowState(QWidget* window);

/// Brings the program's windows to the front: for every shown top-level window that is not a
/// dialog, sets the title "Tarnbrook Ridar", restores it when minimised (to its state before),
/// centres it on its screen unless it is maximised or full screen, raises it and asks for the
/// keyboard focus. With no shown window it does nothing (it never creates one). GUI thread.
void bringMainWindowToFront();

/// Activates the program, shows `mainWindow` when hidden or minimised (in its state before),
/// then raises every shown top-level window, dialogs included, in the application's order.
/// Neither centres nor retitles. GUI thread.
void showAllWindows(QWidget* mainWindow);

/// The program opened again (its tray icon clicked, or a later start of it): shows `mainWindow`
/// when hidden or minimised (in its state before), then bringMainWindowToFront. `activationToken`
/// is the desktop's startup token of that later start (empty when none); on Wayland it allows the
/// window to take the focus. GUI thread.
void reopenMainWindow(QWidget* mainWindow, const QString& activationToken);

/// Runs bringMainWindowToFront once the event loop runs, and again 0.1 s and 0.4 s later, so
/// that the window comes forward even when the desktop shows it late. GUI thread.
void scheduleLaunchActivation(QObject* context);

} // namespace fernwick::ui
