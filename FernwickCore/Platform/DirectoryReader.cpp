#include "FernwickCore/Platform/DirectoryReader.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>

namespace fernwick {
namespace {

// Large enough that most folders come back in one call.
constexpr std::size_t kBufferSize = std::size_t{128} * 1024;

// getdents64(2): the record layout of struct linux_dirent64.
constexpr std::size_t kReclenOffset = offsetof(struct dirent64, d_reclen);
constexpr std::size_t kTypeOffset = offsetof(struct dirent64, d_type);
constexpr std::size_t kNameOffset = offsetof(struct dirent64, d_name);

} // namespace

DirectoryReader::DirectoryReader() : m_buffer(new char[kBufferSize]) {}

int DirectoryReader::read(int fd, bool skipHidden, bool sorted) {
    m_names.clear();
    m_slots.clear();
    m_entries.clear();
    for (;;) {
        const ssize_t got = ::getdents64(fd, m_buffer.get(), kBufferSize);
        if (got == 0) {
            break;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            m_slots.clear();
            return error;
        }
        for (ssize_t at = 0; at < got;) {
            const char* record = m_buffer.get() + at;
            unsigned short reclen = 0;
            std::memcpy(&reclen, record + kReclenOffset, sizeof reclen);
            at += reclen;
            const char* name = record + kNameOffset;
            if (name[0] == '.' &&
                (skipHidden || name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
                continue;
            }
            const std::size_t length = std::strlen(name);
            m_slots.push_back({static_cast<std::uint32_t>(m_names.size()),
                               static_cast<std::uint32_t>(length),
                               static_cast<unsigned char>(record[kTypeOffset])});
            m_names.append(name, length + 1); // with its NUL, for the *at(2) calls
        }
    }
    m_entries.reserve(m_slots.size());
    for (const Slot& slot : m_slots) {
        m_entries.push_back(
            {std::string_view(m_names).substr(slot.offset, slot.length), slot.type});
    }
    // string_view compares through memcmp: byte order, as the tree's determinism needs.
    if (sorted) {
        std::sort(m_entries.begin(), m_entries.end(),
                  [](const Entry& a, const Entry& b) { return a.name < b.name; });
    }
    return 0;
}

} // namespace fernwick
