#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fernwick {

/// Reads the entries of an open folder with getdents64(2) into buffers it reuses from one folder
/// to the next. One reader per thread; not shareable.
class DirectoryReader {
public:
    struct Entry {
        std::string_view name; ///< bytes as they are, NUL-terminated; valid until the next read()
        unsigned char type;    ///< DT_* of dirent(3); DT_UNKNOWN when the file system gives none
    };

    DirectoryReader();

    /// Reads every entry of the folder `fd` but "." and "..", leaving out dot-names when
    /// `skipHidden`, sorted by name bytes when `sorted` (else in the file system's order).
    /// Returns 0, or the errno of the failed read (the entries are then empty). Does not close
    /// `fd`.
    [[nodiscard]] int read(int fd, bool skipHidden, bool sorted = true);

    const std::vector<Entry>& entries() const { return m_entries; }

private:
    struct Slot {
        std::uint32_t offset;
        std::uint32_t length;
        unsigned char type;
    };
    // Left uninitialised: getdents64 writes what is read, and zeroing 128 KiB per reader costs
    // a short scan's workers more than their listings.
    std::unique_ptr<char[]> m_buffer;
    std::string m_names;
    std::vector<Slot> m_slots;
    std::vector<Entry> m_entries;
};

} // namespace fernwick
