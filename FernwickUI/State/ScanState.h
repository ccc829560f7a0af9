#pragma once

#include <cstdint>
#include <string>

namespace fernwick::ui {

/// What the main window's canvas shows: a running scan with its counts, the last scan's error,
/// nothing yet (idle), or a published tree (completed). A plain value.
class ScanState {
public:
    enum class Kind { scanning, error, idle, completed };

    /// `idle`.
    ScanState() = default;

    static ScanState scanning(std::string progress, std::int64_t bytesScanned,
                              std::int64_t filesScanned);
    static ScanState error(std::string message);
    static ScanState idle() { return {}; }
    static ScanState completed();

    Kind kind() const { return m_kind; }
    bool isScanning() const { return m_kind == Kind::scanning; }
    /// The text shown while scanning; empty in other states.
    const std::string& progress() const { return m_text; }
    /// The error text; empty in other states.
    const std::string& message() const { return m_text; }
    /// The counts so far while scanning; 0 in other states.
    std::int64_t bytesScanned() const { return m_bytes; }
    std::int64_t filesScanned() const { return m_files; }

    /// Same case, and for `scanning` the same text and counts, for `error` the same message.
    friend bool operator==(const ScanState& a, const ScanState& b) {
        return a.m_kind == b.m_kind && a.m_text == b.m_text && a.m_bytes == b.m_bytes &&
               a.m_files == b.m_files;
    }

private:
    Kind m_kind = Kind::idle;
    std::string m_text; // progress while scanning, message on error, empty otherwise
    std::int64_t m_bytes = 0;
    std::int64_t m_files = 0;
};

} // namespace fernwick::ui
