#include "FernwickCore/Platform/PreferencesStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/Environment.h"
#include "FernwickCore/Platform/StateFile.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace fernwick {
namespace {

// How many bytes a valid UTF-8 sequence at `i` takes (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when none starts there.
std::size_t utf8SequenceLength(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool isPlainText(const std::string& text) {
    if (!text.empty() && text.front() == '\0') {
        return false;
    }
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

void appendMember(std::string& out, const std::string& key, const nlohmann::json& value) {
    out += "  ";
    out += nlohmann::json(key).dump();
    out += ": ";
    const bool flatArray = value.is_array() && !value.empty() &&
                           std::none_of(value.begin(), value.end(),
                                        [](const nlohmann::json& e) { return e.is_structured(); });
    if (!flatArray) {
        out += value.dump(); // compact: indentation never grows with nesting
        return;
    }
    out += "[\n";
    for (std::size_t i = 0; i < value.size(); ++i) {
        out += "    ";
        out += value[i].dump();
        out += i + 1 < value.size() ? ",\n" : "\n";
    }
    out += "  ]";
}

} // namespace

std::string PreferencesStore::encodeString(const std::string& bytes) {
    if (isPlainText(bytes)) {
        return bytes;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(1, '\0');
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length =
            bytes[i] == '%' || bytes[i] == '\0' ? 0 : utf8SequenceLength(bytes, i);
        if (length > 0) {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
        ++i;
    }
    return out;
}

std::string PreferencesStore::decodeString(const std::string& stored) {
    if (stored.empty() || stored.front() != '\0') {
        return stored;
    }
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 1; i < stored.size(); ++i) {
        if (stored[i] == '%' && i + 2 < stored.size()) {
            const int high = hexValue(stored[i + 1]);
            const int low = hexValue(stored[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

std::string PreferencesStore::serialize(const nlohmann::json& values) {
    if (values.empty()) {
        return "{}";
    }
    std::string out = "{\n";
    std::size_t remaining = values.size();
    for (const auto& [key, value] : values.items()) {
        appendMember(out, key, value);
        out += --remaining > 0 ? ",\n" : "\n";
    }
    out += "}";
    return out;
}

PreferencesStore::PreferencesStore(std::filesystem::path file)
    : m_file(std::move(file)), m_values(nlohmann::json::object()) {
    removeStaleTemporaryFiles(m_file);
    auto text = readWholeFile(m_file, statefile::kPreferencesMaxBytes);
    if (!text) {
        if (text.error().code != ENOENT) {
            m_unreadable = text.error().code == EFBIG ? "larger than 16 MiB"
                                                      : std::strerror(text.error().code);
            setAsideAtStart();
        }
        return;
    }
    if (text->empty()) {
        return; // nothing to lose
    }
    auto parsed = statefile::parse(*text);
    if (parsed.is_object()) {
        m_values = std::move(parsed);
        return;
    }
    m_unreadable = parsed.is_discarded() ? "not JSON, or nested too deeply" : "not an object";
    setAsideAtStart();
}

void PreferencesStore::setAsideAtStart() {
    // Kept aside at once, so that the window can say where the user's settings went.
    m_unreadableAtStart = UnreadableFile{m_unreadable, {}, {}};
    if (auto aside = setAsideUnreadable(); aside) {
        m_unreadableAtStart->keptAs = *aside;
    } else {
        m_unreadableAtStart->setAsideFailure = aside.error().message();
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
    return decodeString(it->get<std::string>());
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
        out.push_back(decodeString(element.get<std::string>()));
    }
    return out;
}

Status PreferencesStore::setString(const std::string& key, const std::string& value) {
    return setValue(key, encodeString(value));
}

Status PreferencesStore::setBoolean(const std::string& key, bool value) {
    return setValue(key, value);
}

Status PreferencesStore::setStringArray(const std::string& key,
                                        const std::vector<std::string>& value) {
    auto array = nlohmann::json::array();
    for (const auto& element : value) {
        array.push_back(encodeString(element));
    }
    return setValue(key, std::move(array));
}

Status PreferencesStore::remove(const std::string& key) {
    std::lock_guard lock(m_mutex);
    m_values.erase(key);
    return write();
}

Status PreferencesStore::setValue(const std::string& key, nlohmann::json value) {
    std::lock_guard lock(m_mutex);
    m_values[key] = std::move(value);
    return write();
}

Result<std::filesystem::path> PreferencesStore::setAsideUnreadable() {
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    auto aside = statefile::setAside(m_file, now, 100, m_unreadable);
    if (aside) {
        m_unreadable.clear();
    }
    return aside;
}

Status PreferencesStore::write() {
    if (!m_unreadable.empty()) {
        if (auto aside = setAsideUnreadable(); !aside) {
            return aside.error();
        }
    }
    std::string text;
    try {
        // Every string in the store is valid UTF-8 (parsed, or escaped on the way in): a value
        // that is not would fail the write rather than be altered.
        text = serialize(m_values);
    } catch (const nlohmann::json::exception&) {
        return SystemError{"write " + m_file.string(), EILSEQ};
    }
    return writeFileAtomically(m_file, text);
}

} // namespace fernwick
