#include "FernwickUI/Tools/CleanupReviewView.h"
#include "FernwickCore/Engines/CleanupEngine.h"
#include "FernwickUI/Kit/Spinner.h"
#include "FernwickUI/Kit/SwitchToggle.h"
#include "FernwickUI/Tools/CleanupCandidatesModel.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QPushButton>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::clickRow;
using fernwick::test::findButton;
using fernwick::test::Gate;
using fernwick::test::row;
using fernwick::test::ToolsHarness;

namespace {

CleanupCandidate candidate(const std::filesystem::path& url, std::int64_t size, RiskLevel risk,
                           bool selected) {
    CleanupCandidate c;
    c.id = Uuid::random();
    c.name = url.filename().native();
    c.url = url;
    c.size = size;
    c.category = StorageCategory::caches;
    c.riskLevel = risk;
    c.purpose = "Purpose of " + c.name;
    c.isSelected = selected;
    return c;
}

// Low 1,000,000 ticked; medium 500,000 ticked; high 2,000,000 unticked.
CleanupPlan threeCandidates(const std::filesystem::path& folder) {
    CleanupPlan plan;
    plan.candidates = {candidate(folder / "low", 1000000, RiskLevel::low, true),
                       candidate(folder / "medium", 500000, RiskLevel::medium, true),
                       candidate(folder / "high", 2000000, RiskLevel::high, false)};
    return plan;
}

CleanupReviewView* openCleanup(ToolsHarness& w) {
    w.openSheet(ActiveModal::cleanup);
    return w.screen<CleanupReviewView>();
}

} // namespace

class CleanupReviewViewTest : public QObject {
    Q_OBJECT

private slots:
    // Tab enters the list at the first candidate's tick box; Down moves it, Space ticks.
    void theTickBoxesAnswerTheKeyboard() {
        ToolsHarness w(false);
        w.open();
        w.state->setCleanupPlan(threeCandidates(w.h.tree / "c"));
        auto* view = openCleanup(w);
        QApplication::setActiveWindow(w.window->sheet()->window());
        RowList* list = view->list();
        QVERIFY(list->focusPolicy() & Qt::TabFocus);
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(list->focusedAction(), int(CleanupReviewView::tick));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->focusedRow(), 2);
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(w.state->cleanupPlan().candidates[2].isSelected);
    }

    void aLongNameAndPurposeWrapWhileThePathKeepsToOneLine() {
        ToolsHarness w(false);
        w.open();
        const std::string name(140, 'n');
        const std::string purpose =
            "Temporary files that a package manager keeps between installs so that the next "
            "install of the same version needs no download; it fetches them again when needed.";
        const auto folder = w.h.tree / std::string(300, 'p');
        CleanupPlan plan;
        plan.candidates = {candidate(folder / name, 1000000, RiskLevel::low, true),
                           candidate(folder / "short", 1000, RiskLevel::low, true)};
        plan.candidates[0].purpose = purpose;
        w.state->setCleanupPlan(plan);
        auto* view = openCleanup(w);
        w.window->sheet()->resize(860, 580);
        w.h.settle();
        RowList* list = view->list();
        const QString painted = fernwick::test::paintedTexts(list, 0);
        QVERIFY2(QString(painted).remove(QLatin1Char(' ')).contains(QString::fromStdString(name)),
                 qPrintable(painted));
        QVERIFY(fernwick::test::paintedTexts(list, 0).contains(QString::fromStdString(purpose)));
        // The path alone is cut to its line.
        QVERIFY(!fernwick::test::paintedTexts(list, 0).contains(QString::fromStdString(folder)));
        QVERIFY(list->visualRect(list->model()->index(0, 0)).height() >
                list->visualRect(list->model()->index(1, 0)).height());
    }

    void rowsFooterAndTheConfirmationThatReturnCannotAccept() {
        ToolsHarness w(false);
        std::atomic<int> runs{0};
        w.h.services.executeCleanup = [&](const CleanupPlan&, bool, const CheckedTrashMover&) {
            ++runs;
            return CleanupExecutionResult{};
        };
        w.open();
        w.state->setCleanupPlan(threeCandidates(w.h.tree / "c"));
        auto* view = openCleanup(w);
        QVERIFY(view != nullptr);
        QCOMPARE(view->model()->rowCount(), 3);
        QStringList badges;
        for (int i = 0; i < 3; ++i) {
            badges << row(view->model(), i)[1];
        }
        QCOMPARE(badges,
                 (QStringList{"Safe to Clean", "Review Recommended", "Protected / User Data"}));
        QCOMPARE(row(view->model(), 0),
                 (QStringList{"low", "Safe to Clean",
                              QString::fromStdString((w.h.tree / "c/low").native()),
                              "Purpose of low", "1 MB", "Caches"}));
        QCOMPARE(view->countLabel()->text(), QStringLiteral("2 items"));
        QCOMPARE(view->sizeLabel()->text(), QStringLiteral("1.5 MB"));
        QVERIFY(!view->reclaimedLabel()->isVisibleTo(view));
        QCOMPARE(view->runButton()->label(), QStringLiteral("Clean Safely to Trash"));

        click(view->runButton());
        ConfirmationDialog* dialog = w.confirmation();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("Move Selected Files to Trash?"));
        QCOMPARE(dialog->destructiveButton()->text(), QStringLiteral("Move 1.5 MB to Trash"));
        QCOMPARE(dialog->messageLabel()->text(),
                 QStringLiteral("Selected files will be safely moved to the Trash. You can undo or "
                                "restore items from the Trash at any time."));
        click(dialog->cancelButton());
        w.h.settle();
        QVERIFY(w.confirmation() == nullptr);
        click(view->runButton());
        QTest::keyClick(w.confirmation(), Qt::Key_Return);
        w.h.settle();
        QVERIFY(w.confirmation() == nullptr);
        QCOMPARE(runs.load(), 0);
        QVERIFY(!w.state->isCleaning());
    }

    void aDryRunRunsAtOnceAndShowsWhatItWouldReclaim() {
        ToolsHarness w(false);
        std::vector<bool> runs;
        w.h.services.executeCleanup = [&](const CleanupPlan& plan, bool isDryRun,
                                          const CheckedTrashMover&) {
            runs.push_back(isDryRun);
            CleanupExecutionResult result;
            result.reclaimedBytes = plan.totalSelectedSize();
            return result;
        };
        w.open();
        w.state->setCleanupPlan(threeCandidates(w.h.tree / "c"));
        auto* view = openCleanup(w);
        click(view->dryRunSwitch());
        QCOMPARE(view->runButton()->label(), QStringLiteral("Run Dry-Run Check"));
        click(view->runButton());
        QVERIFY(w.confirmation() == nullptr);
        w.h.settle();
        QCOMPARE(runs, std::vector<bool>{true});
        QVERIFY(view->reclaimedLabel()->isVisibleTo(view));
        QCOMPARE(view->reclaimedLabel()->text(), QStringLiteral("1.5 MB Reclaimed"));
    }

    void ticksLiveInTheStateAndDecideTheButton() {
        ToolsHarness w(false);
        w.open();
        w.state->setCleanupPlan(threeCandidates(w.h.tree / "c"));
        auto* view = openCleanup(w);
        clickRow(view->list(), 0, CleanupReviewView::tick);
        clickRow(view->list(), 1, CleanupReviewView::tick);
        QCOMPARE(view->countLabel()->text(), QStringLiteral("0 items"));
        QVERIFY(!view->runButton()->isEnabled());
        click(view->dryRunSwitch());
        QVERIFY(!view->runButton()->isEnabled());
        click(view->dryRunSwitch());
        clickRow(view->list(), 2, CleanupReviewView::tick);
        QCOMPARE(view->countLabel()->text(), QStringLiteral("1 items"));
        QCOMPARE(view->sizeLabel()->text(), QStringLiteral("2 MB"));
        QVERIFY(view->runButton()->isEnabled());
        click(view->dryRunSwitch());

        click(findButton(w.window->toolSheet(), QStringLiteral("Done")));
        w.h.settle();
        view = openCleanup(w);
        QCOMPARE(view->model()->data(view->model()->index(2), Qt::CheckStateRole).toInt(),
                 int(Qt::Checked));
        QCOMPARE(view->model()->data(view->model()->index(0), Qt::CheckStateRole).toInt(),
                 int(Qt::Unchecked));
        QVERIFY(!view->dryRunSwitch()->isChecked());
        QCOMPARE(view->runButton()->label(), QStringLiteral("Clean Safely to Trash"));
    }

    void anEmptyPlanOffersAScanAndTheSheetStays() {
        ToolsHarness w(false);
        std::vector<std::filesystem::path> scanned;
        w.h.scanBody = [&](const std::filesystem::path& root, int, auto&&, auto&&) {
            scanned.push_back(root);
            return fernwick::test::makeNode(root, true);
        };
        w.open();
        auto* view = openCleanup(w);
        QVERIFY(view->showsEmptyState());
        // It names a place this program has.
        const auto labels = view->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
            return label->isVisibleTo(label->window()) &&
                   label->text() ==
                       QStringLiteral("Run a scan from the sidebar to discover disposable files.");
        }));
        QCOMPARE(view->countLabel()->text(), QStringLiteral("0 items"));
        QCOMPARE(view->sizeLabel()->text(), QStringLiteral("Zero KB"));
        QVERIFY(!view->runButton()->isEnabled());
        click(findButton(view, QStringLiteral("Run Scan Now")));
        w.h.settle();
        QCOMPARE(scanned, std::vector<std::filesystem::path>{w.h.tree.root()});
        QVERIFY(w.window->toolSheet() != nullptr);
        QVERIFY(w.screen<CleanupReviewView>() == view);
    }

    void whileARunIsGoingTheButtonWaitsWithASpinner() {
        ToolsHarness w(false);
        Gate release;
        w.h.services.executeCleanup = [&](const CleanupPlan&, bool, const CheckedTrashMover&) {
            release.wait();
            return CleanupExecutionResult{};
        };
        w.open();
        w.state->setCleanupPlan(threeCandidates(w.h.tree / "c"));
        auto* view = openCleanup(w);
        click(view->dryRunSwitch());
        click(view->runButton());
        QVERIFY(w.state->isCleaning());
        QVERIFY(view->runSpinner()->isVisibleTo(view));
        QVERIFY(!view->runButton()->isEnabled());
        release.open();
        w.h.settle();
        QVERIFY(!view->runSpinner()->isVisibleTo(view));
        QVERIFY(view->runButton()->isEnabled());
    }

    void aRealRunMovesTheFilesAndTheirRowsGo() {
        ToolsHarness w(false);
        const auto low = w.h.tree.denseFile("c/low", 1000);
        const auto medium = w.h.tree.denseFile("c/medium", 500);
        w.h.tree.denseFile("c/high", 2000);
        auto engine = std::make_shared<CleanupEngine>(w.h.safety, w.h.trash, w.h.clock);
        w.h.services.executeCleanup = [engine](const CleanupPlan& plan, bool isDryRun,
                                               const CheckedTrashMover& mover) {
            return engine->executeCleanup(plan, isDryRun, mover);
        };
        // The plan made after a run lists what is still there.
        const auto folder = w.h.tree / "c";
        w.h.services.generateSmartCleanupPlan = [folder](const DiskNodePtr&) {
            CleanupPlan plan = threeCandidates(folder);
            std::erase_if(plan.candidates,
                          [](const auto& c) { return !std::filesystem::exists(c.url); });
            return plan;
        };
        w.open();
        w.h.publish(*w.state, fernwick::test::makeNode(folder, true));
        CleanupPlan plan = threeCandidates(folder);
        plan.candidates[0].size = 1000;
        plan.candidates[1].size = 500;
        w.state->setCleanupPlan(plan);
        auto* view = openCleanup(w);
        click(view->runButton());
        click(w.confirmation()->destructiveButton());
        w.h.settle();
        QVERIFY(!std::filesystem::exists(low));
        QVERIFY(!std::filesystem::exists(medium));
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{2});
        QCOMPARE(view->model()->rowCount(), 1);
        QCOMPARE(row(view->model(), 0)[0], QStringLiteral("high"));
        QCOMPARE(view->reclaimedLabel()->text(), QStringLiteral("2 KB Reclaimed"));

        // Moving the last one leaves the empty state with the reclaimed line.
        clickRow(view->list(), 0, CleanupReviewView::tick);
        click(view->runButton());
        click(w.confirmation()->destructiveButton());
        w.h.settle();
        QVERIFY(view->showsEmptyState());
        QVERIFY(view->reclaimedLabel()->isVisibleTo(view));
        QCOMPARE(view->reclaimedLabel()->text(), QStringLiteral("2 MB Reclaimed"));
    }
};

QTEST_MAIN(CleanupReviewViewTest)
#include "CleanupReviewViewTest.moc"
