// The operations the tool screens call: ticks by id, the large-file threshold, the duplicates
// clean and the history loads.

#include "tests/UI/State/AppStateHarness.h"

#include <array>

using fernwick::test::Gate;
using fernwick::test::Harness;
using namespace fernwick;
using namespace fernwick::ui;

class AppStateToolScreensTest : public QObject {
    Q_OBJECT

private slots:
    void ticksAreWrittenByIdAndUnknownIdsChangeNothing() {
        Harness h;
        auto state = h.make();
        CleanupPlan plan;
        plan.candidates.resize(2);
        for (auto& candidate : plan.candidates) {
            candidate.id = Uuid::random();
            candidate.size = 10;
            candidate.isSelected = true;
        }
        state->setCleanupPlan(plan);
        QSignalSpy planChanged(state.get(), &AppState::cleanupPlanChanged);
        state->setCandidateSelected(plan.candidates[1].id, false);
        QCOMPARE(planChanged.count(), 1);
        QVERIFY(state->cleanupPlan().candidates[0].isSelected);
        QVERIFY(!state->cleanupPlan().candidates[1].isSelected);
        QCOMPARE(state->cleanupPlan().totalSelectedCount(), 1);
        state->setCandidateSelected(Uuid::random(), false);
        QCOMPARE(planChanged.count(), 1);

        auto first = fernwick::test::duplicateCluster({"/a/1", "/a/2"}, 100);
        auto second = fernwick::test::duplicateCluster({"/b/1", "/b/2", "/b/3"}, 7);
        state->setDuplicateClusters({first, second});
        QSignalSpy clustersChanged(state.get(), &AppState::duplicateClustersChanged);
        state->setDuplicateSelected(second.id, second.items[2].id, true);
        QCOMPARE(clustersChanged.count(), 1);
        QCOMPARE(state->duplicateClusters()[1].recoverableSize(), std::int64_t{7});
        QCOMPARE(state->duplicateClusters()[0].recoverableSize(), std::int64_t{0});
        // An item id under the wrong cluster, and unknown ids: nothing.
        state->setDuplicateSelected(first.id, second.items[1].id, true);
        state->setDuplicateSelected(Uuid::random(), second.items[1].id, true);
        QCOMPARE(clustersChanged.count(), 1);
        QVERIFY(!state->duplicateClusters()[1].items[1].isSelectedForCleanup);
    }

    void thresholdWithoutATreeOnlySelects() {
        Harness h;
        auto state = h.make();
        QSignalSpy largeChanged(state.get(), &AppState::largeFilesChanged);
        state->chooseLargeFileThreshold(LargeFileThreshold::gb1);
        QCOMPARE(state->selectedLargeFileThreshold(), LargeFileThreshold::gb1);
        QCOMPARE(largeChanged.count(), 0);
        QVERIFY(state->largeFiles().empty());
    }

    // The search runs on a worker; whatever order the searches finish in, the list shown is
    // the one for the latest choice on the latest tree.
    void largeFilesFollowTheLatestChoiceAndDropStaleSearches() {
        Harness h;
        constexpr std::int64_t kMiB = 1048576;
        const auto file = [](const char* path, std::int64_t size) {
            return fernwick::test::makeNode(path, false, size);
        };
        const auto big = file("/t/big.iso", 2048 * kMiB);
        const auto mid = file("/t/mid.mov", 600 * kMiB);
        const auto small = file("/t/small.bin", 150 * kMiB);
        // Searches wait for their gate when `held` names one (the next search takes it).
        std::array<Gate, 2> entered;
        std::array<Gate, 2> release;
        std::atomic<int> held{-1};
        h.services.findLargeFiles = [&](const DiskNodePtr& tree, std::int64_t bytes) {
            if (const int gate = held.exchange(-1); gate >= 0) {
                entered[static_cast<std::size_t>(gate)].open();
                release[static_cast<std::size_t>(gate)].wait();
            }
            return LargeFileFinder::shared().findLargeFiles(tree, bytes, std::nullopt);
        };
        auto state = h.make();
        h.publish(*state, fernwick::test::makeNode("/t", true, 0, StorageCategory::other,
                                                   {big, mid, small}));
        QCOMPARE(state->largeFiles(), (std::vector<DiskNodePtr>{big, mid, small}));

        // "> 1 GB" is still searching when "> 500 MB" is chosen and found: the first answer,
        // arriving last, is dropped.
        held = 0;
        state->chooseLargeFileThreshold(LargeFileThreshold::gb1);
        QVERIFY(QTest::qWaitFor([&] { return entered[0].isOpen(); }));
        state->chooseLargeFileThreshold(LargeFileThreshold::mb500);
        QTRY_COMPARE(state->largeFiles(), (std::vector<DiskNodePtr>{big, mid}));
        QSignalSpy largeChanged(state.get(), &AppState::largeFilesChanged);
        release[0].open();
        h.settle();
        QCOMPARE(largeChanged.count(), 0);
        QCOMPARE(state->largeFiles(), (std::vector<DiskNodePtr>{big, mid}));
        QCOMPARE(state->selectedLargeFileThreshold(), LargeFileThreshold::mb500);

        // A search on a tree that a newer scan replaced is dropped; the new tree's list stands.
        held = 1;
        state->chooseLargeFileThreshold(LargeFileThreshold::mb100);
        QVERIFY(QTest::qWaitFor([&] { return entered[1].isOpen(); }));
        const auto fresh = file("/u/fresh.iso", 700 * kMiB);
        h.scanBody = [fresh](auto&&...) {
            return fernwick::test::makeNode("/u", true, 0, StorageCategory::other, {fresh});
        };
        state->startScan();
        QTRY_COMPARE(state->largeFiles(), std::vector<DiskNodePtr>{fresh});
        release[1].open();
        h.settle();
        QCOMPARE(state->largeFiles(), std::vector<DiskNodePtr>{fresh});
    }

    void duplicatesCleanMovesTheTickedCopiesReportsTheRestThenSearchesAgain() {
        Harness h;
        const auto original = h.tree.denseFile("d/original.bin", 64);
        const auto copy = h.tree.denseFile("d/copy.bin", 64);
        const auto gone = h.tree.denseFile("d/gone.bin", 64);
        const auto linked = h.tree.denseFile("d/linked.bin", 64);
        std::atomic<int> searches{0};
        Gate searchMayFinish;
        h.services.findDuplicates = [&](const DiskNodePtr&, std::int64_t, DuplicateResolutionRule) {
            ++searches;
            searchMayFinish.wait();
            return std::vector<DuplicateCluster>{};
        };
        auto state = h.make();
        h.publish(*state, fernwick::test::makeNode(h.tree / "d", true));
        auto cluster =
            fernwick::test::duplicateCluster({original, copy, gone, linked}, 64, {1, 2, 3});
        cluster.items[3].isHardlink = true; // hard links go too: the flag only drops the count
        state->setDuplicateClusters({cluster});
        std::filesystem::remove(gone);

        bool finished = false;
        state->cleanDuplicates([&] { finished = true; });
        QTRY_VERIFY(state->isScanningDuplicates());
        QCOMPARE(searches.load(), 1);
        QVERIFY(!finished);
        QVERIFY(std::filesystem::exists(original));
        QVERIFY(!std::filesystem::exists(copy));
        QVERIFY(!std::filesystem::exists(linked));
        QCOMPARE(h.trash->itemCount(), std::int64_t{2});
        searchMayFinish.open();
        h.settle();
        QVERIFY(finished);
        QVERIFY(!state->isScanningDuplicates());
        QVERIFY(state->duplicateClusters().empty());
        // The copy that had gone is named with the check's reason, once the search has run.
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("Duplicate Finder skipped some copies"));
        QCOMPARE(state->userAlert()->message,
                 "gone.bin: " + std::string(SafetyEngine::kMissingReason));
        QVERIFY(!state->lastTrashed().has_value());
        QCOMPARE(state->trashItemCount(), std::int64_t{2});
        QCOMPARE(state->rootNode()->children.size(), std::size_t{0});
    }

    // One duplicates clean at a time: a second one asked for while the first runs, with the
    // opposite ticks, is ignored and answered at once, so the two never leave no copy between
    // them.
    void aSecondDuplicatesCleanWhileOneRunsIsIgnored() {
        Harness h;
        const auto original = h.tree.denseFile("d/original.bin", 64);
        const auto copy = h.tree.denseFile("d/copy.bin", 64);
        // The first move into the Trash waits there until the test lets it go on.
        std::atomic<int> moves{0};
        Gate firstMoveMayGoOn;
        const auto waitOnFirst = [&](const std::filesystem::path&) {
            if (moves++ == 0) {
                firstMoveMayGoOn.wait();
            }
            return std::optional<std::filesystem::path>();
        };
        h.services.trash = std::make_shared<Trash>(
            h.env, Trash::Seams{waitOnFirst, fernwick::test::noMountPoints});
        auto state = h.make();
        h.publish(*state, fernwick::test::makeNode(h.tree / "d", true));
        const auto cluster = fernwick::test::duplicateCluster({original, copy}, 64, {1});
        state->setDuplicateClusters({cluster});

        bool firstDone = false;
        state->cleanDuplicates([&] { firstDone = true; });
        QTRY_COMPARE(moves.load(), 1);
        state->setDuplicateSelected(cluster.id, cluster.items[0].id, true);
        state->setDuplicateSelected(cluster.id, cluster.items[1].id, false);
        bool secondDone = false;
        state->cleanDuplicates([&] { secondDone = true; });
        const bool answeredAtOnce = secondDone;
        // Whatever the second clean does, it does while the first waits in its move.
        QTRY_COMPARE(h.longPool.activeThreadCount(), 1);
        firstMoveMayGoOn.open();
        h.settle();
        QVERIFY(std::filesystem::exists(original));
        QVERIFY(!std::filesystem::exists(copy));
        QCOMPARE(h.trash->itemCount(), std::int64_t{1});
        QVERIFY(answeredAtOnce);
        QVERIFY(firstDone);
    }

    void historyLoadsTheAuditBeforeTheTimelineAndClearKeepsTheAudit() {
        Harness h;
        h.history->recordSnapshot(700, 300, {});
        h.clock->advance(std::chrono::hours(1));
        h.history->recordSnapshot(800, 200, {});
        Gate auditMayReturn;
        h.services.getAuditHistory = [&] {
            h.logLoad("audit");
            auditMayReturn.wait();
            return std::vector<CleanupAuditEntry>(1);
        };
        auto state = h.make();
        std::optional<std::vector<StorageSnapshot>> received;
        bool auditWasSetFirst = false;
        state->loadHistory([&](std::vector<StorageSnapshot> snapshots) {
            auditWasSetFirst = state->auditHistory().size() == 1;
            received = std::move(snapshots);
        });
        QTRY_COMPARE(h.loadLog(), std::vector<std::string>{"audit"});
        QCoreApplication::processEvents();
        QVERIFY(!received);
        QVERIFY(state->auditHistory().empty());
        auditMayReturn.open();
        h.settle();
        QCOMPARE(h.loadLog(), (std::vector<std::string>{"audit", "snapshots"}));
        QVERIFY(auditWasSetFirst);
        QVERIFY(received);
        QCOMPARE(received->size(), std::size_t{2});
        QCOMPARE((*received)[0].totalUsedBytes, std::int64_t{800}); // newest first

        QVERIFY(std::filesystem::exists(h.history->fileURL()));
        QVERIFY(
            fernwick::test::runToCompletion([&](auto done) { state->clearSnapshotHistory(done); }));
        QVERIFY(!std::filesystem::exists(h.history->fileURL()));
        QVERIFY(h.history->getSnapshots().empty());
        QCOMPARE(state->auditHistory().size(), std::size_t{1});
    }
};

QTEST_MAIN(AppStateToolScreensTest)
#include "AppStateToolScreensTest.moc"
