#include "FernwickUI/Tools/LargeFilesView.h"
#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/MainWindow/UndoToast.h"
#include "FernwickUI/Tools/LargeFilesModel.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::makeNode;
using fernwick::test::row;
using fernwick::test::rowText;
using fernwick::test::ToolsHarness;

namespace {

constexpr std::int64_t kMiB = 1048576;

Chip* chip(LargeFilesView* view, const char* title) {
    for (Chip* chip : view->chips()) {
        if (chip->label() == QLatin1String(title)) {
            return chip;
        }
    }
    return nullptr;
}

QStringList names(const LargeFilesModel* model) {
    QStringList result;
    for (int i = 0; i < model->rowCount(); ++i) {
        result << rowText(model, i);
    }
    return result;
}

} // namespace

class LargeFilesViewTest : public QObject {
    Q_OBJECT

private slots:
    void aLongNameWrapsWhileThePathKeepsToOneLine() {
        ToolsHarness w(false);
        w.open();
        const auto& root = w.h.tree.root();
        const std::string name = "Holiday recording from the summer trip to the northern "
                                 "coast, uncut, with every evening by the water.mov";
        const auto folder = root / std::string(200, 'f');
        w.h.publish(*w.state, makeNode(root / "t", true, 0, StorageCategory::other,
                                       {makeNode(folder / name, false, 900 * kMiB),
                                        makeNode(folder / "short.mov", false, 800 * kMiB)}));
        w.openSheet(ActiveModal::largeFiles);
        w.window->sheet()->resize(860, 580);
        w.h.settle();
        auto* view = w.screen<LargeFilesView>();
        RowList* list = view->list();
        QCOMPARE(rowText(view->model(), 0), QString::fromStdString(name));
        const QString painted = fernwick::test::paintedTexts(list, 0);
        QVERIFY2(painted.contains(QString::fromStdString(name)), qPrintable(painted));
        QVERIFY(!painted.contains(QString::fromStdString(folder)));
        QVERIFY(list->visualRect(list->model()->index(0, 0)).height() >
                list->visualRect(list->model()->index(1, 0)).height());
        QVERIFY(fernwick::test::paintedTexts(list, 1).contains(QStringLiteral("short.mov")));
    }

    // Tab enters the list at the first row's "Reveal"; Right and Tab reach "Trash", Left comes
    // back; Down moves the focused row and scrolls it into view; Space and Return press.
    void theRowButtonsAnswerTheKeyboard() {
        ToolsHarness w(false);
        w.open();
        const auto& root = w.h.tree.root();
        std::vector<DiskNodePtr> files;
        for (int i = 0; i < 60; ++i) {
            files.push_back(
                makeNode(root / ("f" + std::to_string(i) + ".mov"), false, (900 - i) * kMiB));
        }
        w.h.publish(*w.state, makeNode(root / "t", true, 0, StorageCategory::other, files));
        w.openSheet(ActiveModal::largeFiles);
        QApplication::setActiveWindow(w.window->sheet()->window());
        RowList* list = w.screen<LargeFilesView>()->list();
        QSignalSpy pressed(list->rowDelegate(), &RowDelegate::triggered);
        QVERIFY(list->focusPolicy() & Qt::TabFocus);
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(list->focusedRow(), 0);
        QCOMPARE(list->focusedAction(), int(LargeFilesView::reveal));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{root / "f0.mov"});
        QTest::keyClick(list, Qt::Key_Right);
        QCOMPARE(list->focusedAction(), int(LargeFilesView::trash));
        QTest::keyClick(list, Qt::Key_Left);
        QCOMPARE(list->focusedAction(), int(LargeFilesView::reveal));
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(list->hasFocus());
        QCOMPARE(list->focusedAction(), int(LargeFilesView::trash));
        // Tab past the last control leaves the list rather than walking it row by row; coming
        // back finds the same control.
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(!list->hasFocus());
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(list->focusedAction(), int(LargeFilesView::trash));
        for (int i = 0; i < 45; ++i) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        QCOMPARE(list->focusedRow(), 45);
        QVERIFY(list->viewport()->rect().contains(list->visualRect(list->model()->index(45, 0))));
        QTest::keyClick(list, Qt::Key_Space);
        QCOMPARE(pressed.size(), 2);
        QCOMPARE(pressed.back().at(0).toModelIndex().row(), 45);
        QCOMPARE(pressed.back().at(1).toInt(), int(LargeFilesView::trash));
    }

    // A file moved from the open sheet can be taken back there: the undo toast shows above the
    // sheet, and both its "Undo" and Ctrl+Z reach it.
    void aMoveFromTheSheetIsUndoneWithoutClosingIt() {
        ToolsHarness w(true);
        const auto big = w.h.tree.file("big/movie.mov", "x", 100 * kMiB);
        const auto other = w.h.tree.file("big/disk.img", "y", 200 * kMiB);
        w.open();
        w.state->startScan(w.h.tree / "big");
        QTRY_VERIFY_WITH_TIMEOUT(w.state->scanState().kind() == ScanState::Kind::completed, 10000);
        w.openSheet(ActiveModal::largeFiles);
        // The window the sheet is in is the one the user works in.
        QApplication::setActiveWindow(w.window->sheet()->window());
        auto* view = w.screen<LargeFilesView>();
        UndoToast* toast = w.window->undoToast();
        for (const bool byKey : {false, true}) {
            fernwick::test::clickRow(view->list(), 1, LargeFilesView::trash);
            QTRY_VERIFY(w.state->lastTrashed().has_value());
            QTRY_COMPARE(toast->progress(), 1.0);
            QVERIFY(!std::filesystem::exists(big));
            // Drawn above the sheet: what lies at the toast's middle is the toast.
            const QPoint middle = toast->mapTo(w.window.get(), toast->rect().center());
            QWidget* onTop = w.window->childAt(middle);
            QVERIFY(onTop == toast || toast->isAncestorOf(onTop));
            if (byKey) {
                view->filterField()->setFocus();
                QTest::keyClick(view->filterField(), Qt::Key_Z, Qt::ControlModifier);
            } else {
                QTest::mouseClick(toast->undoButton(), Qt::LeftButton);
            }
            QTRY_VERIFY2(std::filesystem::exists(big), byKey ? "Ctrl+Z" : "Undo");
            QVERIFY(!w.state->lastTrashed().has_value());
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::largeFiles));
            QVERIFY(w.screen<LargeFilesView>() == view);
            w.h.settle();
        }
        QVERIFY(std::filesystem::exists(other));
    }

    void thresholdsAreInclusiveAndChipsRecomputeFromTheTree() {
        ToolsHarness w(false);
        w.open();
        const auto& root = w.h.tree.root();
        w.h.publish(*w.state, makeNode(root / "t", true, 0, StorageCategory::other,
                                       {makeNode(root / "t/exact.bin", false, 100 * kMiB),
                                        makeNode(root / "t/below.bin", false, 100 * kMiB - 1),
                                        makeNode(root / "t/huge.iso", false, 5120 * kMiB,
                                                 StorageCategory::installers)}));
        w.openSheet(ActiveModal::largeFiles);
        auto* view = w.screen<LargeFilesView>();
        QVERIFY(view != nullptr);
        QCOMPARE(names(view->model()), (QStringList{"huge.iso", "exact.bin"}));
        QCOMPARE(row(view->model(), 1),
                 (QStringList{"exact.bin", QString::fromStdString((root / "t/exact.bin").native()),
                              "104.9 MB", "Other"}));
        QCOMPARE(view->countLabel()->text(), QStringLiteral("2 files found"));
        QVERIFY(chip(view, "> 100 MB")->isSelected());

        // The chip is selected at once; the list follows when the worker has found the files.
        fernwick::test::click(chip(view, "> 5 GB"));
        QCOMPARE(w.state->selectedLargeFileThreshold(), LargeFileThreshold::gb5);
        QVERIFY(chip(view, "> 5 GB")->isSelected());
        QVERIFY(!chip(view, "> 100 MB")->isSelected());
        w.h.settle();
        QCOMPARE(names(view->model()), QStringList{"huge.iso"});
        QCOMPARE(view->countLabel()->text(), QStringLiteral("1 files found"));
        fernwick::test::click(chip(view, "> 100 MB"));
        w.h.settle();
        QCOMPARE(names(view->model()), (QStringList{"huge.iso", "exact.bin"}));
    }

    void theFilterKeepsPathsContainingItAsTypedAndNeverShowsTheEmptyState() {
        ToolsHarness w(false);
        w.open();
        const auto& root = w.h.tree.root();
        w.h.publish(
            *w.state,
            makeNode(root / "r", true, 0, StorageCategory::other,
                     {makeNode(root / "r/Media", true, 0, StorageCategory::other,
                               {makeNode(root / "r/Media/Holiday Video.mov", false, 400 * kMiB),
                                makeNode(root / "r/Media/a b.iso", false, 300 * kMiB),
                                makeNode(root / "r/Media/x.dmg", false, 200 * kMiB)}),
                      makeNode(root / "r/<b>y<b>.bin", false, 150 * kMiB)}));
        w.openSheet(ActiveModal::largeFiles);
        auto* view = w.screen<LargeFilesView>();
        QCOMPARE(view->model()->rowCount(), 4);
        // Markup in a name is text.
        QCOMPARE(rowText(view->model(), 3), QStringLiteral("<b>y<b>.bin"));

        const auto filter = [&](const QString& text) {
            view->filterField()->clear();
            QTest::keyClicks(view->filterField(), text);
            return names(view->model());
        };
        // A keystroke announces only the rows that change: none when they stay, removals when
        // the filter narrows, insertions when it widens; never a reset.
        QSignalSpy resets(view->model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(view->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy inserted(view->model(), &QAbstractItemModel::rowsInserted);
        QTest::keyClicks(view->filterField(), "r/");
        QCOMPARE(removed.count() + inserted.count(), 0);
        QTest::keyClick(view->filterField(), 'm');
        QCOMPARE(removed.count(), 1); // "<b>y<b>.bin"
        QCOMPARE(names(view->model()), (QStringList{"Holiday Video.mov", "a b.iso", "x.dmg"}));
        QTest::keyClicks(view->filterField(), "edia/a");
        QCOMPARE(names(view->model()), QStringList{"a b.iso"});
        QTest::keyClick(view->filterField(), Qt::Key_Backspace);
        QTest::keyClick(view->filterField(), Qt::Key_Backspace);
        QCOMPARE(names(view->model()), (QStringList{"Holiday Video.mov", "a b.iso", "x.dmg"}));
        QCOMPARE(inserted.count(), 2); // before and after "a b.iso"
        QCOMPARE(resets.count(), 0);
        QCOMPARE(filter("video"), QStringList{"Holiday Video.mov"});
        QCOMPARE(view->countLabel()->text(), QStringLiteral("1 files found"));
        QCOMPARE(filter("VIDEO"), QStringList{"Holiday Video.mov"});
        QCOMPARE(filter(" "), (QStringList{"Holiday Video.mov", "a b.iso"}));
        QCOMPARE(filter("media"), (QStringList{"Holiday Video.mov", "a b.iso", "x.dmg"}));
        QCOMPARE(filter("zzz"), QStringList{});
        QCOMPARE(view->countLabel()->text(), QStringLiteral("0 files found"));
        QVERIFY(!view->showsEmptyState());
        QCOMPARE(filter(""), (QStringList{"Holiday Video.mov", "a b.iso", "x.dmg", "<b>y<b>.bin"}));
    }

    // A long list's paths are folded on a worker: a filter typed at once, and a new list
    // arriving under a filter, show the right rows when the paths are there.
    void aLongListIsFilteredWhenItsPathsAreReady() {
        ToolsHarness w(false);
        w.open();
        const auto& root = w.h.tree.root();
        std::vector<DiskNodePtr> files;
        QStringList kept; // "Keep <i>.iso", largest (highest i) first
        for (int i = 11999; i >= 0; --i) {
            const bool keep = i % 1000 == 0;
            const std::string name =
                (keep ? "Keep " : "file ") + std::to_string(i) + (i % 2 == 0 ? ".iso" : ".bin");
            files.push_back(
                makeNode(root / "long" / name, false, (i % 2 == 0 ? 2048 : 200) * kMiB + i));
            if (keep) {
                kept << QString::fromStdString(name);
            }
        }
        w.h.publish(*w.state, makeNode(root / "long", true, 0, StorageCategory::other, files));
        w.openSheet(ActiveModal::largeFiles);
        auto* view = w.screen<LargeFilesView>();
        QCOMPARE(view->model()->rowCount(), 12000);
        QTest::keyClicks(view->filterField(), "KEEP");
        QTRY_VERIFY(view->model()->pathsPrepared());
        QCOMPARE(names(view->model()), kept);
        QCOMPARE(view->countLabel()->text(), QStringLiteral("12 files found"));

        fernwick::test::click(chip(view, "> 1 GB"));
        w.h.settle();
        QTRY_VERIFY(view->model()->pathsPrepared());
        QCOMPARE(names(view->model()), kept); // 6,000 files of 2 GiB: folded on a worker again
        QCOMPARE(view->countLabel()->text(), QStringLiteral("12 files found"));
        view->filterField()->clear();
        QCOMPARE(view->model()->rowCount(), 6000);
    }

    void beforeAnyScanTheChipsOnlySelect() {
        ToolsHarness w(false);
        w.open();
        w.openSheet(ActiveModal::largeFiles);
        auto* view = w.screen<LargeFilesView>();
        QVERIFY(view->showsEmptyState());
        QCOMPARE(view->countLabel()->text(), QStringLiteral("0 files found"));
        QVERIFY(fernwick::test::findButton(view, QStringLiteral("Run Scan")) != nullptr);
        QVERIFY(fernwick::test::findButton(view, QStringLiteral("No Large Files Found")) ==
                nullptr);
        fernwick::test::click(chip(view, "> 1 GB"));
        QVERIFY(chip(view, "> 1 GB")->isSelected());
        QCOMPARE(w.state->selectedLargeFileThreshold(), LargeFileThreshold::gb1);
        QVERIFY(w.state->largeFiles().empty());
        QVERIFY(view->showsEmptyState());
        // "Run Scan" scans the home folder and leaves the sheet open.
        fernwick::test::click(fernwick::test::findButton(view, QStringLiteral("Run Scan")));
        QTRY_VERIFY(w.h.scanner(0) != nullptr);
        QVERIFY(w.window->toolSheet() != nullptr);
    }

    void aTrashedRowStaysAtZeroUntilTheChipIsPressedAgainAndRevealShowsThePath() {
        ToolsHarness w(true);
        const auto big = w.h.tree.file("big/movie.mov", "x", 100 * kMiB);
        const auto other = w.h.tree.file("big/disk.img", "y", 200 * kMiB);
        // Once armed, the next search for large files waits for `release`.
        std::atomic<bool> hold{false};
        std::atomic<int> searches{0};
        test::Gate entered;
        test::Gate release;
        w.h.services.findLargeFiles = [&](const DiskNodePtr& tree, std::int64_t bytes) {
            ++searches;
            if (hold.exchange(false)) {
                entered.open();
                release.wait();
            }
            return LargeFileFinder::shared().findLargeFiles(tree, bytes, std::nullopt);
        };
        w.open();
        w.state->startScan(w.h.tree / "big");
        QTRY_VERIFY_WITH_TIMEOUT(w.state->scanState().kind() == ScanState::Kind::completed, 10000);
        w.openSheet(ActiveModal::largeFiles);
        auto* view = w.screen<LargeFilesView>();
        QCOMPARE(names(view->model()), (QStringList{"disk.img", "movie.mov"}));

        fernwick::test::clickRow(view->list(), 0, LargeFilesView::reveal);
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{other});

        fernwick::test::clickRow(view->list(), 1, LargeFilesView::trash);
        QTRY_VERIFY(w.state->lastTrashed().has_value());
        w.h.settle();
        QVERIFY(!std::filesystem::exists(big));
        QCOMPARE(w.window->undoToast()->text(), QStringLiteral("Moved movie.mov to Trash"));
        QCOMPARE(names(view->model()), (QStringList{"disk.img", "movie.mov"}));
        QCOMPARE(row(view->model(), 1)[2], QStringLiteral("Zero KB"));
        fernwick::test::click(chip(view, "> 100 MB"));
        w.h.settle();
        QCOMPARE(names(view->model()), QStringList{"disk.img"});

        // A move while the files are being searched for changes a copy of the tree (the search
        // reads the old one): the row shows the moved file's new size at once, and the list
        // found meanwhile is not shown: the files are searched for again.
        const auto third = w.h.tree.file("big/third.iso", "z", 300 * kMiB);
        w.state->startScan(w.h.tree / "big");
        QTRY_VERIFY_WITH_TIMEOUT(w.state->largeFiles().size() == 2, 10000);
        w.h.settle();
        searches = 0;
        hold = true;
        fernwick::test::click(chip(view, "> 100 MB"));
        QVERIFY(QTest::qWaitFor([&] { return entered.isOpen(); }));
        QCOMPARE(names(view->model()), (QStringList{"third.iso", "disk.img"}));
        fernwick::test::clickRow(view->list(), 0, LargeFilesView::trash);
        QTRY_VERIFY(!std::filesystem::exists(third));
        QTRY_COMPARE(row(view->model(), 0)[2], QStringLiteral("Zero KB"));
        release.open();
        w.h.settle();
        QCOMPARE(searches.load(), 2);
        QCOMPARE(names(view->model()), QStringList{"disk.img"});
    }
};

QTEST_MAIN(LargeFilesViewTest)
#include "LargeFilesViewTest.moc"
