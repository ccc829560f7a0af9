#include "tests/UI/State/AppStateHarness.h"

#include <stdexcept>

using fernwick::test::Announcements;
using fernwick::test::Gate;
using fernwick::test::Harness;
using fernwick::test::makeNode;
using namespace fernwick;
using namespace fernwick::ui;

namespace {

ScanProgress report(const std::string& path, std::int64_t bytes, std::int64_t files) {
    ScanProgress progress;
    progress.currentPath = path;
    progress.scannedBytes = bytes;
    progress.scannedFiles = files;
    return progress;
}

// root/{A/{B/{deep.txt}}, Empty, file.txt}
struct SampleTree {
    explicit SampleTree(const std::filesystem::path& at) {
        deepFile = makeNode(at / "A/B/deep.txt", false, 300, StorageCategory::documents);
        b = makeNode(at / "A/B", true, 0, StorageCategory::other, {deepFile});
        a = makeNode(at / "A", true, 0, StorageCategory::other, {b});
        empty = makeNode(at / "Empty", true, 5000);
        file = makeNode(at / "file.txt", false, 200, StorageCategory::caches);
        root = makeNode(at, true, 0, StorageCategory::other, {a, empty, file});
    }
    DiskNodePtr root, a, b, deepFile, empty, file;
};

} // namespace

class AppStateScanTest : public QObject {
    Q_OBJECT

private slots:
    void realScanOfAFixtureHome() {
        Harness h;
        h.tree.denseFile("Documents/report.pdf", 3000);
        h.tree.denseFile("Documents/notes.txt", 1000);
        h.tree.denseFile("work/movie.mp4", 5000);
        h.tree.folder("work/empty");
        h.services.makeScanner = [] { return ui::makeDiskScanner(); };
        auto state = h.make();
        Announcements order(*state);
        QSignalSpy states(state.get(), &AppState::scanStateChanged);

        state->startScan();
        QCOMPARE(state->scanState(), ScanState::scanning("Preparing fast scan...", 0, 0));
        QTRY_COMPARE(h.snapshotCount(), std::size_t{1});
        h.settle();

        // Progress states only, then the five completion writes, then plan, files, layout.
        const std::vector<std::string> tail = {
            "rootNode",  "currentTreemapRoot", "treemapBreadcrumbs", "selectedNodeForInspection",
            "scanState", "cleanupPlan",        "largeFiles",         "treemapRectangles"};
        QVERIFY(order.names.size() >= tail.size() + 1);
        const auto split = order.names.end() - static_cast<std::ptrdiff_t>(tail.size());
        QVERIFY(std::equal(tail.begin(), tail.end(), split));
        QVERIFY(std::all_of(order.names.begin(), split,
                            [](const std::string& name) { return name == "scanState"; }));
        QCOMPARE(state->scanState(), ScanState::completed());
        QCOMPARE(state->treemapBreadcrumbs(), std::vector<DiskNodePtr>{state->rootNode()});
        QCOMPARE(state->currentTreemapRoot(), state->rootNode());
        QCOMPARE(state->selectedNodeForInspection(), state->rootNode());
        QVERIFY(!state->treemapRectangles().empty());

        // The snapshot's breakdown sums the files by category display name.
        std::int64_t total = 0;
        for (const auto& [name, bytes] : h.snapshots[0]) {
            QVERIFY2(storageCategoryFromName(name).has_value(), name.c_str());
            total += bytes;
        }
        QCOMPARE(total, std::int64_t{9000});
        QCOMPARE(h.snapshots[0], state->getCategorySizeBreakdown());
    }

    void oneScanningStatePerReportAndDirectDiskFigures() {
        Harness h;
        SampleTree sample(h.tree.root());
        std::filesystem::path askedRoot;
        int askedDepth = 0;
        h.scanBody = [&](const std::filesystem::path& root, int depth, const auto& onProgress,
                         const auto&) {
            askedRoot = root;
            askedDepth = depth;
            onProgress(report("/a", 10, 1));
            onProgress(report("/b", 20, 2));
            onProgress(report("Scan Completed", 500, 6));
            return sample.root;
        };
        auto state = h.make();
        std::vector<ScanState> seen;
        connect(state.get(), &AppState::scanStateChanged, this,
                [&] { seen.push_back(state->scanState()); });
        state->startScan();
        h.settle();
        const std::vector<ScanState> expected = {
            ScanState::scanning("Preparing fast scan...", 0, 0), ScanState::scanning("/a", 10, 1),
            ScanState::scanning("/b", 20, 2), ScanState::scanning("Scan Completed", 500, 6),
            ScanState::completed()};
        QVERIFY(seen == expected);
        QCOMPARE(askedRoot, h.tree.root());
        QCOMPARE(askedDepth, 6);
        // Done before the monitor's first sample: the disk figures were taken directly.
        QCOMPARE(h.snapshotCount(), std::size_t{1});
        QCOMPARE(h.snapshotDisk[0], (std::pair<std::int64_t, std::int64_t>(700, 300)));
        const std::map<std::string, std::int64_t> breakdown = {{"Documents", 300}, {"Caches", 200}};
        QVERIFY(h.snapshots[0] == breakdown);
        QVERIFY(state->largeFiles().empty()); // nothing reaches 100 MB
    }

    void scanErrorShowsItsText() {
        Harness h;
        auto state = h.make();
        SampleTree first(h.tree.root());
        h.publish(*state, first.root);
        h.scanBody = [](auto&&...) -> DiskNodePtr { throw std::runtime_error("Disk exploded"); };
        state->startScan(h.tree / "Documents");
        h.settle();
        QCOMPARE(state->scanState(), ScanState::error("Disk exploded"));
        QCOMPARE(state->rootNode(), first.root); // earlier results stay
        QCOMPARE(h.snapshotCount(), std::size_t{1});
    }

    void cancelEndsIdleWhateverTheScannerDoesLater() {
        Harness h;
        Gate entered;
        Gate release;
        const auto partial = makeNode(h.tree.root(), true);
        h.scanBody = [&](const auto&, int, const auto& onProgress, const auto&) {
            entered.open();
            release.wait();
            // Like the real scanner: a late report, the final report, a partial tree.
            onProgress(report("/late", 1, 1));
            onProgress(report("Scan Completed", 1, 1));
            return partial;
        };
        auto state = h.make();
        state->startScan();
        QVERIFY(QTest::qWaitFor([&] { return entered.isOpen(); }));
        state->cancelScan();
        QCOMPARE(state->scanState(), ScanState::idle());
        QTRY_VERIFY(h.scanner(0)->wasCancelled());
        release.open();
        h.settle();
        QCOMPARE(state->scanState(), ScanState::idle());
        QVERIFY(!state->rootNode());
        QCOMPARE(h.snapshotCount(), std::size_t{0});

        // Cancel with nothing running still says idle.
        state->setScanState(ScanState::error("x"));
        state->cancelScan();
        QCOMPARE(state->scanState(), ScanState::idle());
    }

    void secondScanReplacesAFirstThatHasNotReturned() {
        Harness h;
        Gate entered;
        Gate release;
        const auto stale = makeNode(h.tree / "old", true);
        SampleTree fresh(h.tree.root());
        h.scanBody = [&](const auto&, int, const auto& onProgress, const auto&) {
            entered.open();
            release.wait();
            onProgress(report("/old/late", 5, 5));
            throw ScanCancelled();
            return stale;
        };
        auto state = h.make();
        state->startScan(h.tree / "old");
        QVERIFY(QTest::qWaitFor([&] { return entered.isOpen(); }));
        h.scanBody = [&](auto&&...) { return fresh.root; };
        state->startScan();
        QTRY_COMPARE(state->scanState(), ScanState::completed());
        QVERIFY(h.scanner(0)->wasCancelled());
        release.open();
        h.settle();
        QCOMPARE(state->scanState(), ScanState::completed());
        QCOMPARE(state->rootNode(), fresh.root);
        QCOMPARE(h.snapshotCount(), std::size_t{1});
    }

    void navigation() {
        Harness h;
        auto state = h.make();
        SampleTree t(h.tree.root());
        h.publish(*state, t.root);

        state->navigateBack(); // a trail of one: nothing
        QCOMPARE(state->treemapBreadcrumbs().size(), std::size_t{1});

        state->drillDownIntoNode(t.a);
        state->drillDownIntoNode(t.b);
        QCOMPARE(state->treemapBreadcrumbs(), (std::vector<DiskNodePtr>{t.root, t.a, t.b}));
        QCOMPARE(state->currentTreemapRoot(), t.b);
        QVERIFY(state->canNavigateBack());
        state->navigateBack();
        QCOMPARE(state->treemapBreadcrumbs(), (std::vector<DiskNodePtr>{t.root, t.a}));
        QCOMPARE(state->currentTreemapRoot(), t.a);
        QCOMPARE(state->selectedNodeForInspection(), t.a);
        QCOMPARE(state->treemapRectangles().front().node, t.b);

        // A file is only selected.
        state->drillDownIntoNode(t.file);
        QCOMPARE(state->selectedNodeForInspection(), t.file);
        QCOMPARE(state->currentTreemapRoot(), t.a);

        state->navigateBreadcrumb(2); // equal to the trail's length
        state->navigateBreadcrumb(-1);
        QCOMPARE(state->treemapBreadcrumbs().size(), std::size_t{2});
        state->navigateBreadcrumb(0);
        QCOMPARE(state->treemapBreadcrumbs(), std::vector<DiskNodePtr>{t.root});
        QCOMPARE(state->currentTreemapRoot(), t.root);
        QCOMPARE(state->selectedNodeForInspection(), t.root);
    }

    void drillIntoAChildlessFolderRescansAndGrafts() {
        Harness h;
        auto state = h.make();
        SampleTree t(h.tree.root());
        h.publish(*state, t.root);

        std::filesystem::path asked;
        int askedDepth = 0;
        h.scanBody = [&](const std::filesystem::path& root, int depth, const auto& onProgress,
                         const auto&) {
            asked = root;
            askedDepth = depth;
            if (onProgress) {
                throw std::logic_error("a rescan shows no progress");
            }
            auto one = makeNode(root / "one", false, 40);
            auto two = makeNode(root / "two", false, 60);
            return makeNode(root, true, 0, StorageCategory::other, {one, two});
        };
        QSignalSpy states(state.get(), &AppState::scanStateChanged);
        state->drillDownIntoNode(t.empty);
        QCOMPARE(state->currentTreemapRoot(), t.root); // nothing changes at once
        h.settle();
        QCOMPARE(asked, t.empty->url());
        QCOMPARE(askedDepth, 5);
        QCOMPARE(t.empty->children.size(), std::size_t{2});
        QCOMPARE(t.empty->size, std::int64_t{5000}); // the larger of old and new
        QCOMPARE(state->treemapBreadcrumbs(), (std::vector<DiskNodePtr>{t.root, t.empty}));
        QCOMPARE(state->currentTreemapRoot(), t.empty);
        QCOMPARE(states.count(), 0);

        // A failed rescan only selects the folder.
        auto other = makeNode(h.tree / "Other", true);
        h.scanBody = [](auto&&...) -> DiskNodePtr { throw std::runtime_error("gone"); };
        state->drillDownIntoNode(other);
        h.settle();
        QCOMPARE(state->selectedNodeForInspection(), other);
        QCOMPARE(state->currentTreemapRoot(), t.empty);
    }

    // A folder that is not a child of the one shown (found by the search, or a tile nested
    // deeper in the map) is entered at its real place: the trail runs from the root through
    // every folder above it, also after the rescan of a childless one, and Back leads to its
    // parent. A child of the one shown is appended.
    void drillingElsewhereTakesTheTrailOfTheRealPlace() {
        Harness h;
        auto state = h.make();
        const std::filesystem::path at = h.tree.root();
        const DiskNodePtr hollow = makeNode(at / "A/B/Hollow", true, 70);
        const DiskNodePtr b = makeNode(at / "A/B", true, 0, StorageCategory::other,
                                       {hollow, makeNode(at / "A/B/deep.txt", false, 300)});
        const DiskNodePtr a = makeNode(at / "A", true, 0, StorageCategory::other, {b});
        const DiskNodePtr other = makeNode(at / "Other", true, 0, StorageCategory::other,
                                           {makeNode(at / "Other/x.bin", false, 5)});
        const DiskNodePtr root = makeNode(at, true, 0, StorageCategory::other, {a, other});
        h.publish(*state, root);
        h.scanBody = [](const std::filesystem::path& url, auto&&...) {
            return makeNode(url, true, 0, StorageCategory::other,
                            {makeNode(url / "found.txt", false, 1)});
        };

        state->drillDownIntoNode(b);
        QCOMPARE(state->treemapBreadcrumbs(), (std::vector<DiskNodePtr>{root, a, b}));
        QCOMPARE(state->currentTreemapRoot(), b);
        state->navigateBack();
        QCOMPARE(state->currentTreemapRoot(), a);

        state->navigateBreadcrumb(0);
        state->drillDownIntoNode(other); // a child: appended
        state->drillDownIntoNode(hollow);
        h.settle();
        QCOMPARE(state->treemapBreadcrumbs(), (std::vector<DiskNodePtr>{root, a, b, hollow}));
        QCOMPARE(state->currentTreemapRoot(), hollow);
        QCOMPARE(state->selectedNodeForInspection(), hollow);
        state->navigateBack();
        QCOMPARE(state->currentTreemapRoot(), b);
        QCOMPARE(state->treemapRectangles().size(), std::size_t{2});
    }

    void rescanAfterANewTreeDoesNotNavigate() {
        Harness h;
        auto state = h.make();
        SampleTree first(h.tree.root());
        h.publish(*state, first.root);
        Gate release;
        Gate entered;
        h.scanBody = [&](const std::filesystem::path& root, auto&&...) {
            entered.open();
            release.wait();
            return makeNode(root, true, 0, StorageCategory::other,
                            {makeNode(root / "x", false, 1)});
        };
        state->drillDownIntoNode(first.empty);
        QVERIFY(QTest::qWaitFor([&] { return entered.isOpen(); }));
        SampleTree second(h.tree.root());
        h.scanBody = [&](auto&&...) { return second.root; };
        state->startScan();
        QTRY_COMPARE(state->rootNode(), second.root);
        release.open();
        h.settle();
        QCOMPARE(state->treemapBreadcrumbs(), std::vector<DiskNodePtr>{second.root});
        QCOMPARE(state->currentTreemapRoot(), second.root);
    }

    void search() {
        Harness h;
        auto state = h.make();
        QVERIFY(state->searchMatchingNodes("anything").empty()); // no tree yet
        std::vector<DiskNodePtr> files;
        for (int i = 0; i < 60; ++i) {
            files.push_back(
                makeNode(h.tree / "Reports" / ("q" + std::to_string(i) + ".bin"), false, 1));
        }
        auto reports = makeNode(h.tree / "Reports", true, 0, StorageCategory::other, files);
        auto notes = makeNode(h.tree / "Notes.TXT", false, 1);
        auto root = makeNode(h.tree.root(), true, 0, StorageCategory::other, {reports, notes});
        h.publish(*state, root);

        QVERIFY(state->searchMatchingNodes("   \n").empty());
        const auto notesHits = state->searchMatchingNodes("  notes.txt\t");
        QCOMPARE(notesHits, std::vector<DiskNodePtr>{notes});
        // "reports" is only in the parent's name: every file below matches by its path; the
        // folder first, then its files in order, 50 at most.
        const auto hits = state->searchMatchingNodes("REPORTS");
        QCOMPARE(hits.size(), std::size_t{50});
        QCOMPARE(hits[0], reports);
        QCOMPARE(hits[1], files[0]);
        QCOMPARE(hits[49], files[48]);
    }

    void breakdownAndLayoutWithoutATree() {
        Harness h;
        auto state = h.make();
        QSignalSpy spy(state.get(), &AppState::treemapRectanglesChanged);
        state->computeTreemapLayout();
        QCOMPARE(spy.count(), 0);
        QVERIFY(state->getCategorySizeBreakdown().empty());
    }
};

QTEST_MAIN(AppStateScanTest)
#include "AppStateScanTest.moc"
