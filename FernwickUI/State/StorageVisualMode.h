#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fernwick::ui {

/// How the storage map is drawn. The raw value and id is the label on the mode's button.
enum class StorageVisualMode : std::uint8_t {
    folders,
    treemap,
    sunburst,
    bubbles,
    flame,
    mindmap,
    list,
};

/// The seven modes in the order of the mode buttons.
const std::array<StorageVisualMode, 7>& allStorageVisualModes();
/// The button label, e.g. "Mind Map".
std::string_view rawValue(StorageVisualMode mode);
/// The system icon name drawn on the button.
std::string_view icon(StorageVisualMode mode);
/// The mode whose label equals `text` exactly; nullopt otherwise.
std::optional<StorageVisualMode> storageVisualModeFromRawValue(std::string_view text);

} // namespace fernwick::ui
