#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/MenuBarExtra.h"
#include "FernwickUI/MainWindow/WindowActivation.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbrook Ridar"));
    fernwick::ui::applyDarkAppearance(app);
    fernwick::ui::AppState& state = fernwick::ui::AppState::shared();
    fernwick::ui::MainWindow window(state);
    window.resize(1280, 800);
    window.show();
    fernwick::ui::MenuBarExtra menuBarExtra(
        state, {[&window] { fernwick::ui::showAllWindows(&window); }, [] { QApplication::quit(); },
                [&window] {
                    if (!window.isVisible()) {
                        window.show();
                    }
                    fernwick::ui::bringMainWindowToFront();
                }});
    // With a tray icon to bring it back, closing the window hides it and the program stays.
    if (menuBarExtra.trayIcon() != nullptr) {
        window.setHidesOnClose(true);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    fernwick::ui::scheduleLaunchActivation(&window);
    return QApplication::exec();
}
