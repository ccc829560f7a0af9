#include "FernwickCore/Platform/PreferencesStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

} // namespace
} // namespace fernwick
