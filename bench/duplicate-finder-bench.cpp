// Runs the duplicate finder the way the duplicates screen does: scan a folder into a tree, then
// findDuplicates over it. Prints each cluster's paths (one per line, a blank line between
// clusters) to --out, and the stage times to standard error.
//
//   duplicate-finder-bench [--min-size N] [--threads N] [--out FILE] FOLDER
//   duplicate-finder-bench --hash FILE...     stream SHA-256 of each file, one thread: MB/s
//
// The tree comes from the application's scanner, with no depth limit so that every file of the
// folder is a node (the application scans to depth 6).

#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Platform/Sha256.h"
#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace fernwick;
using Seconds = std::chrono::duration<double>;

namespace {

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
    const auto start = std::chrono::steady_clock::now();
    AsyncDiskScanner scanner;
    const DiskNodePtr root = scanner.scan(folder, 1000, {});
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
    std::fprintf(stderr,
                 "items %lld, clusters %zu, duplicate files %zu; scan %.3f s, find %.3f s\n",
                 static_cast<long long>(root->itemCount), clusters.size(), items,
                 Seconds(scanned - start).count(), Seconds(found - scanned).count());
    return 0;
}
