#include "FernwickUI/State/ActiveModal.h"

#include <array>

namespace fernwick::ui {

namespace {

constexpr std::array<std::string_view, 10> kNames = {
    "apps",      "systemMonitor", "shortcuts",  "theme",   "cleanup",
    "developer", "largeFiles",    "duplicates", "history", "settings",
};

} // namespace

std::string_view rawValue(ActiveModal modal) {
    return kNames.at(static_cast<std::size_t>(modal));
}

std::optional<ActiveModal> activeModalFromRawValue(std::string_view text) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == text) {
            return static_cast<ActiveModal>(i);
        }
    }
    return std::nullopt;
}

} // namespace fernwick::ui
