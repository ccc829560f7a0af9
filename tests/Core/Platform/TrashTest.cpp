#include "FernwickCore/Platform/Trash.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/UniqueFd.h"
#include "tests/Support/BindMount.h"
#include "tests/Support/TempTree.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fernwick {
namespace {

namespace fs = std::filesystem;
using test::TempTree;

std::string contentsOf(const fs::path& file) {
    auto bytes = readWholeFile(file);
    return bytes ? *bytes : std::string("<unreadable>");
}

struct stat lstatOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

bool entryExists(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

class TrashTest : public ::testing::Test {
protected:
    TempTree tree;
    Environment env = Environment::forHome(tree.folder("home"));
    // No test may reach a real volume's trash, so emptying sees only the test's own volume.
    fs::path top = tree.folder("volume");
    Trash trash{env, {{}, [this] { return std::vector<fs::path>{top}; }}};
    fs::path files = env.dataHome / "Trash" / "files";
    fs::path info = env.dataHome / "Trash" / "info";
};

TEST_F(TrashTest, RoundTripRestoresContentModeAndTimeAndWritesAnInfoFile) {
    // A zone far from UTC, so that a date written in UTC would show.
    const std::string savedZone = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::setenv("TZ", "XYZ-5", 1);
    ::tzset();
    const auto item = tree.file("home/Work/q3 report%.txt", "figures\n");
    ::chmod(item.c_str(), 0640);
    TempTree::setModificationTime(item, 1700000000);
    const auto folder = tree.folder("home/Work/build");
    tree.file("home/Work/build/a.o", "object");

    auto moved = trash.moveToTrash(item);
    ASSERT_TRUE(moved) << moved.error().message();
    EXPECT_EQ(*moved, files / "q3 report%.txt");
    EXPECT_FALSE(entryExists(item));
    const std::string text = contentsOf(info / "q3 report%.txt.trashinfo");
    const std::regex expected("\\[Trash Info\\]\nPath=" + tree.root().string() +
                              "/home/Work/q3%20report%25.txt\n"
                              "DeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    // The date is local time: read back as local time, it is now.
    std::tm local{};
    ASSERT_NE(::strptime(text.substr(text.find("DeletionDate=") + 13).c_str(), "%Y-%m-%dT%H:%M:%S",
                         &local),
              nullptr);
    local.tm_isdst = -1;
    EXPECT_LE(std::abs(std::difftime(std::mktime(&local), std::time(nullptr))), 60.0);
    savedZone.empty() ? ::unsetenv("TZ") : ::setenv("TZ", savedZone.c_str(), 1);
    ::tzset();
    EXPECT_EQ(lstatOf(info / "q3 report%.txt.trashinfo").st_mode & 0777, 0600u);

    auto movedFolder = trash.moveToTrash(folder);
    ASSERT_TRUE(movedFolder) << movedFolder.error().message();
    EXPECT_EQ(trash.itemCount(), 2);

    ASSERT_TRUE(trash.restore(*moved, item));
    ASSERT_TRUE(trash.restore(*movedFolder, folder));
    EXPECT_EQ(contentsOf(item), "figures\n");
    EXPECT_EQ(lstatOf(item).st_mode & 07777, 0640u);
    EXPECT_EQ(lstatOf(item).st_mtim.tv_sec, 1700000000);
    EXPECT_EQ(contentsOf(folder / "a.o"), "object");
    EXPECT_FALSE(entryExists(info / "q3 report%.txt.trashinfo"));
    EXPECT_FALSE(entryExists(info / "build.trashinfo"));
    EXPECT_EQ(trash.itemCount(), 0);
}

TEST_F(TrashTest, TakenNamesGetACounterBeforeTheExtension) {
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        for (const char* name : {"report.txt", "notes", "archive.tar.gz"}) {
            auto moved = trash.moveToTrash(tree.file(std::string("home/") + name, name));
            ASSERT_TRUE(moved) << moved.error().message();
            names.push_back(moved->filename().string());
        }
    }
    const std::vector<std::string> expected = {"report.txt",   "notes",   "archive.tar.gz",
                                               "report.2.txt", "notes.2", "archive.tar.2.gz",
                                               "report.3.txt", "notes.3", "archive.tar.3.gz"};
    EXPECT_EQ(names, expected);
    for (const auto& name : expected) {
        EXPECT_TRUE(entryExists(info / (name + ".trashinfo"))) << name;
    }
    // An entry in files/ without an info file (left by another program) is never replaced.
    tree.file("home/.local/share/Trash/files/orphan", "old");
    auto moved = trash.moveToTrash(tree.file("home/orphan", "new"));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->filename(), "orphan.2");
    EXPECT_EQ(contentsOf(files / "orphan"), "old");
    EXPECT_FALSE(entryExists(info / "orphan.trashinfo"));
}

TEST_F(TrashTest, RestoreOntoATakenPathIsRefusedAndLosesNothing) {
    const auto item = tree.file("home/a.txt", "first");
    auto moved = trash.moveToTrash(item);
    ASSERT_TRUE(moved);
    tree.file("home/a.txt", "second");
    const Status restored = trash.restore(*moved, item);
    ASSERT_FALSE(restored);
    EXPECT_EQ(restored.error().code, EEXIST);
    EXPECT_EQ(contentsOf(item), "second");
    EXPECT_EQ(contentsOf(*moved), "first");
    EXPECT_TRUE(entryExists(info / "a.txt.trashinfo"));
    // The folder it came from is gone: refused as well, still in the Trash.
    EXPECT_FALSE(trash.restore(*moved, tree.root() / "home/gone/a.txt"));
    EXPECT_TRUE(entryExists(*moved));
}

// A folder on the way back replaced by a link to a folder anyone may write to: nothing is put
// there, the entry keeps its place and its info file, and the reason names the link.
TEST_F(TrashTest, RestoreNeverGoesThroughALink) {
    const auto item = tree.file("home/notes/deep/er/a.txt", "mine");
    const fs::path open = tree.folder("open");
    tree.folder("open/deep/er");
    ::chmod(open.c_str(), 0777);
    for (const std::string linked : {"home/notes/deep/er", "home/notes/deep", "home/notes"}) {
        auto moved = trash.moveToTrash(item, FileIdentity::of(lstatOf(item)));
        ASSERT_TRUE(moved) << moved.error().message();
        const FileIdentity trashed = FileIdentity::of(lstatOf(*moved));
        fs::rename(tree / linked, tree / "aside");
        const std::string rest = linked.substr(std::string("home/notes").size());
        tree.symlink(linked, rest.empty() ? open : open / rest.substr(1));

        const Status restored = trash.restore(*moved, item, trashed);
        ASSERT_FALSE(restored) << linked;
        EXPECT_NE(
            restored.error().message().find((tree / linked).string() + " is now a symbolic link"),
            std::string::npos)
            << restored.error().message();
        EXPECT_FALSE(entryExists(open / "deep/er/a.txt"));
        EXPECT_TRUE(entryExists(info / "a.txt.trashinfo"));
        // The real folder back in its place: the same entry comes home.
        fs::remove(tree / linked);
        fs::rename(tree / "aside", tree / linked);
        ASSERT_TRUE(trash.restore(*moved, item, trashed));
        EXPECT_EQ(contentsOf(item), "mine");
    }
}

// Both ways of reaching a folder without links (openat2, and one component at a time where the
// kernel lacks it) open the real folder and name the component that stops them.
TEST_F(TrashTest, FoldersAreReachedWithoutLinksEitherWay) {
    const fs::path real = tree.folder("home/a/b/c");
    tree.symlink("home/link", tree / "home/a");
    tree.file("home/a/file", "x");
    for (const LinkFreeWalk walk : {LinkFreeWalk::kernelFirst, LinkFreeWalk::byComponent}) {
        auto opened = openFolderWithoutLinks(real, walk);
        ASSERT_TRUE(opened) << opened.error().message();
        struct stat facts {};
        ASSERT_EQ(::fstat(opened->get(), &facts), 0);
        EXPECT_EQ(facts.st_ino, lstatOf(real).st_ino);
        const struct {
            fs::path folder;
            fs::path stop;
            int code;
        } refused[] = {{tree / "home/link/b/c", tree / "home/link", ELOOP},
                       {tree / "home/link", tree / "home/link", ELOOP},
                       {tree / "home/a/gone/c", tree / "home/a/gone", ENOENT},
                       {tree / "home/a/file/c", tree / "home/a/file", ENOTDIR}};
        for (const auto& r : refused) {
            auto stopped = openFolderWithoutLinks(r.folder, walk);
            ASSERT_FALSE(stopped) << r.folder;
            EXPECT_EQ(stopped.error().operation, r.stop.string());
            EXPECT_EQ(stopped.error().code, r.code) << r.folder;
        }
    }
}

TEST_F(TrashTest, NamesThatAreLongOrNotUtf8KeepTheirOriginalPath) {
    const std::string longName(250, 'n');
    auto movedLong = trash.moveToTrash(tree.file("home/" + longName + ".txt", "x"));
    ASSERT_TRUE(movedLong) << movedLong.error().message();
    const std::string kept = movedLong->filename().string();
    EXPECT_LE(kept.size() + 10, 255u);
    EXPECT_TRUE(kept.ends_with(".txt"));
    EXPECT_NE(contentsOf(info / (kept + ".trashinfo")).find("/home/" + longName + ".txt\n"),
              std::string::npos);

    const std::string odd = "caf\xE9 \n#?";
    auto movedOdd = trash.moveToTrash(tree.file("home/" + odd, "x"));
    ASSERT_TRUE(movedOdd) << movedOdd.error().message();
    EXPECT_NE(contentsOf(info / (odd + ".trashinfo")).find("/home/caf%E9%20%0A%23%3F\n"),
              std::string::npos);
}

TEST_F(TrashTest, IdentityIsConfirmedBeforeTheMove) {
    const auto item = tree.file("home/cache.bin", "original");
    const auto before = lstatOf(item);
    const FileIdentity approved = FileIdentity::of(before);
    // Swapped for another file of the same name after the check.
    const auto impostor = tree.file("impostor", "impostor");
    ASSERT_EQ(::rename(impostor.c_str(), item.c_str()), 0);
    auto moved = trash.moveToTrash(item, approved);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().message(),
              "Filesystem identity mismatch: target was replaced since last scan");
    EXPECT_EQ(contentsOf(item), "impostor");
    EXPECT_FALSE(entryExists(info / "cache.bin.trashinfo"));

    const auto now = lstatOf(item);
    auto matching = trash.moveToTrash(item, FileIdentity::of(now));
    EXPECT_TRUE(matching) << matching.error().message();
}

TEST_F(TrashTest, AFolderReachedThroughALinkIsMovedFromItsRealPlace) {
    tree.file("home/real/data.bin", "d");
    const auto link = tree.symlink("home/via", tree.root() / "home/real");
    auto moved = trash.moveToTrash(link / "data.bin");
    ASSERT_TRUE(moved) << moved.error().message();
    EXPECT_NE(contentsOf(info / "data.bin.trashinfo").find("/home/real/data.bin\n"),
              std::string::npos);
    // A final link is moved as the link, never what it points to.
    auto movedLink = trash.moveToTrash(link);
    ASSERT_TRUE(movedLink);
    EXPECT_TRUE(S_ISLNK(lstatOf(*movedLink).st_mode));
    EXPECT_TRUE(entryExists(tree.root() / "home/real"));
}

TEST_F(TrashTest, MovesOfTheSameNameAtOnceNeverShareAName) {
    constexpr int kThreads = 8;
    constexpr int kEach = 20;
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            tree.file("home/t" + std::to_string(t) + "/" + std::to_string(i) + "/dup.txt", "x");
        }
    }
    std::vector<std::vector<fs::path>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                auto moved = trash.moveToTrash(tree.root() / ("home/t" + std::to_string(t)) /
                                               std::to_string(i) / "dup.txt");
                if (moved) {
                    results[t].push_back(*moved);
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::set<fs::path> names;
    for (const auto& list : results) {
        names.insert(list.begin(), list.end());
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(trash.itemCount(), kThreads * kEach);
    for (const auto& name : names) {
        EXPECT_TRUE(entryExists(info / (name.filename().string() + ".trashinfo"))) << name;
    }
}

TEST_F(TrashTest, AnUnusableHomeTrashIsAFailureWithAReason) {
    tree.file("home/.local/share", "a file where the data folder should be");
    const auto item = tree.file("home/keep.txt", "k");
    auto moved = trash.moveToTrash(item);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().message(), "Cannot move to the Trash: the Trash folder " +
                                           (env.dataHome / "Trash").string() +
                                           " cannot be used (Not a directory)");
    EXPECT_EQ(contentsOf(item), "k");
}

TEST_F(TrashTest, AFailedMoveLeavesNoInfoFile) {
    // A folder cannot move into its own Trash, which lies below it.
    fs::create_directories(info);
    auto moved = trash.moveToTrash(env.dataHome);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().code, EINVAL);
    EXPECT_TRUE(fs::is_empty(info));
    auto missing = trash.moveToTrash(tree.root() / "home/none");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_TRUE(fs::is_empty(info));
}

TEST_F(TrashTest, EmptyNeverFollowsALinkAndRemovesInfoFiles) {
    const auto outside = tree.file("outside/keep/precious.txt", "keep me");
    tree.symlink("home/shortcut", tree.root() / "outside/keep");
    tree.file("home/tree/deep/er/file", "x");
    ASSERT_TRUE(trash.moveToTrash(tree.root() / "home/shortcut"));
    ASSERT_TRUE(trash.moveToTrash(tree.root() / "home/tree"));
    // A read-only folder inside a trashed tree (module caches are made so) still goes.
    ::chmod((files / "tree/deep").c_str(), 0555);
    // A trashed dot-folder is an item like any other: counted, and emptied with its info file.
    tree.file("home/.npm/_cacache/index", "cache");
    ASSERT_TRUE(trash.moveToTrash(tree.root() / "home/.npm"));
    EXPECT_EQ(trash.itemCount(), 3);

    ASSERT_TRUE(trash.empty());
    EXPECT_EQ(contentsOf(outside), "keep me");
    EXPECT_FALSE(entryExists(files / "shortcut"));
    EXPECT_FALSE(entryExists(files / "tree"));
    EXPECT_FALSE(entryExists(info / "shortcut.trashinfo"));
    EXPECT_FALSE(entryExists(info / "tree.trashinfo"));
    EXPECT_FALSE(entryExists(files / ".npm"));
    EXPECT_FALSE(entryExists(info / ".npm.trashinfo"));
    EXPECT_EQ(trash.itemCount(), 0);
}

TEST_F(TrashTest, ANameWithAVeryLongExtensionCanBeTrashedAgain) {
    // The counter must survive the shortening, or every later name repeats the first.
    const std::string name = "a." + std::string(253, 'e');
    std::vector<std::string> kept;
    for (int i = 0; i < 3; ++i) {
        auto moved = trash.moveToTrash(tree.file("home/" + std::to_string(i) + "/" + name, "x"));
        ASSERT_TRUE(moved) << i << ": " << moved.error().message();
        kept.push_back(moved->filename().string());
        EXPECT_LE(kept.back().size() + 10, 255U);
        EXPECT_NE(contentsOf(info / (kept.back() + ".trashinfo"))
                      .find("/home/" + std::to_string(i) + "/" + name + "\n"),
                  std::string::npos);
    }
    EXPECT_EQ(kept[0], "a." + std::string(243, 'e'));
    EXPECT_EQ(kept[1], "a.2." + std::string(241, 'e'));
    EXPECT_EQ(kept[2], "a.3." + std::string(241, 'e'));
    // A long stem gives way before the extension does.
    auto moved = trash.moveToTrash(tree.file("home/" + std::string(240, 's') + ".txt", "x"));
    auto again = trash.moveToTrash(tree.file("home/x/" + std::string(240, 's') + ".txt", "x"));
    ASSERT_TRUE(moved && again);
    EXPECT_EQ(again->filename().string(), std::string(239, 's') + ".2.txt");
}

TEST_F(TrashTest, EmptyingNeedsNoDescriptorPerLevelAndOpensSealedFolders) {
    // 1,500 levels (deeper than PATH_MAX allows to name), emptied under a limit of 256 files.
    constexpr int kDepth = 1500;
    tree.folder("home/deep");
    int fd = ::open((tree / "home/deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < kDepth && fd >= 0; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    ::close(fd);
    // Folders nobody may read or enter, at the top and inside, one of them holding a link.
    tree.file("home/sealed/inner/file", "x");
    tree.symlink("home/sealed/inner/link", tree.root() / "outside");
    const auto outside = tree.file("outside/keep", "keep");
    ASSERT_TRUE(trash.moveToTrash(tree / "home/deep"));
    ASSERT_TRUE(trash.moveToTrash(tree / "home/sealed"));
    ::chmod((files / "sealed/inner").c_str(), 0);
    ::chmod((files / "sealed").c_str(), 0);

    // Root may open anything: the sealed folders are emptied as an ordinary user would.
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        const std::string command = "chown -hR 65534:65534 '" + tree.root().string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        ::chmod((files / "sealed/inner").c_str(), 0);
        ::chmod((files / "sealed").c_str(), 0);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (asRoot && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(2);
        }
        const rlimit few{256, 256};
        ::setrlimit(RLIMIT_NOFILE, &few);
        ::_exit(trash.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(entryExists(files / "deep"));
    EXPECT_FALSE(entryExists(files / "sealed"));
    EXPECT_FALSE(entryExists(info / "sealed.trashinfo"));
    EXPECT_EQ(contentsOf(outside), "keep");
    EXPECT_EQ(trash.itemCount(), 0);
}

TEST_F(TrashTest, EmptyingNeverEntersAMountInsideATrashedFolder) {
    const auto disk = tree.file("disk/precious.txt", "precious");
    tree.file("home/project/notes.txt", "n");
    tree.folder("home/project/sub/data");
    test::BindMount mount(tree / "disk", tree / "home/project/sub/data");
    if (!mount.mounted()) {
        GTEST_SKIP() << test::BindMount::skipReason();
    }
    // The rename carries the mount along; the safety check is what refuses this beforehand.
    ASSERT_TRUE(trash.moveToTrash(tree / "home/project"));
    mount.moveTo(files / "project/sub/data");
    const Status emptied = trash.empty();
    ASSERT_FALSE(emptied);
    EXPECT_EQ(emptied.error().code, EXDEV);
    EXPECT_EQ(contentsOf(disk), "precious");
    EXPECT_EQ(contentsOf(files / "project/sub/data/precious.txt"), "precious");
    EXPECT_FALSE(entryExists(files / "project/notes.txt"));
    // What remains is still an item, with its info file, and goes back whole.
    EXPECT_EQ(trash.itemCount(), 1);
    ASSERT_TRUE(trash.restore(files / "project", tree / "home/project"));
    mount.moveTo(tree / "home/project/sub/data");
    EXPECT_EQ(contentsOf(tree / "home/project/sub/data/precious.txt"), "precious");
    EXPECT_EQ(trash.itemCount(), 0);
}

TEST_F(TrashTest, EmptyRefusesAFilesFolderThatIsALink) {
    const auto outside = tree.file("elsewhere/x", "x");
    fs::create_directories(env.dataHome / "Trash");
    tree.symlink("home/.local/share/Trash/files", tree.root() / "elsewhere");
    EXPECT_FALSE(trash.empty());
    EXPECT_TRUE(entryExists(outside));
}

class VolumeTrashTest : public TrashTest {
protected:
    Trash volumeTrash{env,
                      {[this](const fs::path& folder) -> std::optional<fs::path> {
                           return folder.native().starts_with(top.native())
                                      ? std::optional<fs::path>(top)
                                      : std::nullopt;
                       },
                       [this] { return std::vector<fs::path>{top}; }}};
    std::string uid = std::to_string(::geteuid());
};

TEST_F(VolumeTrashTest, UsesTheSharedStickyFolderWithARelativePath) {
    tree.folder("volume/.Trash");
    ::chmod((top / ".Trash").c_str(), 01777);
    auto moved = volumeTrash.moveToTrash(tree.file("volume/photos/a b.jpg", "jpg"));
    ASSERT_TRUE(moved) << moved.error().message();
    EXPECT_EQ(*moved, top / ".Trash" / uid / "files/a b.jpg");
    EXPECT_TRUE(contentsOf(top / ".Trash" / uid / "info/a b.jpg.trashinfo")
                    .starts_with("[Trash Info]\nPath=photos/a%20b.jpg\nDeletionDate="));
    EXPECT_EQ(lstatOf(top / ".Trash" / uid).st_mode & 0777, 0700u);
    ASSERT_TRUE(volumeTrash.restore(*moved, top / "photos/a b.jpg"));
    EXPECT_TRUE(entryExists(top / "photos/a b.jpg"));
}

TEST_F(VolumeTrashTest, FallsBackToItsOwnFolderWhenTheSharedOneIsUnfit) {
    // Not sticky, so not to be trusted.
    tree.folder("volume/.Trash");
    ::chmod((top / ".Trash").c_str(), 0777);
    auto moved = volumeTrash.moveToTrash(tree.file("volume/a.txt", "a"));
    ASSERT_TRUE(moved) << moved.error().message();
    EXPECT_EQ(*moved, top / (".Trash-" + uid) / "files/a.txt");
    EXPECT_EQ(lstatOf(top / (".Trash-" + uid)).st_mode & 0777, 0700u);
    EXPECT_TRUE(contentsOf(top / (".Trash-" + uid) / "info/a.txt.trashinfo")
                    .starts_with("[Trash Info]\nPath=a.txt\n"));
}

TEST_F(VolumeTrashTest, EmptyCoversTheVolumeTrashesOfMountedFileSystems) {
    tree.folder("volume/.Trash");
    ::chmod((top / ".Trash").c_str(), 01777);
    auto shared = volumeTrash.moveToTrash(tree.file("volume/a.txt", "a"));
    ASSERT_TRUE(shared);
    ::chmod((top / ".Trash").c_str(), 0755); // from now on the own folder is used
    auto own = volumeTrash.moveToTrash(tree.file("volume/b.txt", "b"));
    ASSERT_TRUE(own) << own.error().message();
    ASSERT_EQ(own->parent_path(), top / (".Trash-" + uid) / "files");
    auto home = volumeTrash.moveToTrash(tree.file("home/c.txt", "c"));
    ASSERT_TRUE(home);

    ASSERT_TRUE(volumeTrash.empty());
    EXPECT_FALSE(entryExists(*own));
    EXPECT_FALSE(entryExists(*home));
    EXPECT_TRUE(fs::is_empty(top / (".Trash-" + uid) / "info"));
    // The shared folder lost its sticky bit, so it is not trusted and not emptied.
    EXPECT_TRUE(entryExists(*shared));
}

TEST_F(VolumeTrashTest, AVolumeWithoutAUsableTrashIsAFailureWithAReason) {
    // A link where the shared folder should be is not followed, and the user's own folder is
    // taken by a file: nothing may be deleted instead.
    const auto elsewhere = tree.folder("elsewhere");
    ::chmod(elsewhere.c_str(), 01777);
    tree.symlink("volume/.Trash", elsewhere);
    tree.file("volume/.Trash-" + uid, "not a folder");
    const auto item = tree.file("volume/big.iso", "iso");
    auto moved = volumeTrash.moveToTrash(item);
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().message(), "Cannot move to the Trash: the volume at " + top.string() +
                                           " has no usable Trash folder (Not a directory)");
    EXPECT_EQ(contentsOf(item), "iso");
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST_F(VolumeTrashTest, RefusesAnOwnFolderOthersMayWriteTo) {
    tree.folder("volume/.Trash-" + uid);
    ::chmod((top / (".Trash-" + uid)).c_str(), 0777);
    auto moved = volumeTrash.moveToTrash(tree.file("volume/a.txt", "a"));
    ASSERT_FALSE(moved);
    EXPECT_TRUE(entryExists(top / "a.txt"));
}

// Debian's own tools read the home trash as we write it. gio lists the Trash through the gvfs
// daemon, which needs a session bus; the test is skipped where any of them is missing.
TEST_F(TrashTest, GioListsTheHomeTrashWithOriginalPaths) {
    if (::access("/usr/bin/gio", X_OK) != 0 || ::access("/usr/bin/dbus-run-session", X_OK) != 0 ||
        ::access("/usr/libexec/gvfsd-trash", X_OK) != 0) {
        GTEST_SKIP() << "gio, dbus-run-session or gvfsd-trash is not installed";
    }
    ASSERT_TRUE(trash.moveToTrash(tree.file("home/My File.txt", "x")));
    ASSERT_TRUE(trash.moveToTrash(tree.file("home/sub/My File.txt", "y")));
    const auto runtime = tree.folder("runtime");
    ::chmod(runtime.c_str(), 0700);
    const std::string command = "env HOME='" + env.home.string() + "' XDG_DATA_HOME='" +
                                env.dataHome.string() + "' XDG_RUNTIME_DIR='" + runtime.string() +
                                "' timeout 60 dbus-run-session -- gio trash --list 2>&1";
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
            output.append(buffer.data(), n);
        }
        ::pclose(pipe);
    }
    if (output.find("Operation not supported") != std::string::npos) {
        GTEST_SKIP() << "gio has no trash backend here: " << output;
    }
    EXPECT_NE(output.find("trash:///My%20File.txt\t" + env.home.string() + "/My File.txt\n"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("trash:///My%20File.2.txt\t" + env.home.string() + "/sub/My File.txt\n"),
              std::string::npos)
        << output;
}

} // namespace
} // namespace fernwick
