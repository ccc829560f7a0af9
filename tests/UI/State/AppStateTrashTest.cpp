#include "tests/UI/State/AppStateHarness.h"

#include <QElapsedTimer>

#include <fstream>
#include <sys/stat.h>

using fernwick::test::Harness;
using fernwick::test::makeNode;
using fernwick::test::runToCompletion;
using namespace fernwick;
using namespace fernwick::ui;

namespace {

std::uint64_t inodeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_ino) : 0;
}

// A scanned folder "work" with a folder "docs" (two files) and a file "solo.txt", on disk and
// as a tree with inodes.
struct Fixture {
    explicit Fixture(Harness& h) {
        h.tree.denseFile("work/docs/a.txt", 100);
        h.tree.denseFile("work/docs/b.txt", 200);
        h.tree.denseFile("work/solo.txt", 50);
        a = makeNode(h.tree / "work/docs/a.txt", false, 100);
        b = makeNode(h.tree / "work/docs/b.txt", false, 200);
        docs = makeNode(h.tree / "work/docs", true, 0, StorageCategory::other, {a, b});
        solo = makeNode(h.tree / "work/solo.txt", false, 50);
        root = makeNode(h.tree / "work", true, 0, StorageCategory::other, {docs, solo});
        for (const auto& node : {a, b, docs, solo, root}) {
            test::writable(node->inode) = inodeOf(node->url());
        }
    }
    DiskNodePtr a, b, docs, solo, root;
};

} // namespace

class AppStateTrashTest : public QObject {
    Q_OBJECT

    static std::unique_ptr<AppState> withTree(Harness& h, const DiskNodePtr& root) {
        h.scanBody = [root](auto&&...) { return root; };
        auto state = h.make();
        state->startScan();
        h.settle();
        return state;
    }

private slots:
    void moveThenUndoRestoresEverything() {
        Harness h;
        Fixture f(h);
        auto state = withTree(h, f.root);
        QCOMPARE(state->undoExpiryTimer().interval(), 12000);
        QVERIFY(state->undoExpiryTimer().isSingleShot());
        QCOMPARE(state->undoExpiryTimer().timerType(), Qt::PreciseTimer);

        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.docs, done); }));
        h.settle();
        QVERIFY(!std::filesystem::exists(h.tree / "work/docs"));
        QVERIFY(state->lastTrashed().has_value());
        QCOMPARE(state->lastTrashed()->node, f.docs);
        QCOMPARE(state->lastTrashed()->size, std::int64_t{300});
        QCOMPARE(f.docs->size, std::int64_t{0});
        QVERIFY(f.docs->children.empty());
        QCOMPARE(f.root->size, std::int64_t{50});
        QCOMPARE(state->trashItemCount(), std::int64_t{1});
        QVERIFY(state->undoExpiryTimer().isActive());
        // The layout laid out on a worker after the change shows the emptied folder no more.
        QCOMPARE(state->treemapRectangles().size(), std::size_t{1});
        QCOMPARE(state->treemapRectangles().front().node, f.solo);

        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
        // A layout asked for meanwhile is newer than the worker's: the worker's is dropped.
        state->setCurrentTreemapRoot(f.docs);
        state->computeTreemapLayout();
        h.settle();
        QCOMPARE(state->treemapRectangles().size(), std::size_t{2});
        QCOMPARE(state->treemapRectangles().front().node, f.b);
        QVERIFY(std::filesystem::exists(h.tree / "work/docs/b.txt"));
        QVERIFY(!state->lastTrashed());
        QCOMPARE(f.docs->size, std::int64_t{300});
        QCOMPARE(f.docs->children.size(), std::size_t{2});
        QCOMPARE(f.root->size, std::int64_t{350});
        QCOMPARE(state->trashItemCount(), std::int64_t{0});
        QVERIFY(!state->undoExpiryTimer().isActive());
    }

    void refusalsAndFailuresBecomeAlerts() {
        Harness h;
        Fixture f(h);
        // A Trash that can only fail: every item counts as lying on a volume without one.
        h.services.trash = std::make_shared<Trash>(
            h.env,
            Trash::Seams{[&](const std::filesystem::path&) -> std::optional<std::filesystem::path> {
                             return h.tree / "no-such-volume";
                         },
                         fernwick::test::noMountPoints});
        auto state = withTree(h, f.root);

        // The home folder itself is refused.
        const auto home = makeNode(h.tree.root(), true);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(home, done); }));
        QCOMPARE(QString::fromStdString(state->userAlert()->title),
                 QString::fromStdString(home->name() + " is protected"));
        QCOMPARE(state->userAlert()->message, std::string("User home root cannot be modified"));

        // An item removed since the scan is not called protected: the reason says it is gone.
        const auto gone = makeNode(h.tree / "work/gone.txt", false, 5);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(gone, done); }));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't move gone.txt to Trash"));
        QCOMPARE(
            state->userAlert()->message,
            std::string(
                "Target no longer exists or is inaccessible (may have been moved or removed)"));

        // A move that fails.
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.solo, done); }));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't move solo.txt to Trash"));
        QVERIFY(!state->userAlert()->message.empty());
        QVERIFY(std::filesystem::exists(f.solo->url()));
        QCOMPARE(f.solo->size, std::int64_t{50});
        QVERIFY(!state->lastTrashed());
    }

    void aReplacedItemIsRefusedNotMoved() {
        Harness h;
        Fixture f(h);
        auto state = withTree(h, f.root);
        // Another file now stands where the scanned one was (made first, so its inode differs).
        h.tree.denseFile("work/solo.new", 70);
        std::filesystem::rename(h.tree / "work/solo.new", f.solo->url());
        QVERIFY(inodeOf(f.solo->url()) != f.solo->inode);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.solo, done); }));
        QVERIFY(state->userAlert().has_value());
        QVERIFY(std::filesystem::exists(f.solo->url()));
        QVERIFY(!state->lastTrashed());
        QCOMPARE(f.solo->size, std::int64_t{50});
    }

    void undoNeverOverwrites() {
        Harness h;
        Fixture f(h);
        auto state = withTree(h, f.root);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.solo, done); }));
        const auto trashed = state->lastTrashed()->trashedURL;
        h.tree.file("work/solo.txt", "newer");
        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't restore solo.txt"));
        QVERIFY(state->userAlert()->message.starts_with(
            "It is still in the Trash — you can restore it from your file manager. ("));
        QVERIFY(state->userAlert()->message.ends_with(")"));
        QVERIFY(std::filesystem::exists(trashed));
        std::ifstream kept(f.solo->url());
        std::string text;
        kept >> text;
        QCOMPARE(text, std::string("newer"));
        QCOMPARE(f.solo->size, std::int64_t{0});
        QVERIFY(!state->lastTrashed());

        // Undo with nothing to undo does nothing.
        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
    }

    void undoAfterTheTrashLostTheItem() {
        Harness h;
        Fixture f(h);
        auto state = withTree(h, f.root);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.solo, done); }));
        std::filesystem::remove(state->lastTrashed()->trashedURL);
        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't restore solo.txt"));
    }

    void expiryFollowsTheLatestMove() {
        Harness h;
        h.services.undoWindow = std::chrono::milliseconds(400);
        Fixture f(h);
        auto state = withTree(h, f.root);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.a, done); }));
        QElapsedTimer sinceSecond;
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.b, done); }));
        sinceSecond.start();
        QCOMPARE(state->lastTrashed()->node, f.b);
        QSignalSpy cleared(state.get(), &AppState::lastTrashedChanged);
        QVERIFY(cleared.wait(5000));
        QVERIFY(!state->lastTrashed());
        // The first move's window would have ended earlier; the second lasts its full length.
        QVERIFY(sinceSecond.elapsed() >= 390);
        QCOMPARE(cleared.count(), 1);
    }

    void emptyingRemovesEntriesAndThePendingUndo() {
        Harness h;
        Fixture f(h);
        auto state = withTree(h, f.root);
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.docs, done); }));
        QVERIFY(runToCompletion([&](auto done) { state->trashNode(f.solo, done); }));
        h.settle();
        QCOMPARE(state->trashItemCount(), std::int64_t{2});

        state->emptyTrash();
        QVERIFY(state->isTrashEmptying());
        QVERIFY(!state->lastTrashed());
        QTRY_VERIFY(!state->isTrashEmptying());
        h.settle();
        QCOMPARE(state->trashItemCount(), std::int64_t{0});
        QVERIFY(!state->userAlert());
    }

    // A move to the Trash while the duplicate search holds the tree: the record, the emptied
    // node and the Trash count arrive at once; the search's own tree stays as it was.
    void treeChangesApplyAtOnceWhileEnginesReadTheTree() {
        Harness h;
        fernwick::test::Gate reading;
        fernwick::test::Gate release;
        DiskNodePtr searched;
        h.services.findDuplicates = [&](const DiskNodePtr& root, std::int64_t,
                                        DuplicateResolutionRule) {
            searched = root;
            reading.open();
            release.wait();
            return std::vector<DuplicateCluster>{};
        };
        Fixture f(h);
        auto state = withTree(h, f.root);
        bool found = false;
        state->scanDuplicates([&] { found = true; });
        QVERIFY(QTest::qWaitFor([&] { return reading.isOpen(); }));
        QSignalSpy changed(state.get(), &AppState::treeChanged);
        bool trashed = false;
        state->trashNode(f.docs, [&] { trashed = true; });
        QVERIFY(QTest::qWaitFor([&] { return trashed; }, 5000));
        QTRY_COMPARE(state->trashItemCount(), std::int64_t{1});
        QVERIFY(!std::filesystem::exists(f.docs->url()));
        QVERIFY(state->lastTrashed().has_value());
        QCOMPARE(state->lastTrashed()->size, std::int64_t{300});
        const DiskNodePtr docsNow = state->lastTrashed()->node;
        QCOMPARE(docsNow->id(), f.docs->id());
        QCOMPARE(docsNow->size, std::int64_t{0});
        QVERIFY(docsNow->children.empty());
        QCOMPARE(state->rootNode()->size, std::int64_t{50});
        QCOMPARE(state->rootNode()->children[0], docsNow);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(state->currentTreemapRoot(), state->rootNode());
        QCOMPARE(state->treemapBreadcrumbs().front(), state->rootNode());
        // The search still reads the tree as it was when it began.
        QVERIFY(!found);
        QCOMPARE(searched, f.root);
        QCOMPARE(f.docs->children.size(), std::size_t{2});
        QCOMPARE(f.root->size, std::int64_t{350});

        // The undo too, while the search still runs.
        QVERIFY(runToCompletion([&](auto done) { state->undoLastTrash(done); }));
        QCOMPARE(state->rootNode()->size, std::int64_t{350});
        QCOMPARE(state->rootNode()->children[0]->children.size(), std::size_t{2});
        QCOMPARE(f.root->size, std::int64_t{350});
        release.open();
        QVERIFY(QTest::qWaitFor([&] { return found; }));
        h.settle();
        QCOMPARE(state->rootNode()->size, std::int64_t{350});
        QVERIFY(!state->scanTree().hasReaders());
    }

    void revealGoesToTheFileManager() {
        Harness h;
        auto state = h.make();
        state->revealInFinder(h.tree / "x");
        QCOMPARE(h.revealed, std::vector<std::filesystem::path>{h.tree / "x"});
    }
};

QTEST_MAIN(AppStateTrashTest)
#include "AppStateTrashTest.moc"
