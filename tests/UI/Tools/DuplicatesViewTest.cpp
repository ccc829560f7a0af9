#include "FernwickUI/Tools/DuplicatesView.h"
#include "FernwickUI/Tools/DuplicatesModel.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::clickRow;
using fernwick::test::duplicateCluster;
using fernwick::test::findButton;
using fernwick::test::Gate;
using fernwick::test::row;
using fernwick::test::ToolsHarness;

namespace {

struct DuplicatesHarness : ToolsHarness {
    std::atomic<int> searches{0};
    std::vector<DuplicateCluster> found;
    DuplicatesHarness() : ToolsHarness(false) {
        h.services.findDuplicates = [this](const DiskNodePtr&, std::int64_t,
                                           DuplicateResolutionRule) {
            ++searches;
            return found;
        };
    }
    DuplicatesView* openDuplicates() {
        openSheet(ActiveModal::duplicates);
        return screen<DuplicatesView>();
    }
};

QModelIndex model(DuplicatesView* view, int index) {
    return view->model()->index(index, 0);
}

} // namespace

class DuplicatesViewTest : public QObject {
    Q_OBJECT

private slots:
    void aClusterOfThreeCopiesTicksInPlace() {
        DuplicatesHarness w;
        w.open();
        std::vector<DuplicateCluster> clusters;
        for (int c = 0; c < 200; ++c) {
            const std::string folder = "/d" + std::to_string(c);
            clusters.push_back(duplicateCluster(
                {folder + "/a.bin", folder + "/b.bin", folder + "/c.bin"}, 1000000));
        }
        w.state->setDuplicateClusters(clusters);
        auto* view = w.openDuplicates();
        QVERIFY(view != nullptr);
        QCOMPARE(w.searches.load(), 0); // opening searches nothing
        QCOMPARE(view->contentName(), QStringLiteral("list"));
        DuplicatesModel* model = view->model();
        QCOMPARE(model->rowCount(), 800);
        QCOMPARE(row(model, 0),
                 (QStringList{"3 Identical Copies \u2022 1 MB each", "Recoverable: Zero KB"}));
        QCOMPARE(row(model, 1), (QStringList{"a.bin", "ORIGINAL", "/d0/a.bin", "Reveal"}));
        QCOMPARE(model->data(model->index(1), RowRole::icon).toString(),
                 QStringLiteral("star.fill"));
        QVERIFY(!model->data(model->index(1), Qt::CheckStateRole).isValid());
        QCOMPARE(row(model, 2), (QStringList{"b.bin", "/d0/b.bin", "Reveal"}));
        QCOMPARE(model->data(model->index(2), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!view->cleanButton()->isEnabled());
        QCOMPARE(view->totalLabel()->text(), QStringLiteral("Zero KB"));

        // A tick far down the list: in place, the scroll position kept.
        const int target = 4 * 150 + 2;
        clickRow(view->list(), target, DuplicatesView::tick);
        const int scrolled = view->list()->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        QCOMPARE(row(model, 4 * 150)[1], QStringLiteral("Recoverable: 1 MB"));
        QCOMPARE(view->totalLabel()->text(), QStringLiteral("1 MB"));
        QVERIFY(view->cleanButton()->isEnabled());
        clickRow(view->list(), target, DuplicatesView::tick);
        QCOMPARE(view->list()->verticalScrollBar()->value(), scrolled);
        QVERIFY(!view->cleanButton()->isEnabled());
        QCOMPARE(view->totalLabel()->text(), QStringLiteral("Zero KB"));

        clickRow(view->list(), 1, DuplicatesView::reveal);
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{"/d0/a.bin"});
    }

    void tickedHardLinksFreeNothing() {
        DuplicatesHarness w;
        w.open();
        auto cluster = duplicateCluster({"/h/a", "/h/b"}, 5000, {1});
        cluster.items[1].isHardlink = true;
        w.state->setDuplicateClusters({cluster});
        auto* view = w.openDuplicates();
        QCOMPARE(row(view->model(), 0)[1], QStringLiteral("Recoverable: Zero KB"));
        QVERIFY(!view->cleanButton()->isEnabled());
    }

    void theCleanAsksMovesTheTickedCopiesReportsTheRestAndSearchesAgain() {
        DuplicatesHarness w;
        const auto original = w.h.tree.denseFile("dup/a.bin", 64);
        const auto kept = w.h.tree.denseFile("dup/b.bin", 64);
        const auto gone = w.h.tree.denseFile("dup/c.bin", 64);
        w.open();
        w.h.publish(*w.state, fernwick::test::makeNode(w.h.tree / "dup", true));
        w.state->setDuplicateClusters({duplicateCluster({original, kept, gone}, 64, {1, 2})});
        auto* view = w.openDuplicates();

        click(view->cleanButton());
        ConfirmationDialog* dialog = w.confirmation();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("Clean Selected Duplicate Copies?"));
        QCOMPARE(dialog->destructiveButton()->text(), QStringLiteral("Move Duplicates to Trash"));
        QCOMPARE(dialog->messageLabel()->text(),
                 QStringLiteral("Selected duplicate copies will be safely moved to Trash. The "
                                "original files will remain intact."));
        QTest::keyClick(dialog, Qt::Key_Return);
        click(view->cleanButton());
        click(w.confirmation()->cancelButton());
        w.h.settle();
        QVERIFY(std::filesystem::exists(kept));
        QCOMPARE(w.searches.load(), 0);

        std::filesystem::remove(gone);
        click(view->cleanButton());
        click(w.confirmation()->destructiveButton());
        w.h.settle();
        QVERIFY(std::filesystem::exists(original));
        QVERIFY(!std::filesystem::exists(kept));
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{1});
        QCOMPARE(w.searches.load(), 1);
        QCOMPARE(w.state->userAlert()->message,
                 "c.bin: " + std::string(SafetyEngine::kMissingReason));
        QCOMPARE(view->contentName(), QStringLiteral("empty"));
    }

    void aSearchShowsTheLoadingTextOverOldClusters() {
        DuplicatesHarness w;
        Gate release;
        w.h.services.findDuplicates = [&](const DiskNodePtr&, std::int64_t,
                                          DuplicateResolutionRule) {
            release.wait();
            return std::vector<DuplicateCluster>{};
        };
        w.open();
        w.h.publish(*w.state, fernwick::test::makeNode(w.h.tree / "x", true));
        w.state->setDuplicateClusters({duplicateCluster({"/o/a", "/o/b"}, 60000)});
        auto* view = w.openDuplicates();
        click(findButton(view, QStringLiteral("Scan Duplicates")));
        QCOMPARE(view->contentName(), QStringLiteral("loading"));
        QVERIFY(findButton(view, QStringLiteral("Scan Duplicates")) != nullptr); // header stays
        release.open();
        w.h.settle();
        QCOMPARE(view->contentName(), QStringLiteral("empty"));
    }

    // The footer's caption, the clusters largest first by the space their copies take, and a
    // refused copy's reason naming a home folder as the user knows it.
    void theFooterOrderAndReasonsReadAsTheUserKnowsThem() {
        DuplicatesHarness w;
        const auto original = w.h.tree.denseFile("Documents/a.bin", 64);
        const auto copy = w.h.tree.denseFile("Documents/b.bin", 64);
        w.open();
        w.h.publish(*w.state, fernwick::test::makeNode(w.h.tree / "Documents", true));
        w.state->setDuplicateClusters({duplicateCluster({"/s/a", "/s/b"}, 1000),
                                       duplicateCluster({original, copy}, 64, {1}),
                                       duplicateCluster({"/l/a", "/l/b", "/l/c"}, 900)});
        auto* view = w.openDuplicates();
        QStringList captions;
        for (auto* label : view->findChildren<QLabel*>()) {
            captions << label->text();
        }
        QVERIFY(captions.contains(QStringLiteral("Total Reclaimable from Duplicates:")));
        DuplicatesModel* model = view->model();
        QCOMPARE(row(model, 0)[0], QStringLiteral("3 Identical Copies \u2022 900 bytes each"));
        QCOMPARE(row(model, 4)[0], QStringLiteral("2 Identical Copies \u2022 1 KB each"));
        QCOMPARE(row(model, 7)[0], QStringLiteral("2 Identical Copies \u2022 64 bytes each"));

        click(view->cleanButton());
        click(w.confirmation()->destructiveButton());
        w.h.settle();
        QVERIFY(std::filesystem::exists(copy));
        QCOMPARE(w.state->userAlert()->message,
                 std::string("b.bin: Protected sensitive user location: ~/Documents"));
    }

    // A long name wraps whole and the row grows; the path keeps to one line, cut in its middle
    // so that its file name stays in view.
    void aLongNameWrapsAndThePathIsCutInItsMiddle() {
        DuplicatesHarness w;
        w.open();
        const std::string name = "Holiday recording from the summer trip to the northern coast, "
                                 "uncut, with every evening by the water, the harbour at dawn, "
                                 "the long walk over the dunes and the boat back home.mov";
        const std::string folder = "/media/" + std::string(300, 'f');
        w.state->setDuplicateClusters(
            {duplicateCluster({folder + "/" + name, folder + "/short.mov"}, 5000)});
        auto* view = w.openDuplicates();
        RowList* list = view->list();
        const QString painted = fernwick::test::paintedTexts(list, 1);
        QVERIFY2(painted.contains(QString::fromStdString(name)), qPrintable(painted));
        const QString copy = fernwick::test::paintedTexts(list, 2);
        QVERIFY2(copy.contains(QRegularExpression(QStringLiteral("/media/f+\u2026f+/short\\.mov"))),
                 qPrintable(copy));
        QVERIFY(list->visualRect(model(view, 1)).height() >
                list->visualRect(model(view, 2)).height());
    }

    // Tab enters the list at the first row with a control; Up and Down move the focused row
    // past the cluster headers, Left and Right move between its tick box and "Reveal", and
    // Space or Return press the focused one.
    void theRowControlsAnswerTheKeyboard() {
        DuplicatesHarness w;
        w.open();
        std::vector<DuplicateCluster> clusters;
        for (int c = 0; c < 40; ++c) {
            const std::string folder = "/k" + std::to_string(c);
            clusters.push_back(duplicateCluster({folder + "/a", folder + "/b"}, 5000 - c));
        }
        w.state->setDuplicateClusters(clusters);
        auto* view = w.openDuplicates();
        QApplication::setActiveWindow(w.window->sheet()->window());
        RowList* list = view->list();
        QVERIFY(list->focusPolicy() & Qt::TabFocus);
        list->setFocus(Qt::TabFocusReason);
        QVERIFY(list->hasFocus());
        QCOMPARE(list->focusedRow(), 1);
        QCOMPARE(list->focusedAction(), int(DuplicatesView::reveal));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->focusedRow(), 2);
        QCOMPARE(list->focusedAction(), int(DuplicatesView::tick));
        QTest::keyClick(list, Qt::Key_Space);
        QVERIFY(w.state->duplicateClusters()[0].items[1].isSelectedForCleanup);
        QTest::keyClick(list, Qt::Key_Right);
        QCOMPARE(list->focusedAction(), int(DuplicatesView::reveal));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{"/k0/b"});
        QTest::keyClick(list, Qt::Key_Down); // over the next cluster's header
        QCOMPARE(list->focusedRow(), 4);
        for (int i = 0; i < 67; ++i) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        QCOMPARE(list->focusedRow(), 104);
        QVERIFY(list->viewport()->rect().contains(list->visualRect(model(view, 104))));
        QCOMPARE(list->focusedAction(), int(DuplicatesView::tick));
        QTest::keyClick(list, Qt::Key_Space);
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(list->focusedRow(), 103);
        QCOMPARE(list->focusedAction(), int(DuplicatesView::reveal));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(w.h.revealed.back(), std::filesystem::path("/k34/a"));
        QVERIFY(w.state->duplicateClusters()[34].items[1].isSelectedForCleanup);
    }

    void withoutATreeScanningDoesNothing() {
        DuplicatesHarness w;
        w.open();
        auto* view = w.openDuplicates();
        QCOMPARE(view->contentName(), QStringLiteral("empty"));
        QCOMPARE(view->totalLabel()->text(), QStringLiteral("Zero KB"));
        for (auto* button : view->findChildren<StyledButton*>()) {
            if (button->label() == QLatin1String("Scan Duplicates")) {
                click(button);
            }
        }
        w.h.settle();
        QCOMPARE(w.searches.load(), 0);
        QCOMPARE(view->contentName(), QStringLiteral("empty"));
    }
};

QTEST_MAIN(DuplicatesViewTest)
#include "DuplicatesViewTest.moc"
