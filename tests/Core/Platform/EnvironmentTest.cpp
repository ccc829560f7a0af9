#include "FernwickCore/Platform/Environment.h"

#include "tests/Support/TempTree.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace fernwick {
namespace {

using test::ScopedHome;
using test::TempTree;

TEST(Environment, ForHomeStandardizesAndResolves) {
    TempTree tree;
    tree.folder("var/home/u");
    tree.symlink("home", tree / "var/home");
    const std::string root = std::filesystem::canonical(tree.root()).native();

    const auto env = Environment::forHome(tree.root().native() + "/home/./u/");
    EXPECT_EQ(env.home.native(), tree.root().native() + "/home/u");
    EXPECT_EQ(env.homeResolved.native(), root + "/var/home/u");
    EXPECT_EQ(env.dataHome, env.home / ".local" / "share");
    EXPECT_EQ(env.configHome, env.home / ".config");
    EXPECT_EQ(env.preferencesFile(), env.home / ".config/Fernwick/preferences.json");
    EXPECT_EQ(env.applicationSupport(), env.home / ".local/share/Fernwick");

    const auto plain = Environment::forHome(tree / "var/home/u");
    EXPECT_EQ(plain.homeResolved.native(), root + "/var/home/u");
}

TEST(Environment, FromProcessReadsHomeAndXdg) {
    TempTree tree;
    ScopedHome scoped(tree.root());
    ::setenv("HOME", (tree.root().native() + "/x/../u/.").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (tree.root().native() + "/data/").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    const auto env = Environment::fromProcess();
    EXPECT_EQ(env.home.native(), tree.root().native() + "/u");
    EXPECT_EQ(env.dataHome.native(), tree.root().native() + "/data");
    // A relative XDG folder is ignored, as the base-directory specification says.
    EXPECT_EQ(env.configHome, env.home / ".config");

    ::setenv("HOME", "not/absolute", 1);
    EXPECT_TRUE(Environment::fromProcess().home.is_absolute());
    ::unsetenv("HOME");
    EXPECT_TRUE(Environment::fromProcess().home.is_absolute());
}

// The XDG cache folder follows the same rules as the others, set and unset.
TEST(Environment, CacheFolderSetAndUnset) {
    TempTree tree;
    ScopedHome scoped(tree.root());
    EXPECT_EQ(Environment::fromProcess().cacheHome, tree.root() / ".cache");
    EXPECT_EQ(Environment::forHome(tree.root()).cacheHome, tree.root() / ".cache");
    ::setenv("XDG_CACHE_HOME", (tree.root().native() + "/var/cache//u/").c_str(), 1);
    EXPECT_EQ(Environment::fromProcess().cacheHome.native(), tree.root().native() + "/var/cache/u");
    ::setenv("XDG_CACHE_HOME", "cache", 1);
    EXPECT_EQ(Environment::fromProcess().cacheHome, tree.root() / ".cache");
    ::unsetenv("XDG_CACHE_HOME");
    EXPECT_EQ(Environment::fromProcess().cacheHome, tree.root() / ".cache");
}

// user-dirs.dirs as xdg-user-dirs writes it: "$HOME/..." or absolute, quoted, comments; read
// from the XDG config folder in force.
TEST(Environment, UserFoldersFromUserDirsFile) {
    TempTree tree;
    const auto home = tree.folder("home");
    tree.file("home/.config/user-dirs.dirs",
              "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Eigene Dateien/./Dokumente\"\r\n"
              "XDG_DESKTOP_DIR=\"/srv/desk\\\"top\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    auto env = Environment::forHome(home);
    EXPECT_EQ(env.documentsFolder, home / "Eigene Dateien/Dokumente");
    EXPECT_EQ(env.desktopFolder.native(), "/srv/desk\"top");

    tree.file("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/\"\nXDG_DOCUMENTS_DIR=relative\n");
    ScopedHome scoped(home);
    ::setenv("XDG_CONFIG_HOME", (tree.root() / "config").c_str(), 1);
    env = Environment::fromProcess();
    EXPECT_EQ(env.desktopFolder, home); // "$HOME/" names the home itself
    EXPECT_TRUE(env.documentsFolder.empty());

    env.configHome = tree.root() / "missing";
    env.readUserFolders();
    EXPECT_TRUE(env.desktopFolder.empty());
    EXPECT_TRUE(env.documentsFolder.empty());
}

} // namespace
} // namespace fernwick
