#include "tests/Support/TreeBuilder.h"
#include "tests/UI/State/AppStateHarness.h"

#include <array>
#include <atomic>

using fernwick::test::Gate;
using fernwick::test::Harness;
using fernwick::test::makeNode;
using namespace fernwick;
using namespace fernwick::ui;

namespace {

CleanupCandidate candidate(const DiskNodePtr& node, bool selected = true) {
    CleanupCandidate c;
    c.id = Uuid::random();
    c.name = node->name();
    c.url = node->url();
    c.size = node->size;
    c.isSelected = selected;
    return c;
}

InstalledApp app(const std::string& name) {
    InstalledApp a;
    a.id = Uuid::random();
    a.name = name;
    return a;
}

} // namespace

class AppStateToolsTest : public QObject {
    Q_OBJECT

private slots:
    // The list published after a scan or a cleanup follows the threshold selected when it is
    // published, not the one the plan's worker was started with.
    void largeFilesFollowTheThresholdChosenWhileThePlanRuns() {
        Harness h;
        const auto big = test::makeFile((h.tree / "big.iso").native(), 2'000'000'000);
        const auto mid = test::makeFile((h.tree / "mid.mov").native(), 600'000'000);
        const auto root = test::makeFolder(h.tree.root().native(), {big, mid});
        std::array<Gate, 2> entered;
        std::array<Gate, 2> release;
        std::atomic<std::size_t> calls{0};
        h.services.generateSmartCleanupPlan = [&](const DiskNodePtr&) {
            const std::size_t call = calls++;
            if (call < entered.size()) {
                entered[call].open();
                release[call].wait();
            }
            return CleanupPlan{};
        };
        auto state = h.make();
        h.scanBody = [root](auto&&...) { return root; };
        state->startScan();
        QVERIFY(QTest::qWaitFor([&] { return entered[0].isOpen(); }));
        state->chooseLargeFileThreshold(LargeFileThreshold::gb1);
        release[0].open();
        h.settle();
        QCOMPARE(state->largeFiles(), std::vector<DiskNodePtr>{big});

        state->runCleanup(false);
        QVERIFY(QTest::qWaitFor([&] { return entered[1].isOpen(); }));
        state->chooseLargeFileThreshold(LargeFileThreshold::mb500);
        release[1].open();
        h.settle();
        QCOMPARE(state->largeFiles(), (std::vector<DiskNodePtr>{big, mid}));
    }

    void appsLoadWhenOpenedAndOnlyThen() {
        Harness h;
        Gate release;
        std::atomic<int> scans{0};
        h.services.scanInstalledApplications = [&] {
            ++scans;
            release.wait();
            return std::vector<InstalledApp>{app("Alpha"), app("Beta")};
        };
        auto state = h.make();
        state->openTool(ActiveModal::apps);
        QCOMPARE(state->activeModal(), std::optional(ActiveModal::apps));
        QVERIFY(!state->isScanningApps()); // raised by the load itself, later
        QTRY_VERIFY(state->isScanningApps());
        state->openTool(ActiveModal::apps); // already loading: nothing more
        release.open();
        h.settle();
        QVERIFY(!state->isScanningApps());
        QCOMPARE(scans.load(), 1);
        QCOMPARE(state->installedApps().size(), std::size_t{2});
        QCOMPARE(state->selectedAppForInspection()->name, std::string("Alpha"));

        state->openTool(ActiveModal::apps); // a list is there: no load
        h.settle();
        QCOMPARE(scans.load(), 1);

        // A rescan keeps an existing selection.
        state->setSelectedAppForInspection(app("Gamma"));
        QVERIFY(
            fernwick::test::runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        QCOMPARE(state->selectedAppForInspection()->name, std::string("Gamma"));
    }

    void developerLoadsOnceAndSortsStably() {
        Harness h;
        std::atomic<int> scans{0};
        h.services.scanDeveloperStorage = [&] {
            ++scans;
            std::vector<DeveloperStorageItem> items(3);
            items[0].name = "small";
            items[0].size = 1;
            items[1].name = "big-first";
            items[1].size = 9;
            items[2].name = "big-second";
            items[2].size = 9;
            return items;
        };
        auto state = h.make();
        state->openTool(ActiveModal::developer);
        h.settle();
        QVERIFY(state->hasScannedDeveloperStorage());
        QCOMPARE(state->developerItems()[0].name, std::string("big-first"));
        QCOMPARE(state->developerItems()[1].name, std::string("big-second"));
        state->openTool(ActiveModal::developer);
        h.settle();
        QCOMPARE(scans.load(), 1);
        QCOMPARE(state->activeModal(), std::optional(ActiveModal::developer));
    }

    void historyReloadsOnEveryOpening() {
        Harness h;
        std::atomic<int> loads{0};
        h.services.getAuditHistory = [&] {
            ++loads;
            return std::vector<CleanupAuditEntry>(1);
        };
        auto state = h.make();
        state->openTool(ActiveModal::history);
        state->openTool(ActiveModal::history);
        h.settle();
        QCOMPARE(loads.load(), 2);
        QCOMPARE(state->auditHistory().size(), std::size_t{1});
        state->openTool(ActiveModal::settings);
        h.settle();
        QCOMPARE(loads.load(), 2);
    }

    void cleanupRefusesToOverlapAndDryRunMovesNothing() {
        Harness h;
        auto file = makeNode(h.tree / "f.log", false, 10);
        auto root = makeNode(h.tree.root(), true, 0, StorageCategory::other, {file});
        h.services.generateSmartCleanupPlan = [&](const DiskNodePtr&) {
            return CleanupPlan{{candidate(file)}};
        };
        Gate release;
        std::atomic<int> runs{0};
        std::atomic<bool> allDry{true};
        h.services.executeCleanup = [&](const CleanupPlan& plan, bool dry,
                                        const CheckedTrashMover&) {
            ++runs;
            allDry = allDry && dry;
            release.wait();
            CleanupExecutionResult result;
            result.successCount = static_cast<std::int64_t>(plan.candidates.size());
            return result;
        };
        h.services.getAuditHistory = [] { return std::vector<CleanupAuditEntry>(2); };
        auto state = h.make();
        h.publish(*state, root);
        const auto planBefore = state->cleanupPlan().candidates.size();

        bool secondReturned = false;
        state->runCleanup(true);
        state->runCleanup(true, [&] { secondReturned = true; });
        QVERIFY(secondReturned); // returned at once, without a run
        QVERIFY(state->isCleaning());
        release.open();
        h.settle();
        QCOMPARE(runs.load(), 1);
        QVERIFY(allDry.load());
        QVERIFY(!state->isCleaning());
        QCOMPARE(state->lastCleanupResult()->successCount, std::int64_t{1});
        QCOMPARE(state->auditHistory().size(), std::size_t{2});
        QCOMPARE(file->size, std::int64_t{10});
        QCOMPARE(state->cleanupPlan().candidates.size(), planBefore);
    }

    void realRunEmptiesNodesFromTheExecutedPlan() {
        Harness h;
        h.tree.denseFile("work/x/a.bin", 100);
        h.tree.denseFile("work/y/b.bin", 100);
        h.tree.denseFile("work/z/c.bin", 100);
        const auto big = makeNode(h.tree / "work/x/a.bin", false, 200'000'000);
        auto x = makeNode(h.tree / "work/x", true, 0, StorageCategory::other, {big});
        auto y = makeNode(h.tree / "work/y", true, 0, StorageCategory::other,
                          {makeNode(h.tree / "work/y/b.bin", false, 300)});
        auto z = makeNode(h.tree / "work/z", true, 0, StorageCategory::other,
                          {makeNode(h.tree / "work/z/c.bin", false, 400)});
        auto work = makeNode(h.tree / "work", true, 0, StorageCategory::other, {x, y, z});
        auto root = makeNode(h.tree.root(), true, 0, StorageCategory::other, {work});

        std::atomic<int> plans{0};
        h.services.generateSmartCleanupPlan = [&](const DiskNodePtr&) {
            ++plans;
            return CleanupPlan{{candidate(x), candidate(y), candidate(z)}};
        };
        Gate release;
        h.services.executeCleanup = [&](const CleanupPlan& plan, bool, const CheckedTrashMover&) {
            release.wait();
            // x and y go to the Trash; z's move "fails" and it stays.
            for (const auto& c : plan.candidates) {
                if (c.url.filename() != "z") {
                    (void)h.trash->moveToTrash(c.url);
                }
            }
            return CleanupExecutionResult{};
        };
        auto state = h.make();
        h.publish(*state, root);
        QCOMPARE(state->largeFiles(), std::vector<DiskNodePtr>{big});

        state->runCleanup(false);
        // The live plan changes while the run is going: the tree follows the executed one.
        state->updateCleanupPlan([](CleanupPlan& plan) { plan.candidates.clear(); });
        release.open();
        h.settle();

        QVERIFY(!state->isCleaning());
        QCOMPARE(x->size, std::int64_t{0});
        QCOMPARE(x->allocatedSize, std::int64_t{0});
        QVERIFY(x->children.empty() && y->children.empty());
        QCOMPARE(z->size, std::int64_t{400});
        QCOMPARE(root->size, std::int64_t{400});
        QCOMPARE(plans.load(), 2);
        // The rebuilt plan drops emptied and missing items.
        QCOMPARE(state->cleanupPlan().candidates.size(), std::size_t{1});
        QCOMPARE(state->cleanupPlan().candidates[0].url, z->url());
        QVERIFY(state->largeFiles().empty());
        QCOMPARE(state->trashItemCount(), std::int64_t{2});
    }

    void aRunThatRemovedTheRootEmptiesTheRoot() {
        Harness h;
        h.tree.denseFile("scanned/a.bin", 10);
        const auto scanned = h.tree / "scanned";
        auto root = makeNode(scanned, true, 0, StorageCategory::other,
                             {makeNode(scanned / "a.bin", false, 10)});
        h.services.generateSmartCleanupPlan = [&](const DiskNodePtr& r) {
            return CleanupPlan{{candidate(r)}};
        };
        h.services.executeCleanup = [&](const CleanupPlan&, bool, const CheckedTrashMover&) {
            (void)h.trash->moveToTrash(scanned);
            return CleanupExecutionResult{};
        };
        auto state = h.make();
        h.publish(*state, root);
        QVERIFY(
            fernwick::test::runToCompletion([&](auto done) { state->runCleanup(false, done); }));
        QCOMPARE(root->size, std::int64_t{0});
        QVERIFY(root->children.empty());
    }

    void duplicatesNeedATree() {
        Harness h;
        std::int64_t askedMin = 0;
        DuplicateResolutionRule askedRule = DuplicateResolutionRule::keepOldest;
        h.services.findDuplicates = [&](const DiskNodePtr&, std::int64_t min,
                                        DuplicateResolutionRule rule) {
            askedMin = min;
            askedRule = rule;
            return std::vector<DuplicateCluster>(3);
        };
        auto state = h.make();
        QSignalSpy busy(state.get(), &AppState::isScanningDuplicatesChanged);
        QVERIFY(fernwick::test::runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        QCOMPARE(busy.count(), 0);
        QVERIFY(state->duplicateClusters().empty());

        h.publish(*state, makeNode(h.tree.root(), true));
        QVERIFY(fernwick::test::runToCompletion([&](auto done) { state->scanDuplicates(done); }));
        QCOMPARE(state->duplicateClusters().size(), std::size_t{3});
        QCOMPARE(askedMin, std::int64_t{51200});
        QVERIFY(askedRule == DuplicateResolutionRule::unselectAll);
        QVERIFY(!state->isScanningDuplicates());
    }

    void cleanupOpportunity() {
        Harness h;
        auto state = h.make();
        auto a = makeNode(h.tree / "a", false, 60'000'000);
        auto b = makeNode(h.tree / "b", false, 40'000'001);
        state->setCleanupPlan(CleanupPlan{{candidate(a, false), candidate(b)}});
        QCOMPARE(state->cleanupOpportunityBytes(), std::int64_t{100'000'001});
    }
};

QTEST_MAIN(AppStateToolsTest)
#include "AppStateToolsTest.moc"
