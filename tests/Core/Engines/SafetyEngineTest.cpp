#include "FernwickCore/Engines/SafetyEngine.h"

#include "FernwickCore/Platform/PathUtils.h"
#include "tests/Support/BindMount.h"
#include "tests/Support/TempTree.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fernwick {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

constexpr const char* kMissing =
    "Target no longer exists or is inaccessible (may have been moved or removed)";
constexpr const char* kUserList = "Path is in your custom Protected Items list";

class SafetyEngineTest : public ::testing::Test {
protected:
    TempTree tree;
    fs::path home = tree.folder("home");
    Environment env = Environment::forHome(home);
    std::shared_ptr<PreferencesStore> preferences =
        std::make_shared<PreferencesStore>(env.preferencesFile());
    std::vector<std::string> readOnlyMounts;
    SafetyEngine::ReadOnlyVolumeProbe probe = [this](const fs::path& path) -> std::optional<bool> {
        // statfs(2) follows links, so the probe does too.
        for (const auto& mount : readOnlyMounts) {
            if (paths::isAtOrUnder(paths::resolveSymlinks(path).string(), mount)) {
                return true;
            }
        }
        return false;
    };
    SafetyEngine engine{env, preferences, probe};

    std::string h(const std::string& rest) const { return home.string() + rest; }

    void expectRefused(const fs::path& url, const std::string& reason, RiskLevel risk,
                       std::optional<FileIdentity> recorded = {}) const {
        const auto result = engine.validateTargetForDeletion(url, recorded);
        EXPECT_FALSE(result.isSafe) << url;
        EXPECT_EQ(result.reason, reason) << url;
        EXPECT_EQ(result.riskLevel, risk) << url;
        EXPECT_FALSE(result.canonicalPath.has_value()) << url;
        EXPECT_EQ(result.inode, 0u) << url;
        EXPECT_EQ(result.deviceID, 0u) << url;
    }
    void expectApproved(const fs::path& url) const {
        const auto result = engine.validateTargetForDeletion(url);
        EXPECT_TRUE(result.isSafe) << url << ": " << result.reason;
    }
};

// ---- The user's list ---------------------------------------------------------------------

TEST_F(SafetyEngineTest, UserListIsStandardizedPersistedAndReadBackByAFreshEngine) {
    engine.addProtectedPath("~/Projects/");
    engine.addProtectedPath(h("/Projects"));
    EXPECT_EQ(engine.getProtectedPaths(), std::vector<std::string>{h("/Projects")});
    EXPECT_EQ(preferences->stringArray("Fernwick_UserProtectedPaths"),
              std::vector<std::string>{h("/Projects")});

    SafetyEngine fresh(env, std::make_shared<PreferencesStore>(env.preferencesFile()));
    EXPECT_EQ(fresh.getProtectedPaths(), std::vector<std::string>{h("/Projects")});

    engine.removeProtectedPath("~/Projects");
    EXPECT_TRUE(engine.getProtectedPaths().empty());
    // Removing what is not there still writes the whole (empty) list.
    ASSERT_TRUE(preferences->remove("Fernwick_UserProtectedPaths"));
    engine.removeProtectedPath("/not/there");
    EXPECT_EQ(preferences->stringArray("Fernwick_UserProtectedPaths"), std::vector<std::string>{});
}

// A relative path names no place the user chose: refused, nothing stored or written. An entry
// that cannot be written holds for the run and the caller hears why.
TEST_F(SafetyEngineTest, RelativePathsAreRefusedAndUnwrittenEntriesAreReported) {
    for (const std::string relative : {"relp", "", "./x", "../up", "~user/x"}) {
        const auto refused = engine.addProtectedPath(relative);
        ASSERT_TRUE(refused) << relative;
        EXPECT_EQ(refused->code, EINVAL);
        EXPECT_EQ(refused->message(), "Not an absolute path, so it protects nothing: " + relative);
    }
    EXPECT_TRUE(engine.getProtectedPaths().empty());
    EXPECT_FALSE(fs::exists(env.preferencesFile()));
    EXPECT_FALSE(engine.addProtectedPath("~/Projects"));

    tree.file("unwritable", "a file, not a folder");
    SafetyEngine unsaved(env, std::make_shared<PreferencesStore>(tree / "unwritable/prefs.json"));
    const auto failure = unsaved.addProtectedPath(h("/Photos"));
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->detail.empty());
    EXPECT_EQ(unsaved.getProtectedPaths(), std::vector<std::string>{h("/Photos")});
    EXPECT_TRUE(unsaved.removeProtectedPath(h("/Photos")));
}

TEST_F(SafetyEngineTest, AnEntryThatIsNotUtf8ProtectsTheSameBytesAfterARestart) {
    const std::string odd = h("/caf\xE9");
    tree.file("home/caf\xE9/menu.txt", "m");
    tree.file("home/caf\xEF\xBF\xBD/other.txt", "o"); // what a lossy write would read back
    engine.addProtectedPath(odd);
    expectRefused(odd + "/menu.txt", kUserList, RiskLevel::high);
    SafetyEngine restarted(env, std::make_shared<PreferencesStore>(env.preferencesFile()), probe);
    EXPECT_EQ(restarted.getProtectedPaths(), std::vector<std::string>{odd});
    EXPECT_FALSE(restarted.validateTargetForDeletion(odd + "/menu.txt").isSafe);
    EXPECT_TRUE(restarted.validateTargetForDeletion(h("/caf\xEF\xBF\xBD/other.txt")).isSafe);
}

TEST_F(SafetyEngineTest, StoredListIsTakenAsItStandsAndSortedByBytes) {
    ASSERT_TRUE(preferences->setStringArray(
        "Fernwick_UserProtectedPaths",
        {"/Volumes/Data", "/Users/me/a", "/Users/me/A/", "/Users/me/a"}));
    SafetyEngine fresh(env, preferences);
    const std::vector<std::string> sorted = {"/Users/me/A/", "/Users/me/a", "/Volumes/Data"};
    EXPECT_EQ(fresh.getProtectedPaths(), sorted);

    ASSERT_TRUE(preferences->setString("Fernwick_UserProtectedPaths", "/not/an/array"));
    EXPECT_TRUE(SafetyEngine(env, preferences).getProtectedPaths().empty());
}

TEST_F(SafetyEngineTest, RemovalTakesTheExactStoredStringFirstThenTheStandardizedForm) {
    ASSERT_TRUE(preferences->setStringArray("Fernwick_UserProtectedPaths",
                                            {"/Users/me/A/", "/Users/me/A", h("/Projects")}));
    SafetyEngine fresh(env, preferences);
    // The exact entry goes; its standardized twin stays.
    fresh.removeProtectedPath("/Users/me/A/");
    std::vector<std::string> left = {h("/Projects"), "/Users/me/A"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(fresh.getProtectedPaths(), left);
    EXPECT_EQ(preferences->stringArray("Fernwick_UserProtectedPaths"), fresh.getProtectedPaths());
    // Not held as given: the standardized form is removed.
    fresh.removeProtectedPath("~/Projects");
    fresh.removeProtectedPath("/Users/me/./A//");
    EXPECT_TRUE(fresh.getProtectedPaths().empty());
    EXPECT_EQ(preferences->stringArray("Fernwick_UserProtectedPaths"), std::vector<std::string>{});
}

TEST_F(SafetyEngineTest, ChangesFromManyThreadsLeaveTheStoredListEqualToMemory) {
    const auto file = tree.file("home/Work/a.txt", "a");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string path = h("/P" + std::to_string(t) + "-" + std::to_string(i));
                engine.addProtectedPath(path);
                if (i % 2 == 0) {
                    engine.removeProtectedPath(path);
                }
            }
        });
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                EXPECT_TRUE(engine.validateTargetForDeletion(file).isSafe);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(engine.getProtectedPaths().size(), 4u * 12u);
    EXPECT_EQ(preferences->stringArray("Fernwick_UserProtectedPaths"), engine.getProtectedPaths());
}

TEST_F(SafetyEngineTest, IsProtectedFollowsTheAtOrUnderRule) {
    engine.addProtectedPath(h("/Projects"));
    EXPECT_TRUE(engine.isProtected(h("/Projects")));
    EXPECT_TRUE(engine.isProtected(h("/Projects/app/build")));
    EXPECT_FALSE(engine.isProtected(h("/Projects2")));
    for (const char* path : {"/bin/ls", "/usr/libexec", "/etc/passwd", "/usr/lib/x"}) {
        EXPECT_TRUE(engine.isProtected(path)) << path;
    }
    for (const char* path : {"/usr/local/bin/tool", "/binaries", "/usr", "/var/cache"}) {
        EXPECT_FALSE(engine.isProtected(path)) << path;
    }
    EXPECT_TRUE(engine.isProtected(h("/.ssh")));
    EXPECT_TRUE(engine.isProtected(h("/.ssh/id_ed25519")));
    EXPECT_TRUE(engine.isProtected(h("/.gitconfig")));
    EXPECT_TRUE(engine.isProtected(h("/Work/../.ssh")));

    const auto snapshot = engine.getProtectedPrefixesSnapshot();
    EXPECT_EQ(snapshot.system, ProtectedPathRegistry().systemProtectedPrefixes);
    EXPECT_EQ(snapshot.user, std::vector<std::string>{h("/Projects")});

    engine.addProtectedPath("/");
    EXPECT_TRUE(engine.isProtected("/srv/anything"));
}

TEST(SafetyEngineHome, SymlinkedHomeProtectsPersonalLocationsInBothForms) {
    TempTree tree;
    const auto real = tree.folder("var/home/me");
    tree.folder("var/home/me/Documents");
    tree.file("var/home/me/Documents/plan.txt", "p");
    tree.symlink("home", tree.root() / "var/home");
    const auto env = Environment::forHome(tree.root().string() + "/home/me/");
    SafetyEngine engine(env, nullptr);

    EXPECT_TRUE(engine.isProtected(real / ".ssh/config"));
    EXPECT_TRUE(engine.isProtected(env.home / ".ssh/config"));
    for (const auto& path : {real / "Documents/plan.txt", env.home / "Documents/plan.txt"}) {
        const auto result = engine.validateTargetForDeletion(path);
        EXPECT_FALSE(result.isSafe) << path;
        EXPECT_EQ(result.reason, "Protected sensitive user location: /Documents");
    }
    for (const auto& path : {real, env.home, fs::path(env.home.string() + "/./")}) {
        EXPECT_EQ(engine.validateTargetForDeletion(path).reason,
                  "User home root cannot be modified")
            << path;
    }
}

// ---- The ten steps -------------------------------------------------------------------------

TEST_F(SafetyEngineTest, RefusesTheRootTheHomeAndSystemLocationsNamingTheEntry) {
    expectRefused("/", "Root filesystem path cannot be modified", RiskLevel::high);
    expectRefused(home, "User home root cannot be modified", RiskLevel::high);
    expectRefused(h("/Work/.."), "User home root cannot be modified", RiskLevel::high);
    const std::pair<const char*, const char*> system[] = {
        {"/usr/bin/true", "/usr/bin"},
        {"/bin/ls", "/bin"},
        {"/System/Library/Kernels/kernel", "/System"},
        {"/usr/libexec", "/usr/libexec"},
        {"/Volumes/Macintosh HD/Users", "/Volumes/Macintosh HD"},
        {"/etc/hostname", "/etc"},
        {"/var/log/syslog", "/var/log"},
    };
    for (const auto& [path, entry] : system) {
        expectRefused(path, std::string("Path is a protected system component: ") + entry,
                      RiskLevel::high);
    }
    // A link in the home folder into a system location: caught through its resolved path.
    tree.symlink("home/tool", "/usr/bin/true");
    expectRefused(h("/tool"), "Path is a protected system component: /usr/bin", RiskLevel::high);
}

TEST_F(SafetyEngineTest, RefusesPersonalLocationsAndTheUserList) {
    tree.file("home/.ssh/id_ed25519", "key");
    tree.file("home/Documents/letter.txt", "x");
    expectRefused(h("/.ssh"), "Protected sensitive user location: /.ssh", RiskLevel::high);
    expectRefused(h("/.ssh/id_ed25519"), "Protected sensitive user location: /.ssh",
                  RiskLevel::high);
    expectRefused(h("/Documents/letter.txt"), "Protected sensitive user location: /Documents",
                  RiskLevel::high);
    expectRefused(h("/.config/gh/hosts.yml"), "Protected sensitive user location: /.config/gh",
                  RiskLevel::high);

    tree.file("home/Projects/app/main.c", "int main;");
    engine.addProtectedPath("~/Projects");
    expectRefused(h("/Projects"), kUserList, RiskLevel::high);
    expectRefused(h("/Projects/app/main.c"), kUserList, RiskLevel::high);
    // The user's entry reached through a link to it.
    tree.symlink("home/shortcut", home / "Projects");
    expectRefused(h("/shortcut/app"), kUserList, RiskLevel::high);
}

TEST_F(SafetyEngineTest, RefusesAnAncestorOfAProtectedLocationOrOfTheHome) {
    expectRefused("/usr", "Path is a protected system component: /usr/bin", RiskLevel::high);
    expectRefused("/Library", "Path is a protected system component: /Library/Apple",
                  RiskLevel::high);
    expectRefused("/var", "Path is a protected system component: /var/lib", RiskLevel::high);
    expectRefused(h("/Library"), "Protected sensitive user location: /Library/Keychains",
                  RiskLevel::high);
    expectRefused(h("/.config"), "Protected sensitive user location: /.config/gh", RiskLevel::high);
    expectRefused(tree.root(), "User home root cannot be modified", RiskLevel::high);
    engine.addProtectedPath(h("/Work/keep"));
    expectRefused(h("/Work"), std::string(kUserList) + ": " + h("/Work/keep"), RiskLevel::high);
    // A link to an ancestor is judged by what it reaches.
    tree.folder("home/Library");
    tree.symlink("home/lib-link", home / "Library");
    expectRefused(h("/lib-link"), "Protected sensitive user location: /Library/Keychains",
                  RiskLevel::high);
    // Siblings are fine.
    tree.file("home/.config/ghost/x", "x");
    expectApproved(h("/.config/ghost"));
}

TEST_F(SafetyEngineTest, RefusesAMissingItemAndAReplacedOne) {
    expectRefused(h("/gone.txt"), kMissing, RiskLevel::medium);
    const auto file = tree.file("home/cache.bin", "x");
    struct stat info {};
    ASSERT_EQ(::lstat(file.c_str(), &info), 0);
    const std::string mismatch =
        "Filesystem identity mismatch: target was replaced since last scan";
    expectRefused(file, mismatch, RiskLevel::high,
                  FileIdentity{0, info.st_ino + 1, std::nullopt, std::nullopt});
    EXPECT_TRUE(engine
                    .validateTargetForDeletion(
                        file, FileIdentity{0, info.st_ino, std::nullopt, std::nullopt})
                    .isSafe);
    EXPECT_TRUE(engine.validateTargetForDeletion(file, FileIdentity{}).isSafe);
    EXPECT_TRUE(engine.validateTargetForDeletion(file, std::nullopt).isSafe);
    // Another device is another item; a file with equal numbers and another time is the file,
    // changed since it was listed (rewritten in place), whatever is known of its numbers.
    const std::string changed = "Changed since the scan — scan again.";
    const FileIdentity seen = FileIdentity::of(info);
    EXPECT_TRUE(engine.validateTargetForDeletion(file, seen).isSafe);
    expectRefused(file, mismatch, RiskLevel::high,
                  FileIdentity{seen.device + 1, seen.inode, std::nullopt, std::nullopt});
    expectRefused(file, changed, RiskLevel::high,
                  FileIdentity{seen.device, seen.inode,
                               *seen.modified + std::chrono::nanoseconds(1), std::nullopt});
    expectRefused(file, changed, RiskLevel::high,
                  FileIdentity{0, 0, *seen.modified - std::chrono::seconds(1), std::nullopt});
}

// A folder is a container: entries coming and going after its listing leave it the folder
// listed; one born after its listing began is another. A file is its contents: written to
// after its listing began it has changed, even with its old time set back; made just before a
// listing it has not.
TEST_F(SafetyEngineTest, FoldersGoWithWhatTheyHoldAndFilesAreHeldToTheirListing) {
    const fs::path folder = tree.folder("home/cache");
    const fs::path file = tree.file("home/notes.txt", "before");
    const TimePoint listed = listingStart();
    struct stat folderInfo {};
    struct stat fileInfo {};
    ASSERT_EQ(::lstat(folder.c_str(), &folderInfo), 0);
    ASSERT_EQ(::lstat(file.c_str(), &fileInfo), 0);
    const FileIdentity folderSeen = FileIdentity::of(folderInfo).listedSince(listed);
    const FileIdentity fileSeen = FileIdentity::of(fileInfo).listedSince(listed);
    EXPECT_TRUE(engine.validateTargetForDeletion(file, fileSeen).isSafe);

    tree.file("home/cache/written-after", "x");
    test::TempTree::setModificationTime(folder, 2'000'000);
    const auto kept = engine.validateTargetForDeletion(folder, folderSeen);
    EXPECT_TRUE(kept.isSafe) << kept.reason;

    std::ofstream(file, std::ios::binary | std::ios::in | std::ios::out) << "rewrit";
    const timespec back[2] = {fileInfo.st_mtim, fileInfo.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), back, AT_SYMLINK_NOFOLLOW), 0);
    expectRefused(file, "Changed since the scan — scan again.", RiskLevel::high, fileSeen);

    const auto now = EntryState::at(AT_FDCWD, folder.native());
    ASSERT_TRUE(now.has_value());
    if (!now->born) {
        GTEST_SKIP() << "This file system keeps no birth time; device and inode decide";
    }
    // Swapped in: the old folder's numbers and time, but born after the listing began.
    fs::rename(folder, home / "cache-away");
    tree.folder("home/cache");
    struct stat swapped {};
    ASSERT_EQ(::lstat(folder.c_str(), &swapped), 0);
    FileIdentity sameNumbers = FileIdentity::of(swapped).listedSince(listed);
    expectRefused(folder, "Filesystem identity mismatch: target was replaced since last scan",
                  RiskLevel::high, sameNumbers);
    sameNumbers.listedAt = std::nullopt;
    EXPECT_TRUE(engine.validateTargetForDeletion(folder, sameNumbers).isSafe);
}

TEST_F(SafetyEngineTest, RefusesLinksIntoSystemLocationsAndUnreadableLinks) {
    // Dangling, so resolution leaves the link in place and only its stored text tells.
    tree.symlink("home/dangling", "/bin/no-such-tool-here");
    expectRefused(h("/dangling"), "Symlink points to protected system component", RiskLevel::high);
    tree.symlink("home/tilde", "~/../../../../etc/no-such-file");
    expectRefused(h("/tilde"), "Symlink points to protected system component", RiskLevel::high);

    tree.symlink("home/unreadable", "somewhere");
    SafetyEngine failing(env, preferences, probe, [](const fs::path& path) -> Result<std::string> {
        return SystemError{"readlink " + path.string(), EACCES};
    });
    const auto result = failing.validateTargetForDeletion(h("/unreadable"));
    EXPECT_EQ(result.reason, "Failed to verify symlink destination: Permission denied");
    EXPECT_EQ(result.riskLevel, RiskLevel::medium);
}

TEST_F(SafetyEngineTest, RefusesItemsOnAReadOnlyVolume) {
    const auto mount = tree.folder("home/media/disc");
    const auto file = tree.file("home/media/disc/track.flac", "x");
    tree.symlink("home/media/disc/link", home / "notes.txt");
    tree.file("home/notes.txt", "n");
    expectApproved(file);
    readOnlyMounts.push_back(mount.string());
    expectRefused(file, "Volume is mounted read-only; operations refused", RiskLevel::high);
    // A link on the read-only volume, pointing to a writable one, cannot be moved either.
    expectRefused(mount / "link", "Volume is mounted read-only; operations refused",
                  RiskLevel::high);
    // A failing statfs does not refuse.
    SafetyEngine unknown(env, preferences, [](const fs::path&) { return std::optional<bool>(); });
    EXPECT_TRUE(unknown.validateTargetForDeletion(file).isSafe);
}

TEST_F(SafetyEngineTest, ApprovalCarriesTheResolvedPathAndTheItemsOwnIdentity) {
    const auto target = tree.file("home/Downloads/setup.iso", "iso");
    const auto link = tree.symlink("home/Desktop-shortcut", target);
    const auto approve = [&](const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::lstat(path.c_str(), &info), 0);
        const auto result = engine.validateTargetForDeletion(
            path.string() + "/./", FileIdentity{0, info.st_ino, std::nullopt, std::nullopt});
        EXPECT_TRUE(result.isSafe) << result.reason;
        EXPECT_EQ(result.reason, "Passed 10-step deletion safety pipeline");
        EXPECT_EQ(result.riskLevel, RiskLevel::low);
        EXPECT_EQ(result.canonicalPath, target);
        EXPECT_EQ(result.inode, static_cast<std::uint64_t>(info.st_ino));
        EXPECT_EQ(result.deviceID, static_cast<std::uint64_t>(info.st_dev));
    };
    approve(target);
    approve(link); // the link's own inode, the destination's path
}

// ---- Check and move together ---------------------------------------------------------------

TEST_F(SafetyEngineTest, CheckedMoveMovesWhatWasCheckedAndNothingElse) {
    Trash trash(env);
    const auto file = tree.file("home/Caches/blob", "b");
    const auto moved = engine.moveToTrashChecked(file, std::nullopt, trash);
    ASSERT_TRUE(moved.moved()) << moved.failure << moved.validation.reason;
    EXPECT_EQ(*moved.trashedURL, env.dataHome / "Trash/files/blob");
    EXPECT_FALSE(fs::exists(file));

    const auto refused = engine.moveToTrashChecked(h("/.ssh"), std::nullopt, trash);
    EXPECT_TRUE(refused.refused());
    EXPECT_EQ(refused.validation.reason, "Protected sensitive user location: /.ssh");
    EXPECT_FALSE(refused.moved());

    // "link/.." means the link's parent to the kernel but the link's folder to the check: the
    // move takes what the check approved.
    tree.file("outside/victim", "v");
    tree.folder("outside/inner");
    tree.file("home/victim", "mine");
    tree.symlink("home/jump", tree.root() / "outside/inner");
    const auto lexical = engine.moveToTrashChecked(h("/jump/../victim"), std::nullopt, trash);
    ASSERT_TRUE(lexical.moved()) << lexical.failure;
    EXPECT_TRUE(fs::exists(tree.root() / "outside/victim"));
    EXPECT_FALSE(fs::exists(home / "victim"));

    // The item is swapped after the check: the approved identity stops the move.
    const auto swapped = tree.file("home/report.pdf", "real");
    const auto approval = engine.validateTargetForDeletion(swapped);
    ASSERT_TRUE(approval.isSafe);
    const auto other = tree.file("home/other.pdf", "planted");
    ASSERT_EQ(::rename(other.c_str(), swapped.c_str()), 0);
    const auto late = trash.moveToTrash(swapped, approval.identity());
    ASSERT_FALSE(late);
    EXPECT_EQ(late.error().message(),
              "Filesystem identity mismatch: target was replaced since last scan");
    EXPECT_TRUE(fs::exists(swapped));
}

// A folder on the way is swapped for a link to ~/Documents while items in it are checked and
// moved, with no expected inode (as the uninstaller and the screens move): whatever the timing,
// the protected file is never what moves.
TEST_F(SafetyEngineTest, AFolderSwappedForALinkNeverMovesProtectedContent) {
    Trash trash(env);
    const auto victim = tree.file("home/Documents/junk", "precious");
    struct stat victimInfo {};
    ASSERT_EQ(::lstat(victim.c_str(), &victimInfo), 0);
    const ino_t victimInode = victimInfo.st_ino;
    const auto real = tree.folder("home/tmp/x");
    const auto link = tree.symlink("home/tmp/xl", home / "Documents");
    const int realFd = ::open(real.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(realFd, 0);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            ::renameat2(AT_FDCWD, real.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
        }
    });
    int moved = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (int i = 0; i < 2000 && std::chrono::steady_clock::now() < deadline; ++i) {
        ::close(::openat(realFd, "junk", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        const auto outcome = engine.moveToTrashChecked(h("/tmp/x/junk"), std::nullopt, trash);
        struct stat now {};
        if (::lstat(victim.c_str(), &now) != 0 || now.st_ino != victimInode) {
            ADD_FAILURE() << "the protected file was moved on try " << i;
            break;
        }
        if (outcome.moved()) {
            ++moved;
            fs::remove(*outcome.trashedURL);
            fs::remove(env.dataHome / "Trash/info" /
                       (outcome.trashedURL->filename().string() + ".trashinfo"));
        }
    }
    stop = true;
    swapper.join();
    ::close(realFd);
    EXPECT_GT(moved, 0); // the real folder's own items did go
}

// Moving a folder moves what is mounted below it; emptying the Trash would then reach into it.
TEST_F(SafetyEngineTest, RefusesAFolderAtOrAboveAMountPoint) {
    tree.file("disk/precious.txt", "p");
    const auto point = tree.folder("home/project/sub/data");
    test::BindMount mount(tree.root() / "disk", point);
    if (!mount.mounted()) {
        GTEST_SKIP() << test::BindMount::skipReason();
    }
    const std::string reason = "Contains a mounted file system: " + point.string();
    expectRefused(h("/project"), reason, RiskLevel::high);
    expectRefused(h("/project/sub/data"), reason, RiskLevel::high);
    tree.symlink("home/via", home / "project");
    expectRefused(h("/via/sub"), reason, RiskLevel::high);
    // Below the mount point, or a link to it, nothing is carried along.
    expectApproved(h("/project/sub/data/precious.txt"));
    expectApproved(tree.symlink("home/shortcut", point));
    Trash trash(env);
    EXPECT_TRUE(engine.moveToTrashChecked(h("/project"), std::nullopt, trash).refused());
    EXPECT_TRUE(fs::exists(tree.root() / "disk/precious.txt"));
}

// A link reached through a linked folder lives in the real folder: that is what a move takes.
TEST_F(SafetyEngineTest, JudgesALinkByTheFolderItReallyLivesIn) {
    tree.file("home/Work/todo.txt", "t");
    tree.symlink("home/Documents/todo-link", home / "Work/todo.txt");
    tree.symlink("home/docs", home / "Documents");
    expectRefused(h("/docs/todo-link"), "Protected sensitive user location: /Documents",
                  RiskLevel::high);
    // A personal location that is itself a link protects where it leads.
    tree.folder("data/keys");
    tree.file("data/keys/id", "k");
    tree.symlink("home/.gnupg", tree.root() / "data/keys");
    expectRefused(tree.root() / "data/keys/id", "Protected sensitive user location: /.gnupg",
                  RiskLevel::high);
    expectRefused(tree.root() / "data", "Protected sensitive user location: /.gnupg",
                  RiskLevel::high);
}

// ---- The trashes --------------------------------------------------------------------------

// Moving a trash's own folder, or anything in it, would part trashed items from their info files
// and lose their original places: the home trash and every volume trash are refused whole.
TEST_F(SafetyEngineTest, TheTrashesAndEverythingInsideThemAreRefused) {
    const fs::path trash = env.dataHome / "Trash";
    tree.file("home/.local/share/Trash/files/node_modules/m.js", "x");
    tree.file("home/.local/share/Trash/info/node_modules.trashinfo", "[Trash Info]\n");
    constexpr const char* folder = SafetyEngine::kTrashFolderReason;
    constexpr const char* inside = SafetyEngine::kInTrashReason;
    for (const auto& own : {trash, trash / "files", trash / "info"}) {
        expectRefused(own, folder, RiskLevel::high);
    }
    expectRefused(trash / "files/node_modules", inside, RiskLevel::high);
    expectRefused(trash / "files/node_modules/m.js", inside, RiskLevel::high);
    expectRefused(trash / "info/node_modules.trashinfo", inside, RiskLevel::high);
    // Reached through a link, the home trash is still the home trash.
    const fs::path link = tree.symlink("home/trash-link", trash / "files");
    expectRefused(link / "node_modules", inside, RiskLevel::high);

    // Volume trashes, wherever their folders stand.
    tree.file("volume/.Trash-1000/files/a.txt", "x");
    tree.file("volume/.Trash/1000/files/b.txt", "x");
    expectRefused(tree / "volume/.Trash-1000", folder, RiskLevel::high);
    expectRefused(tree / "volume/.Trash-1000/files/a.txt", inside, RiskLevel::high);
    expectRefused(tree / "volume/.Trash", folder, RiskLevel::high);
    expectRefused(tree / "volume/.Trash/1000/files", folder, RiskLevel::high);
    expectRefused(tree / "volume/.Trash/1000/files/b.txt", inside, RiskLevel::high);
    // A folder merely named like one is an ordinary item.
    expectApproved(tree.file("volume/Trash/c.txt", "x"));
    expectApproved(tree.file("volume/.Trash-old/d.txt", "x"));
    EXPECT_FALSE(SafetyEngine::refusesAsProtected(engine.validateTargetForDeletion(trash)));
    EXPECT_FALSE(SafetyEngine::refusesAsProtected(engine.validateTargetForDeletion(h("/gone"))));
    EXPECT_TRUE(SafetyEngine::refusesAsProtected(engine.validateTargetForDeletion(home)));
}

} // namespace
} // namespace fernwick
