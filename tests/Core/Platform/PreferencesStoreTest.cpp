#include "FernwickCore/Platform/PreferencesStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/Support/TempTree.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fernwick {
namespace {

using test::TempTree;

std::size_t entriesIn(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(PreferencesStore, ValuesPersistForAFreshStore) {
    TempTree tree;
    const auto file = tree / "config/Fernwick/preferences.json";
    {
        PreferencesStore store(file);
        EXPECT_FALSE(store.string("Tarnbrook_TreemapTheme").has_value());
        ASSERT_TRUE(store.setString("Tarnbrook_TreemapTheme", "Harbour"));
        ASSERT_TRUE(store.setBoolean("Tarnbrook_PermissionRequestedOnce", true));
        ASSERT_TRUE(store.setStringArray("Fernwick_UserProtectedPaths", {"/a", "/b c"}));
        ASSERT_TRUE(store.setString("gone", "x"));
        ASSERT_TRUE(store.remove("gone"));
    }
    PreferencesStore fresh(file);
    EXPECT_EQ(fresh.string("Tarnbrook_TreemapTheme"), "Harbour");
    EXPECT_EQ(fresh.boolean("Tarnbrook_PermissionRequestedOnce"), true);
    EXPECT_EQ(fresh.stringArray("Fernwick_UserProtectedPaths"),
              (std::vector<std::string>{"/a", "/b c"}));
    EXPECT_FALSE(fresh.string("gone").has_value());
    // Only the file itself: no temporary file is left beside it.
    EXPECT_EQ(entriesIn(file.parent_path()), 1U);
}

TEST(PreferencesStore, WriteReplacesTheFileWhole) {
    TempTree tree;
    const auto file = tree.file("prefs.json", R"({"kept": "old"})");
    // A second name for the old file: an in-place rewrite would change what it reads.
    ASSERT_EQ(::link(file.c_str(), (tree / "old-copy.json").c_str()), 0);
    PreferencesStore store(file);
    ASSERT_TRUE(store.setString("kept", "new"));
    EXPECT_EQ(*readWholeFile(tree / "old-copy.json"), R"({"kept": "old"})");
    struct stat a {};
    struct stat b {};
    ::stat(file.c_str(), &a);
    ::stat((tree / "old-copy.json").c_str(), &b);
    EXPECT_NE(a.st_ino, b.st_ino);
    EXPECT_EQ(PreferencesStore(file).string("kept"), "new");
}

TEST(PreferencesStore, WrongTypesAndBrokenFilesReadAsAbsent) {
    TempTree tree;
    const auto file = tree.file("prefs.json", R"({"s": 1, "b": "true", "a": ["x", 2],
                                                  "o": {"x": "y"}, "n": null, "ok": ["x"]})");
    PreferencesStore store(file);
    EXPECT_FALSE(store.string("s").has_value());
    EXPECT_FALSE(store.boolean("b").has_value());
    EXPECT_FALSE(store.stringArray("a").has_value());
    EXPECT_FALSE(store.stringArray("o").has_value());
    EXPECT_FALSE(store.string("n").has_value());
    EXPECT_EQ(store.stringArray("ok"), std::vector<std::string>{"x"});

    for (const char* text : {"", "[1, 2]", "{broken", "\"text\""}) {
        const auto other = tree.file("other.json", text);
        PreferencesStore broken(other);
        EXPECT_FALSE(broken.string("s").has_value()) << text;
        ASSERT_TRUE(broken.setString("s", "v")) << text;
        EXPECT_EQ(PreferencesStore(other).string("s"), "v") << text;
    }
}

TEST(PreferencesStore, OddBytesAreWrittenNotThrownAndFailuresReported) {
    TempTree tree;
    PreferencesStore store(tree / "prefs.json");
    EXPECT_TRUE(store.setStringArray("paths", {"/tmp/\xff\xfe"}));
    EXPECT_TRUE(PreferencesStore(tree / "prefs.json").stringArray("paths").has_value());

    // The folder that should hold the file is a regular file: the write fails and says so.
    tree.file("blocker", "x");
    PreferencesStore blocked(tree / "blocker/prefs.json");
    const Status status = blocked.setString("k", "v");
    EXPECT_FALSE(status.ok());
}

TEST(PreferencesStore, EveryStringReadsBackByteForByteAfterARestart) {
    TempTree tree;
    const auto file = tree / "prefs.json";
    const std::vector<std::string> paths = {
        "/home/u/caf\xE9",        "/home/u/café", std::string("/x/\0y", 5),
        std::string("\0lead", 5), "/odd/%41",     "/bad/\xED\xA0\x80-surrogate",
        "/long/\xF0\x9F\x98\x80", "/cut/\xE2\x82"};
    {
        PreferencesStore store(file);
        ASSERT_TRUE(store.setStringArray("paths", paths));
        ASSERT_TRUE(store.setString("one", "caf\xE9"));
    }
    PreferencesStore fresh(file);
    EXPECT_EQ(fresh.stringArray("paths"), paths);
    EXPECT_EQ(fresh.string("one"), "caf\xE9");
    // Valid UTF-8 is stored exactly as today; only the other bytes are escaped.
    const std::string text = *readWholeFile(file);
    EXPECT_NE(text.find("\"/home/u/café\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"/odd/%41\""), std::string::npos) << text;
    EXPECT_NE(text.find(R"("\u0000/home/u/caf%E9")"), std::string::npos) << text;
    EXPECT_EQ(PreferencesStore::decodeString(PreferencesStore::encodeString("%E9")), "%E9");
}

// Damaged, huge or absurdly nested files read as empty, are set aside when the store is built
// (the other keys survive there) and say so; nothing crashes, and no write grows with nesting.
TEST(PreferencesStore, UnreadableFilesAreSetAsideAndSaidSo) {
    TempTree tree;
    const std::string deep = "{\"x\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
    const std::string nested64 = "{\"x\":" + std::string(63, '[') + std::string(63, ']') + "}";
    const std::string nested65 = "{\"x\":" + std::string(64, '[') + std::string(64, ']') + "}";
    std::string big = R"({"k":"v"})";
    big.resize(std::size_t{16} << 20, ' ');
    const std::pair<std::string, bool> cases[] = {
        {R"({"Fernwick_UserProtectedPaths":["/a"],"Tarnbrook_TreemapTheme":"X")", false},
        {deep, false},
        {nested65, false},
        {nested64, true},
        {big, true},
        {big + " ", false},
    };
    int index = 0;
    for (const auto& [text, readable] : cases) {
        SCOPED_TRACE(index);
        const auto file = tree.file("p" + std::to_string(index++) + "/preferences.json", text);
        testing::internal::CaptureStderr();
        PreferencesStore store(file);
        // Kept aside at once, so that the window can say where.
        const auto& unreadable = store.unreadableAtStart();
        EXPECT_EQ(unreadable.has_value(), !readable);
        EXPECT_EQ(std::filesystem::exists(file), readable);
        ASSERT_TRUE(store.setBoolean("b", true));
        const std::string said = testing::internal::GetCapturedStderr();
        std::vector<std::filesystem::path> aside;
        for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
            if (entry.path().filename().string().starts_with("preferences.json.unreadable-")) {
                aside.push_back(entry.path());
            }
        }
        const std::string written = *readWholeFile(file);
        if (readable) {
            EXPECT_TRUE(aside.empty());
            EXPECT_TRUE(said.empty()) << said;
            EXPECT_LE(written.size(), std::min(text.size(), std::size_t{1000}) + 40) << written;
        } else {
            ASSERT_EQ(aside.size(), 1U);
            EXPECT_EQ(*readWholeFile(aside[0]), text);
            EXPECT_EQ(unreadable->keptAs, aside[0]);
            EXPECT_FALSE(unreadable->reason.empty());
            EXPECT_NE(said.find(aside[0].string()), std::string::npos) << said;
            EXPECT_EQ(written, "{\n  \"b\": true\n}");
        }
    }
}

TEST(PreferencesStore, NoTemporaryFileOutlivesAKill) {
    TempTree tree;
    const auto file = tree / "config/preferences.json";
    const std::string payload = R"({"k": ")" + std::string(1 << 20, 'p') + "\"}";
    std::mt19937 random(16);
    for (int kill = 0; kill < 40; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                (void)writeFileAtomically(file, payload);
            }
        }
        ::usleep(2000 + random() % 40000);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    PreferencesStore store(file); // our own leftovers are cleared at start
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        if (entry.path().filename() != "preferences.json") {
            leftovers.push_back(entry.path().filename().string());
        }
    }
    EXPECT_EQ(leftovers, std::vector<std::string>{});
    // A name that only looks like ours is left alone.
    tree.file("config/.preferences.json.tmp-notours", "x");
    PreferencesStore again(file);
    EXPECT_TRUE(std::filesystem::exists(tree / "config/.preferences.json.tmp-notours"));
}

} // namespace
} // namespace fernwick
