#include "FernwickCore/Scanning/CategoryEngine.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <gtest/gtest.h>
#include <set>

namespace fernwick {
namespace {

struct Case {
    const char* path;
    bool isDirectory;
    bool isPackage;
    const char* ruleId;
};

CategoryClassification classify(const char* path, bool isDirectory = false,
                                bool isPackage = false) {
    return CategoryEngine::shared().classify(path, isDirectory, isPackage);
}

// The verdict the scanner uses must agree with the full answer on every path.
void expectVerdictAgrees(const Case& c) {
    const auto full = classify(c.path, c.isDirectory, c.isPackage);
    const std::string standardized = paths::standardize(c.path).native();
    const std::string name = paths::lastComponent(c.path);
    const auto fast =
        CategoryEngine::shared().verdict(standardized, name, c.isDirectory, c.isPackage);
    EXPECT_EQ(fast.category, full.category) << c.path;
    EXPECT_EQ(fast.riskLevel, full.riskLevel) << c.path;
    EXPECT_EQ(fast.confidence, full.confidence) << c.path;
}

TEST(CategoryEngine, EveryRuleIsReachedByAPath) {
    const Case cases[] = {
        {"/Applications/Notes.app", true, true, "app-bundle"},
        {"/home/u/.Trash/old.txt", false, false, "trash-storage"},
        {"/Volumes/Disk/.Trashes/501/x.png", false, false, "trash-storage"},
        {"/home/u/Library/Developer/Xcode/DerivedData/App-abc", true, false, "xcode-deriveddata"},
        {"/home/u/Library/Developer/Xcode/Archives/2024", true, false, "xcode-archives"},
        {"/home/u/Library/Developer/CoreSimulator/Devices/X", true, false, "xcode-simulators"},
        {"/home/u/Library/Containers/com.docker.docker/Data/vms", true, false, "docker-vm-storage"},
        {"/home/u/.docker/buildx", true, false, "docker-vm-storage"},
        {"/home/u/.ollama/models/blobs", true, false, "ai-model-weights"},
        {"/home/u/.cache/lm-studio/models/q4.gguf", false, false, "ai-model-weights"},
        {"/home/u/.cache/huggingface/hub", true, false, "ai-model-weights"},
        {"/home/u/src/web/node_modules", true, false, "node-modules"},
        {"/home/u/.npm/_cacache/index", true, false, "package-manager-cache"},
        {"/home/u/.pnpm-store/v3", true, false, "package-manager-cache"},
        {"/home/u/.yarn/cache/a.zip", false, false, "package-manager-cache"},
        {"/home/u/.bun/install/cache/x", true, false, "package-manager-cache"},
        {"/home/u/.gradle/caches/modules-2", true, false, "gradle-cache"},
        {"/home/u/.android/build-cache/1", true, false, "gradle-cache"},
        {"/home/u/Library/Caches/Homebrew/downloads/x.tar.gz", false, false, "homebrew-bottles"},
        {"/home/u/.cargo/registry/cache/index", true, false, "cargo-cache"},
        {"/home/u/.rustup/downloads/x", false, false, "cargo-cache"},
        {"/home/u/Library/Caches/org.swift.swiftpm/repositories", true, false, "swiftpm-cache"},
        {"/home/u/src/app/__pycache__", true, false, "python-cache"},
        {"/home/u/.cache/pip/http", true, false, "python-cache"},
        {"/home/u/.cache/uv/wheels", true, false, "python-cache"},
        {"/home/u/Library/Caches/com.example.app/data.zip", false, false, "app-caches"},
        {"/home/u/Library/Logs/app.log", false, false, "log-files"},
        {"/var/log/syslog", false, false, "log-files"},
        {"/private/var/folders/xy/T/a", false, false, "temporary-files"},
        {"/private/tmp/build", true, false, "temporary-files"},
        {"/home/u/work/tmp_upload.bin", false, false, "temporary-files"},
        {"/home/u/Library/Containers/com.example/Data/pic.png", false, false, "sandbox-container"},
        {"/home/u/Library/Application Support/App/db.sqlite", false, false, "app-support"},
        {"/home/u/Downloads/setup.dmg", false, false, "installers-dmg"},
        {"/home/u/Movies/clip.mkv", false, false, "media-video"},
        {"/home/u/Downloads/photo.jpg", false, false, "media-photo"},
        {"/home/u/Music/song.flac", false, false, "media-audio"},
        {"/home/u/backup.7z", false, false, "archive-file"},
        {"/home/u/notes.md", false, false, "user-document"},
        {"/home/u/Downloads", true, false, "downloads-folder"},
        {"/home/u/Downloads/tool", false, false, "downloads-folder"},
        {"/home/u/bin/tool", false, false, "general-fallback"},
    };
    std::set<std::string> seen;
    for (const auto& c : cases) {
        EXPECT_EQ(classify(c.path, c.isDirectory, c.isPackage).ruleId, c.ruleId) << c.path;
        expectVerdictAgrees(c);
        seen.insert(c.ruleId);
    }
    EXPECT_EQ(seen.size(), 27U);
}

TEST(CategoryEngine, CascadeOrderDecidesOverlaps) {
    EXPECT_EQ(classify("/home/u/Downloads/Installer.DMG").ruleId, "installers-dmg");
    EXPECT_EQ(classify("/home/u/Downloads/holiday.png").ruleId, "media-photo");
    EXPECT_EQ(classify("/home/u/Library/Containers/x/Data/a.png").ruleId, "sandbox-container");
    EXPECT_EQ(classify("/home/u/Library/Caches/x/a.zip").ruleId, "app-caches");
    EXPECT_EQ(classify("/home/u/Library/Caches/Homebrew/a.zip").ruleId, "homebrew-bottles");
    EXPECT_EQ(classify("/home/u/Library/Caches/org.swift.swiftpm/a").ruleId, "swiftpm-cache");
    // The Trash rule comes before the node_modules rule; a node_modules file falls through.
    EXPECT_EQ(classify("/home/u/.Trash/node_modules", true).ruleId, "trash-storage");
    EXPECT_EQ(classify("/home/u/src/node_modules", false).ruleId, "general-fallback");
    // Inside a package, an item that is not itself a package takes the later rules.
    EXPECT_EQ(classify("/Applications/Notes.app/Contents/Resources/icon.png").ruleId,
              "media-photo");
    EXPECT_EQ(classify("/home/u/Fake.app", true, false).ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/Downloads2", true).ruleId, "general-fallback");
}

TEST(CategoryEngine, DotDotSegmentsStandardizeIntoThePathTests) {
    // The path tests read the standardized path; the name and extension come from the input.
    const auto logs = classify("/home/u/Library/Caches/../Logs/x/../app.log");
    EXPECT_EQ(logs.ruleId, "log-files");
    const auto out = classify("/home/u/Library/Logs/..");
    EXPECT_EQ(out.ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u//Downloads/./file").ruleId, "downloads-folder");
    EXPECT_EQ(classify("/home/u/Downloads/").ruleId, "downloads-folder");
}

TEST(CategoryEngine, PathAndNameTestsAreCaseSensitiveExtensionsAreNot) {
    EXPECT_EQ(classify("/home/u/PHOTO.JPG").ruleId, "media-photo");
    EXPECT_EQ(classify("/home/u/library/logs/notes.txt").ruleId, "user-document");
    EXPECT_EQ(classify("/home/u/library/caches/x").ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/TMP_x").ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/Node_Modules", true).ruleId, "general-fallback");
    EXPECT_EQ(classify("/Applications/Big.APP", true, true).ruleId, "app-bundle");
    // Names without an extension, a leading dot or a trailing dot match no extension rule.
    EXPECT_EQ(classify("/home/u/dmg").ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/.zip").ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/file.").ruleId, "general-fallback");
    EXPECT_EQ(classify("/home/u/a.tar.gz").ruleId, "archive-file");
    EXPECT_EQ(classify("/home/u/x.appinstallerx").ruleId, "general-fallback");
}

TEST(CategoryEngine, ComposedTextsAndFields) {
    const auto app = classify("/Applications/Notes.app", true, true);
    EXPECT_EQ(app.explanation, "Installed Application Bundle (Notes.app)");
    EXPECT_EQ(app.category, StorageCategory::applications);
    EXPECT_EQ(app.riskLevel, RiskLevel::medium);
    EXPECT_EQ(app.confidence, 1.0);
    EXPECT_EQ(app.ruleVersion, 2);
    EXPECT_FALSE(app.isCleanupEligible);
    EXPECT_FALSE(app.cleanupRecommendation.has_value());

    const auto dmg = classify("/home/u/Downloads/setup.Dmg");
    EXPECT_EQ(dmg.explanation, "Software Installer / Disk Image (DMG)");
    EXPECT_EQ(dmg.cleanupRecommendation,
              "If already installed, this installer can be moved to Trash.");
    EXPECT_EQ(dmg.category, StorageCategory::installers);
    EXPECT_EQ(dmg.riskLevel, RiskLevel::low);
    EXPECT_EQ(dmg.confidence, 0.95);
    EXPECT_TRUE(dmg.isCleanupEligible);

    const auto derived = classify("/x/Developer/Xcode/DerivedData");
    EXPECT_EQ(derived.explanation,
              "Xcode DerivedData (Build index, intermediate artifacts, module caches)");
    EXPECT_EQ(derived.cleanupRecommendation,
              "Xcode will automatically rebuild these files during the next build.");
    EXPECT_EQ(derived.confidence, 0.98);
    EXPECT_EQ(derived.ruleVersion, 2);

    const auto python = classify("/x/__pycache__", true);
    EXPECT_EQ(python.explanation, "Python bytecode cache & pip/uv package downloads");
    EXPECT_EQ(python.cleanupRecommendation, "Safe to clean.");
    EXPECT_EQ(python.category, StorageCategory::developerData);

    const auto video = classify("/x/a.webm");
    EXPECT_EQ(video.explanation, "Video File");
    EXPECT_EQ(video.riskLevel, RiskLevel::high);
    EXPECT_FALSE(video.cleanupRecommendation.has_value());

    const auto fallback = classify("/x/y");
    EXPECT_EQ(fallback.explanation, "General File / Folder");
    EXPECT_EQ(fallback.category, StorageCategory::other);
    EXPECT_EQ(fallback.riskLevel, RiskLevel::medium);
    EXPECT_EQ(fallback.confidence, 0.5);
    EXPECT_EQ(fallback.ruleVersion, 1);

    const auto downloads = classify("/x/Downloads");
    EXPECT_EQ(downloads.explanation, "Downloaded Item");
    EXPECT_EQ(downloads.confidence, 0.85);
}

TEST(CategoryEngine, VerdictNamesTheDecidingRule) {
    const auto& engine = CategoryEngine::shared();
    EXPECT_EQ(engine.verdict("/a/Notes.app", "Notes.app", true, true).rule, 1);
    EXPECT_EQ(engine.verdict("/a/Downloads/x.iso", "x.iso", false, false).rule, 20);
    EXPECT_EQ(engine.verdict("/", "", true, false).rule, 27);
    EXPECT_EQ(engine.verdict("", "", false, false).rule, 27);
}

// This platform's places beside the given needles, for a home whose XDG folders are the
// defaults and for one whose XDG folders lie elsewhere. Earlier rules keep winning.
TEST(CategoryEngine, LinuxPlacesBesideTheGivenOnes) {
    const CategoryEngine engine(Environment::forHome("/home/u"));
    const auto rule = [&](const std::string& path, bool isDirectory = true) {
        const auto full = engine.classify(path, isDirectory, false);
        const auto fast = engine.verdict(paths::standardize(path).native(),
                                         paths::lastComponent(path), isDirectory, false);
        EXPECT_EQ(fast.category, full.category) << path;
        return full.ruleId;
    };
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/.local/share/Trash", "trash-storage"},
        {"/home/u/.local/share/Trash/files/a.mp4", "trash-storage"},
        {"/home/u/.local/share/Trashcan", "app-support"},
        {"/home/u/.cache/yarn/v6/x.tgz", "package-manager-cache"},
        {"/home/u/.cache/pnpm/metadata", "package-manager-cache"},
        {"/home/u/.local/share/pnpm/store/v3", "package-manager-cache"},
        {"/home/u/.local/share/pnpm/store", "app-support"},
        {"/home/u/.cache/Homebrew/downloads", "homebrew-bottles"},
        {"/home/u/.cache/org.swift.swiftpm/repositories", "swiftpm-cache"},
        {"/home/u/.cache/yarn", "app-caches"},
        {"/home/u/.cache/Homebrew", "app-caches"},
        {"/home/u/.cache/thumbnails/large/a.png", "app-caches"},
        {"/home/u/.cache/logs/x.log", "app-caches"},
        {"/home/u/.cache", "general-fallback"},
        {"/home/u/.cache/huggingface/hub", "ai-model-weights"},
        {"/home/u/.cache/pip/http", "python-cache"},
        {"/home/u/.cache/app/node_modules", "node-modules"},
        {"/home/u/.cache/docker/.docker/x", "docker-vm-storage"},
        {"/home/u/.var/app/org.example.Viewer", "sandbox-container"},
        {"/home/u/.var/app/org.example.Viewer/data/a.png", "sandbox-container"},
        {"/home/u/.var/app", "general-fallback"},
        {"/home/u/.local/share/keyrings", "app-support"},
        {"/home/u/.config/Notesmith/settings.json", "app-support"},
        {"/home/u/.config", "general-fallback"},
        {"/home/u/.configs/a.txt", "user-document"},
        {"/srv/home/u/.cache/x", "general-fallback"},
    };
    for (const auto& [path, id] : cases) {
        EXPECT_EQ(rule(path), id) << path;
    }

    auto moved = Environment::forHome("/home/u");
    moved.cacheHome = "/var/cache/u";
    moved.dataHome = "/data/u";
    moved.configHome = "/etc/xdg-u";
    const CategoryEngine elsewhere(moved);
    EXPECT_EQ(elsewhere.classify("/var/cache/u/yarn/a", true, false).ruleId,
              "package-manager-cache");
    EXPECT_EQ(elsewhere.classify("/var/cache/u/x", true, false).ruleId, "app-caches");
    EXPECT_EQ(elsewhere.classify("/home/u/.cache/x", true, false).ruleId, "general-fallback");
    EXPECT_EQ(elsewhere.classify("/data/u/Trash/files/a", false, false).ruleId, "trash-storage");
    EXPECT_EQ(elsewhere.classify("/etc/xdg-u/app.conf", false, false).ruleId, "app-support");
    EXPECT_EQ(elsewhere.classify("/home/u/.local/share/x", true, false).ruleId, "general-fallback");
}

// The scanner decides from a folder's trail (its path's first and last bytes and the texts met
// so far), built sub-folder by sub-folder. On random walks through names that make up the rules'
// texts, places and endings, down to paths far longer than a trail keeps, every verdict equals
// the one decided on the whole path, for XDG places of usual and of unusual length; so does the
// verdict from the rules a folder's items share.
TEST(CategoryEngine, TrailVerdictsEqualWholePathVerdictsAtAnyDepth) {
    const std::vector<std::string> names = {".cache",
                                            "huggingface",
                                            "Library",
                                            "Caches",
                                            "Homebrew",
                                            "Downloads",
                                            "Developer",
                                            "Xcode",
                                            "DerivedData",
                                            ".Trash",
                                            "var",
                                            "log",
                                            "tmp_x",
                                            "x.mp4",
                                            "a.ISO",
                                            "node_modules",
                                            "__pycache__",
                                            "pnpm",
                                            "store",
                                            "yarn",
                                            "share",
                                            ".local",
                                            "Trash",
                                            "files",
                                            "u",
                                            "home",
                                            ".var",
                                            "app",
                                            "org.swift.swiftpm",
                                            "Notes.app",
                                            "a",
                                            std::string(255, 'n'),
                                            std::string(40, 'c') + ".docx"};
    auto unusual = Environment::forHome("/home/u");
    unusual.cacheHome = "/home/u/" + std::string(150, 'k');
    const CategoryEngine usual(Environment::forHome("/home/u"));
    const CategoryEngine longPlaces(unusual);
    ASSERT_GT(longPlaces.trailHeadBytes(), 150 + 32U);
    std::uint32_t seed = 20261209;
    const auto next = [&seed](std::size_t below) {
        seed = seed * 1664525U + 1013904223U;
        return static_cast<std::size_t>(seed >> 8) % below;
    };
    int compared = 0;
    std::set<int> rulesSeen;
    for (const CategoryEngine* engine : {&usual, &longPlaces}) {
        const std::string cacheDir = engine == &usual ? ".cache" : std::string(150, 'k');
        for (int walk = 0; walk < 300; ++walk) {
            std::string path = walk % 3 == 0 ? "/" : "/home/u";
            const std::size_t headBytes = engine->trailHeadBytes() + (walk % 2 == 0 ? 0 : 300);
            PathTrail trail = engine->trail(path, headBytes);
            std::string window;
            const std::size_t depth = 1 + next(80);
            for (std::size_t level = 0; level < depth; ++level) {
                const std::string name = next(8) == 0 ? cacheDir : names[next(names.size())];
                const FolderRules rules = engine->folderRules(trail);
                for (const bool isDirectory : {true, false}) {
                    const std::string whole = paths::joined(path, name);
                    const bool isPackage = isDirectory && next(2) == 0;
                    const CategoryVerdict expected =
                        engine->verdict(whole, name, isDirectory, isPackage);
                    const CategoryVerdict byName =
                        engine->verdict(rules, name, isDirectory, isPackage, window);
                    EXPECT_EQ(byName.rule, expected.rule) << whole;
                    rulesSeen.insert(expected.rule);
                    ++compared;
                }
                trail = engine->childTrail(trail, name, headBytes);
                path = paths::joined(path, name);
            }
        }
    }
    EXPECT_GT(compared, 20000);
    EXPECT_GE(rulesSeen.size(), 16U); // the walks reached most rules
}

// The installer list gains this platform's packages, compared in lower case.
TEST(CategoryEngine, LinuxInstallerExtensions) {
    for (const char* name :
         {"a.deb", "a.RPM", "Tool-1.0-x86_64.AppImage", "a.flatpak", "a.flatpakref", "a.snap"}) {
        const auto found = classify((std::string("/x/") + name).c_str());
        EXPECT_EQ(found.ruleId, "installers-dmg") << name;
        EXPECT_EQ(found.category, StorageCategory::installers) << name;
    }
    EXPECT_EQ(classify("/x/Tool.AppImage").explanation,
              "Software Installer / Disk Image (APPIMAGE)");
    EXPECT_EQ(classify("/x/a.flatpakrefs").ruleId, "general-fallback");
    EXPECT_EQ(classify("/x/.Trash/a.deb").explanation, "Files currently in the Trash");
}

} // namespace
} // namespace fernwick
