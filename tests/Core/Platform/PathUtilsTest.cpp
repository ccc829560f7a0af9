#include "FernwickCore/Platform/PathUtils.h"

#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

using test::TempTree;

TEST(PathUtils, StandardizeIsLexical) {
    const std::pair<const char*, const char*> rows[] = {
        {"/a//b/./c/", "/a/b/c"},
        {"/a/b/../c", "/a/c"},
        {"/..", "/"},
        {"/../../x", "/x"},
        {"/", "/"},
        {"//", "/"},
        {"a/./b/..", "a"},
        {"../x", "../x"},
        {"a/../..", ".."},
        {".", "."},
        {"", ""},
        {"/home/u/Library/Caches/../Logs", "/home/u/Library/Logs"},
        {"/already/standard", "/already/standard"},
        {"/a/.hidden/..x/x..", "/a/.hidden/..x/x.."},
        {"relative/path", "relative/path"},
    };
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(paths::standardize(input).native(), expected) << input;
        EXPECT_EQ(paths::standardizedText(input), expected) << input;
    }
}

TEST(PathUtils, ExpandTilde) {
    EXPECT_EQ(paths::expandTilde("~", "/home/u"), "/home/u");
    EXPECT_EQ(paths::expandTilde("~/x/y", "/home/u"), "/home/u/x/y");
    EXPECT_EQ(paths::expandTilde("~other/x", "/home/u"), "~other/x");
    EXPECT_EQ(paths::expandTilde("/abs/~", "/home/u"), "/abs/~");
    EXPECT_EQ(paths::expandTilde("", "/home/u"), "");
}

TEST(PathUtils, ResolveSymlinksKeepsMissingTails) {
    TempTree tree;
    tree.folder("real/inner");
    tree.symlink("link", tree / "real");
    tree.symlink("dangling", tree / "nowhere");
    const std::string root = paths::resolveSymlinks(tree.root()).native();
    EXPECT_EQ(paths::resolveSymlinks(tree / "link/inner").native(), root + "/real/inner");
    EXPECT_EQ(paths::resolveSymlinks(tree / "link/missing/x").native(), root + "/real/missing/x");
    // A dangling link keeps its own path (realpath fails on it).
    EXPECT_EQ(paths::resolveSymlinks(tree / "dangling").native(), root + "/dangling");
    EXPECT_EQ(paths::resolveSymlinks(tree / "real/../link/./inner").native(), root + "/real/inner");
    EXPECT_EQ(paths::resolveSymlinks("/").native(), "/");
}

TEST(PathUtils, AtOrUnderNeedsASeparator) {
    EXPECT_TRUE(paths::isAtOrUnder("/home/u", "/home/u"));
    EXPECT_TRUE(paths::isAtOrUnder("/home/u/x", "/home/u"));
    EXPECT_FALSE(paths::isAtOrUnder("/home/user", "/home/u"));
    EXPECT_FALSE(paths::isAtOrUnder("/home", "/home/u"));
    EXPECT_FALSE(paths::isAtOrUnder("/Home/u/x", "/home/u"));
    EXPECT_TRUE(paths::isAtOrUnder("//x", "/"));
    // Joining adds one separator, none after a folder that ends in one.
    EXPECT_EQ(paths::joined("/home/u", "x"), "/home/u/x");
    EXPECT_EQ(paths::joined("/", "x"), "/x");
    EXPECT_EQ(paths::joined("", "x"), "/x");
    std::string reused = "longer text already here";
    paths::joinInto(reused, "/a", "b");
    EXPECT_EQ(reused, "/a/b");
}

TEST(PathUtils, LastComponentExtensionAndCase) {
    EXPECT_EQ(paths::lastComponent("/a/b.txt"), "b.txt");
    EXPECT_EQ(paths::lastComponent("/a/b/"), "b");
    EXPECT_EQ(paths::lastComponent("/"), "");
    EXPECT_EQ(paths::lastComponent(""), "");
    EXPECT_EQ(paths::lastComponent("name"), "name");
    EXPECT_EQ(paths::lastComponent("/a/.."), "..");

    EXPECT_EQ(paths::extension("a.tar.GZ"), "GZ");
    EXPECT_EQ(paths::extension(".bashrc"), "");
    EXPECT_EQ(paths::extension("file."), "");
    EXPECT_EQ(paths::extension("noext"), "");
    EXPECT_EQ(paths::extensionView("x.Dmg"), "Dmg");

    EXPECT_EQ(paths::lowercased("ABC-xyz-\xC3\x89"), "abc-xyz-\xC3\x89");
}

} // namespace
} // namespace fernwick
