#include "FernwickCore/Engines/DuplicateSearch.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace fernwick::duplicates {
namespace {

// Feeds `length` bytes from `offset` on into the digest, in buffer-sized reads. With
// `toEnd`, `offset + length` must be the end of the file: a file that grew since it was
// measured is refused too. A regular file returns fewer bytes than asked for only at its end,
// so a short read that lands on the expected size ends the file without one more call.
bool hashRange(const FileReader& reader, const std::string& file, int fd, WorkerState& state,
               std::int64_t offset, std::int64_t length, bool toEnd) {
    const std::int64_t end = offset + length;
    std::int64_t position = offset;
    for (;;) {
        const std::int64_t wanted = std::min<std::int64_t>(
            static_cast<std::int64_t>(state.buffer.size()), end - position + (toEnd ? 1 : 0));
        if (wanted == 0) {
            return true;
        }
        const ssize_t got = reader.readAt(file, fd, state.buffer.data(),
                                          static_cast<std::size_t>(wanted), position);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return position == end;
        }
        if (position + got > end) {
            return false; // grew
        }
        state.digest.update(state.buffer.data(), static_cast<std::size_t>(got));
        position += got;
        if (position == end && (!toEnd || got < wanted)) {
            return true;
        }
    }
}

} // namespace

// O_NONBLOCK: a node that has become a FIFO or a device since the scan must never block the
// open; such a node is then refused, since only a regular file of the size the tree
// recorded can be compared by its bytes.
//
// O_NOFOLLOW, and the device and inode compared with the node's (when it has them): a
// file replaced since the scan, by a link to another file or by a new file, is not the file
// the tree describes, and comparing it could select the only real copy for cleanup.
//
// `directory` and `name`, when given, name the same file relative to an open folder, which
// spares the kernel the walk down the whole path for every file of that folder.
UniqueFd FileReader::openRegular(const std::string& file, const DiskNode& node, int directory,
                                 const char* name) const {
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
    UniqueFd fd(directory >= 0 ? ::openat(directory, name, kFlags) : ::open(file.c_str(), kFlags));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size != node.size ||
        (node.inode != 0 && static_cast<std::uint64_t>(info.st_ino) != node.inode) ||
        (node.deviceID != 0 && static_cast<std::uint64_t>(info.st_dev) != node.deviceID)) {
        return UniqueFd();
    }
    return fd;
}

bool readWhole(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t size) {
    std::int64_t done = 0;
    for (;;) {
        const ssize_t got =
            reader.readAt(file, fd, buffer + done, static_cast<std::size_t>(size + 1 - done), done);
        if (got <= 0) {
            return got == 0 && done == size;
        }
        done += got;
        if (done >= size) {
            return done == size;
        }
    }
}

std::optional<Digest> partialDigest(const FileReader& reader, const std::string& file, int fd,
                                    std::int64_t size, WorkerState& state) {
    state.digest.reset();
    bool complete = false;
    if (size <= kWholeReadLimit) {
        complete = readWhole(reader, file, fd, state.buffer.data(), size);
        if (complete) {
            state.digest.update(state.buffer.data(), static_cast<std::size_t>(size));
        }
    } else {
        const auto chunk = static_cast<std::int64_t>(kPartialChunk);
        complete = hashRange(reader, file, fd, state, 0, chunk, false) &&
                   hashRange(reader, file, fd, state, size - chunk, chunk, false);
    }
    if (!complete) {
        return std::nullopt;
    }
    return state.digest.finish();
}

std::optional<Digest> partialHash(const FileReader& reader, const std::string& file,
                                  const DiskNode& node, WorkerState& state, int directory,
                                  const char* name) {
    const UniqueFd fd = reader.openRegular(file, node, directory, name);
    if (fd.get() < 0) {
        return std::nullopt;
    }
    return partialDigest(reader, file, fd.get(), node.size, state);
}

std::optional<Digest> fullHash(const FileReader& reader, const std::string& file,
                               const DiskNode& node, WorkerState& state) {
    const UniqueFd fd = reader.openRegular(file, node);
    const std::int64_t size = node.size;
    if (fd.get() < 0) {
        return std::nullopt;
    }
    state.digest.reset();
    // A file that shrank or grew while it was read is not the file the tree described.
    if (!hashRange(reader, file, fd.get(), state, 0, size, true)) {
        return std::nullopt;
    }
    return state.digest.finish();
}

bool readChunk(const FileReader& reader, const std::string& file, int fd, unsigned char* buffer,
               std::int64_t position, std::size_t length, bool last) {
    const std::size_t ask = length + (last ? 1 : 0);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            reader.readAt(file, fd, buffer + done, ask - done, position + static_cast<off_t>(done));
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return done == length;
}

} // namespace fernwick::duplicates
