#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fernwick::test {

/// Writes binary property lists ("bplist00") object by object, following the format's layout:
/// the 8-byte header, the objects, the offset table, and the 32-byte trailer. Each add returns
/// the object's index for use as a reference.
class BinaryPropertyListWriter {
public:
    /// `refSize`: bytes per object reference (1 or 2 in tests).
    explicit BinaryPropertyListWriter(unsigned refSize = 1) : m_refSize(refSize) {}

    std::size_t asciiString(std::string_view text);
    std::size_t utf16String(std::u16string_view text);
    std::size_t integer(std::int64_t value);
    std::size_t boolean(bool value);
    std::size_t array(const std::vector<std::size_t>& elements);
    std::size_t dictionary(const std::vector<std::pair<std::size_t, std::size_t>>& members);

    /// The whole file with `top` as the top object.
    std::string finish(std::size_t top) const;

private:
    std::size_t add(std::string bytes);
    std::string header(unsigned type, std::size_t count) const;
    void appendRef(std::string& out, std::size_t ref) const;

    unsigned m_refSize;
    std::vector<std::string> m_objects;
};

/// A binary property list whose top object is a dictionary of these ASCII string members.
std::string binaryPropertyList(const std::vector<std::pair<std::string, std::string>>& members);

/// An XML property list whose top object is a dictionary of these string members (the values
/// are written as they stand: escape them beforehand when needed).
std::string xmlPropertyList(const std::vector<std::pair<std::string, std::string>>& members);

} // namespace fernwick::test
