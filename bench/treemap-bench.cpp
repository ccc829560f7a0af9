// Times the treemap layout of (a) one folder with 100,000 children and (b) a tree of 1,000,000
// nodes two levels deep (1,000 folders of 1,000 files), both built in memory.
#include "FernwickCore/Scanning/TreemapLayoutEngine.h"
#include "tests/Support/TreeBuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <time.h>

namespace {

namespace test = fernwick::test;
using fernwick::DiskNode;
using fernwick::DiskNodePtr;

std::uint64_t g_state = 0x2545F4914F6CDD1DULL;

// Sizes spread over six orders of magnitude, as file sizes in a home folder are.
std::int64_t randomSize() {
    g_state ^= g_state << 13;
    g_state ^= g_state >> 7;
    g_state ^= g_state << 17;
    const int digits = static_cast<int>(g_state % 7);
    std::int64_t scale = 1;
    for (int i = 0; i < digits; ++i) {
        scale *= 10;
    }
    return 1 + static_cast<std::int64_t>((g_state >> 16) % 1000) * scale;
}

DiskNodePtr folderOfFiles(const std::shared_ptr<const std::filesystem::path>& parent,
                          const std::string& name, int count) {
    auto folder = std::make_shared<DiskNode>(parent, name, true, false);
    auto path = std::make_shared<const std::filesystem::path>(folder->url());
    test::writable(folder->children).reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        auto file = std::make_shared<DiskNode>(path, "f" + std::to_string(i), false, false);
        test::writable(file->size) = randomSize();
        test::writable(file->allocatedSize) = file->size;
        test::writable(folder->children).push_back(std::move(file));
    }
    return folder;
}

double threadCpuMilliseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};

// Best of `runs`, in wall time and in this thread's processor time (the machine is shared, so
// the processor time says more about the code than the wall time does).
template <typename Work> Timing best(int runs, Work&& work) {
    Timing out;
    for (int run = 0; run < runs; ++run) {
        const double cpuStart = threadCpuMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        out.wall = std::min(out.wall, std::chrono::duration<double, std::milli>(
                                          std::chrono::steady_clock::now() - start)
                                          .count());
        out.cpu = std::min(out.cpu, threadCpuMilliseconds() - cpuStart);
    }
    return out;
}

std::size_t countTiles(const std::vector<fernwick::TreemapRect>& tiles) {
    std::size_t count = 0;
    std::vector<const std::vector<fernwick::TreemapRect>*> pending{&tiles};
    while (!pending.empty()) {
        const auto* list = pending.back();
        pending.pop_back();
        count += list->size();
        for (const auto& tile : *list) {
            pending.push_back(&tile.children);
        }
    }
    return count;
}

void report(const char* label, const DiskNodePtr& root, fernwick::Rect rect, int depth) {
    const auto& engine = fernwick::TreemapLayoutEngine::shared();
    std::size_t tiles = 0;
    const Timing timing =
        best(5, [&] { tiles = countTiles(engine.generateLayout(root, rect, depth, 6)); });
    std::printf("%-26s %5.0f x %-5.0f depth %d: %7.1f ms wall, %7.1f ms cpu, %zu tiles\n", label,
                rect.width, rect.height, depth, timing.wall, timing.cpu, tiles);
}

} // namespace

int main() {
    const auto rootPath = std::make_shared<const std::filesystem::path>("/bench");
    const DiskNodePtr wide = folderOfFiles(rootPath, "wide", 100000);
    wide->recalculateTotalSize();

    auto deep = std::make_shared<DiskNode>(rootPath, "deep", true, false);
    const auto deepPath = std::make_shared<const std::filesystem::path>(deep->url());
    for (int i = 0; i < 1000; ++i) {
        test::writable(deep->children)
            .push_back(folderOfFiles(deepPath, "d" + std::to_string(i), 1000));
    }
    deep->recalculateTotalSize();

    report("100,000 children", wide, {0, 0, 900, 550}, 2);
    report("100,000 children", wide, {0, 0, 1920, 1080}, 4);
    report("1,000 x 1,000 (1M nodes)", deep, {0, 0, 900, 550}, 2);
    report("1,000 x 1,000 (1M nodes)", deep, {0, 0, 1920, 1080}, 4);
    return 0;
}
