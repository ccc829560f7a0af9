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
    fernwick::ui::MainWindow window(fernwick::ui::AppState::shared());
    window.resize(1280, 800);
    window.show();
    fernwick::ui::MenuBarExtra menuBarExtra;
    fernwick::ui::scheduleLaunchActivation(&window);
    return QApplication::exec();
}
