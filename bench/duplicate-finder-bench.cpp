// Runs the duplicate finder the way the duplicates screen does: scan a folder into a tree, then
// findDuplicates over it. Prints each cluster's paths (one per line, a blank line between
// clusters) to --out, and the stage times to standard error.
//
//   duplicate-finder-bench [--min-size N] [--threads N] [--out FILE] FOLDER
//   duplicate-finder-bench --hash FILE...     stream SHA-256 of each file, one thread: MB/s
//
// The tree comes from a parallel fd-relative walker of this benchmark's own that fills the
// fields the finder reads (size, kind, modification time, inode, device).

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Platform/Sha256.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace fernwick;
using Seconds = std::chrono::duration<double>;

namespace {

/// One directory still to read: its open fd and its node.
struct PendingFolder {
    int fd;
    DiskNodePtr node;
};

class ParallelWalker {
public:
    DiskNodePtr walk(const std::filesystem::path& root, unsigned threads) {
        DiskNode::Fields fields;
        fields.url = root;
        fields.isDirectory = true;
        auto node = DiskNode::make(std::move(fields));
        const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            std::perror("open");
            return node;
        }
        push({fd, node});
        std::vector<std::thread> pool;
        for (unsigned i = 0; i < threads; ++i) {
            pool.emplace_back([this] { work(); });
        }
        for (auto& thread : pool) {
            thread.join();
        }
        return node;
    }
    std::size_t files() const { return m_files; }

private:
    void push(PendingFolder folder) {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(folder));
        ++m_outstanding;
        m_wake.notify_one();
    }
    void work() {
        for (;;) {
            PendingFolder folder;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return !m_queue.empty() || m_outstanding == 0; });
                if (m_queue.empty()) {
                    return;
                }
                folder = std::move(m_queue.front());
                m_queue.pop_front();
            }
            readFolder(folder);
            std::lock_guard lock(m_mutex);
            if (--m_outstanding == 0) {
                m_wake.notify_all();
            }
        }
    }
    void readFolder(PendingFolder& folder) {
        DIR* dir = ::fdopendir(folder.fd);
        if (dir == nullptr) {
            ::close(folder.fd);
            return;
        }
        const auto parentPath = std::make_shared<const std::filesystem::path>(folder.node->url());
        std::size_t files = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            struct stat info {};
            if (::fstatat(folder.fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            const bool isDirectory = S_ISDIR(info.st_mode);
            auto child = std::make_shared<DiskNode>(parentPath, name, isDirectory, false);
            child->size = isDirectory ? 0 : info.st_size;
            child->allocatedSize = info.st_blocks * 512;
            child->inode = info.st_ino;
            child->deviceID = info.st_dev;
            child->isSymlink = S_ISLNK(info.st_mode);
            child->modifiedDate = TimePoint{std::chrono::duration_cast<TimePoint::duration>(
                std::chrono::seconds(info.st_mtim.tv_sec) +
                std::chrono::nanoseconds(info.st_mtim.tv_nsec))};
            folder.node->children.push_back(child);
            if (isDirectory) {
                const int fd =
                    ::openat(folder.fd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
                if (fd >= 0) {
                    push({fd, child});
                }
            } else {
                ++files;
            }
        }
        ::closedir(dir);
        m_files += files;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<PendingFolder> m_queue;
    std::size_t m_outstanding = 0;
    std::atomic<std::size_t> m_files{0};
};

int hashFiles(int argc, char** argv) {
    std::vector<unsigned char> buffer(65536);
    std::uint64_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < argc; ++i) {
        const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::perror(argv[i]);
            return 1;
        }
        Sha256 digest;
        for (;;) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got <= 0) {
                break;
            }
            digest.update(buffer.data(), static_cast<std::size_t>(got));
            total += static_cast<std::uint64_t>(got);
        }
        ::close(fd);
        std::printf("%s  %s\n", digest.finishHex().c_str(), argv[i]);
    }
    const double seconds = Seconds(std::chrono::steady_clock::now() - start).count();
    std::fprintf(stderr, "hashed %llu bytes in %.3f s: %.0f MB/s\n",
                 static_cast<unsigned long long>(total), seconds, total / seconds / 1e6);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--hash") == 0) {
        return hashFiles(argc - 2, argv + 2);
    }
    std::int64_t minSize = 1;
    unsigned workers = 0;
    std::string out;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--min-size" && i + 1 < argc) {
            minSize = std::stoll(argv[++i]);
        } else if (arg == "--threads" && i + 1 < argc) {
            workers = static_cast<unsigned>(std::stoul(argv[++i]));
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            folder = arg;
        }
    }
    if (folder.empty()) {
        std::fprintf(
            stderr,
            "usage: duplicate-finder-bench [--min-size N] [--threads N] [--out FILE] FOLDER\n");
        return 2;
    }
    const unsigned threads = std::max(1U, std::thread::hardware_concurrency());
    const auto start = std::chrono::steady_clock::now();
    ParallelWalker walker;
    const DiskNodePtr root = walker.walk(folder, threads);
    const auto scanned = std::chrono::steady_clock::now();
    DuplicateFinderEngine::Options options;
    options.workerCount = workers;
    const auto clusters = DuplicateFinderEngine(options).findDuplicates(
        root, minSize, DuplicateResolutionRule::unselectAll);
    const auto found = std::chrono::steady_clock::now();

    std::size_t items = 0;
    std::string text;
    for (const auto& cluster : clusters) {
        for (const auto& item : cluster.items) {
            text += item.path();
            text += '\n';
            ++items;
        }
        text += '\n';
    }
    if (!out.empty()) {
        std::ofstream(out, std::ios::binary) << text;
    }
    std::fprintf(stderr, "files %zu, clusters %zu, duplicate files %zu; scan %.3f s, find %.3f s\n",
                 walker.files(), clusters.size(), items, Seconds(scanned - start).count(),
                 Seconds(found - scanned).count());
    return 0;
}
