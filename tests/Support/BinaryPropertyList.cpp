#include "tests/Support/BinaryPropertyList.h"

namespace fernwick::test {
namespace {

void appendBigEndian(std::string& out, std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

} // namespace

std::size_t BinaryPropertyListWriter::add(std::string bytes) {
    m_objects.push_back(std::move(bytes));
    return m_objects.size() - 1;
}

// The marker byte: type in the high nibble, the count in the low one, or 0xF followed by an
// integer object holding the count.
std::string BinaryPropertyListWriter::header(unsigned type, std::size_t count) const {
    std::string out;
    if (count < 15) {
        out += static_cast<char>((type << 4) | count);
        return out;
    }
    out += static_cast<char>((type << 4) | 0xF);
    const unsigned power = count <= 0xFF ? 0 : count <= 0xFFFF ? 1 : 2;
    out += static_cast<char>(0x10 | power);
    appendBigEndian(out, count, 1u << power);
    return out;
}

void BinaryPropertyListWriter::appendRef(std::string& out, std::size_t ref) const {
    appendBigEndian(out, ref, m_refSize);
}

std::size_t BinaryPropertyListWriter::asciiString(std::string_view text) {
    return add(header(0x5, text.size()) + std::string(text));
}

std::size_t BinaryPropertyListWriter::utf16String(std::u16string_view text) {
    std::string out = header(0x6, text.size());
    for (const char16_t unit : text) {
        appendBigEndian(out, unit, 2);
    }
    return add(std::move(out));
}

std::size_t BinaryPropertyListWriter::integer(std::int64_t value) {
    std::string out(1, static_cast<char>(0x13)); // 8 bytes
    appendBigEndian(out, static_cast<std::uint64_t>(value), 8);
    return add(std::move(out));
}

std::size_t BinaryPropertyListWriter::boolean(bool value) {
    return add(std::string(1, static_cast<char>(value ? 0x09 : 0x08)));
}

std::size_t BinaryPropertyListWriter::array(const std::vector<std::size_t>& elements) {
    std::string out = header(0xA, elements.size());
    for (const std::size_t ref : elements) {
        appendRef(out, ref);
    }
    return add(std::move(out));
}

std::size_t BinaryPropertyListWriter::dictionary(
    const std::vector<std::pair<std::size_t, std::size_t>>& members) {
    std::string out = header(0xD, members.size());
    for (const auto& member : members) {
        appendRef(out, member.first);
    }
    for (const auto& member : members) {
        appendRef(out, member.second);
    }
    return add(std::move(out));
}

std::string BinaryPropertyListWriter::finish(std::size_t top) const {
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const auto& object : m_objects) {
        offsets.push_back(out.size());
        out += object;
    }
    const std::uint64_t tableOffset = out.size();
    const unsigned offsetSize = tableOffset <= 0xFF ? 1 : tableOffset <= 0xFFFF ? 2 : 4;
    for (const std::uint64_t offset : offsets) {
        appendBigEndian(out, offset, offsetSize);
    }
    out.append(6, '\0');
    out += static_cast<char>(offsetSize);
    out += static_cast<char>(m_refSize);
    appendBigEndian(out, m_objects.size(), 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, tableOffset, 8);
    return out;
}

std::string binaryPropertyList(const std::vector<std::pair<std::string, std::string>>& members) {
    BinaryPropertyListWriter writer;
    std::vector<std::pair<std::size_t, std::size_t>> refs;
    for (const auto& [key, value] : members) {
        const std::size_t keyRef = writer.asciiString(key);
        refs.emplace_back(keyRef, writer.asciiString(value));
    }
    return writer.finish(writer.dictionary(refs));
}

std::string xmlPropertyList(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist SYSTEM \"plist.dtd\">\n"
                      "<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : members) {
        out += "\t<key>" + key + "</key>\n\t<string>" + value + "</string>\n";
    }
    return out + "</dict>\n</plist>\n";
}

} // namespace fernwick::test
