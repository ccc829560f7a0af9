#include "FernwickCore/Scanning/AsyncDiskScanner.h"
#include "FernwickCore/Scanning/ScanWalk.h"

#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <mutex>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fernwick {
namespace {

using test::TempTree;

/// Records every report; callable from any worker.
struct Reports {
    std::mutex mutex;
    std::vector<ScanProgress> all;
    std::function<void(const ScanProgress&)> callback() {
        return [this](const ScanProgress& p) {
            std::lock_guard lock(mutex);
            all.push_back(p);
        };
    }
};

DiskNodePtr child(const DiskNodePtr& node, const std::string& name) {
    for (const auto& c : node->children) {
        if (c->name() == name) {
            return c;
        }
    }
    return nullptr;
}

std::vector<std::string> childNames(const DiskNodePtr& node) {
    std::vector<std::string> names;
    for (const auto& c : node->children) {
        names.push_back(c->name());
    }
    return names;
}

struct stat lstatOf(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info;
}

std::int64_t allocatedOf(const std::filesystem::path& path) {
    return static_cast<std::int64_t>(lstatOf(path).st_blocks) * 512;
}

/// One line per node: path, sizes, count and flags, depth first; for comparing whole trees.
std::vector<std::string> describe(const DiskNodePtr& root) {
    std::vector<std::string> lines;
    for (const auto& node : root->allDescendants()) {
        lines.push_back(node->path() + "|" + std::to_string(node->size) + "|" +
                        std::to_string(node->allocatedSize) + "|" +
                        std::to_string(node->itemCount) + "|" +
                        std::to_string(node->children.size()) + "|" +
                        std::to_string(node->isAccessible) + std::to_string(node->isPackage()));
    }
    return lines;
}

/// Scans with `seams`, cancelling after `visits` visits; nullptr when a visit saw the
/// cancellation and the scan threw.
DiskNodePtr scanCancelledAfter(ScannerSeams seams, const TempTree& tree, int visits) {
    AsyncDiskScanner* self = nullptr;
    std::atomic<int> seen{0};
    seams.didVisit = [&](const std::string&) {
        if (seen.fetch_add(1) == visits) {
            self->cancel();
        }
    };
    AsyncDiskScanner scanner({}, seams);
    self = &scanner;
    try {
        return scanner.scan(tree.root(), 6, {});
    } catch (const ScanCancelled&) {
        return nullptr;
    }
}

ScannerSeams oneWorker() {
    ScannerSeams seams;
    seams.workerCount = 1;
    return seams;
}

TEST(AsyncDiskScannerTest, BuildsTheTreeOfARealFolder) {
    TempTree tree;
    tree.denseFile("docs/a.txt", 100);
    tree.denseFile("docs/b.txt", 250);
    tree.denseFile("Apps/Tool.app/Contents/tool.bin", 3000);
    tree.file("Apps/Tool.app/Contents/Info.plist", "x");
    tree.file(".hidden-file", "secret");
    tree.file(".cache/inside", "secret");
    tree.folder("empty");
    tree.symlink("docs-link", tree / "docs");
    tree.file("deep/l2/l3/l4/bottom.txt", "", 1 << 20);
    tree.file("deep/l2/side.txt", "abc");
    const std::string odd = std::string("bad\xff\xfe name");
    const std::string newline = "two\nlines";
    tree.file(odd, "12345");
    tree.file(newline + "/inner.txt", "z");
    TempTree::setModificationTime(tree / "docs/a.txt", 1'600'000'000);

    AsyncDiskScanner scanner;
    Reports reports;
    const DiskNodePtr root = scanner.scan(tree.root(), 2, reports.callback());

    // The root: named after its folder, never classified, children in name (byte) order,
    // hidden entries left out.
    EXPECT_EQ(root->name(), tree.root().filename().string());
    EXPECT_EQ(root->url(), tree.root());
    EXPECT_EQ(root->sourceVolume(), tree.root().native());
    EXPECT_EQ(root->category, StorageCategory::systemData);
    EXPECT_DOUBLE_EQ(root->confidence, 1.0);
    EXPECT_EQ(childNames(root), (std::vector<std::string>{"Apps", odd, "deep", "docs", "docs-link",
                                                          "empty", newline}));

    const auto docs = child(root, "docs");
    ASSERT_TRUE(docs);
    EXPECT_EQ(childNames(docs), (std::vector<std::string>{"a.txt", "b.txt"}));
    const auto a = child(docs, "a.txt");
    EXPECT_EQ(a->size, 100);
    EXPECT_EQ(a->allocatedSize, allocatedOf(tree / "docs/a.txt"));
    EXPECT_EQ(a->modifiedDate, TimePoint(std::chrono::seconds(1'600'000'000)));
    EXPECT_EQ(a->inode, lstatOf(tree / "docs/a.txt").st_ino);
    EXPECT_EQ(a->deviceID, lstatOf(tree / "docs/a.txt").st_dev);
    EXPECT_EQ(a->url(), tree / "docs/a.txt");
    EXPECT_EQ(docs->size, 350); // a listed folder holds the sums over its children
    EXPECT_EQ(docs->itemCount, 2);

    // A package below the root is one node sized in one pass: every entry counts, folders carry
    // no bytes of their own.
    const auto app = child(child(root, "Apps"), "Tool.app");
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->isPackage());
    EXPECT_TRUE(app->children.empty());
    EXPECT_EQ(app->size, std::max<std::int64_t>(3001, lstatOf(tree / "Apps/Tool.app").st_size));
    EXPECT_EQ(app->itemCount, 3);
    EXPECT_EQ(app->allocatedSize,
              std::max(allocatedOf(tree / "Apps/Tool.app/Contents/tool.bin") +
                           allocatedOf(tree / "Apps/Tool.app/Contents/Info.plist"),
                       allocatedOf(tree / "Apps/Tool.app")));

    // A link to a folder is a leaf measured by itself.
    const auto link = child(root, "docs-link");
    EXPECT_TRUE(link->isSymlink);
    EXPECT_FALSE(link->isDirectory());
    EXPECT_TRUE(link->children.empty());
    EXPECT_EQ(link->size, static_cast<std::int64_t>((tree / "docs").native().size()));

    // An empty folder keeps its own sizes and counts as one item.
    const auto empty = child(root, "empty");
    EXPECT_TRUE(empty->children.empty());
    EXPECT_EQ(empty->size, lstatOf(tree / "empty").st_size);
    EXPECT_EQ(empty->itemCount, 1);
    EXPECT_TRUE(empty->isAccessible);

    // Below maxDepth a folder is sized in one pass: l3, l4, bottom.txt and side.txt.
    const auto l2 = child(child(root, "deep"), "l2");
    EXPECT_TRUE(l2->children.empty());
    EXPECT_EQ(l2->itemCount, 4);
    EXPECT_EQ(l2->size, (1 << 20) + 3);

    // Names are bytes: the odd names round-trip to the file system.
    const auto oddNode = child(root, odd);
    ASSERT_TRUE(oddNode);
    EXPECT_EQ(oddNode->size, 5);
    EXPECT_EQ(oddNode->url(), tree / odd);
    EXPECT_EQ(child(child(root, newline), "inner.txt")->size, 1);

    ASSERT_FALSE(reports.all.empty());
    const ScanProgress& last = reports.all.back();
    EXPECT_EQ(last.scannedBytes, root->size);
    EXPECT_EQ(last.scannedAllocatedBytes, root->allocatedSize);
}

TEST(AsyncDiskScannerTest, FinalReportCarriesTheWholeScan) {
    TempTree tree;
    tree.denseFile("one/a", 1000);
    tree.denseFile("one/b", 2000);
    tree.denseFile("two/c", 4000);
    tree.file("unread/x", "x");
    tree.file("broken", "y");
    ScannerSeams seams;
    const std::string unread = (tree / "unread").native();
    const std::string broken = (tree / "broken").native();
    seams.listingError = [unread](const std::string& path) { return path == unread ? EACCES : 0; };
    seams.statError = [broken](const std::string& path) { return path == broken ? EIO : 0; };
    AsyncDiskScanner scanner({}, seams);
    Reports reports;
    const DiskNodePtr root = scanner.scan(tree.root(), 6, reports.callback());

    // A slow machine may add timed reports before it; only the last one is final.
    ASSERT_FALSE(reports.all.empty());
    for (std::size_t i = 0; i + 1 < reports.all.size(); ++i) {
        EXPECT_FALSE(reports.all[i].isComplete);
    }
    const ScanProgress& final = reports.all.back();
    EXPECT_EQ(final.currentPath, "Scan Completed");
    EXPECT_TRUE(final.isComplete);
    EXPECT_EQ(final.scannedBytes, root->size);
    EXPECT_EQ(final.scannedAllocatedBytes, root->allocatedSize);
    EXPECT_EQ(root->size, 7000 + lstatOf(tree / "unread").st_size);
    // Folders count as items: one, a, b, two, c, unread, broken.
    EXPECT_EQ(final.scannedFiles, 7);
    EXPECT_EQ(final.errorCount, 2);
    const std::int64_t unreadEstimate =
        std::max<std::int64_t>(child(root, "unread")->allocatedSize, 4096);
    EXPECT_EQ(final.inaccessibleBytes, unreadEstimate);

    // A folder that cannot be listed keeps its own sizes; an item that cannot be read is empty.
    const auto unreadNode = child(root, "unread");
    EXPECT_FALSE(unreadNode->isAccessible);
    EXPECT_EQ(unreadNode->errorReason(), std::optional<std::string>("Permission Denied"));
    EXPECT_TRUE(unreadNode->children.empty());
    const auto brokenNode = child(root, "broken");
    EXPECT_EQ(brokenNode->size, 0);
    EXPECT_EQ(brokenNode->inode, 0u);
    EXPECT_FALSE(brokenNode->isDirectory());
}

TEST(AsyncDiskScannerTest, ProgressCountsAHardLinkOnceAndTheTreeTwice) {
    TempTree tree;
    tree.denseFile("links/one", 5000);
    ASSERT_EQ(::link((tree / "links/one").c_str(), (tree / "links/two").c_str()), 0);
    ScannerSeams seams = oneWorker();
    seams.reportInterval = std::chrono::nanoseconds(0);
    AsyncDiskScanner scanner({}, seams);
    Reports reports;
    const DiskNodePtr root = scanner.scan(tree.root(), 6, reports.callback());

    const auto links = child(root, "links");
    EXPECT_EQ(child(links, "one")->size, 5000);
    EXPECT_EQ(child(links, "two")->size, 5000);
    EXPECT_EQ(root->size, 10000);

    ASSERT_GE(reports.all.size(), 2u);
    const ScanProgress& walk = reports.all[reports.all.size() - 2];
    EXPECT_FALSE(walk.isComplete);
    EXPECT_EQ(walk.scannedFiles, 3);
    EXPECT_EQ(walk.scannedBytes, lstatOf(tree / "links").st_size + 5000);
    EXPECT_EQ(walk.currentPath, (tree / "links/two").native());
    ASSERT_FALSE(reports.all.empty());
    EXPECT_EQ(reports.all.back().scannedBytes, 10000);
    EXPECT_EQ(reports.all.back().scannedFiles, 3);
}

TEST(AsyncDiskScannerTest, ProgressCarriesTheWholeScanSoFarAndNeverFalls) {
    TempTree tree;
    for (const char* folder : {"a", "b", "c"}) {
        for (int i = 0; i < 3; ++i) {
            tree.denseFile(std::string(folder) + "/f" + std::to_string(i), 1000);
        }
    }
    // Walked one after another, each top-level folder reports as it goes.
    ScannerSeams seams = oneWorker();
    seams.reportInterval = std::chrono::nanoseconds(0);
    Reports reports;
    const DiskNodePtr root = AsyncDiskScanner({}, seams).scan(tree.root(), 6, reports.callback());
    ASSERT_EQ(root->children.size(), 3u);
    ASSERT_GE(reports.all.size(), 4u);
    // The final report, the summed tree's (folders' own entry sizes left out), may differ.
    for (std::size_t i = 1; i + 1 < reports.all.size(); ++i) {
        EXPECT_GE(reports.all[i].scannedFiles, reports.all[i - 1].scannedFiles) << i;
        EXPECT_GE(reports.all[i].scannedBytes, reports.all[i - 1].scannedBytes) << i;
    }
    // The last report of the walk of "c" counts all three folders and their nine files.
    const ScanProgress& lastWalk = reports.all[reports.all.size() - 2];
    EXPECT_FALSE(lastWalk.isComplete);
    EXPECT_EQ(lastWalk.scannedFiles, 12);
    EXPECT_GE(lastWalk.scannedBytes, 9000);
    EXPECT_EQ(reports.all.back().scannedFiles, 12);
    EXPECT_EQ(reports.all.back().scannedBytes, root->size);
}

TEST(AsyncDiskScannerTest, SkipsPrivacyFoldersWithoutCountingErrors) {
    TempTree tree;
    tree.file("Library/Mail/V10/message.emlx", "hello");
    tree.file("Library/Mail Downloads/attachment.pdf", "pdf");
    tree.file("Library/Preferences/settings.plist", "prefs");
    AsyncDiskScanner scanner;
    Reports reports;
    const DiskNodePtr root = scanner.scan(tree / "Library", 6, reports.callback());

    std::int64_t expectedEstimate = 0;
    for (const char* name : {"Mail", "Mail Downloads"}) {
        const auto node = child(root, name);
        ASSERT_TRUE(node) << name;
        EXPECT_FALSE(node->isAccessible);
        EXPECT_EQ(node->errorReason(),
                  std::optional<std::string>("Protected by System Security Policy"));
        EXPECT_TRUE(node->children.empty());
        expectedEstimate += std::max<std::int64_t>(node->allocatedSize, 4096);
    }
    const auto preferences = child(root, "Preferences");
    EXPECT_TRUE(preferences->isAccessible);
    EXPECT_EQ(preferences->children.size(), 1u);
    ASSERT_FALSE(reports.all.empty());
    EXPECT_EQ(reports.all.back().errorCount, 0);
    EXPECT_EQ(reports.all.back().inaccessibleBytes, expectedEstimate);

    // From further up, the test still reads the whole path, in any case, and names alone.
    tree.file("Library/Application Support/com.apple.TCC/TCC.db", "db");
    tree.file("Library/Application Support/Editor/state", "s");
    tree.file("Pictures/Photos Library.photoslibrary/database", "db");
    tree.file("Pictures/holiday.jpg", "jpg");
    // Names alone match in any case and anywhere in the name; without the dot they do not.
    tree.file("Pictures/Old.PhotosLibrary/db", "db");
    tree.file("Pictures/x.PHOTOBOOTHLIBRARY.bak/db", "db");
    tree.file("Pictures/photoslibrary-notes/db", "db");
    const DiskNodePtr home = scanner.scan(tree.root(), 6, {});
    const auto pictures = child(home, "Pictures");
    EXPECT_FALSE(child(pictures, "Old.PhotosLibrary")->isAccessible);
    EXPECT_FALSE(child(pictures, "x.PHOTOBOOTHLIBRARY.bak")->isAccessible);
    EXPECT_TRUE(child(pictures, "photoslibrary-notes")->isAccessible);
    const auto support = child(child(home, "Library"), "Application Support");
    EXPECT_FALSE(child(support, "com.apple.TCC")->isAccessible);
    EXPECT_TRUE(child(support, "Editor")->isAccessible);
    EXPECT_FALSE(child(child(home, "Library"), "Mail")->isAccessible);
    EXPECT_TRUE(child(home, "Library")->isAccessible);
    EXPECT_FALSE(child(child(home, "Pictures"), "Photos Library.photoslibrary")->isAccessible);
    EXPECT_TRUE(child(child(home, "Pictures"), "holiday.jpg")->isAccessible);
}

TEST(AsyncDiskScannerTest, MarksProtectedItemsAndStillWalksThem) {
    TempTree tree;
    tree.file("keep/inner/file.txt", "data");
    tree.file("free/file.txt", "data");
    const std::string keep = (tree / "keep").native();
    AsyncDiskScanner scanner([keep] { return ProtectedPrefixesSnapshot{{}, {keep}}; });
    const DiskNodePtr root = scanner.scan(tree.root(), 6, {});
    const auto keepNode = child(root, "keep");
    EXPECT_TRUE(keepNode->isProtected);
    EXPECT_EQ(keepNode->riskLevel, RiskLevel::high);
    const auto file = child(child(keepNode, "inner"), "file.txt");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->isProtected);
    EXPECT_EQ(file->riskLevel, RiskLevel::high);
    EXPECT_FALSE(child(root, "free")->isProtected);
    EXPECT_FALSE(child(child(root, "free"), "file.txt")->isProtected);

    // Entries deep below the root protect their own subtree only: not the folders above them,
    // not a sibling whose name merely begins alike, and an entry ending in "/" names nothing.
    tree.file("a/b/c/d/e.txt", "e");
    tree.file("a/b/cc/f.txt", "f");
    tree.file("a/g/h.txt", "h");
    const std::string deep = (tree / "a/b/c").native();
    const std::string slashed = (tree / "a/g").native() + "/";
    AsyncDiskScanner deeper([=] { return ProtectedPrefixesSnapshot{{slashed}, {deep}}; });
    const DiskNodePtr top = deeper.scan(tree.root(), 6, {});
    const auto b = child(child(top, "a"), "b");
    EXPECT_FALSE(child(top, "a")->isProtected);
    EXPECT_FALSE(b->isProtected);
    EXPECT_TRUE(child(b, "c")->isProtected);
    EXPECT_TRUE(child(child(child(b, "c"), "d"), "e.txt")->isProtected);
    EXPECT_FALSE(child(b, "cc")->isProtected);
    EXPECT_FALSE(child(child(b, "cc"), "f.txt")->isProtected);
    EXPECT_FALSE(child(child(top, "a"), "g")->isProtected);
    EXPECT_FALSE(child(child(child(top, "a"), "g"), "h.txt")->isProtected);
}

TEST(AsyncDiskScannerTest, PseudoFileSystemFoldersAreNeitherListedNorSized) {
    TempTree tree;
    tree.file("virt/huge", "", 1'000'000);
    tree.file("virt/deeper/more", "", 1'000'000);
    tree.file("real/file", "abc");
    ScannerSeams seams;
    const std::string virt = (tree / "virt").native();
    seams.pseudoFileSystem = [virt](const std::string& path) { return path == virt; };
    AsyncDiskScanner scanner({}, seams);
    Reports reports;
    for (int depth : {1, 6}) { // sized in one pass, or listed
        reports.all.clear();
        const DiskNodePtr root = scanner.scan(tree.root(), depth, reports.callback());
        const auto node = child(root, "virt");
        EXPECT_TRUE(node->children.empty());
        EXPECT_TRUE(node->isAccessible);
        EXPECT_EQ(node->size, lstatOf(tree / "virt").st_size);
        EXPECT_EQ(node->itemCount, 1);
        ASSERT_FALSE(reports.all.empty());
        EXPECT_EQ(reports.all.back().errorCount, 0);
        EXPECT_EQ(reports.all.back().inaccessibleBytes, 0);
    }

    // The real thing: /proc is recognised by its file-system type.
    if (::access("/proc/self", F_OK) == 0) {
        reports.all.clear();
        const DiskNodePtr proc = AsyncDiskScanner().scan("/proc", 6, reports.callback());
        EXPECT_TRUE(proc->children.empty());
        EXPECT_TRUE(reports.all.empty());
    }
}

TEST(AsyncDiskScannerTest, CancellationBeforeAnEntryReturnsThePartialTree) {
    TempTree tree;
    tree.file("only/f1", "1");
    tree.file("only/f2", "2");
    tree.file("only/f3", "3");
    AsyncDiskScanner* self = nullptr;
    ScannerSeams seams = oneWorker();
    const std::string trigger = (tree / "only/f1").native();
    seams.didVisit = [&](const std::string& path) {
        if (path == trigger) {
            self->cancel();
        }
    };
    AsyncDiskScanner scanner({}, seams);
    self = &scanner;
    Reports reports;
    const DiskNodePtr root = scanner.scan(tree.root(), 6, reports.callback());
    EXPECT_EQ(childNames(child(root, "only")), std::vector<std::string>{"f1"});
    ASSERT_FALSE(reports.all.empty());
    EXPECT_TRUE(reports.all.back().isComplete);
    EXPECT_EQ(reports.all.back().scannedBytes, 1);
    EXPECT_EQ(reports.all.back().scannedFiles, 2);
}

TEST(AsyncDiskScannerTest, CancellationAtAVisitThrowsAndTheNextScanRunsNormally) {
    TempTree tree;
    tree.file("a/f1", "1");
    tree.file("a/f2", "2");
    tree.file("b/f3", "3");
    AsyncDiskScanner* self = nullptr;
    bool armed = true;
    ScannerSeams seams = oneWorker();
    const std::string trigger = (tree / "a/f2").native();
    seams.willVisit = [&](const std::string& path) {
        if (armed && path == trigger) {
            armed = false;
            self->cancel();
        }
    };
    AsyncDiskScanner scanner({}, seams);
    self = &scanner;
    Reports reports;
    EXPECT_THROW(scanner.scan(tree.root(), 6, reports.callback()), ScanCancelled);
    EXPECT_TRUE(reports.all.empty());

    // A cancellation while no scan runs flags nothing; the next scan is whole.
    scanner.cancel();
    const DiskNodePtr root = scanner.scan(tree.root(), 6, reports.callback());
    EXPECT_EQ(childNames(child(root, "a")), (std::vector<std::string>{"f1", "f2"}));
    EXPECT_EQ(root->itemCount, 3);
    ASSERT_FALSE(reports.all.empty());
    EXPECT_TRUE(reports.all.back().isComplete);
}

TEST(AsyncDiskScannerTest, RepeatedScansGiveTheSameTree) {
    TempTree tree;
    for (int i = 0; i < 40; ++i) {
        const std::string folder = "f" + std::to_string(i % 7) + "/g" + std::to_string(i % 3);
        tree.file(folder + "/file" + std::to_string(i),
                  std::string(static_cast<std::size_t>(i), 'x'));
    }
    tree.file("f1/g1/pkg.bundle/inside", "abc");
    AsyncDiskScanner scanner;
    const auto first = describe(scanner.scan(tree.root(), 6, {}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(describe(scanner.scan(tree.root(), 6, {})), first);
    }
    EXPECT_EQ(describe(AsyncDiskScanner({}, oneWorker()).scan(tree.root(), 6, {})), first);
}

TEST(AsyncDiskScannerTest, RootsThatCannotBeListed) {
    TempTree tree;
    tree.file("plain.txt", "abc");
    Reports reports;
    AsyncDiskScanner scanner;
    const DiskNodePtr file = scanner.scan(tree / "plain.txt", 6, reports.callback());
    EXPECT_TRUE(file->isDirectory());
    EXPECT_TRUE(file->children.empty());
    EXPECT_EQ(file->size, 3);
    const DiskNodePtr missing = scanner.scan(tree / "missing", 6, reports.callback());
    EXPECT_EQ(missing->size, 0);
    EXPECT_TRUE(reports.all.empty());

    // A package chosen as the root is walked like any folder.
    tree.file("Root.app/Contents/bin", "x");
    const DiskNodePtr app = scanner.scan(tree / "Root.app", 6, {});
    EXPECT_FALSE(app->isPackage());
    EXPECT_EQ(child(child(app, "Contents"), "bin")->size, 1);
}

TEST(AsyncDiskScannerTest, ScansPathsLongerThanPathMax) {
    TempTree tree;
    const std::string segment(100, 'd');
    std::vector<int> fds{::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY)};
    const int levels = PATH_MAX / 100 + 10;
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fds.back(), segment.c_str(), 0755), 0);
        fds.push_back(::openat(fds.back(), segment.c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
    }
    const int fileFd = ::openat(fds.back(), "leaf", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(fileFd, "leaf!", 5), 5);
    ::close(fileFd);

    Reports reports;
    const DiskNodePtr root = AsyncDiskScanner().scan(tree.root(), 1000, reports.callback());
    DiskNodePtr node = root;
    while (!node->children.empty()) {
        node = node->children.front();
    }
    EXPECT_EQ(node->name(), "leaf");
    EXPECT_EQ(node->size, 5);
    EXPECT_GT(node->path().size(), static_cast<std::size_t>(PATH_MAX));
    EXPECT_EQ(root->size, 5);
    EXPECT_EQ(root->itemCount, 1); // folders with children do not count themselves
    ASSERT_FALSE(reports.all.empty());
    EXPECT_EQ(reports.all.back().scannedFiles, levels + 1);

    // std::filesystem cannot remove what lies beyond PATH_MAX; take it down fd-relative.
    ::unlinkat(fds.back(), "leaf", 0);
    for (int i = levels; i > 0; --i) {
        ::close(fds[static_cast<std::size_t>(i)]);
        ::unlinkat(fds[static_cast<std::size_t>(i - 1)], segment.c_str(), AT_REMOVEDIR);
    }
    ::close(fds.front());
}

TEST(AsyncDiskScannerTest, SumsSaturateInsteadOfOverflowing) {
    // Only tmpfs allows files this large. /dev/shm may be something else (a chroot with /dev
    // bound alone leaves it devtmpfs, which the scanner skips as a pseudo file system): skip
    // unless it is a writable tmpfs.
    TempTree tree;
    const std::filesystem::path base = "/dev/shm";
    char pattern[] = "/dev/shm/fernwick-XXXXXX";
    struct statfs facts {};
    if (::statfs(base.c_str(), &facts) != 0 || facts.f_type != TMPFS_MAGIC ||
        ::access(base.c_str(), W_OK) != 0 || ::mkdtemp(pattern) == nullptr) {
        GTEST_SKIP() << "no tmpfs at /dev/shm";
    }
    const std::filesystem::path folder = pattern;
    bool made = true;
    for (const char* name : {"a", "b"}) {
        const int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT, 0644);
        made = made && fd >= 0 && ::ftruncate(fd, INT64_MAX) == 0;
        ::close(fd);
    }
    DiskNodePtr root;
    Reports reports;
    if (made) {
        root = AsyncDiskScanner().scan(folder, 6, reports.callback());
    }
    std::filesystem::remove_all(folder);
    if (!made) {
        GTEST_SKIP() << "tmpfs refused a file of INT64_MAX bytes";
    }
    ASSERT_TRUE(root);
    EXPECT_EQ(root->size, INT64_MAX);
    ASSERT_FALSE(reports.all.empty());
    EXPECT_EQ(reports.all.back().scannedBytes, INT64_MAX);
}

/// A bind mount for the life of the object; `error` is non-zero when the system refused it.
struct BindMount {
    BindMount(const std::filesystem::path& source, const std::filesystem::path& target)
        : path(target) {
        error = ::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0 ? 0 : errno;
    }
    ~BindMount() {
        if (error == 0) {
            ::umount2(path.c_str(), MNT_DETACH);
        }
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    std::filesystem::path path;
    int error = 0;
};

TEST(AsyncDiskScannerTest, AFolderReachedTwiceCountsOnce) {
    TempTree tree;
    tree.denseFile("listed/data/a", 10000);
    tree.denseFile("listed/data/deep/b", 3000);
    tree.folder("listed/view");
    tree.denseFile("sized/data/c", 7000);
    tree.folder("sized/other/view");
    // Depth 6 lists "listed" and its folders; depth 1 sizes "sized" in one pass.
    const auto scanBoth = [&] {
        AsyncDiskScanner scanner({}, oneWorker());
        return std::pair{scanner.scan(tree / "listed", 6, {}), scanner.scan(tree / "sized", 1, {})};
    };
    const auto [listedAlone, sizedAlone] = scanBoth();

    const BindMount listed(tree / "listed/data", tree / "listed/view");
    if (listed.error != 0) {
        GTEST_SKIP() << "mount refused a bind mount (" << std::strerror(listed.error)
                     << "); this case needs root";
    }
    const BindMount sized(tree / "sized/data", tree / "sized/other/view");
    ASSERT_EQ(sized.error, 0);
    const auto [listedTwice, sizedTwice] = scanBoth();

    // One worker walks in name order: "data" first, then "view" is the same folder again. It
    // keeps its own entry size and adds nothing more.
    const auto view = child(listedTwice, "view");
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->children.empty());
    EXPECT_EQ(view->size, lstatOf(tree / "listed/view").st_size);
    EXPECT_EQ(listedTwice->size, listedAlone->size - child(listedAlone, "view")->size + view->size);
    EXPECT_EQ(listedTwice->itemCount, listedAlone->itemCount);
    EXPECT_EQ(child(child(listedTwice, "data"), "deep")->size,
              child(child(listedAlone, "data"), "deep")->size);
    // Sized in one pass, folders carry no size of their own: the second visit adds nothing.
    EXPECT_EQ(sizedTwice->size, sizedAlone->size);
    EXPECT_EQ(sizedTwice->allocatedSize, sizedAlone->allocatedSize);
}

// A folder of many entries is shared out among the workers in runs: the tree is the one a
// single worker builds, with every item in name order, and a cancellation in the middle leaves
// no empty place among the children gathered.
TEST(AsyncDiskScannerTest, ALargeFolderSharedOutBuildsTheSameTree) {
    TempTree tree;
    constexpr int kEntries = 1500;
    for (int i = 0; i < kEntries; ++i) {
        const std::string name = "big/e" + std::to_string(i);
        tree.file(i % 50 == 0 ? name + "/inner" : name,
                  std::string(static_cast<std::size_t>(i % 7), 'x'));
    }
    ScannerSeams four;
    four.workerCount = 4;
    Reports reports;
    const DiskNodePtr shared = AsyncDiskScanner({}, four).scan(tree.root(), 6, reports.callback());
    const DiskNodePtr alone = AsyncDiskScanner({}, oneWorker()).scan(tree.root(), 6, {});
    EXPECT_EQ(describe(shared), describe(alone));
    const auto names = childNames(child(shared, "big"));
    ASSERT_EQ(names.size(), static_cast<std::size_t>(kEntries));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(shared->itemCount, kEntries); // a folder with children counts them only
    EXPECT_EQ(reports.all.back().scannedFiles, kEntries + kEntries / 50 + 1);

    // A visit that saw the cancellation first ends the scan with nothing to check.
    if (const DiskNodePtr partial = scanCancelledAfter(four, tree, 700)) {
        const auto big = child(partial, "big");
        ASSERT_TRUE(big);
        EXPECT_LT(big->children.size(), static_cast<std::size_t>(kEntries));
        EXPECT_TRUE(std::none_of(big->children.begin(), big->children.end(),
                                 [](const DiskNodePtr& node) { return node == nullptr; }));
        EXPECT_TRUE(std::is_sorted(
            big->children.begin(), big->children.end(),
            [](const DiskNodePtr& a, const DiskNodePtr& b) { return a->name() < b->name(); }));
    }
}

// The workers sum each folder once its listing and every task below it are done; a pass over the
// whole tree afterwards must find nothing to change, with runs, sized and unlisted folders.
TEST(AsyncDiskScannerTest, TheWorkersSumEveryFolderAsAPassOverTheTreeWould) {
    TempTree tree;
    for (int i = 0; i < 600; ++i) {
        const std::string name = "big/e" + std::to_string(i);
        tree.file(i % 100 == 0 ? name + "/inner" : name,
                  std::string(static_cast<std::size_t>(i % 5), 'x'));
    }
    tree.file("deep/a/b/c/file", "12345");
    tree.file("blocked/hidden", "123");
    tree.folder("empty");
    tree.file("top.txt", "1234567");
    ScannerSeams seams;
    seams.workerCount = 4;
    const std::string blocked = (tree / "blocked").native();
    seams.listingError = [blocked](const std::string& path) {
        return path == blocked ? EACCES : 0;
    };
    for (int depth : {2, 6}) {
        DiskNode::Fields fields;
        fields.url = tree.root();
        fields.isDirectory = true;
        const DiskNodePtr root = DiskNode::make(std::move(fields));
        detail::ScanWalk walk(depth, {}, seams, {}, {});
        detail::ScanWalk::Totals totals;
        ASSERT_TRUE(walk.run(*root, tree.root().native(), totals));
        EXPECT_TRUE(totals.summed);
        const auto summed = describe(root);
        root->recalculateTotalSize();
        EXPECT_EQ(describe(root), summed) << depth;
        EXPECT_EQ(child(root, "big")->itemCount, 600);
        if (depth == 6) { // at depth 2 the folders below are sized, at least at their own size
            EXPECT_EQ(child(root, "big")->size, 120 * (0 + 1 + 2 + 3 + 4));
            EXPECT_EQ(child(root, "deep")->size, 5);
        }
    }

    // A scan stopped part way sums what it built, however far each folder got.
    if (const DiskNodePtr partial = scanCancelledAfter(seams, tree, 250)) {
        const auto summed = describe(partial);
        partial->recalculateTotalSize();
        EXPECT_EQ(describe(partial), summed);
    }
}

TEST(AsyncDiskScannerTest, ARootOfManyFilesReportsAtTheUsualCadence) {
    TempTree tree;
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i) {
        tree.file("f" + std::to_string(i), "x");
    }
    ScannerSeams seams = oneWorker();
    seams.reportInterval = std::chrono::milliseconds(2);
    // At least 60 ms of walking: some thirty intervals.
    seams.willVisit = [](const std::string&) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    };
    Reports reports;
    const DiskNodePtr root = AsyncDiskScanner({}, seams).scan(tree.root(), 6, reports.callback());
    ASSERT_EQ(root->children.size(), static_cast<std::size_t>(kFiles));
    ASSERT_GE(reports.all.size(), 6u);
    // The files of the root share their totals: the counts grow from report to report.
    for (std::size_t i = 1; i + 1 < reports.all.size(); ++i) {
        EXPECT_GT(reports.all[i].scannedFiles, reports.all[i - 1].scannedFiles);
    }
    EXPECT_GT(reports.all[reports.all.size() - 2].scannedFiles, kFiles / 2);
    EXPECT_EQ(reports.all.back().scannedFiles, kFiles);
}

} // namespace
} // namespace fernwick
