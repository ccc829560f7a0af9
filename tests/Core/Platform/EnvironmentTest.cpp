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

} // namespace
} // namespace fernwick
