#pragma once

#include <string>

namespace fernwick::ui {

/// What the process knows of the machine it runs on, read afresh on every call. Any thread.
class ProcessFacts {
public:
    ProcessFacts() = delete;

    /// The operating system's readable name and version, e.g. "Debian GNU/Linux 12 (bookworm)".
    static std::string operatingSystemVersion();
    /// The number of processors the process may run on.
    static int activeProcessorCount();
};

} // namespace fernwick::ui
