#pragma once

#include "FernwickCore/Platform/Uuid.h"

#include <string>
#include <utility>

namespace fernwick::ui {

/// A titled message waiting to be shown as an alert. Each one has a fresh id, so the same text
/// shown twice is two alerts. Both texts are plain text (show them as such).
struct UserAlert {
    UserAlert(std::string alertTitle, std::string alertMessage)
        : title(std::move(alertTitle)), message(std::move(alertMessage)) {}

    Uuid id = Uuid::random();
    std::string title;
    std::string message;
};

} // namespace fernwick::ui
