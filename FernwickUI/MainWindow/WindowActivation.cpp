#include "FernwickUI/MainWindow/WindowActivation.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVariant>
#include <QWidget>

namespace fernwick::ui {

namespace {

constexpr Qt::WindowStates kShownStates = Qt::WindowMaximized | Qt::WindowFullScreen;
constexpr const char* kKeptState = "fernwickKeptWindowState";

// Records on the window the state it had while last shown (maximised, full screen, neither).
// A state the desktop reports while the window is hidden is not the user's (a withdrawn window
// loses its states on X11), nor is a minimise that drops the others.
class WindowStateKeeper final : public QObject {
public:
    explicit WindowStateKeeper(QWidget* window) : QObject(window), m_window(window) {
        keep(window->windowState());
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool changed =
            event->type() == QEvent::WindowStateChange || event->type() == QEvent::Show;
        if (watched == m_window && changed && m_window->isVisible()) {
            const Qt::WindowStates states = m_window->windowState();
            if (!states.testFlag(Qt::WindowMinimized) || (states & kShownStates) != 0) {
                keep(states);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void keep(Qt::WindowStates states) {
        m_window->setProperty(kKeptState, (states & kShownStates).toInt());
    }

    QWidget* m_window;
};

// Shows `window` again as it was before it was minimised or hidden; a shown window that is not
// minimised is left as it is.
void restoreWindow(QWidget* window) {
    Qt::WindowStates states = window->windowState();
    if (window->isVisible() && !states.testFlag(Qt::WindowMinimized)) {
        return;
    }
    states &= ~Qt::WindowMinimized;
    const QVariant kept = window->property(kKeptState);
    if (kept.isValid()) {
        states = (states & ~kShownStates) | Qt::WindowStates::fromInt(kept.toInt());
    }
    if (states != window->windowState()) {
        window->setWindowState(states);
    }
    if (!window->isVisible()) {
        window->show();
    }
}

} // namespace

void keepWindowState(QWidget* window) {
    if (!window->property(kKeptState).isValid()) {
        new WindowStateKeeper(window);
    }
}

void bringMainWindowToFront() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // Dialogs (sheets, alerts, the folder chooser) play the part of panels: left alone.
        if (!window->isWindow() || !window->isVisible() || qobject_cast<QDialog*>(window) ||
            window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) {
            continue;
        }
        window->setWindowTitle(QStringLiteral("Tarnbrook Ridar"));
        restoreWindow(window);
        // A maximised or full-screen window fills its screen already; moving it would only let
        // the desktop take it out of that state.
        if (QScreen* screen = window->screen();
            screen != nullptr && (window->windowState() & kShownStates) == 0) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        window->raise();
        window->activateWindow();
    }
}

void showAllWindows(QWidget* mainWindow) {
    if (mainWindow != nullptr) {
        restoreWindow(mainWindow);
        mainWindow->activateWindow();
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isWindow() || !window->isVisible() || window->windowType() == Qt::Popup ||
            window->windowType() == Qt::ToolTip) {
            continue;
        }
        window->raise();
        window->activateWindow();
    }
}

void reopenMainWindow(QWidget* mainWindow, const QString& activationToken) {
    if (!activationToken.isEmpty() &&
        QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        // The Wayland platform hands this token to xdg-activation with the next activation.
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    }
    restoreWindow(mainWindow);
    bringMainWindowToFront();
}

void scheduleLaunchActivation(QObject* context) {
    QTimer::singleShot(0, context, [] { bringMainWindowToFront(); });
    QTimer::singleShot(100, context, [] { bringMainWindowToFront(); });
    QTimer::singleShot(400, context, [] { bringMainWindowToFront(); });
}

} // namespace fernwick::ui
