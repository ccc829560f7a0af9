#include "FernwickUI/MainWindow/ToolSheet.h"

namespace fernwick::ui {

ToolSheet::ToolSheet(const QString& title, QWidget* content, QWidget* parent)
    : ModalFrame(title, QSize(860, 580), content, parent) {
    resize(960, 680);
}

QString ToolSheet::titleFor(ActiveModal modal) {
    switch (modal) {
    case ActiveModal::apps:
        return QStringLiteral("Installed Applications & Leftovers");
    case ActiveModal::systemMonitor:
        return QStringLiteral("Real-Time System Monitor");
    case ActiveModal::shortcuts:
        return QStringLiteral("Tarnbrook Keyboard Shortcuts");
    case ActiveModal::theme:
        return QStringLiteral("Visualization Color Themes");
    case ActiveModal::cleanup:
        return QStringLiteral("Smart Cleanup");
    case ActiveModal::developer:
        return QStringLiteral("Developer Cleaner");
    case ActiveModal::largeFiles:
        return QStringLiteral("Large Files");
    case ActiveModal::duplicates:
        return QStringLiteral("Duplicate Finder");
    case ActiveModal::history:
        return QStringLiteral("Cleanup History");
    case ActiveModal::settings:
        return QStringLiteral("Settings");
    }
    return {};
}

} // namespace fernwick::ui
