#pragma once

#include "FernwickCore/Platform/Clock.h"

#include <string>

namespace fernwick::ui {

/// The preset file name of the diagnostics export.
inline constexpr const char* kDiagnosticsFileName = "Fernwick_Diagnostic_Report.txt";

/// The diagnostics file: three lines, each ended by a line feed: "Fernwick Diagnostics",
/// "OS: " + `operatingSystem`, "Date: " + `now` in UTC as "yyyy-MM-dd HH:mm:ss +0000".
/// Nothing else (no scan data, no settings). Any thread.
std::string diagnosticsReport(const std::string& operatingSystem, TimePoint now);

} // namespace fernwick::ui
