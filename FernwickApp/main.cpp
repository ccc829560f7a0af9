#include "FernwickCore/Platform/Environment.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/MainWindow/MenuBarExtra.h"
#include "FernwickUI/MainWindow/SingleInstance.h"
#include "FernwickUI/MainWindow/WindowActivation.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/DarkAppearance.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    using fernwick::ui::SingleInstance;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbrook Ridar"));
    // One copy per user and preferences file, before the preferences are read: a later start,
    // from whatever session, brings this one forward and ends.
    SingleInstance instance(fernwick::Environment::current());
    switch (instance.claim(SingleInstance::startupToken())) {
    case SingleInstance::Claim::forwarded:
        return 0;
    case SingleInstance::Claim::unreachable:
        std::fputs("Tarnbrook Ridar is already running.\n", stderr);
        return 1;
    case SingleInstance::Claim::unguarded:
        std::fprintf(stderr, "Tarnbrook Ridar: cannot lock %s; a second start is not kept out.\n",
                     instance.lockPath().c_str());
        break;
    case SingleInstance::Claim::primary:
        break;
    }
    fernwick::ui::applyDarkAppearance(app);
    fernwick::ui::AppState& state = fernwick::ui::AppState::shared();
    fernwick::ui::MainWindow window(state);
    window.resize(1280, 800);
    window.show();
    fernwick::ui::MenuBarExtra menuBarExtra(
        state, {[&window] { fernwick::ui::showAllWindows(&window); }, [] { QApplication::quit(); },
                [&window] { fernwick::ui::reopenMainWindow(&window, QString()); }});
    QObject::connect(
        &instance, &SingleInstance::activationRequested, &window,
        [&window](const QString& token) { fernwick::ui::reopenMainWindow(&window, token); });
    // With a tray icon to bring it back, closing the window hides it and the program stays.
    if (menuBarExtra.trayIcon() != nullptr) {
        window.setHidesOnClose(true);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    fernwick::ui::scheduleLaunchActivation(&window);
    return QApplication::exec();
}
