#include "FernwickUI/Style/DarkAppearance.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnbrook Ridar"));
    fernwick::ui::applyDarkAppearance(app);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tarnbrook Ridar"));
    window.resize(1200, 800);
    window.show();
    return QApplication::exec();
}
