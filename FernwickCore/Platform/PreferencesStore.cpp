#include "FernwickCore/Platform/PreferencesStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/Environment.h"

namespace fernwick {

PreferencesStore::PreferencesStore(std::filesystem::path file)
    : m_file(std::move(file)), m_values(nlohmann::json::object()) {
    if (auto text = readWholeFile(m_file)) {
        auto parsed = nlohmann::json::parse(*text, nullptr, /*allow_exceptions=*/false);
        if (parsed.is_object()) {
            m_values = std::move(parsed);
        }
    }
}

std::shared_ptr<PreferencesStore> PreferencesStore::shared() {
    static const auto store =
        std::make_shared<PreferencesStore>(Environment::current().preferencesFile());
    return store;
}

std::optional<std::string> PreferencesStore::string(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end() || !it->is_string()) {
        return std::nullopt;
    }
    return it->get<std::string>();
}

std::optional<bool> PreferencesStore::boolean(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end() || !it->is_boolean()) {
        return std::nullopt;
    }
    return it->get<bool>();
}

std::optional<std::vector<std::string>>
PreferencesStore::stringArray(const std::string& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_values.find(key);
    if (it == m_values.end() || !it->is_array()) {
        return std::nullopt;
    }
    std::vector<std::string> out;
    for (const auto& element : *it) {
        if (!element.is_string()) {
            return std::nullopt;
        }
        out.push_back(element.get<std::string>());
    }
    return out;
}

Status PreferencesStore::setString(const std::string& key, const std::string& value) {
    return setValue(key, value);
}

Status PreferencesStore::setBoolean(const std::string& key, bool value) {
    return setValue(key, value);
}

Status PreferencesStore::setStringArray(const std::string& key,
                                        const std::vector<std::string>& value) {
    return setValue(key, value);
}

Status PreferencesStore::remove(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_values.erase(key);
    return writeFileAtomically(
        m_file, m_values.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}

Status PreferencesStore::setValue(const std::string& key, nlohmann::json value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = std::move(value);
    // Invalid UTF-8 (a path with odd bytes) is written with replacement characters, not thrown.
    return writeFileAtomically(
        m_file, m_values.dump(2, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace fernwick
