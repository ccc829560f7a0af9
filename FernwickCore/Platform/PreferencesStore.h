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
class PreferencesStore {
public:
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

private:
    Status setValue(const std::string& key, nlohmann::json value);

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    nlohmann::json m_values; // always an object
};

} // namespace fernwick
