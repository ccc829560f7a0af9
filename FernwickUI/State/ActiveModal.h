#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick::ui {

class AppState;

/// The tool sheet shown over the main window. No sheet is an empty optional, never a case.
/// The raw value and id is the case name.
enum class ActiveModal : std::uint8_t {
    apps,
    systemMonitor,
    shortcuts,
    theme,
    cleanup,
    developer,
    largeFiles,
    duplicates,
    history,
    settings,
};

/// How a screen over the main window is framed.
enum class ModalPresentation : std::uint8_t {
    /// The common tool sheet frame (title, "Done") around the screen.
    toolSheet,
    /// A modal with a frame and sizes of its own.
    ownFrame,
};

/// One row of the table of screens shown over the main window: everything the state and the
/// shell need to know of a screen apart from its view, which the sheet routing builds. A screen
/// is added by one enum value, one row here and one builder there.
struct ActiveModalEntry {
    ActiveModal modal;
    /// The case name, e.g. "largeFiles".
    std::string_view name;
    /// The screen's title (UTF-8).
    std::string_view title;
    ModalPresentation presentation;
    /// What opening the screen loads through AppState::openTool; null for nothing.
    void (AppState::*loadOnOpen)();
};

/// The row of `modal`.
const ActiveModalEntry& activeModalEntry(ActiveModal modal);
/// The case name, e.g. "largeFiles".
std::string_view rawValue(ActiveModal modal);
/// The case whose name equals `text` exactly (case-sensitive); nullopt otherwise.
std::optional<ActiveModal> activeModalFromRawValue(std::string_view text);
/// The title of the screen that shows `modal`.
QString modalTitle(ActiveModal modal);

} // namespace fernwick::ui
