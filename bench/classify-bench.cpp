// Classifies 1,000,000 home-folder-shaped paths and prints the time per path, for both the full
// answer (classify) and the scanner's allocation-free verdict.
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Scanning/CategoryEngine.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Shape {
    const char* folder;
    const char* names[4];
    bool isDirectory;
};

// Folders and names as a developer's and a photographer's home folders hold them.
constexpr std::array<Shape, 24> kShapes = {{
    {"/home/alex/src/webapp/node_modules/lodash/fp",
     {"map.js", "flow.js", "README.md", "x.json"},
     false},
    {"/home/alex/src/webapp/node_modules", {"react", "node_modules", "typescript", "@babel"}, true},
    {"/home/alex/src/engine/target/debug/deps", {"libcore.rlib", "a.d", "b.o", "build"}, false},
    {"/home/alex/src/engine/src/render", {"mesh.rs", "shader.rs", "mod.rs", "notes.txt"}, false},
    {"/home/alex/src/tools/pkg/__pycache__",
     {"util.cpython-311.pyc", "x.pyc", "a.pyc", "b"},
     false},
    {"/home/alex/.cache/pip/http/a/b/c", {"9f8e7d", "0a1b2c", "deadbeef", "cafe"}, false},
    {"/home/alex/.cache/huggingface/hub/models--x/blobs", {"a1", "b2", "c3", "d4"}, false},
    {"/home/alex/.cargo/registry/cache/index.crates.io-6f17",
     {"serde-1.0.crate", "a.crate", "b.crate", "c.crate"},
     false},
    {"/home/alex/.local/share/Trash/files", {"old.pdf", "draft.docx", "x", "y.png"}, false},
    {"/home/alex/.config/Code/User/workspaceStorage/ab12",
     {"state.vscdb", "workspace.json", "x.log", "y"},
     false},
    {"/home/alex/Downloads", {"debian-12.iso", "setup.dmg", "invoice.pdf", "photo.JPG"}, false},
    {"/home/alex/Downloads/unpacked/tool-1.2", {"bin", "LICENSE", "tool", "install.sh"}, false},
    {"/home/alex/Pictures/2024/06 Holiday",
     {"IMG_0412.HEIC", "IMG_0413.jpg", "DSC_1.NEF", "clip.mov"},
     false},
    {"/home/alex/Music/Artist/Album",
     {"01 Intro.flac", "02 Song.mp3", "cover.png", "a.m4a"},
     false},
    {"/home/alex/Videos/Recordings", {"screen.mkv", "talk.mp4", "b.webm", "notes.md"}, false},
    {"/home/alex/Documents/Taxes/2023",
     {"return.pdf", "receipts.xlsx", "scan.tiff", "a.csv"},
     false},
    {"/home/alex/Documents/Projects/Old",
     {"backup.tar.gz", "site.zip", "dump.7z", "data.json"},
     false},
    {"/home/alex/.local/share/Steam/steamapps/common/Game/data",
     {"level1.pak", "a.bin", "tex.dds", "b.bin"},
     false},
    {"/home/alex/.mozilla/firefox/abc.default/cache2/entries",
     {"0A1B", "2C3D", "4E5F", "6A7B"},
     false},
    {"/home/alex/src/webapp/.git/objects/3f", {"a9c1e2", "b0d4f6", "c1e2a3", "d2f3b4"}, false},
    {"/home/alex/.gradle/caches/modules-2/files-2.1/x", {"a.jar", "b.pom", "c", "d"}, false},
    {"/home/alex/.npm/_cacache/content-v2/sha512/ab", {"cd", "ef", "01", "23"}, false},
    {"/home/alex/snap/firefox/common/.cache/tmp", {"tmp_a1", "tmp_b2", "x", "y"}, false},
    {"/home/alex/Library/Application Support/App/Data",
     {"db.sqlite", "a.plist", "b", "c.log"},
     false},
}};

std::vector<std::string> makePaths(std::size_t count) {
    std::vector<std::string> out;
    out.reserve(count);
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (std::size_t i = 0; i < count; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const Shape& shape = kShapes[state % kShapes.size()];
        std::string path = shape.folder;
        path += '/';
        path += shape.names[(state >> 8) % 4];
        out.push_back(std::move(path));
    }
    return out;
}

} // namespace

int main() {
    constexpr std::size_t kCount = 1'000'000;
    const std::vector<std::string> paths = makePaths(kCount);
    std::vector<std::string> names;
    std::vector<std::filesystem::path> urls;
    names.reserve(kCount);
    urls.reserve(kCount);
    for (const auto& path : paths) {
        names.push_back(fernwick::paths::lastComponent(path));
        urls.emplace_back(path);
    }
    const auto& engine = fernwick::CategoryEngine::shared();
    using Clock = std::chrono::steady_clock;

    // One warm-up pass, then the measured passes; the checksum keeps the work observable.
    std::uint64_t checksum = 0;
    double bestVerdict = 1e30;
    double bestClassify = 1e30;
    for (int pass = 0; pass < 4; ++pass) {
        auto start = Clock::now();
        for (std::size_t i = 0; i < kCount; ++i) {
            checksum +=
                static_cast<std::uint64_t>(engine.verdict(paths[i], names[i], false, false).rule);
        }
        const double verdictNs =
            std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCount;
        start = Clock::now();
        for (std::size_t i = 0; i < kCount; ++i) {
            checksum += engine.classify(urls[i], false, false).ruleId.size();
        }
        const double classifyNs =
            std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kCount;
        if (pass > 0) {
            bestVerdict = std::min(bestVerdict, verdictNs);
            bestClassify = std::min(bestClassify, classifyNs);
        }
    }
    // The same work on 1,000 paths that stay in the cache, to show what memory costs above.
    constexpr std::size_t kHot = 1000;
    double bestHot = 1e30;
    for (int pass = 0; pass < 4; ++pass) {
        const auto start = Clock::now();
        for (std::size_t round = 0; round < kCount / kHot; ++round) {
            for (std::size_t i = 0; i < kHot; ++i) {
                checksum += static_cast<std::uint64_t>(
                    engine.verdict(paths[i], names[i], false, false).rule);
            }
        }
        bestHot = std::min(bestHot,
                           std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
                               kCount);
    }
    std::printf("paths: %zu (checksum %llu)\n", kCount, static_cast<unsigned long long>(checksum));
    std::printf("verdict (scanner fast path): %.1f ns/path\n", bestVerdict);
    std::printf("classify (full answer):      %.1f ns/path\n", bestClassify);
    std::printf("verdict, 1,000 cached paths: %.1f ns/path\n", bestHot);
    return 0;
}
