#pragma once

#include "FernwickCore/Platform/Result.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace fernwick {

/// The user-defaults store: one JSON object in a file, read when the store is built and
/// rewritten atomically on every change. A missing file, a missing key or a value of another
/// type reads as absent. Thread-safe.
///
/// Strings read back byte for byte: text that is valid UTF-8 is stored as it is; any other
/// bytes (a path such as ".../caf\xE9") are stored escaped (a leading U+0000, then "%XX" for
/// each such byte and for "%"). A file that exists but cannot be read (damaged, larger than
/// 16 MiB, nested deeper than 64 levels, not an object) reads as empty and is never replaced
/// blindly: the store renames it to "<file>.unreadable-<unix seconds>" (another free name when
/// that one is taken) when it is built, says so on standard error and in
/// `unreadableAtStart()`; when that rename fails, the next write tries it again and writes
/// nothing when it fails again. Each top-level key is written on its own line; nothing deeper than
/// the keys' own arrays is indented.
class PreferencesStore {
public:
    /// A file that could not be read when the store was built.
    struct UnreadableFile {
        /// Why it could not be read, e.g. "not JSON, or nested too deeply".
        std::string reason;
        /// Where it was kept; empty when it could not be renamed (it then stays in place).
        std::filesystem::path keptAs;
        /// Why the rename failed; empty when it did not.
        std::string setAsideFailure;
    };

    explicit PreferencesStore(std::filesystem::path file);
    /// The store at the real user's preferences file.
    static std::shared_ptr<PreferencesStore> shared();

    std::optional<std::string> string(const std::string& key) const;
    std::optional<bool> boolean(const std::string& key) const;
    std::optional<std::vector<std::string>> stringArray(const std::string& key) const;

    Status setString(const std::string& key, const std::string& value);
    Status setBoolean(const std::string& key, bool value);
    Status setStringArray(const std::string& key, const std::vector<std::string>& value);
    Status remove(const std::string& key);

    const std::filesystem::path& file() const { return m_file; }
    /// Set when the file existed but could not be read when the store was built.
    const std::optional<UnreadableFile>& unreadableAtStart() const { return m_unreadableAtStart; }

    /// The stored form of `bytes` and its inverse (exposed for tests and the hostile-input runs).
    static std::string encodeString(const std::string& bytes);
    static std::string decodeString(const std::string& stored);
    /// The file's text for `values` (an object).
    static std::string serialize(const nlohmann::json& values);

private:
    Status setValue(const std::string& key, nlohmann::json value);
    Status write();                                     // m_mutex held
    Result<std::filesystem::path> setAsideUnreadable(); // m_mutex held, or in the constructor
    void setAsideAtStart();

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    nlohmann::json m_values;  // always an object
    std::string m_unreadable; // why the file on disk could not be read; empty when it could
    std::optional<UnreadableFile> m_unreadableAtStart; // set in the constructor only
};

} // namespace fernwick
