#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick::ui {

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

/// The case name, e.g. "largeFiles".
std::string_view rawValue(ActiveModal modal);
/// The case whose name equals `text` exactly (case-sensitive); nullopt otherwise.
std::optional<ActiveModal> activeModalFromRawValue(std::string_view text);

} // namespace fernwick::ui
