#include "FernwickCore/Model/ProtectedPathRegistry.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>

namespace fernwick {
namespace {

TEST(ProtectedPathRegistry, HoldsTheSystemAndPersonalListsInOrder) {
    const ProtectedPathRegistry registry;
    const std::vector<std::string> system = {"/System",
                                             "/bin",
                                             "/sbin",
                                             "/usr/bin",
                                             "/usr/sbin",
                                             "/usr/libexec",
                                             "/private/var/db",
                                             "/private/var/root",
                                             "/private/etc",
                                             "/Library/Apple",
                                             "/Library/Frameworks",
                                             "/Library/Extensions",
                                             "/Library/Keychains",
                                             "/Library/Preferences/SystemConfiguration",
                                             "/Volumes/Macintosh HD",
                                             "/Volumes/Update",
                                             "/etc",
                                             "/boot",
                                             "/dev",
                                             "/proc",
                                             "/sys",
                                             "/run",
                                             "/root",
                                             "/lib",
                                             "/lib32",
                                             "/lib64",
                                             "/usr/lib",
                                             "/usr/lib32",
                                             "/usr/lib64",
                                             "/usr/share",
                                             "/usr/include",
                                             "/var/lib",
                                             "/var/log"};
    EXPECT_EQ(registry.systemProtectedPrefixes, system);
    const std::vector<std::string> personal = {"/Library/Keychains",
                                               "/Library/IdentityServices",
                                               "/Library/Accounts",
                                               "/Library/AuthenticationServices",
                                               "/Library/Mail",
                                               "/Library/Messages",
                                               "/Library/Safari",
                                               "/Library/Cookies",
                                               "/Documents",
                                               "/Desktop",
                                               "/.ssh",
                                               "/.gnupg",
                                               "/.aws",
                                               "/.config/gh",
                                               "/.gitconfig",
                                               "/.local/share/keyrings",
                                               "/.local/share/kwalletd",
                                               "/.password-store",
                                               "/.pki",
                                               "/.mozilla",
                                               "/.thunderbird"};
    EXPECT_EQ(registry.userProtectedSuffixes, personal);
}

// The user's own Documents and Desktop folders join the list as suffixes of the home, only when
// they lie strictly inside it and differ from the ones already listed.
TEST(ProtectedPathRegistry, AddsTheUserFoldersInsideTheHome) {
    const std::size_t given = ProtectedPathRegistry().userProtectedSuffixes.size();
    auto env = Environment::forHome("/home/me");
    env.documentsFolder = "/home/me/Dokumente";
    env.desktopFolder = "/home/me/Schreibtisch";
    auto suffixes = ProtectedPathRegistry::forEnvironment(env).userProtectedSuffixes;
    ASSERT_EQ(suffixes.size(), given + 2);
    EXPECT_EQ(suffixes[given], "/Dokumente");
    EXPECT_EQ(suffixes[given + 1], "/Schreibtisch");

    for (const char* folder : {"/home/me", "/home/me/", "/home/meme/Docs", "/srv/Documents",
                               "/home/me/Documents", "/home/me/Desktop", "", "/"}) {
        env.documentsFolder = folder;
        env.desktopFolder = folder;
        EXPECT_EQ(ProtectedPathRegistry::forEnvironment(env).userProtectedSuffixes.size(), given)
            << folder;
    }
}

TEST(ForbiddenOperationRegistry, RefusesTheRootAndTheHomeInEveryWriting) {
    const auto env = Environment::forHome("/home/me");
    const std::string root = "Root filesystem path cannot be modified";
    const std::string home = "User home root cannot be modified";
    for (const char* path : {"", "/", "//", "/.", "/usr/.."}) {
        const auto verdict = ForbiddenOperationRegistry::isForbidden(path, env);
        EXPECT_TRUE(verdict.forbidden) << path;
        EXPECT_EQ(verdict.reason, root) << path;
    }
    for (const char* path : {"/home/me", "/home/me/", "~", "~/", "/home/me/x/..", "/home//me/."}) {
        const auto verdict = ForbiddenOperationRegistry::isForbidden(path, env);
        EXPECT_TRUE(verdict.forbidden) << path;
        EXPECT_EQ(verdict.reason, home) << path;
    }
    for (const char* path : {"/home/me/x", "~/Documents", "/home", "/home/meme", "relative"}) {
        const auto verdict = ForbiddenOperationRegistry::isForbidden(path, env);
        EXPECT_FALSE(verdict.forbidden) << path;
        EXPECT_FALSE(verdict.reason.has_value()) << path;
    }
}

// The home folder reached through a link (/home -> /var/home) and written unnormalised.
TEST(ForbiddenOperationRegistry, KnowsTheHomeInItsResolvedForm) {
    test::TempTree tree;
    const auto real = tree.folder("var/home/me");
    tree.symlink("home", tree.root() / "var/home");
    const auto env = Environment::forHome(tree.root().string() + "/home/me/./");
    ASSERT_EQ(env.home, tree.root() / "home/me");
    ASSERT_EQ(env.homeResolved, real);
    for (const auto& path : {real.string(), real.string() + "/", env.home.string() + "/x/.."}) {
        const auto verdict = ForbiddenOperationRegistry::isForbidden(path, env);
        EXPECT_TRUE(verdict.forbidden) << path;
        EXPECT_EQ(verdict.reason, "User home root cannot be modified");
    }
}

} // namespace
} // namespace fernwick
