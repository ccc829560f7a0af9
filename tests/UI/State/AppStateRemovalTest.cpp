// The five operations that move things to the Trash, driven through AppState with the real
// scanner and engines over files in a temporary home.

#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickCore/Engines/DeveloperStorageEngine.h"
#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Model/TreeWalk.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/Support/BindMount.h"
#include "tests/UI/State/AppStateHarness.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using fernwick::test::Harness;
using fernwick::test::runToCompletion;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kCopySize = 60000; // above the duplicate search's 51,200-byte minimum
constexpr std::int64_t kModulesSize = 60LL * 1024 * 1024;
// The refusal of a file written to since it was listed.
constexpr const char* kChanged = "Changed since the scan — scan again.";

// The harness with the real disk scanner, cleanup engine, duplicate finder and uninstaller.
struct Real {
    Harness h;
    std::shared_ptr<CleanupEngine> cleanup =
        std::make_shared<CleanupEngine>(h.safety, h.trash, h.clock);
    std::shared_ptr<DuplicateFinderEngine> finder = std::make_shared<DuplicateFinderEngine>();
    std::shared_ptr<AppUninstallerEngine> uninstaller = std::make_shared<AppUninstallerEngine>(
        h.env, h.safety, h.trash, RunningPrograms(h.tree / "no-proc"), h.tree / "no-system-apps");
    std::vector<DeveloperStorageItem> developerItems;

    Real() {
        auto safety = h.safety;
        h.services.makeScanner = [safety] {
            return makeDiskScanner([safety] { return safety->getProtectedPrefixesSnapshot(); });
        };
        h.services.generateSmartCleanupPlan = [c = cleanup](const DiskNodePtr& root) {
            return c->generateSmartCleanupPlan(root);
        };
        h.services.executeCleanup = [c = cleanup](const CleanupPlan& plan, bool dry,
                                                  const CheckedTrashMover& mover) {
            return c->executeCleanup(plan, dry, mover);
        };
        h.services.getAuditHistory = [c = cleanup] { return c->getAuditHistory(); };
        h.services.findDuplicates = [f = finder](const DiskNodePtr& root, std::int64_t min,
                                                 DuplicateResolutionRule rule) {
            return f->findDuplicates(root, min, rule);
        };
        h.services.scanInstalledApplications = [u = uninstaller] {
            return u->scanInstalledApplications();
        };
        h.services.uninstallApp = [u = uninstaller](const InstalledApp& app, bool related,
                                                    const CheckedTrashMover& mover) {
            u->uninstallApp(app, related, mover);
        };
        h.services.scanDeveloperStorage = [this] {
            std::vector<DeveloperStorageItem> left;
            for (const auto& item : developerItems) {
                if (fs::exists(fs::symlink_status(item.path))) {
                    left.push_back(item);
                }
            }
            return left;
        };
    }

    // A state over a completed scan of the home folder.
    std::unique_ptr<AppState> scanned() {
        auto state = h.make();
        state->startScan();
        h.settle();
        return state;
    }

    fs::path trashFiles() const { return h.env.dataHome / "Trash/files"; }
};

// A file of `size` bytes of `fill` at `path`.
void writeFile(const fs::path& path, std::int64_t size, char fill) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(static_cast<std::size_t>(size), fill);
}

// Replaces `path` by a new file (a new inode) of the same size and other bytes.
void replaceWithOtherContent(const fs::path& path, std::int64_t size) {
    const fs::path fresh = path.string() + ".new";
    writeFile(fresh, size, 'z');
    fs::rename(fresh, path);
}

DiskNodePtr nodeAt(const AppState& state, const fs::path& path) {
    return state.scanTree().find(path.native());
}

// Every folder's size is the sum of its children's, all the way down.
bool sizesAreSums(const DiskNodePtr& root, std::string& where) {
    bool ok = true;
    forEachInPreOrder(root, [&](const DiskNodePtr& node) {
        if (!node->isDirectory()) {
            return;
        }
        std::int64_t sum = 0;
        for (const auto& child : node->children) {
            sum += child->size;
        }
        if (ok && sum != node->size) {
            ok = false;
            where = node->url().string() + " " + std::to_string(node->size) +
                    " != " + std::to_string(sum);
        }
    });
    return ok;
}

// The entries of the home trash's files/ folder, and those without an info file.
std::pair<std::int64_t, std::vector<std::string>> trashEntries(const Real& r) {
    std::int64_t count = 0;
    std::vector<std::string> orphans;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(r.trashFiles(), error)) {
        ++count;
        const auto info =
            r.h.env.dataHome / "Trash/info" / (entry.path().filename().string() + ".trashinfo");
        if (!fs::exists(info)) {
            orphans.push_back(entry.path().filename().string());
        }
    }
    return {count, orphans};
}

// Ticks every copy but the original of every group.
void tickEveryCopy(AppState& state) {
    for (const auto& cluster : state.duplicateClusters()) {
        for (const auto& item : cluster.items) {
            state.setDuplicateSelected(cluster.id, item.id, !item.isOriginal);
        }
    }
}

// An AppImage in ~/Applications and its launcher, which names it in the main group's Exec.
fs::path installAppImage(Real& r, const std::string& name) {
    const fs::path image = r.h.tree.denseFile("Applications/" + name + "-1.0-x86_64.AppImage", 900);
    ::chmod(image.c_str(), 0755);
    r.h.tree.file(".local/share/applications/" + name + ".desktop",
                  "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=\"" + image.string() +
                      "\" %U\n");
    return image;
}

// Rewrites `path` in place (same inode, same length) with `fill`, then dates it `seconds`.
void rewriteInPlace(const fs::path& path, char fill, std::int64_t seconds) {
    const auto size = static_cast<std::size_t>(fs::file_size(path));
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << std::string(size, fill);
    test::TempTree::setModificationTime(path, seconds);
}

std::uint64_t inodeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino) : 0;
}

// What a volume holds, made in one order: a photo, a cache folder the cleanup offers, and two
// copies of one file.
void fillCard(const fs::path& card, char fill) {
    writeFile(card / "photo.jpg", kCopySize, static_cast<char>(fill + 1));
    writeFile(card / "code/node_modules/big.js", kModulesSize, fill);
    writeFile(card / "dups/original.bin", kCopySize, fill);
    writeFile(card / "dups/copy.bin", kCopySize, fill);
    test::TempTree::setModificationTime(card / "dups/original.bin", 1'000'000);
}

// The alert's message and title, or "(none)" when there is no alert.
std::string alertMessage(const AppState& state) {
    return state.userAlert() ? state.userAlert()->message : "(none)";
}
std::string alertTitle(const AppState& state) {
    return state.userAlert() ? state.userAlert()->title : "(none)";
}

// Groups of copies in dups/<group>/ (an original dated long ago and `copies`, each group its own
// bytes), scanned and searched, every copy ticked.
std::unique_ptr<AppState> scannedGroups(Real& r, const std::vector<std::string>& groups,
                                        const std::vector<std::string>& copies) {
    for (const auto& group : groups) {
        writeFile(r.h.tree / "dups" / group / "original.bin", kCopySize, group[0]);
        for (const auto& copy : copies) {
            writeFile(r.h.tree / "dups" / group / copy, kCopySize, group[0]);
        }
        test::TempTree::setModificationTime(r.h.tree / "dups" / group / "original.bin", 1'000'000);
    }
    auto state = r.scanned();
    (void)runToCompletion([&](auto done) { state->scanDuplicates(done); });
    tickEveryCopy(*state);
    return state;
}

// Ticks every cleanup candidate.
void tickEveryCandidate(AppState& state) {
    for (const auto& candidate : state.cleanupPlan().candidates) {
        state.setCandidateSelected(candidate.id, true);
    }
}

} // namespace

class AppStateRemovalTest : public QObject {
    Q_OBJECT

private slots:
    // A cleaned duplicate leaves the map at once: its folder and every ancestor lose its size.
    void aCleanedDuplicateLeavesTheMap() {
        Real r;
        writeFile(r.h.tree / "Downloads/movie.mp4", kCopySize, 'a');
        writeFile(r.h.tree / "Downloads/copy/movie.mp4", kCopySize, 'a');
        test::TempTree::setModificationTime(r.h.tree / "Downloads/movie.mp4", 1'000'000);
        auto state = r.scanned();
        const std::int64_t before = nodeAt(*state, r.h.tree / "Downloads")->size;
        QVERIFY(runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        QCOMPARE(state->duplicateClusters().size(), std::size_t{1});
        tickEveryCopy(*state);
        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));
        r.h.settle();
        QVERIFY(fs::exists(r.h.tree / "Downloads/movie.mp4"));
        QCOMPARE(nodeAt(*state, r.h.tree / "Downloads")->size, before - kCopySize);
        QCOMPARE(nodeAt(*state, r.h.tree / "Downloads/copy/movie.mp4")->size, std::int64_t{0});
        std::string where;
        QVERIFY2(sizesAreSums(state->rootNode(), where), where.c_str());
        QCOMPARE(state->trashItemCount(), std::int64_t{1});
        QVERIFY(!state->userAlert().has_value());
    }

    // After an uninstall the Trash count is the Trash's, and the inspector lets go of the app.
    void anUninstallRecountsTheTrashAndForgetsTheApp() {
        Real r;
        installAppImage(r, "Tool");
        r.h.tree.denseFile(".config/Tool/settings.ini", 10);
        auto state = r.scanned();
        QVERIFY(runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        QCOMPARE(state->installedApps().size(), std::size_t{1});
        QVERIFY(state->selectedAppForInspection().has_value());
        InstalledApp tool = state->installedApps().front();
        for (auto& item : tool.relatedItems) {
            item.isSelected = true;
        }
        QVERIFY(runToCompletion([&](auto done) { state->uninstallApp(tool, done); }));
        r.h.settle();
        // The AppImage, its launcher and its settings folder.
        QCOMPARE(trashEntries(r).first, std::int64_t{3});
        QCOMPARE(state->trashItemCount(), std::int64_t{3});
        QVERIFY(!state->selectedAppForInspection().has_value());
        QVERIFY(state->installedApps().empty());
        QCOMPARE(nodeAt(*state, r.h.tree / "Applications")->size, std::int64_t{0});
        QVERIFY(!state->userAlert().has_value());
    }

    // A group whose copy that stays has changed moves nothing, and a copy that changed itself is
    // refused: (a) a ticked copy with new content, (d) the original now a link to its copy, (h)
    // the original deleted.
    void aDuplicateGroupThatChangedMovesNothing() {
        Real r;
        auto state = scannedGroups(r, {"a", "d", "h"}, {"copy.bin"});
        QCOMPARE(state->duplicateClusters().size(), std::size_t{3});

        replaceWithOtherContent(r.h.tree / "dups/a/copy.bin", kCopySize);
        fs::remove(r.h.tree / "dups/d/original.bin");
        fs::create_symlink(r.h.tree / "dups/d/copy.bin", r.h.tree / "dups/d/original.bin");
        fs::remove(r.h.tree / "dups/h/original.bin");
        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));

        for (const char* group : {"a", "d", "h"}) {
            QVERIFY2(fs::exists(r.h.tree / "dups" / group / "copy.bin"), group);
        }
        QCOMPARE(trashEntries(r).first, std::int64_t{0});
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("Duplicate Finder skipped some copies"));
        const auto shown = fernwick::test::splitLines(state->userAlert()->message);
        QCOMPARE(shown.size(), std::size_t{3});
        QCOMPARE(shown[0], "copy.bin: " + std::string(Trash::kIdentityMismatchReason));
        for (const char* group : {"d", "h"}) {
            const auto expected = "copy.bin: Not moved: the copy that stays changed since the "
                                  "search (" +
                                  (r.h.tree / "dups" / group / "original.bin").string() + ")";
            QVERIFY(std::find(shown.begin(), shown.end(), expected) != shown.end());
        }
    }

    // A ~/.local/share scan with a node_modules already in the Trash offers nothing inside the
    // Trash, and the Trash's own folders are refused with a reason that says so.
    void theTrashIsNeverOfferedNorMoved() {
        Real r;
        r.h.tree.file(".local/share/Trash/files/node_modules/big.js", "x", kModulesSize);
        r.h.tree.file(".local/share/Trash/info/node_modules.trashinfo",
                      "[Trash Info]\nPath=/p/node_modules\n");
        r.h.tree.file(".local/share/project/node_modules/big.js", "x", kModulesSize);
        auto state = r.h.make();
        state->startScan(r.h.env.dataHome);
        r.h.settle();
        const auto& candidates = state->cleanupPlan().candidates;
        QCOMPARE(candidates.size(), std::size_t{1});
        QCOMPARE(candidates[0].url, r.h.env.dataHome / "project/node_modules");

        const auto info = nodeAt(*state, r.h.env.dataHome / "Trash/info");
        QVERIFY(info != nullptr);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(info, done); }));
        QVERIFY(fs::exists(r.h.env.dataHome / "Trash/info/node_modules.trashinfo"));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't move info to Trash"));
        QCOMPARE(state->userAlert()->message, std::string(SafetyEngine::kTrashFolderReason));
        const auto inside = nodeAt(*state, r.h.env.dataHome / "Trash/files/node_modules");
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(inside, done); }));
        QCOMPARE(state->userAlert()->message, std::string(SafetyEngine::kInTrashReason));
        QVERIFY(trashEntries(r).second.empty());
    }

    // A launcher replaced after the listing stays, and the uninstall says so.
    void aLauncherReplacedAfterTheListingStays() {
        Real r;
        installAppImage(r, "Tool");
        auto state = r.scanned();
        QVERIFY(runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        const InstalledApp tool = state->installedApps().front();
        const fs::path launcher = r.h.env.dataHome / "applications/Tool.desktop";
        const std::string other = "[Desktop Entry]\nType=Application\nExec=/usr/bin/other\n";
        r.h.tree.file(".local/share/applications/Other.desktop.new", other);
        fs::rename(r.h.env.dataHome / "applications/Other.desktop.new", launcher);

        QVERIFY(runToCompletion([&](auto done) { state->uninstallApp(tool, done); }));
        QVERIFY(!fs::exists(tool.bundleURL));
        QCOMPARE(*readWholeFile(launcher), other);
        QCOMPARE(state->userAlert()->title, std::string("Some leftovers of Tool were skipped"));
        QCOMPARE(state->userAlert()->message,
                 "Desktop Launcher: " + std::string(Trash::kIdentityMismatchReason));
    }

    // A volume scanned, taken away and replaced at its mount point by another whose items have
    // the same names, made in the same order (same device and inode numbers): nothing of the
    // new volume is moved by a single move, a cleanup or a duplicates clean.
    void aVolumeReplacedAtItsMountPointLosesNothing() {
        Real r;
        const fs::path card = r.h.tree.folder("card");
        auto first = std::make_unique<test::TmpfsMount>(card);
        if (!first->mounted()) {
            QSKIP("Cannot mount a tmpfs here (needs root and mount(2)); the replaced volume is "
                  "not tried");
        }
        fillCard(card, 'a');
        const std::uint64_t photoInode = inodeOf(card / "photo.jpg");
        auto state = r.h.make();
        state->startScan(card);
        r.h.settle();
        QVERIFY(runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        QCOMPARE(state->duplicateClusters().size(), std::size_t{1});
        tickEveryCopy(*state);
        tickEveryCandidate(*state);
        QCOMPARE(state->cleanupPlan().candidates.size(), std::size_t{1});

        first->unmount();
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the card is swapped
        const test::TmpfsMount second(card);
        QVERIFY(second.mounted());
        fillCard(card, 'b');
        if (inodeOf(card / "photo.jpg") != photoInode) {
            QSKIP("This kernel numbers tmpfs inodes across mounts; no equal numbers to try");
        }

        QVERIFY(runToCompletion(
            [&](auto done) { state->trashNode(nodeAt(*state, card / "photo.jpg"), done); }));
        QCOMPARE(alertMessage(*state), std::string(Trash::kIdentityMismatchReason));
        QVERIFY(runToCompletion([&](auto done) { state->runCleanup(false, done); }));
        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));
        for (const char* item : {"photo.jpg", "code/node_modules/big.js", "dups/copy.bin"}) {
            QVERIFY2(fs::exists(card / item), item);
        }
        QVERIFY(!fs::exists(card / ".Trash-0/files"));
        // The kept copy was made with its old date again; born after the search, it still tells.
        QCOMPARE(alertMessage(*state),
                 "copy.bin: Not moved: the copy that stays changed since the search (" +
                     (card / "dups/original.bin").string() + ")");
    }

    // The same without a mount: files with the numbers the scan or the listing recorded but
    // another modification time (rewritten in place, or another file given the same numbers)
    // are refused as changed by a single move and an uninstall; a folder whose time changed is
    // still the folder scanned, and the cleanup takes it.
    void itemsWithTheRecordedNumbersButAnotherTimeAreRefused() {
        Real r;
        writeFile(r.h.tree / "notes/report.txt", 500, 'r');
        writeFile(r.h.tree / "shelf/old.txt", 500, 'o');
        r.h.tree.file("code/app/node_modules/big.js", "app", kModulesSize);
        const fs::path image = installAppImage(r, "Tool");
        auto state = r.scanned();
        QVERIFY(runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        tickEveryCandidate(*state);

        rewriteInPlace(r.h.tree / "notes/report.txt", 's', 2'000'000);
        test::TempTree::setModificationTime(r.h.tree / "code/app/node_modules", 2'000'000);
        test::TempTree::setModificationTime(image, 2'000'000);

        QVERIFY(runToCompletion([&](auto done) {
            state->trashNode(nodeAt(*state, r.h.tree / "notes/report.txt"), done);
        }));
        QCOMPARE(alertMessage(*state), std::string(kChanged));
        QVERIFY(runToCompletion([&](auto done) { state->runCleanup(false, done); }));
        QCOMPARE(state->lastCleanupResult()->reclaimedBytes, kModulesSize);
        QVERIFY(runToCompletion(
            [&](auto done) { state->uninstallApp(state->installedApps().front(), done); }));
        QCOMPARE(alertTitle(*state), std::string("Couldn't uninstall Tool"));
        QVERIFY(alertMessage(*state).ends_with(kChanged));
        QVERIFY(!fs::exists(r.h.tree / "code/app/node_modules"));
        QVERIFY(fs::exists(image));
        QCOMPARE(trashEntries(r).first, std::int64_t{1});

        for (const char* item : {"shelf/old.txt", "shelf"}) {
            QVERIFY(runToCompletion(
                [&](auto done) { state->trashNode(nodeAt(*state, r.h.tree / item), done); }));
            QVERIFY2(!fs::exists(r.h.tree / item), alertMessage(*state).c_str());
        }
    }

    // A folder is a container: one its program wrote into or took from after the scan or the
    // listing is the folder the user saw, and the single move, the cleanup and the developer
    // clean move it with what it holds now.
    void aBusyFolderWrittenIntoAfterTheListingStillGoes() {
        Real r;
        writeFile(r.h.tree / "busy/old.txt", 100, 'b');
        writeFile(r.h.tree / "busy/leaving.txt", 100, 'l');
        r.h.tree.file("code/app/node_modules/big.js", "app", kModulesSize);
        r.h.tree.denseFile(".cache/pip/wheels/blob", 51LL * 1024 * 1024);
        for (const char* folder : {"busy", "code/app/node_modules", ".cache/pip"}) {
            test::TempTree::setModificationTime(r.h.tree / folder, 1'000'000);
        }
        const auto listed = DeveloperStorageEngine(r.h.env).scanDeveloperStorage();
        QCOMPARE(listed.size(), std::size_t{1});
        auto state = r.scanned();
        tickEveryCandidate(*state);
        QCOMPARE(state->cleanupPlan().candidates.size(), std::size_t{1});

        writeFile(r.h.tree / "busy/new.txt", 10, 'n');
        fs::remove(r.h.tree / "busy/leaving.txt");
        writeFile(r.h.tree / "code/app/node_modules/fresh.js", 10, 'c');
        writeFile(r.h.tree / ".cache/pip/http/entry", 10, 'p');

        QVERIFY(runToCompletion(
            [&](auto done) { state->trashNode(nodeAt(*state, r.h.tree / "busy"), done); }));
        QVERIFY2(!fs::exists(r.h.tree / "busy"), alertMessage(*state).c_str());
        QVERIFY(fs::exists(r.trashFiles() / "busy/new.txt"));
        QVERIFY(runToCompletion([&](auto done) { state->runCleanup(false, done); }));
        QVERIFY2(!fs::exists(r.h.tree / "code/app/node_modules"), alertMessage(*state).c_str());
        QVERIFY(runToCompletion([&](auto done) { state->cleanDeveloperItems(listed, done); }));
        QVERIFY2(!fs::exists(r.h.tree / ".cache/pip"), alertMessage(*state).c_str());
        QCOMPARE(trashEntries(r).first, std::int64_t{3});
    }

    // A folder born after its listing began is another folder at that place, whatever its
    // numbers and times: one swapped in while the old one was renamed away, and one on a volume
    // mounted anew with the old numbers and given the old time, are refused as replaced.
    void aFolderBornAfterItsListingIsRefused() {
        Real r;
        writeFile(r.h.tree / "shelf/book.txt", 100, 's');
        auto state = r.scanned();
        fs::rename(r.h.tree / "shelf", r.h.tree / "shelf-away");
        writeFile(r.h.tree / "shelf/other.txt", 100, 'o');
        QVERIFY(runToCompletion(
            [&](auto done) { state->trashNode(nodeAt(*state, r.h.tree / "shelf"), done); }));
        QVERIFY(fs::exists(r.h.tree / "shelf/other.txt"));
        QCOMPARE(alertMessage(*state), std::string(Trash::kIdentityMismatchReason));

        const fs::path card = r.h.tree.folder("card");
        auto first = std::make_unique<test::TmpfsMount>(card);
        if (!first->mounted()) {
            QSKIP("Cannot mount a tmpfs here (needs root and mount(2)); the remounted folder is "
                  "not tried");
        }
        writeFile(card / "album/a.jpg", 100, 'a');
        struct stat listed {};
        QCOMPARE(::lstat((card / "album").c_str(), &listed), 0);
        auto cardState = r.h.make();
        cardState->startScan(card);
        r.h.settle();
        first->unmount();
        const test::TmpfsMount second(card);
        QVERIFY(second.mounted());
        writeFile(card / "album/a.jpg", 100, 'b');
        const timespec times[2] = {listed.st_mtim, listed.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, (card / "album").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        if (inodeOf(card / "album") != listed.st_ino) {
            QSKIP("This kernel numbers tmpfs inodes across mounts; no equal numbers to try");
        }
        QVERIFY(runToCompletion(
            [&](auto done) { cardState->trashNode(nodeAt(*cardState, card / "album"), done); }));
        QVERIFY(fs::exists(card / "album/a.jpg"));
        QCOMPARE(alertMessage(*cardState), std::string(Trash::kIdentityMismatchReason));
    }

    // A file is its contents: one rewritten in place and given its old time again is refused
    // by the single move as changed, not replaced, and a kept original so rewritten holds its
    // whole group back while a group beside it is cleaned.
    void aFileRewrittenWithItsTimeSetBackIsRefused() {
        Real r;
        writeFile(r.h.tree / "notes/report.txt", 500, 'r');
        test::TempTree::setModificationTime(r.h.tree / "notes/report.txt", 1'000'000);
        auto state = scannedGroups(r, {"kept", "unchanged"}, {"copy.bin"});
        QCOMPARE(state->duplicateClusters().size(), std::size_t{2});
        rewriteInPlace(r.h.tree / "notes/report.txt", 's', 1'000'000);
        rewriteInPlace(r.h.tree / "dups/kept/original.bin", 'e', 1'000'000);

        QVERIFY(runToCompletion([&](auto done) {
            state->trashNode(nodeAt(*state, r.h.tree / "notes/report.txt"), done);
        }));
        QVERIFY(fs::exists(r.h.tree / "notes/report.txt"));
        QCOMPARE(alertMessage(*state), std::string(kChanged));
        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));
        QVERIFY(fs::exists(r.h.tree / "dups/kept/copy.bin"));
        QVERIFY(!fs::exists(r.h.tree / "dups/unchanged/copy.bin"));
        QCOMPARE(trashEntries(r).first, std::int64_t{1});
    }

    // What Undo moved back keeps its identity: the file and the folder restored can be moved
    // to the Trash again without a new scan, though moving changed their change times.
    void anItemRestoredByUndoCanBeMovedAgain() {
        Real r;
        writeFile(r.h.tree / "notes/a.txt", 100, 'a');
        writeFile(r.h.tree / "shelf/b.txt", 100, 'b');
        auto state = r.scanned();
        for (const char* item : {"notes/a.txt", "shelf"}) {
            for (int round = 0; round < 2; ++round) {
                QVERIFY(runToCompletion(
                    [&](auto done) { state->trashNode(nodeAt(*state, r.h.tree / item), done); }));
                QVERIFY2(!fs::exists(r.h.tree / item), alertMessage(*state).c_str());
                if (round == 0) {
                    QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
                    QVERIFY2(fs::exists(r.h.tree / item), alertMessage(*state).c_str());
                }
            }
        }
        QCOMPARE(trashEntries(r).first, std::int64_t{2});
    }

    // A copy rewritten in place at its length, and a kept original so rewritten, keep their
    // whole group in place; a group beside them that did not change is cleaned.
    void aCopyEditedInPlaceAtItsLengthKeepsItsGroup() {
        Real r;
        auto state = scannedGroups(r, {"copyEdited", "originalEdited", "unchanged"},
                                   {"copy.bin", "copy2.bin"});
        QCOMPARE(state->duplicateClusters().size(), std::size_t{3});
        rewriteInPlace(r.h.tree / "dups/copyEdited/copy.bin", 'e', 2'000'000);
        rewriteInPlace(r.h.tree / "dups/originalEdited/original.bin", 'e', 1'000'001);

        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));
        for (const char* group : {"copyEdited", "originalEdited"}) {
            for (const char* copy : {"copy.bin", "copy2.bin"}) {
                QVERIFY2(fs::exists(r.h.tree / "dups" / group / copy), group);
            }
        }
        QCOMPARE(trashEntries(r).first, std::int64_t{2});
        QCOMPARE(fernwick::test::splitLines(alertMessage(*state)).size(), std::size_t{4});
    }

    // A developer place is held to what the listing measured: a folder swapped in after it, and
    // the place reached through a link after ~/.cache became one, stay where they are.
    void aDeveloperPlaceSwappedOrLinkedAfterTheListingStays() {
        Real r;
        r.h.tree.denseFile(".cache/pip/wheels/blob", 51LL * 1024 * 1024);
        const DeveloperStorageEngine engine(r.h.env);
        const auto listed = engine.scanDeveloperStorage();
        QCOMPARE(listed.size(), std::size_t{1});
        auto state = r.scanned();

        fs::rename(r.h.tree / ".cache/pip", r.h.tree / ".cache/pip-listed");
        r.h.tree.file(".cache/pip/swapped-in", "new");
        QVERIFY(runToCompletion([&](auto done) { state->cleanDeveloperItems(listed, done); }));
        QVERIFY(fs::exists(r.h.tree / ".cache/pip/swapped-in"));
        QCOMPARE(alertMessage(*state),
                 listed[0].name + ": " + std::string(Trash::kIdentityMismatchReason));

        fs::rename(r.h.tree / ".cache", r.h.tree / "cache-aside");
        r.h.tree.file("work/pip/project.txt", "work");
        r.h.tree.symlink(".cache", r.h.tree / "work");
        state->setUserAlert(std::nullopt);
        QVERIFY(runToCompletion([&](auto done) { state->cleanDeveloperItems(listed, done); }));
        QVERIFY(fs::exists(r.h.tree / "work/pip/project.txt"));
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(trashEntries(r).first, std::int64_t{0});
    }

    // Undo restores the entry it moved and nothing else: when that entry was emptied elsewhere
    // and another item of the same name trashed since, the other stays in the Trash with its
    // info file and one alert says why.
    void undoRestoresOnlyTheEntryItMoved() {
        Real r;
        writeFile(r.h.tree / "notes/a.txt", 100, 'a');
        auto state = r.scanned();
        QVERIFY(runToCompletion(
            [&](auto done) { state->trashNode(nodeAt(*state, r.h.tree / "notes/a.txt"), done); }));
        QVERIFY2(state->lastTrashed().has_value(), alertMessage(*state).c_str());
        fs::remove(r.trashFiles() / "a.txt");
        fs::remove(r.h.env.dataHome / "Trash/info/a.txt.trashinfo");
        writeFile(r.h.tree / "other/a.txt", 100, 'o');
        QVERIFY(r.h.trash->moveToTrash(r.h.tree / "other/a.txt"));

        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
        QVERIFY(!fs::exists(r.h.tree / "notes/a.txt"));
        QVERIFY(fs::exists(r.trashFiles() / "a.txt"));
        QVERIFY(fs::exists(r.h.env.dataHome / "Trash/info/a.txt.trashinfo"));
        QCOMPARE(alertTitle(*state), std::string("Couldn't restore a.txt"));
    }

    // Every refusal of an undo says what is true of the entry: gone from the Trash (emptied, or
    // another item trashed under its name since), or still there (changed in the Trash, or its
    // place taken by another item).
    void undoRefusalsSayWhetherTheItemIsStillInTheTrash() {
        const std::string still =
            "It is still in the Trash — you can restore it from your file manager. (";
        const std::string gone = "It is no longer in the Trash. (";
        struct Case {
            const char* what;
            std::function<void(Real&)> change;
            std::string starts;
            bool namesAnotherItem;
        };
        const std::vector<Case> cases = {
            {"emptied",
             [](Real& r) {
                 fs::remove(r.trashFiles() / "a.txt");
                 fs::remove(r.h.env.dataHome / "Trash/info/a.txt.trashinfo");
             },
             gone, false},
            {"touched in the Trash",
             [](Real& r) { test::TempTree::setModificationTime(r.trashFiles() / "a.txt", 5000); },
             still, false},
            {"another item under its name in the Trash",
             [](Real& r) {
                 fs::remove(r.trashFiles() / "a.txt");
                 fs::remove(r.h.env.dataHome / "Trash/info/a.txt.trashinfo");
                 writeFile(r.h.tree / "other/a.txt", 100, 'o');
                 QVERIFY(r.h.trash->moveToTrash(r.h.tree / "other/a.txt"));
             },
             gone, true},
            {"another item at its place",
             [](Real& r) { writeFile(r.h.tree / "notes/a.txt", 7, 'n'); }, still, false},
        };
        for (const auto& c : cases) {
            Real r;
            writeFile(r.h.tree / "notes/a.txt", 100, 'a');
            auto state = r.scanned();
            QVERIFY(runToCompletion([&](auto done) {
                state->trashNode(nodeAt(*state, r.h.tree / "notes/a.txt"), done);
            }));
            QVERIFY2(state->lastTrashed().has_value(), alertMessage(*state).c_str());
            c.change(r);
            QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
            const std::string message = alertMessage(*state);
            QVERIFY2(alertTitle(*state) == "Couldn't restore a.txt", c.what);
            QVERIFY2(message.starts_with(c.starts), (std::string(c.what) + ": " + message).c_str());
            QVERIFY2((message.find("another item has its name") != std::string::npos) ==
                         c.namesAnotherItem,
                     (std::string(c.what) + ": " + message).c_str());
        }
    }

    // The folder the item came from, or a folder on the way to it, replaced by a symbolic link to
    // a folder anyone may write to: the undo puts nothing there, the entry keeps its place and
    // its info file in the Trash, and the alert says why.
    void undoNeverPutsAnItemBackThroughALink() {
        for (const std::string linked : {"notes/deep", "notes"}) {
            Real r;
            writeFile(r.h.tree / "notes/deep/a.txt", 100, 'a');
            const fs::path open = r.h.tree.folder("open");
            writeFile(open / "deep/keep", 1, 'k');
            ::chmod(open.c_str(), 0777);
            auto state = r.scanned();
            QVERIFY(runToCompletion([&](auto done) {
                state->trashNode(nodeAt(*state, r.h.tree / "notes/deep/a.txt"), done);
            }));
            QVERIFY2(state->lastTrashed().has_value(), alertMessage(*state).c_str());
            fs::rename(r.h.tree / linked, r.h.tree / "aside");
            r.h.tree.symlink(linked, linked == "notes" ? open : open / "deep");

            QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
            QVERIFY2(!fs::exists(open / "deep/a.txt"), linked.c_str());
            QVERIFY(fs::exists(r.trashFiles() / "a.txt"));
            QVERIFY(fs::exists(r.h.env.dataHome / "Trash/info/a.txt.trashinfo"));
            QCOMPARE(alertTitle(*state), std::string("Couldn't restore a.txt"));
            const std::string message = alertMessage(*state);
            QVERIFY2(message.starts_with("It is still in the Trash") &&
                         message.find((r.h.tree / linked).string() + " is now a symbolic link") !=
                             std::string::npos,
                     message.c_str());
        }
    }

    // Refusals are said: a copy in a protected place, and a clean whose every item is refused;
    // protecting a folder takes its items out of the plan at once.
    void refusalsAreReportedAndProtectingRefiltersThePlan() {
        Real r;
        writeFile(r.h.tree / "media/original.bin", kCopySize, 'm');
        writeFile(r.h.tree / "media/free/copy.bin", kCopySize, 'm');
        writeFile(r.h.tree / "media/kept/copy.bin", kCopySize, 'm');
        test::TempTree::setModificationTime(r.h.tree / "media/original.bin", 1'000'000);
        r.h.tree.file("code/app/node_modules/big.js", "app", kModulesSize);
        r.h.tree.file("code/lib/node_modules/big.js", "lib", kModulesSize);
        auto state = r.scanned();
        QCOMPARE(state->cleanupPlan().candidates.size(), std::size_t{2});

        r.h.safety->addProtectedPath((r.h.tree / "media/kept").string());
        QVERIFY(runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        tickEveryCopy(*state);
        QVERIFY(runToCompletion([&](auto done) { state->cleanDuplicates(done); }));
        QVERIFY(!fs::exists(r.h.tree / "media/free/copy.bin"));
        QCOMPARE(state->userAlert()->message,
                 "copy.bin: Path is in your custom Protected Items list");

        // Protected through Settings: gone from the plan before any clean.
        QVERIFY(runToCompletion([&](auto done) {
            state->addProtectedPath((r.h.tree / "code/app").string(),
                                    [done](const std::vector<std::string>&) { done(); });
        }));
        QCOMPARE(state->cleanupPlan().candidates.size(), std::size_t{1});
        QCOMPARE(state->cleanupPlan().candidates[0].url, r.h.tree / "code/lib/node_modules");
        // Protected behind the program's back: the clean refuses it and says why.
        r.h.safety->addProtectedPath((r.h.tree / "code/lib").string());
        state->setCandidateSelected(state->cleanupPlan().candidates[0].id, true);
        state->setUserAlert(std::nullopt);
        QVERIFY(runToCompletion([&](auto done) { state->runCleanup(false, done); }));
        QCOMPARE(state->lastCleanupResult()->reclaimedBytes, std::int64_t{0});
        QCOMPARE(state->userAlert()->title, std::string("Smart Cleanup skipped some items"));
        QCOMPARE(state->userAlert()->message,
                 "Node.js Dependencies (lib/node_modules): Path is in your custom Protected "
                 "Items list");
    }

    // Random sequences of the five operations and undo: after every step each folder's size is
    // the sum of its children's, the Trash count is the Trash's, and every trashed item has its
    // info file.
    void randomSequencesKeepTheTreeTheCountAndTheTrashConsistent() {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            Real r;
            std::mt19937 rng(seed);
            for (int i = 0; i < 4; ++i) {
                const std::string n = std::to_string(i);
                writeFile(r.h.tree / ("docs/d" + n + "/a.bin"), kCopySize, 'a');
                writeFile(r.h.tree / ("docs/d" + n + "/b" + n + ".txt"), 100 + i, 'b');
                r.h.tree.file("code/p" + n + "/node_modules/m.js", n, kModulesSize + i);
                r.h.tree.denseFile("dev/cache" + n + "/blob", 300);
                DeveloperStorageItem item;
                item.id = Uuid::random();
                item.name = "cache" + n;
                item.path = (r.h.tree / ("dev/cache" + n)).string();
                item.canClean = true;
                r.developerItems.push_back(item);
                installAppImage(r, "App" + n);
            }
            auto state = r.scanned();
            QVERIFY(runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
            for (int step = 0; step < 14; ++step) {
                const unsigned op = rng() % 6;
                QVERIFY(runToCompletion([&](auto done) {
                    switch (op) {
                    case 0: {
                        std::vector<DiskNodePtr> nodes;
                        forEachInPreOrder(state->rootNode(),
                                          [&](const DiskNodePtr& n) { nodes.push_back(n); });
                        state->trashNode(nodes[1 + rng() % (nodes.size() - 1)], done);
                        break;
                    }
                    case 1:
                        for (const auto& c : state->cleanupPlan().candidates) {
                            state->setCandidateSelected(c.id, rng() % 2 == 0);
                        }
                        state->runCleanup(false, done);
                        break;
                    case 2:
                        state->scanDuplicates([&, done] {
                            tickEveryCopy(*state);
                            state->cleanDuplicates(done);
                        });
                        break;
                    case 3:
                        state->cleanDeveloperItems(
                            {r.developerItems[rng() % r.developerItems.size()]}, done);
                        break;
                    case 4:
                        if (state->installedApps().empty()) {
                            done();
                        } else {
                            state->uninstallApp(
                                state->installedApps()[rng() % state->installedApps().size()],
                                done);
                        }
                        break;
                    default:
                        state->undoLastTrash(done);
                    }
                }));
                r.h.settle();
                std::string where;
                QVERIFY2(sizesAreSums(state->rootNode(), where),
                         ("seed " + std::to_string(seed) + " step " + std::to_string(step) +
                          " op " + std::to_string(op) + ": " + where)
                             .c_str());
                const auto [count, orphans] = trashEntries(r);
                QCOMPARE(state->trashItemCount(), count);
                QVERIFY(orphans.empty());
            }
        }
    }
};

QTEST_MAIN(AppStateRemovalTest)
#include "AppStateRemovalTest.moc"
