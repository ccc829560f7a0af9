#include "FernwickUI/MainWindow/WindowActivation.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace fernwick::ui {

void bringMainWindowToFront() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // Dialogs (sheets, alerts, the folder chooser) play the part of panels: left alone.
        if (!window->isWindow() || !window->isVisible() || qobject_cast<QDialog*>(window) ||
            window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip) {
            continue;
        }
        window->setWindowTitle(QStringLiteral("Tarnbrook Ridar"));
        if (window->isMinimized()) {
            window->showNormal();
        }
        if (QScreen* screen = window->screen()) {
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
        if (mainWindow->isMinimized()) {
            mainWindow->showNormal();
        } else if (!mainWindow->isVisible()) {
            mainWindow->show();
        }
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
    if (!mainWindow->isVisible()) {
        mainWindow->show();
    }
    bringMainWindowToFront();
}

void scheduleLaunchActivation(QObject* context) {
    QTimer::singleShot(0, context, [] { bringMainWindowToFront(); });
    QTimer::singleShot(100, context, [] { bringMainWindowToFront(); });
    QTimer::singleShot(400, context, [] { bringMainWindowToFront(); });
}

} // namespace fernwick::ui
