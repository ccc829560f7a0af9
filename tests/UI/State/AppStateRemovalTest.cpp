// The five operations that move things to the Trash, driven through AppState with the real
// scanner and engines over files in a temporary home.

#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickCore/Engines/DuplicateFinderEngine.h"
#include "FernwickCore/Model/TreeWalk.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/UI/State/AppStateHarness.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using fernwick::test::Harness;
using fernwick::test::runToCompletion;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kCopySize = 60000; // above the duplicate search's 51,200-byte minimum
constexpr std::int64_t kModulesSize = 60LL * 1024 * 1024;

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
        for (const char* group : {"a", "d", "h"}) {
            const char fill = group[0];
            writeFile(r.h.tree / "dups" / group / "original.bin", kCopySize, fill);
            writeFile(r.h.tree / "dups" / group / "copy.bin", kCopySize, fill);
            test::TempTree::setModificationTime(r.h.tree / "dups" / group / "original.bin",
                                                1'000'000);
        }
        auto state = r.scanned();
        QVERIFY(runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        QCOMPARE(state->duplicateClusters().size(), std::size_t{3});
        tickEveryCopy(*state);

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
