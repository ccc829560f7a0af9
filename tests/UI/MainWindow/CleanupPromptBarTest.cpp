#include "FernwickUI/MainWindow/CleanupPromptBar.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::WindowHarness;

class CleanupPromptBarTest : public QObject {
    Q_OBJECT

    // A plan of two candidates of `a` and `b` bytes, the second ticked off.
    static CleanupPlan plan(std::int64_t a, std::int64_t b) {
        CleanupPlan result;
        CleanupCandidate first;
        first.size = a;
        first.isSelected = true;
        CleanupCandidate second;
        second.size = b;
        second.isSelected = false;
        result.candidates = {first, second};
        return result;
    }

private slots:
    void showsAboveOneHundredMegabytesUntilDismissedForThisTree() {
        WindowHarness w(true);
        w.open();
        QVERIFY(w.scanFixture());
        CleanupPromptBar* bar = w.window->resultCanvas()->cleanupPromptBar();
        w.state->setCleanupPlan(plan(60'000'000, 40'000'000));
        QVERIFY(!bar->isVisible());
        w.state->setCleanupPlan(plan(60'000'000, 40'000'001));
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->amountLabel()->text(),
                 QStringLiteral("Found 100 MB you can review and clean"));
        QCOMPARE(bar->itemsLabel()->text(),
                 QStringLiteral("2 items: caches, build data, old installers"));

        click(bar->reviewButton());
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::cleanup));
        QCOMPARE(w.window->toolSheet()->title(), QStringLiteral("Smart Cleanup"));
        QVERIFY(bar->isVisible());
        w.state->setActiveModal(std::nullopt);

        QCOMPARE(bar->closeButton()->toolTip(), QStringLiteral("Hide for this session"));
        click(bar->closeButton());
        QVERIFY(!bar->isVisible());
        w.state->setStorageVisualMode(StorageVisualMode::list);
        w.state->navigateBreadcrumb(0);
        w.state->setRootNode(w.state->rootNode()); // the same tree, announced again
        w.state->setCleanupPlan(plan(60'000'000, 40'000'001));
        QVERIFY(!bar->isVisible());
        // Moves to the Trash, one in place and one while the tree is read (its root is then
        // copied), each followed by the same tree announced again.
        w.state->trashNode(w.child("Beta"));
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        w.state->setRootNode(w.state->rootNode());
        {
            const ScanTree::View reading = w.state->scanTree().view();
            w.state->trashNode(w.child("gamma.bin"));
            QTRY_VERIFY(w.state->lastTrashed() &&
                        w.state->lastTrashed()->node->name() == "gamma.bin");
        }
        QVERIFY(!std::filesystem::exists(w.h.tree / "fixture/gamma.bin"));
        w.state->setRootNode(w.state->rootNode());
        w.state->setCleanupPlan(plan(60'000'000, 40'000'001));
        QVERIFY(!bar->isVisible());

        // Another tree brings it back; a plan of exactly 100 MB hides it by itself.
        QVERIFY(w.scanFixture());
        w.state->setCleanupPlan(plan(60'000'000, 40'000'001));
        QVERIFY(bar->isVisible());
        w.state->setCleanupPlan(plan(60'000'000, 40'000'000));
        QVERIFY(!bar->isVisible());
    }
};

QTEST_MAIN(CleanupPromptBarTest)
#include "CleanupPromptBarTest.moc"
