#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/DomainError.h"
#include "FernwickUI/Tools/DiagnosticsReport.h"
#include "tests/UI/State/AppStateHarness.h"

#include <sys/stat.h>
#include <unistd.h>

using fernwick::test::Harness;
using fernwick::test::runToCompletion;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUserListReason = "Path is in your custom Protected Items list";

DeveloperStorageItem item(const std::string& name, const fs::path& path) {
    DeveloperStorageItem it;
    it.id = Uuid::random();
    it.name = name;
    it.groupName = "Node & Web";
    it.path = path.string();
    it.size = 10;
    it.canClean = true;
    it.isSelected = true;
    return it;
}

} // namespace

class AppStateToolActionsTest : public QObject {
    Q_OBJECT

private slots:
    void developerCleanReportsTheFirstFiveFailuresAndHowManyMoreAfterTheRescan() {
        Harness h;
        std::atomic<int> scans{0};
        h.services.scanDeveloperStorage = [&] {
            ++scans;
            return std::vector<DeveloperStorageItem>{};
        };
        auto state = h.make();
        h.safety->addProtectedPath((h.tree.root() / "kept").string());
        std::vector<DeveloperStorageItem> items;
        for (int i = 0; i < 7; ++i) {
            const std::string name = "cache" + std::to_string(i);
            items.push_back(item(name, h.tree.folder("kept/" + name)));
        }
        items.insert(items.begin() + 3, item("movable", h.tree.folder("free/movable")));

        bool alertAtDone = true;
        QVERIFY(runToCompletion([&](auto done) {
            state->cleanDeveloperItems(items, [&, done] {
                alertAtDone = state->userAlert().has_value();
                done();
            });
        }));
        QVERIFY(!alertAtDone); // the screen's busy flag clears before the alert rises
        QCOMPARE(scans.load(), 1);
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("Some items were skipped"));
        const std::vector<std::string> expected = {
            std::string("cache0: ") + kUserListReason, std::string("cache1: ") + kUserListReason,
            std::string("cache2: ") + kUserListReason, std::string("cache3: ") + kUserListReason,
            std::string("cache4: ") + kUserListReason, "and 2 more"};
        QCOMPARE(fernwick::test::splitLines(state->userAlert()->message), expected);
        QVERIFY(!fs::exists(h.tree.root() / "free/movable"));
        QVERIFY(fs::exists(h.tree.root() / "kept/cache6"));
        h.settle();
        QCOMPARE(state->trashItemCount(), std::int64_t{1});
    }

    void developerCleanWithEveryMoveDoneRaisesNothingAndStillRescans() {
        Harness h;
        std::atomic<int> scans{0};
        h.services.scanDeveloperStorage = [&] {
            ++scans;
            return std::vector<DeveloperStorageItem>{};
        };
        auto state = h.make();
        QVERIFY(runToCompletion([&](auto done) {
            state->cleanDeveloperItems(
                {item("a", h.tree.folder("a")), item("b", h.tree.folder("b"))}, done);
        }));
        QVERIFY(!state->userAlert().has_value());
        QVERIFY(fs::exists(h.env.dataHome / "Trash/files/a"));
        QVERIFY(fs::exists(h.env.dataHome / "Trash/files/b"));
        // An empty list still rescans.
        QVERIFY(runToCompletion([&](auto done) { state->cleanDeveloperItems({}, done); }));
        QCOMPARE(scans.load(), 2);
        QVERIFY(!state->userAlert().has_value());
    }

    void aFailedUninstallIsReportedAndTheAppsAreRescannedEitherWay() {
        Harness h;
        std::vector<std::pair<std::string, bool>> calls;
        std::vector<std::string> order;
        bool fail = true;
        h.services.uninstallApp = [&](const InstalledApp& app, bool removeRelated,
                                      const CheckedTrashMover&) {
            calls.emplace_back(app.name, removeRelated);
            order.push_back("uninstall");
            if (fail) {
                throw DomainError("Fernwick", 409,
                                  "Safari is currently running. Please quit the application "
                                  "before uninstalling.");
            }
        };
        h.services.scanInstalledApplications = [&] {
            order.push_back("scan");
            return std::vector<InstalledApp>{};
        };
        auto state = h.make();
        InstalledApp safari;
        safari.name = "Safari";
        QVERIFY(runToCompletion([&](auto done) { state->uninstallApp(safari, done); }));
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("Couldn't uninstall Safari"));
        QCOMPARE(state->userAlert()->message,
                 std::string("Safari is currently running. Please quit the application before "
                             "uninstalling."));
        state->setUserAlert(std::nullopt);
        fail = false;
        QVERIFY(runToCompletion([&](auto done) { state->uninstallApp(safari, done); }));
        QVERIFY(!state->userAlert().has_value());
        QCOMPARE(calls,
                 (std::vector<std::pair<std::string, bool>>{{"Safari", true}, {"Safari", true}}));
        QCOMPARE(order, (std::vector<std::string>{"uninstall", "scan", "uninstall", "scan"}));
    }

    void protectedPathsAreReloadedAfterEachChange() {
        Harness h;
        // A stored entry that is not in standard form, written before the engine reads the list.
        QVERIFY(h.preferences->setStringArray(SafetyEngine::kUserProtectedPathsKey, {"/x/A/"}));
        h.safety = std::make_shared<SafetyEngine>(h.env, h.preferences);
        h.services.safety = h.safety;
        auto state = h.make();
        std::vector<std::string> shown = {"stale"};
        const auto keep = [&](auto done) {
            return [&, done](std::vector<std::string> paths) {
                shown = std::move(paths);
                done();
            };
        };
        QVERIFY(runToCompletion([&](auto done) { state->loadProtectedPaths(keep(done)); }));
        QCOMPARE(shown, std::vector<std::string>{"/x/A/"});
        const std::string alpha = (h.tree.root() / "t/alpha").string();
        const std::string zeta = (h.tree.root() / "t/Zeta").string();
        QVERIFY(runToCompletion([&](auto done) { state->addProtectedPath(alpha, keep(done)); }));
        QVERIFY(runToCompletion([&](auto done) { state->addProtectedPath(zeta, keep(done)); }));
        QVERIFY(
            runToCompletion([&](auto done) { state->addProtectedPath(alpha + "/", keep(done)); }));
        // Byte order: upper-case "Zeta" before lower-case "alpha"; no duplicate of "alpha/".
        std::vector<std::string> expected = {"/x/A/", zeta, alpha};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(shown, expected);
        QVERIFY(std::find(shown.begin(), shown.end(), zeta) <
                std::find(shown.begin(), shown.end(), alpha));
        QVERIFY(
            runToCompletion([&](auto done) { state->removeProtectedPath("/x/A/", keep(done)); }));
        QCOMPARE(shown, (std::vector<std::string>{zeta, alpha}));
        QCOMPARE(h.preferences->stringArray(SafetyEngine::kUserProtectedPathsKey),
                 std::optional(shown));
    }

    // A setting that cannot be written is said once, naming it and why, and holds for the
    // session; a relative protected path is refused and stores nothing.
    void unsavedSettingsAndRefusedPathsRaiseAnAlert() {
        Harness h;
        auto state = h.make();
        std::vector<std::string> shown;
        const auto keep = [&](auto done) {
            return [&, done](std::vector<std::string> paths) {
                shown = std::move(paths);
                done();
            };
        };
        QVERIFY(runToCompletion([&](auto done) { state->addProtectedPath("relp", keep(done)); }));
        QVERIFY(shown.empty());
        QVERIFY(!fs::exists(h.env.preferencesFile()));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't save settings"));
        QCOMPARE(state->userAlert()->message,
                 std::string("Custom Protected Whitelist: Not an absolute path, so it protects "
                             "nothing: relp"));

        // The settings folder can no longer be written (a file stands where it was; this fails
        // for root too).
        const fs::path folder = h.env.preferencesFile().parent_path();
        fs::create_directories(folder.parent_path());
        h.tree.file(fs::relative(folder, h.tree.root()).string(), "not a folder");
        const std::string kept = (h.tree.root() / "Projects").string();
        QVERIFY(runToCompletion([&](auto done) { state->addProtectedPath(kept, keep(done)); }));
        QCOMPARE(shown, std::vector<std::string>{kept});
        QVERIFY(h.safety->isProtected(kept));
        const std::string why = "Custom Protected Whitelist: mkdir " + folder.string() +
                                ": Not a directory; the change holds until you quit";
        QCOMPARE(state->userAlert()->message, why);
        state->setCurrentTheme(TreemapTheme::matrix);
        QCOMPARE(state->currentTheme(), TreemapTheme::matrix);
        QCOMPARE(state->userAlert()->message,
                 "Visualization Color Themes: mkdir " + folder.string() +
                     ": Not a directory; the change holds until you quit");
    }

    void diagnosticsAreWrittenWholeOrNotAtAllWithAnAlertOnFailure() {
        Harness h;
        auto state = h.make();
        const fs::path target = h.tree.file("out/r.txt", "an older, longer report\n");
        bool written = false;
        const auto record = [&](auto done) {
            return [&, done](bool ok) {
                written = ok;
                done();
            };
        };
        QVERIFY(runToCompletion(
            [&](auto done) { state->exportDiagnostics(target, "new\n", record(done)); }));
        QVERIFY(written);
        QCOMPARE(*readWholeFile(target), std::string("new\n"));
        QVERIFY(!state->userAlert().has_value());

        // Names up to the longest legal one are written: the temporary name never makes them
        // too long.
        for (const std::size_t length : {std::size_t{243}, std::size_t{244}, std::size_t{255}}) {
            const fs::path longName = target.parent_path() / std::string(length, 'n');
            QVERIFY(runToCompletion(
                [&](auto done) { state->exportDiagnostics(longName, "long\n", record(done)); }));
            QVERIFY2(written, state->userAlert() ? state->userAlert()->message.c_str() : "");
            QCOMPARE(*readWholeFile(longName), std::string("long\n"));
        }
        QCOMPARE(std::distance(fs::directory_iterator(target.parent_path()), {}), 4);

        // A missing folder is not created.
        const fs::path missing = h.tree.root() / "gone/r.txt";
        QVERIFY(runToCompletion(
            [&](auto done) { state->exportDiagnostics(missing, "x", record(done)); }));
        QVERIFY(!written);
        QVERIFY(!fs::exists(missing.parent_path()));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't export diagnostics"));
        QCOMPARE(state->userAlert()->message, missing.string() + ": No such file or directory");

        if (::geteuid() == 0) {
            return; // root writes into a read-only folder
        }
        state->setUserAlert(std::nullopt);
        QCOMPARE(::chmod(target.parent_path().c_str(), 0555), 0);
        QVERIFY(runToCompletion(
            [&](auto done) { state->exportDiagnostics(target, "newer\n", record(done)); }));
        QCOMPARE(::chmod(target.parent_path().c_str(), 0755), 0);
        QVERIFY(!written);
        QCOMPARE(*readWholeFile(target), std::string("new\n"));
        QCOMPARE(state->userAlert()->message, target.string() + ": Permission denied");
    }

    void diagnosticsReportHasThreeLinesWithTheUtcDate() {
        // 2026-12-09 07:09:29 UTC
        const ManualClock clock(TimePoint(std::chrono::seconds(1796800169)));
        QCOMPARE(diagnosticsReport("Debian GNU/Linux 12 (bookworm)", clock.now()),
                 std::string("Fernwick Diagnostics\nOS: Debian GNU/Linux 12 (bookworm)\n"
                             "Date: 2026-12-09 07:09:29 +0000\n"));
    }
};

QTEST_MAIN(AppStateToolActionsTest)
#include "AppStateToolActionsTest.moc"
