#include "FernwickUI/State/StorageVisualMode.h"

namespace fernwick::ui {

namespace {

struct ModeInfo {
    std::string_view label;
    std::string_view icon;
};

constexpr std::array<ModeInfo, 7> kModes = {{
    {"Folders", "folder.fill"},
    {"Treemap", "square.split.2x2.fill"},
    {"Sunburst", "sun.max.fill"},
    {"Bubbles", "circle.grid.2x2.fill"},
    {"Flame", "flame.fill"},
    {"Mind Map", "point.topleft.down.curvedto.point.bottomright.up"},
    {"List", "list.bullet"},
}};

} // namespace

const std::array<StorageVisualMode, 7>& allStorageVisualModes() {
    static const std::array<StorageVisualMode, 7> modes = {
        StorageVisualMode::folders, StorageVisualMode::treemap, StorageVisualMode::sunburst,
        StorageVisualMode::bubbles, StorageVisualMode::flame,   StorageVisualMode::mindmap,
        StorageVisualMode::list,
    };
    return modes;
}

std::string_view rawValue(StorageVisualMode mode) {
    return kModes.at(static_cast<std::size_t>(mode)).label;
}

std::string_view icon(StorageVisualMode mode) {
    return kModes.at(static_cast<std::size_t>(mode)).icon;
}

std::optional<StorageVisualMode> storageVisualModeFromRawValue(std::string_view text) {
    for (StorageVisualMode mode : allStorageVisualModes()) {
        if (rawValue(mode) == text) {
            return mode;
        }
    }
    return std::nullopt;
}

} // namespace fernwick::ui
