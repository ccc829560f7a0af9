#include "FernwickUI/Tools/DiagnosticsReport.h"

#include <array>
#include <ctime>

namespace fernwick::ui {

std::string diagnosticsReport(const std::string& operatingSystem, TimePoint now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    std::array<char, 32> date{};
    const std::size_t length = std::strftime(date.data(), date.size(), "%Y-%m-%d %H:%M:%S", &utc);
    return "Fernwick Diagnostics\nOS: " + operatingSystem +
           "\nDate: " + std::string(date.data(), length) + " +0000\n";
}

} // namespace fernwick::ui
