#include "FernwickCore/Platform/PropertyList.h"

#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fernwick {
namespace {

void appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = 0xFFFD;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// ---- XML ---------------------------------------------------------------------------------

// The character of one of XML's five named entities ("amp" for "&amp;").
std::optional<char> namedEntity(std::string_view body) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, character] : kNamed) {
        if (body == entity) {
            return character;
        }
    }
    return std::nullopt;
}

// The value of one digit of a character reference; -1 when it is none.
int referenceDigit(char d, bool hex) {
    if (d >= '0' && d <= '9') {
        return d - '0';
    }
    if (hex && d >= 'a' && d <= 'f') {
        return d - 'a' + 10;
    }
    if (hex && d >= 'A' && d <= 'F') {
        return d - 'A' + 10;
    }
    return -1;
}

// The code point of a character reference ("#65" or "#x41" for "&#65;"); nullopt when the body
// is none, holds a stray digit, overflows the code space or names U+0000.
std::optional<std::uint32_t> characterReference(std::string_view body) {
    if (body.size() < 2 || body[0] != '#') {
        return std::nullopt;
    }
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char d : digits) {
        const int digit = referenceDigit(d, hex);
        if (digit < 0 || value > 0x10FFFF) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
    }
    if (value == 0) {
        return std::nullopt;
    }
    return value;
}

struct Tag {
    std::string_view name;
    bool closing = false;
    bool selfClosing = false;
};

// A forward-only reader over an XML property list. Every step advances or fails, so the work is
// linear in the input; nesting is counted, never recursed into.
class XmlReader {
public:
    explicit XmlReader(std::string_view text) : m_text(text) {
        if (m_text.substr(0, 3) == "\xEF\xBB\xBF") {
            m_pos = 3;
        }
    }

    // Skips white space, comments, processing instructions and the document type.
    bool skipMisc() {
        for (;;) {
            while (m_pos < m_text.size() && isSpace(m_text[m_pos])) {
                ++m_pos;
            }
            if (startsWith("<?")) {
                if (!skipPast("?>")) {
                    return false;
                }
            } else if (startsWith("<!--")) {
                if (!skipPast("-->")) {
                    return false;
                }
            } else if (startsWith("<!DOCTYPE")) {
                if (!skipDoctype()) {
                    return false;
                }
            } else {
                return true;
            }
        }
    }

    std::optional<Tag> readTag() {
        if (!startsWith("<")) {
            return std::nullopt;
        }
        ++m_pos;
        Tag tag;
        if (startsWith("/")) {
            tag.closing = true;
            ++m_pos;
        }
        const std::size_t nameStart = m_pos;
        while (m_pos < m_text.size() && !isSpace(m_text[m_pos]) && m_text[m_pos] != '/' &&
               m_text[m_pos] != '>') {
            ++m_pos;
        }
        tag.name = m_text.substr(nameStart, m_pos - nameStart);
        if (tag.name.empty()) {
            return std::nullopt;
        }
        char quote = 0;
        for (; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (quote != 0) {
                quote = c == quote ? '\0' : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                tag.selfClosing = m_text[m_pos - 1] == '/';
                ++m_pos;
                if (tag.closing && tag.selfClosing) {
                    return std::nullopt;
                }
                return tag;
            }
        }
        return std::nullopt;
    }

    // The decoded character data up to the end tag `</name>`, which it consumes.
    std::optional<std::string> readText(std::string_view name) {
        std::string out;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '&') {
                decodeEntity(out);
            } else if (c != '<') {
                out += c;
                ++m_pos;
            } else if (startsWith("<![CDATA[")) {
                const std::size_t start = m_pos + 9;
                const std::size_t end = m_text.find("]]>", start);
                if (end == std::string_view::npos) {
                    return std::nullopt;
                }
                out.append(m_text.substr(start, end - start));
                m_pos = end + 3;
            } else if (startsWith("<!--")) {
                if (!skipPast("-->")) {
                    return std::nullopt;
                }
            } else {
                const auto tag = readTag();
                if (!tag || !tag->closing || tag->name != name) {
                    return std::nullopt;
                }
                return out;
            }
        }
        return std::nullopt;
    }

    // Skips the rest of an element whose start tag was just read, whatever it holds.
    bool skipElement() {
        std::size_t depth = 1;
        while (depth > 0) {
            const std::size_t next = m_text.find('<', m_pos);
            if (next == std::string_view::npos) {
                return false;
            }
            m_pos = next;
            if (startsWith("<![CDATA[")) {
                if (!skipPast("]]>")) {
                    return false;
                }
            } else if (startsWith("<!--")) {
                if (!skipPast("-->")) {
                    return false;
                }
            } else if (startsWith("<?")) {
                if (!skipPast("?>")) {
                    return false;
                }
            } else {
                const auto tag = readTag();
                if (!tag) {
                    return false;
                }
                if (tag->closing) {
                    --depth;
                } else if (!tag->selfClosing) {
                    ++depth;
                }
            }
        }
        return true;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    bool startsWith(std::string_view prefix) const {
        return m_text.substr(m_pos, prefix.size()) == prefix;
    }

    bool skipPast(std::string_view terminator) {
        const std::size_t end = m_text.find(terminator, m_pos);
        if (end == std::string_view::npos) {
            return false;
        }
        m_pos = end + terminator.size();
        return true;
    }

    bool skipDoctype() {
        bool inSubset = false;
        for (; m_pos < m_text.size(); ++m_pos) {
            const char c = m_text[m_pos];
            if (c == '[') {
                inSubset = true;
            } else if (c == ']') {
                inSubset = false;
            } else if (c == '>' && !inSubset) {
                ++m_pos;
                return true;
            }
        }
        return false;
    }

    // At '&': appends the character it names, or the '&' itself when it names nothing known.
    void decodeEntity(std::string& out) {
        // Only a short window is searched, so that a text of many '&' stays linear.
        const std::size_t semicolon = m_text.substr(m_pos, 12).find(';');
        if (semicolon != std::string_view::npos) {
            const std::size_t end = m_pos + semicolon;
            const std::string_view body = m_text.substr(m_pos + 1, semicolon - 1);
            if (const auto character = namedEntity(body)) {
                out += *character;
                m_pos = end + 1;
                return;
            }
            if (const auto codePoint = characterReference(body)) {
                appendUtf8(out, *codePoint);
                m_pos = end + 1;
                return;
            }
        }
        out += '&';
        ++m_pos;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Reads up to the start tag of the top dictionary, inside an optional <plist>; nullopt when the
// text does not begin so.
std::optional<Tag> openTopDictionary(XmlReader& reader) {
    if (!reader.skipMisc()) {
        return std::nullopt;
    }
    auto tag = reader.readTag();
    if (tag && !tag->closing && !tag->selfClosing && tag->name == "plist") {
        if (!reader.skipMisc()) {
            return std::nullopt;
        }
        tag = reader.readTag();
    }
    if (!tag || tag->closing || tag->name != "dict") {
        return std::nullopt;
    }
    return tag;
}

enum class EntryRead : std::uint8_t { entry, end, malformed };

// Reads one key and its value from the top dictionary, keeping the value when it is a string;
// `end` at the dictionary's end tag.
EntryRead readEntry(XmlReader& reader, PropertyListStrings& result) {
    if (!reader.skipMisc()) {
        return EntryRead::malformed;
    }
    const auto keyTag = reader.readTag();
    if (!keyTag) {
        return EntryRead::malformed;
    }
    if (keyTag->closing && keyTag->name == "dict") {
        return EntryRead::end;
    }
    if (keyTag->closing || keyTag->name != "key") {
        return EntryRead::malformed;
    }
    std::optional<std::string> key = keyTag->selfClosing ? std::string() : reader.readText("key");
    if (!key || !reader.skipMisc()) {
        return EntryRead::malformed;
    }
    const auto valueTag = reader.readTag();
    if (!valueTag || valueTag->closing) {
        return EntryRead::malformed;
    }
    if (valueTag->name == "string") {
        auto value = valueTag->selfClosing ? std::string() : reader.readText("string");
        if (!value) {
            return EntryRead::malformed;
        }
        result.insert_or_assign(std::move(*key), std::move(*value));
    } else if (!valueTag->selfClosing && !reader.skipElement()) {
        return EntryRead::malformed;
    }
    return EntryRead::entry;
}

std::optional<PropertyListStrings> parseXml(std::string_view text) {
    XmlReader reader(text);
    const auto dictionary = openTopDictionary(reader);
    if (!dictionary) {
        return std::nullopt;
    }
    PropertyListStrings result;
    if (dictionary->selfClosing) {
        return result;
    }
    for (;;) {
        switch (readEntry(reader, result)) {
        case EntryRead::entry:
            break;
        case EntryRead::end:
            return result;
        case EntryRead::malformed:
            return std::nullopt;
        }
    }
}

// ---- Binary ("bplist00") -----------------------------------------------------------------

// A reader over a binary property list. The trailer is validated once; every object offset and
// length is then checked against the object area before a byte is read.
class BinaryReader {
public:
    explicit BinaryReader(std::string_view data) : m_data(data) {}

    bool open() {
        constexpr std::size_t kTrailer = 32;
        if (m_data.size() < 8 + kTrailer || m_data.substr(0, 8) != "bplist00") {
            return false;
        }
        const std::size_t trailer = m_data.size() - kTrailer;
        m_offsetSize = byteAt(trailer + 6);
        m_refSize = byteAt(trailer + 7);
        const std::uint64_t objectCount = readUnsigned(trailer + 8, 8);
        m_top = readUnsigned(trailer + 16, 8);
        const std::uint64_t tableOffset = readUnsigned(trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8 ||
            objectCount == 0 || m_top >= objectCount || tableOffset < 8 || tableOffset > trailer ||
            (trailer - tableOffset) / m_offsetSize < objectCount) {
            return false;
        }
        m_objectCount = objectCount;
        m_tableOffset = static_cast<std::size_t>(tableOffset);
        return true;
    }

    std::optional<PropertyListStrings> topDictionaryStrings() const {
        const auto top = object(m_top);
        if (!top || top->type != 0xD) {
            return std::nullopt;
        }
        const std::uint64_t count = top->count;
        // Keys and values: 2 × count references that must fit before the offset table.
        if (top->payload > m_tableOffset ||
            (m_tableOffset - top->payload) / (std::uint64_t{2} * m_refSize) < count) {
            return std::nullopt;
        }
        PropertyListStrings result;
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::size_t keyRef = top->payload + static_cast<std::size_t>(i) * m_refSize;
            const std::size_t valueRef =
                top->payload + static_cast<std::size_t>(count + i) * m_refSize;
            auto key = string(readUnsigned(keyRef, m_refSize));
            if (!key) {
                return std::nullopt; // a key that is not a string is malformed
            }
            if (auto value = string(readUnsigned(valueRef, m_refSize))) {
                result.insert_or_assign(std::move(*key), std::move(*value));
            }
        }
        return result;
    }

private:
    struct Object {
        unsigned type = 0;
        std::uint64_t count = 0;
        std::size_t payload = 0;
    };

    unsigned byteAt(std::size_t offset) const { return static_cast<unsigned char>(m_data[offset]); }

    // Big-endian; the caller has checked that the bytes lie inside the data.
    std::uint64_t readUnsigned(std::size_t offset, unsigned width) const {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < width; ++i) {
            value = (value << 8) | byteAt(offset + i);
        }
        return value;
    }

    // The marker of object `index` and its length, or nullopt when any of it lies outside the
    // object area (between the header and the offset table).
    std::optional<Object> object(std::uint64_t index) const {
        if (index >= m_objectCount) {
            return std::nullopt;
        }
        const std::uint64_t offset = readUnsigned(
            m_tableOffset + static_cast<std::size_t>(index) * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= m_tableOffset) {
            return std::nullopt;
        }
        std::size_t pos = static_cast<std::size_t>(offset);
        const unsigned marker = byteAt(pos++);
        Object result{marker >> 4, marker & 0xFu, 0};
        if (result.count == 0xF) {
            // The length follows as an integer object: marker 0x1n, then 2^n bytes.
            if (pos >= m_tableOffset || (byteAt(pos) >> 4) != 0x1 || (byteAt(pos) & 0xF) > 3) {
                return std::nullopt;
            }
            const unsigned width = 1u << (byteAt(pos) & 0xF);
            ++pos;
            if (m_tableOffset - pos < width) {
                return std::nullopt;
            }
            result.count = readUnsigned(pos, width);
            pos += width;
        }
        result.payload = pos;
        return result;
    }

    // The text of a string object (ASCII or UTF-16 big-endian) as UTF-8; nullopt for any other
    // object or one that does not fit.
    std::optional<std::string> string(std::uint64_t index) const {
        const auto found = object(index);
        if (!found || (found->type != 0x5 && found->type != 0x6)) {
            return std::nullopt;
        }
        const std::size_t available = m_tableOffset - found->payload;
        const std::size_t unit = found->type == 0x6 ? 2 : 1;
        if (available / unit < found->count) {
            return std::nullopt;
        }
        const auto length = static_cast<std::size_t>(found->count);
        std::string out;
        if (unit == 1) {
            for (std::size_t i = 0; i < length; ++i) {
                appendUtf8(out, byteAt(found->payload + i)); // bytes above 0x7F read as Latin-1
            }
            return out;
        }
        for (std::size_t i = 0; i < length; ++i) {
            std::uint32_t unitValue =
                static_cast<std::uint32_t>(readUnsigned(found->payload + 2 * i, 2));
            if (unitValue >= 0xD800 && unitValue <= 0xDBFF && i + 1 < length) {
                const auto low =
                    static_cast<std::uint32_t>(readUnsigned(found->payload + 2 * (i + 1), 2));
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    unitValue = 0x10000 + ((unitValue - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
            appendUtf8(out, unitValue); // a lone surrogate becomes U+FFFD
        }
        return out;
    }

    std::string_view m_data;
    unsigned m_offsetSize = 0;
    unsigned m_refSize = 0;
    std::uint64_t m_objectCount = 0;
    std::uint64_t m_top = 0;
    std::size_t m_tableOffset = 0;
};

} // namespace

std::optional<PropertyListStrings> parsePropertyListStrings(std::string_view data) {
    if (data.substr(0, 6) == "bplist") {
        BinaryReader reader(data);
        if (!reader.open()) {
            return std::nullopt;
        }
        return reader.topDictionaryStrings();
    }
    return parseXml(data);
}

std::optional<PropertyListStrings> readPropertyListFile(const std::filesystem::path& file) {
    // O_NONBLOCK: a FIFO planted in place of the file must not hang the caller.
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uint64_t>(info.st_size) > kMaximumPropertyListBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ::close(fd);
            if (got < 0) {
                return std::nullopt;
            }
            break;
        }
        data.append(buffer, static_cast<std::size_t>(got));
        if (data.size() > kMaximumPropertyListBytes) { // grew while being read
            ::close(fd);
            return std::nullopt;
        }
    }
    return parsePropertyListStrings(data);
}

} // namespace fernwick
