#include "FernwickUI/State/ActiveModal.h"

#include "FernwickUI/State/AppState.h"

#include <array>

namespace fernwick::ui {

namespace {

using enum ActiveModal;
using enum ModalPresentation;

constexpr std::array<ActiveModalEntry, 10> kEntries = {{
    {apps, "apps", "Installed Applications & Leftovers", ownFrame,
     &AppState::loadInstalledAppsOnOpen},
    {systemMonitor, "systemMonitor", "Real-Time System Monitor", ownFrame, nullptr},
    {shortcuts, "shortcuts", "Tarnbrook Keyboard Shortcuts", ownFrame, nullptr},
    {theme, "theme", "Visualization Color Themes", ownFrame, nullptr},
    {cleanup, "cleanup", "Smart Cleanup", toolSheet, nullptr},
    {developer, "developer", "Developer Cleaner", toolSheet, &AppState::loadDeveloperStorageOnOpen},
    {largeFiles, "largeFiles", "Large Files", toolSheet, nullptr},
    {duplicates, "duplicates", "Duplicate Finder", toolSheet, nullptr},
    {history, "history", "Cleanup History", toolSheet, &AppState::loadAuditHistory},
    {settings, "settings", "Settings", toolSheet, nullptr},
}};

constexpr bool inEnumOrder() {
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        if (static_cast<std::size_t>(kEntries[i].modal) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inEnumOrder(), "one row per case, in the enum's order");

} // namespace

const ActiveModalEntry& activeModalEntry(ActiveModal modal) {
    return kEntries.at(static_cast<std::size_t>(modal));
}

std::string_view rawValue(ActiveModal modal) {
    return activeModalEntry(modal).name;
}

std::optional<ActiveModal> activeModalFromRawValue(std::string_view text) {
    for (const ActiveModalEntry& entry : kEntries) {
        if (entry.name == text) {
            return entry.modal;
        }
    }
    return std::nullopt;
}

QString modalTitle(ActiveModal modal) {
    const std::string_view title = activeModalEntry(modal).title;
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
}

} // namespace fernwick::ui
