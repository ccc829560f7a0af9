#pragma once

#include "FernwickCore/Platform/Uuid.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace fernwick::ui {

/// A titled message waiting to be shown as an alert. Each one has a fresh id, so the same text
/// shown twice is two alerts. Both texts are plain text (show them as such).
struct UserAlert {
    UserAlert(std::string alertTitle, std::string alertMessage)
        : title(std::move(alertTitle)), message(std::move(alertMessage)) {}

    /// How many item lines an alert about several items lists before "and N more".
    static constexpr std::size_t kLinesShown = 5;

    /// The alert of one operation over several items: `title` names the operation, the message
    /// holds one line per item ("<name>: <reason>"), the first `kLinesShown` of them, then
    /// "and N more" for the rest.
    static UserAlert listing(std::string title, const std::vector<std::string>& lines) {
        std::string text;
        for (std::size_t i = 0; i < lines.size() && i < kLinesShown; ++i) {
            text += (i > 0 ? "\n" : "") + lines[i];
        }
        if (lines.size() > kLinesShown) {
            text += "\nand " + std::to_string(lines.size() - kLinesShown) + " more";
        }
        return {std::move(title), std::move(text)};
    }

    Uuid id = Uuid::random();
    std::string title;
    std::string message;
};

} // namespace fernwick::ui
