#include "FernwickUI/Kit/ModalFrame.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/MainWindow/ErrorStateView.h"
#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/ModeSwitcher.h"
#include "FernwickUI/MainWindow/ResultCanvas.h"
#include "FernwickUI/MainWindow/ScanningView.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/MainWindow/WelcomeView.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <optional>
#include <tuple>
#include <utility>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::Gate;
using fernwick::test::WindowHarness;
using Content = MainWindow::Content;

class MainWindowTest : public QObject {
    Q_OBJECT

    // The root URL of every scan started, in order.
    static std::shared_ptr<std::vector<std::filesystem::path>> recordScans(WindowHarness& w) {
        auto roots = std::make_shared<std::vector<std::filesystem::path>>();
        w.h.scanBody = [roots](const std::filesystem::path& root, int, auto&&, auto&&) {
            roots->push_back(root);
            return fernwick::test::makeNode(root, true);
        };
        return roots;
    }

private slots:
    // The sidebar's "Empty" keeps the small bordered button's padding around its text.
    void emptyTrashButtonKeepsItsTextOffTheOutline() {
        WindowHarness w;
        w.open();
        StyledButton* empty = findButton(w.window.get(), QStringLiteral("Empty"));
        QVERIFY(empty);
        QCOMPARE(empty->look().paddingH, 8.0);
        QCOMPARE(empty->look().paddingV, 3.0);
        const double text = QFontMetricsF(empty->look().font).horizontalAdvance("Empty");
        QVERIFY(empty->width() >= text + 16);
    }

    void startsOnTheWelcomeScreen() {
        WindowHarness w;
        w.open();
        QCOMPARE(w.window->windowTitle(), QStringLiteral("Tarnbrook Ridar"));
        QCOMPARE(w.window->content(), Content::welcome);
        QVERIFY(w.window->welcomeView()->isVisible());
        QVERIFY(w.window->minimumWidth() >= 1050 && w.window->minimumHeight() >= 700);
    }

    void scanningShowsTheProgressAndCancels() {
        WindowHarness w(false);
        Gate reported;
        Gate finish;
        w.h.scanBody = [&](const std::filesystem::path& root, int, const auto& onProgress,
                           const auto&) {
            ScanProgress progress;
            progress.currentPath = "/fixture/<b>deep</b>/path";
            progress.scannedBytes = 1234567;
            progress.scannedFiles = 1;
            onProgress(progress);
            reported.open();
            finish.wait();
            return fernwick::test::makeNode(root, true);
        };
        w.open();
        w.state->startScan(w.h.tree / "fixture");
        QCOMPARE(w.window->content(), Content::scanning);
        const ScanningView* view = w.window->scanningView();
        QCOMPARE(view->progressLabel()->text(), QStringLiteral("Preparing fast scan..."));
        QCOMPARE(view->bytesLabel()->text(), QStringLiteral("Scanned: Zero KB"));
        QCOMPARE(view->filesLabel()->text(), QStringLiteral("0 files processed"));
        QTRY_VERIFY(reported.isOpen());
        QTRY_COMPARE(view->progressLabel()->text(), QStringLiteral("/fixture/<b>deep</b>/path"));
        QCOMPARE(view->bytesLabel()->text(), QStringLiteral("Scanned: 1.2 MB"));
        QCOMPARE(view->filesLabel()->text(), QStringLiteral("1 files processed"));
        QCOMPARE(view->bytesLabel()->textFormat(), Qt::PlainText);

        // Typing a search hides the progress; clearing it brings the progress back.
        w.state->setSearchText("  \n ");
        QCOMPARE(w.window->content(), Content::scanning);
        w.state->setSearchText("alpha");
        QCOMPARE(w.window->content(), Content::searchResults);
        w.state->setSearchText("");
        QCOMPARE(w.window->content(), Content::scanning);

        click(findButton(w.window.get(), QStringLiteral("Cancel Scan")));
        QCOMPARE(w.state->scanState().kind(), ScanState::Kind::idle);
        QCOMPARE(w.window->content(), Content::welcome);
        finish.open();
        w.h.settle();
        QCOMPARE(w.window->content(), Content::welcome);
    }

    void longProgressPathsLoseTheirMiddle() {
        ScanningView view([] {});
        view.resize(900, 600);
        const QString path = QStringLiteral("/start/") + QString(300, QLatin1Char('m')) +
                             QStringLiteral("/the-end.txt");
        view.setProgress(path, 0, 123456789);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QString shown = view.progressLabel()->shownText();
        QVERIFY(shown.startsWith(QStringLiteral("/start/")));
        QVERIFY(shown.endsWith(QStringLiteral("the-end.txt")));
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(view.progressLabel()->width() <= 450);
        QCOMPARE(view.filesLabel()->text(), QStringLiteral("123456789 files processed"));
    }

    void errorShowsTheMessageAndTryAgainReturnsToWelcome() {
        WindowHarness w(false);
        w.h.scanBody = [](auto&&...) -> DiskNodePtr {
            throw std::runtime_error("<b>disk</b> & friends failed");
        };
        w.open();
        w.state->startScan(w.h.tree / "fixture");
        QTRY_COMPARE(w.window->content(), Content::error);
        const QLabel* message = w.window->errorView()->messageLabel();
        QCOMPARE(message->text(), QStringLiteral("<b>disk</b> & friends failed"));
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QVERIFY(findButton(w.window.get(), QStringLiteral("Scanning Error")) == nullptr);
        click(findButton(w.window.get(), QStringLiteral("Try Again")));
        QCOMPARE(w.state->scanState().kind(), ScanState::Kind::idle);
        QCOMPARE(w.window->content(), Content::welcome);
        QCOMPARE(w.h.scanners.size(), std::size_t{1}); // no new scan
    }

    void completedShowsTheResultCanvas() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        QCOMPARE(w.window->content(), Content::completed);
        QVERIFY(w.window->resultCanvas()->isVisible());
        w.state->setSearchText("gamma");
        QCOMPARE(w.window->content(), Content::searchResults);
        w.state->setSearchText(" \t");
        QCOMPARE(w.window->content(), Content::completed);
    }

    void sidebarAndWelcomeButtonsStartTheScans() {
        WindowHarness w(false);
        auto roots = recordScans(w);
        w.open();
        Sidebar* sidebar = w.window->sidebar();
        click(findButton(sidebar, QStringLiteral("Scan Full Disk")));
        QCOMPARE(w.state->scanState().kind(), ScanState::Kind::scanning);
        w.h.settle();
        click(findButton(sidebar, QStringLiteral("Scan Home")));
        w.h.settle();
        w.chosenFolder = w.h.tree / "fixture/Beta";
        click(findButton(sidebar, QStringLiteral("Choose Folder")));
        w.h.settle();
        const std::vector<std::filesystem::path> expected{"/", w.h.tree.root(),
                                                          w.h.tree / "fixture/Beta"};
        QCOMPARE(*roots, expected);

        // A cancelled chooser starts nothing and leaves the state as it was.
        w.state->setScanState(ScanState::idle());
        w.chosenFolder.reset();
        click(findButton(sidebar, QStringLiteral("Choose Folder")));
        w.h.settle();
        QCOMPARE(w.chooserRuns, 2);
        QCOMPARE(roots->size(), std::size_t{3});
        QCOMPARE(w.state->scanState().kind(), ScanState::Kind::idle);

        // The welcome screen's two buttons run the same routines.
        WelcomeView* welcome = w.window->welcomeView();
        QVERIFY(welcome->isVisible());
        w.chosenFolder = w.h.tree / "fixture/Alpha";
        click(findButton(welcome, QStringLiteral("Choose Folder")));
        w.h.settle();
        w.state->setScanState(ScanState::idle());
        click(findButton(welcome, QStringLiteral("Scan Home Folder")));
        w.h.settle();
        QCOMPARE(roots->size(), std::size_t{5});
        QCOMPARE(roots->at(3), w.h.tree / "fixture/Alpha");
        QCOMPARE(roots->at(4), w.h.tree.root());
    }

    void toolRowsOpenTheirSheetsInOrder() {
        WindowHarness w(false);
        w.open();
        // Row label, case, title of the sheet it opens.
        const std::vector<std::tuple<QString, ActiveModal, QString>> rows{
            {QStringLiteral("Smart Cleanup"), ActiveModal::cleanup,
             QStringLiteral("Smart Cleanup")},
            {QStringLiteral("Developer Cleaner"), ActiveModal::developer,
             QStringLiteral("Developer Cleaner")},
            {QStringLiteral("Large Files"), ActiveModal::largeFiles, QStringLiteral("Large Files")},
            {QStringLiteral("Duplicate Finder"), ActiveModal::duplicates,
             QStringLiteral("Duplicate Finder")},
            {QStringLiteral("App Uninstaller"), ActiveModal::apps,
             QStringLiteral("Installed Applications & Leftovers")},
            {QStringLiteral("Cleanup History"), ActiveModal::history,
             QStringLiteral("Cleanup History")},
            {QStringLiteral("Settings"), ActiveModal::settings, QStringLiteral("Settings")}};
        int previousY = -1;
        for (const auto& [label, modal, title] : rows) {
            StyledButton* row = findButton(w.window->sidebar(), label);
            QVERIFY2(row != nullptr, qPrintable(label));
            const int y = row->mapTo(w.window.get(), QPoint()).y();
            QVERIFY(y > previousY);
            previousY = y;
            click(row);
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(modal));
            auto* frame = qobject_cast<ModalFrame*>(w.window->sheet());
            QVERIFY(frame != nullptr);
            QCOMPARE(frame->title(), title);
            click(findButton(frame, QStringLiteral("Done")));
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
            w.h.settle();
        }
        // Escape closes a sheet too.
        w.state->setActiveModal(ActiveModal::history);
        QTest::keyClick(w.window->toolSheet(), Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
        // A sheet closed by the state goes without clearing anything else.
        w.state->setActiveModal(ActiveModal::settings);
        w.state->setActiveModal(ActiveModal::cleanup);
        QCOMPARE(w.window->toolSheet()->title(), QStringLiteral("Smart Cleanup"));
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::cleanup));
    }

    // Tab walks the sidebar and then the result header in the order they are drawn; the focused
    // control shows a ring that the unfocused one does not, and Space or Return presses it.
    void tabWalksTheSidebarAndTheHeaderWithAVisibleRing() {
        WindowHarness w;
        w.open();
        QVERIFY(w.scanFixture());
        w.state->drillDownIntoNode(w.child("Alpha"));
        w.h.settle();
        QApplication::setActiveWindow(w.window.get());
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        ResultCanvas* canvas = w.window->resultCanvas();
        ModeSwitcher* switcher = canvas->modeSwitcher();

        // Each stop of Tab: a widget and, inside the switcher, the button it focuses.
        std::vector<std::pair<QWidget*, std::optional<StorageVisualMode>>> stops;
        for (const char* label :
             {"Scan Full Disk", "Scan Home", "Choose Folder", "Empty", "Smart Cleanup",
              "Developer Cleaner", "Large Files", "Duplicate Finder", "App Uninstaller",
              "Cleanup History", "Settings"}) {
            stops.emplace_back(findButton(w.window->sidebar(), QString::fromUtf8(label)),
                               std::nullopt);
            QVERIFY2(stops.back().first != nullptr, label);
        }
        stops.emplace_back(canvas->backButton(), std::nullopt);
        for (StyledButton* crumb : canvas->breadcrumbButtons()) {
            stops.emplace_back(crumb, std::nullopt);
        }
        for (StorageVisualMode mode : allStorageVisualModes()) {
            stops.emplace_back(switcher, mode);
        }
        stops.emplace_back(canvas->themeButton(), std::nullopt);

        // The ring shows on the focused button only: compare one pixel on its edge.
        QWidget* home = stops[1].first;
        const QPoint edge(1, home->height() / 2);
        const QRgb unfocused = home->grab().toImage().pixel(edge);
        stops.front().first->setFocus(Qt::TabFocusReason);
        for (std::size_t index = 1; index < stops.size(); ++index) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            const QByteArray step = QByteArray::number(static_cast<int>(index));
            QVERIFY2(QApplication::focusWidget() == stops[index].first, step.constData());
            if (stops[index].second) {
                QVERIFY2(switcher->focusedMode() == *stops[index].second, step.constData());
            }
            if (index == 1) {
                QVERIFY(home->grab().toImage().pixel(edge) != unfocused);
            }
        }
        // Tab never rests on a canvas's scroll area, which would show no ring.
        for (int step = 0; step < 4; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(!QApplication::focusWidget()->inherits("QAbstractScrollArea"));
        }
        canvas->themeButton()->setFocus(Qt::TabFocusReason);
        // Shift+Tab enters the switcher at its last button.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), switcher);
        QCOMPARE(switcher->focusedMode(), StorageVisualMode::list);
        const QImage ring = switcher->grab().toImage();
        const QPoint ringEdge =
            switcher->buttonRect(StorageVisualMode::list).toRect().topLeft() + QPoint(5, 1);
        QTest::keyClick(switcher, Qt::Key_Space);
        QCOMPARE(w.state->storageVisualMode(), StorageVisualMode::list);
        QTest::keyClick(switcher, Qt::Key_Left);
        QCOMPARE(switcher->focusedMode(), StorageVisualMode::mindmap);
        QTest::keyClick(switcher, Qt::Key_Return);
        QCOMPARE(w.state->storageVisualMode(), StorageVisualMode::mindmap);
        stops.front().first->setFocus(Qt::TabFocusReason);
        QVERIFY(switcher->grab().toImage().pixel(ringEdge) != ring.pixel(ringEdge));

        // Return presses a focused button: the last crumb leads back to its own folder, a tool
        // row opens its sheet.
        canvas->breadcrumbButtons().front()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(w.state->currentTreemapRoot(), w.state->rootNode());
        stops[10].first->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::settings));
    }

    // In the Empty-Trash confirmation the buttons show the ring too, and Return stays with the
    // default "Cancel" while "Empty Trash" has the focus; Space presses the focused button.
    void dialogButtonsShowTheRingAndReturnStaysWithCancel() {
        WindowHarness w(false);
        QVERIFY(w.h.trash->moveToTrash(w.h.tree.denseFile("junk.txt", 10)));
        w.open();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{1});
        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        EmptyTrashDialog* dialog = w.window->emptyTrashDialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        QPushButton* empty = dialog->emptyButton();
        const QImage before = empty->grab().toImage();
        QCOMPARE(QApplication::focusWidget(), dialog->cancelButton());
        QTest::keyClick(dialog->cancelButton(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), empty);
        const QImage focused = empty->grab().toImage();
        QVERIFY(before != focused);
        QTest::keyClick(empty, Qt::Key_Return);
        w.h.settle();
        QVERIFY(w.window->emptyTrashDialog() == nullptr);
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{1});

        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        w.window->emptyTrashDialog()->emptyButton()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.window->emptyTrashDialog()->emptyButton(), Qt::Key_Space);
        QTRY_COMPARE(w.h.trash->itemCount(), std::int64_t{0});
    }

    void emptyTrashAsksFirstAndCancelIsTheDefault() {
        WindowHarness w(false);
        const auto junk = w.h.tree.denseFile("junk.txt", 10);
        QVERIFY(w.h.trash->moveToTrash(junk));
        w.open();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{1});
        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        EmptyTrashDialog* dialog = w.window->emptyTrashDialog();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(),
                 QStringLiteral("Permanently delete 1 items in the Trash?"));
        QVERIFY(dialog->cancelButton()->isDefault());
        QVERIFY(!dialog->emptyButton()->isDefault());
        QVERIFY(!dialog->emptyButton()->autoDefault());
        QTest::keyClick(dialog, Qt::Key_Return);
        w.h.settle();
        QVERIFY(w.window->emptyTrashDialog() == nullptr);
        QVERIFY(!w.state->isTrashEmptying());
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{1});

        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        QTest::keyClick(w.window->emptyTrashDialog(), Qt::Key_Escape);
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{1});

        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        click(w.window->emptyTrashDialog()->emptyButton());
        QVERIFY(w.state->isTrashEmptying());
        QTRY_VERIFY(!w.state->isTrashEmptying());
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{0});
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{0});

        // An empty Trash still asks, with the count 0.
        click(findButton(w.window->sidebar(), QStringLiteral("Empty")));
        QCOMPARE(w.window->emptyTrashDialog()->titleLabel()->text(),
                 QStringLiteral("Permanently delete 0 items in the Trash?"));
    }

    // The keys the shortcuts modal lists act: Ctrl+Shift+Backspace asks before emptying the
    // Trash (nothing goes without the answer), and the question's count follows the Trash while
    // it is open; Ctrl+R shows the selected item in the file manager, nothing without one.
    void listedShortcutsActAndTheEmptyTrashCountStaysLive() {
        WindowHarness w(false);
        QVERIFY(w.h.trash->moveToTrash(w.h.tree.denseFile("junk.txt", 10)));
        w.open();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{1});
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QTest::keyClick(w.window.get(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(w.h.revealed.empty());
        const auto selected = test::makeNode(w.h.tree / "fixture/gamma.bin", false, 10000);
        w.state->setSelectedNodeForInspection(selected);
        QTest::keyClick(w.window.get(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(w.h.revealed, std::vector<std::filesystem::path>{selected->url()});

        QTest::keyClick(w.window.get(), Qt::Key_Backspace, Qt::ControlModifier | Qt::ShiftModifier);
        EmptyTrashDialog* dialog = w.window->emptyTrashDialog();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(),
                 QStringLiteral("Permanently delete 1 items in the Trash?"));
        QVERIFY(w.h.trash->moveToTrash(w.h.tree.denseFile("more.txt", 10)));
        w.state->refreshTrashCount();
        QTRY_COMPARE(dialog->titleLabel()->text(),
                     QStringLiteral("Permanently delete 2 items in the Trash?"));
        QTest::keyClick(dialog, Qt::Key_Escape);
        w.h.settle();
        QVERIFY(w.window->emptyTrashDialog() == nullptr);
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{2});
        // An empty Trash has nothing to offer the key: no question.
        w.state->emptyTrash();
        QTRY_COMPARE(w.state->trashItemCount(), std::int64_t{0});
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        QTest::keyClick(w.window.get(), Qt::Key_Backspace, Qt::ControlModifier | Qt::ShiftModifier);
        w.h.settle();
        QVERIFY(w.window->emptyTrashDialog() == nullptr);
    }

    // The Trash count may change between the answer and the deletion of the closed question,
    // and after it: neither may reach a question that is gone.
    void trashCountChangingAfterTheAnswerLeavesTheQuestionAlone() {
        WindowHarness w(false);
        w.open();
        w.state->setTrashItemCount(3);
        w.window->askToEmptyTrash();
        QPointer<EmptyTrashDialog> dialog = w.window->emptyTrashDialog();
        QVERIFY(dialog != nullptr);
        // Answered: the window has let go of the question, which waits for its deletion.
        connect(dialog, &QDialog::finished, w.state.get(), [&w] { w.state->setTrashItemCount(4); });
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(w.window->emptyTrashDialog() == nullptr);
        w.state->setTrashItemCount(5);
        QTRY_VERIFY(dialog.isNull());
        w.state->setTrashItemCount(6);
        QCOMPARE(w.h.trash->itemCount(), std::int64_t{0});
        w.window->askToEmptyTrash();
        QCOMPARE(w.window->emptyTrashDialog()->titleLabel()->text(),
                 QStringLiteral("Permanently delete 6 items in the Trash?"));
    }

    void alertsShowPlainTextAndClearWhenDismissed() {
        WindowHarness w(false);
        w.open();
        w.state->setUserAlert(UserAlert("<b>x</b> is protected", "Tom & <i>Jerry</i>"));
        AlertDialog* alert = w.window->alertDialog();
        QVERIFY(alert != nullptr);
        QCOMPARE(alert->titleLabel()->text(), QStringLiteral("<b>x</b> is protected"));
        QCOMPARE(alert->titleLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(alert->messageLabel()->text(), QStringLiteral("Tom & <i>Jerry</i>"));
        QCOMPARE(alert->messageLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(alert->okButton()->text(), QStringLiteral("OK"));
        // A newer alert replaces the one on screen.
        w.state->setUserAlert(UserAlert("Second", "message"));
        QCOMPARE(w.window->alertDialog()->titleLabel()->text(), QStringLiteral("Second"));
        QVERIFY(w.state->userAlert().has_value());
        click(w.window->alertDialog()->okButton());
        QVERIFY(!w.state->userAlert().has_value());
    }

    void diskFiguresRoundAndClamp() {
        QCOMPARE(Sidebar::usedPercentText(42.5), QStringLiteral("43%"));
        QCOMPARE(Sidebar::usedPercentText(42.4), QStringLiteral("42%"));
        QCOMPARE(Sidebar::usedPercentText(0), QStringLiteral("0%"));
        QCOMPARE(Sidebar::usedPercentText(150), QStringLiteral("150%"));
        QCOMPARE(Sidebar::usedFraction(150), 1.0);
        QCOMPARE(Sidebar::usedFraction(-3), 0.0);
        QCOMPARE(Sidebar::usedFraction(25), 0.25);

        WindowHarness w(false);
        w.open();
        // The all-zero sample before the first one arrives reads "--".
        const auto labels = w.window->sidebar()->findChildren<QLabel*>();
        const auto count = std::count_if(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->text() == QStringLiteral("--");
        });
        QCOMPARE(count, 3);
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->text() == QStringLiteral("Tarnbrook Ridar v") +
                                        QString::fromStdString(UpdateChecker::currentVersion());
        }));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
