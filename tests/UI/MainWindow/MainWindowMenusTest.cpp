#include "FernwickUI/MainWindow/MainWindowDialogs.h"
#include "FernwickUI/MainWindow/MenuBarExtra.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/MainWindow/TopToolbar.h"
#include "FernwickUI/MainWindow/WindowActivation.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::WindowHarness;

class MainWindowMenusTest : public QObject {
    Q_OBJECT

    static QAction* action(QMenu* menu, const QString& text) {
        for (QAction* candidate : menu->actions()) {
            if (candidate->text() == text) {
                return candidate;
            }
        }
        return nullptr;
    }

private slots:
    void fileAndHelpMenusInOrderWithTheirShortcuts() {
        WindowHarness w(false);
        w.open();
        const auto menus = w.window->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("File"));
        QCOMPARE(menus[1]->text(), QStringLiteral("Help"));
        const auto file = menus[0]->menu()->actions();
        QCOMPARE(file[0]->text(), QStringLiteral("Start Home Scan"));
        QCOMPARE(file[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(file[1]->text(), QStringLiteral("Choose Folder to Scan..."));
        QCOMPARE(file[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QVERIFY(file[2]->isSeparator());
        QCOMPARE(file[3]->text(), QStringLiteral("Quit Tarnbrook Ridar"));
        const auto help = menus[1]->menu()->actions();
        QCOMPARE(help.size(), 2);
        QCOMPARE(help[0]->text(), QStringLiteral("About Tarnbrook Ridar"));
        QCOMPARE(help[1]->text(), QStringLiteral("Check for Updates..."));
        QVERIFY(help[1]->shortcut().isEmpty());
        for (QAction* menu : menus) {
            for (QAction* item : menu->menu()->actions()) {
                QVERIFY(!item->text().contains(QStringLiteral("New")));
            }
        }
        // The main view keeps its 700 points below the menu bar.
        QCOMPARE(w.window->minimumHeight(), 700 + w.window->menuBar()->sizeHint().height());
        QCOMPARE(w.window->minimumWidth(), 1050);
    }

    void scanShortcutsReachTheWindowFromTheSearchField() {
        WindowHarness w(false);
        auto roots = std::make_shared<std::vector<std::filesystem::path>>();
        w.h.scanBody = [roots](const std::filesystem::path& root, auto&&...) {
            roots->push_back(root);
            return fernwick::test::makeNode(root, true);
        };
        w.open();
        QLineEdit* edit = w.window->topToolbar()->searchField()->edit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
        w.h.settle();
        QCOMPARE(*roots, std::vector<std::filesystem::path>{w.h.tree.root()});
        const auto scanKind = w.state->scanState().kind();
        QTest::keyClick(edit, Qt::Key_O, Qt::ControlModifier);
        w.h.settle();
        QCOMPARE(w.chooserRuns, 1);
        QCOMPARE(roots->size(), std::size_t{1});
        QCOMPARE(w.state->scanState().kind(), scanKind);
    }

    void hiddenWindowKeepsItsAlertUntilOpenedFromTheTray() {
        WindowHarness w(false);
        w.open();
        int quits = 0;
        MenuBarExtra extra(*w.state,
                           {[&] { showAllWindows(w.window.get()); }, [&] { ++quits; }, {}});
        w.window->setHidesOnClose(true);
        const QPoint position = w.window->pos();
        QVERIFY(w.window->close() == false); // refused: hidden instead
        QVERIFY(!w.window->isVisible());
        w.state->setUserAlert(UserAlert("Title <b>", "Message & more"));
        QVERIFY(w.window->alertDialog() == nullptr);
        action(extra.menu(), QStringLiteral("Open Tarnbrook"))->trigger();
        QVERIFY(w.window->isVisible());
        QCOMPARE(w.window->pos(), position);
        QVERIFY(w.window->alertDialog() != nullptr);
        QCOMPARE(w.window->alertDialog()->titleLabel()->text(), QStringLiteral("Title <b>"));
        QCOMPARE(w.window->alertDialog()->messageLabel()->text(), QStringLiteral("Message & more"));
        action(extra.menu(), QStringLiteral("Quit Tarnbrook"))->trigger();
        QCOMPARE(quits, 1);
    }

    void trayMenuTextsFollowTheMetrics() {
        WindowHarness w(false);
        w.open();
        MenuBarExtra extra(*w.state, {});
        QVERIFY(extra.trayIcon() == nullptr); // offscreen: no tray, the menu is still built
        const auto items = extra.menu()->actions();
        QStringList texts;
        for (QAction* item : items) {
            texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(
            texts,
            (QStringList{QStringLiteral("Tarnbrook Ridar"),
                         QStringLiteral("Disk Free: ") +
                             QString::fromStdString(w.state->systemMetrics().formattedDiskFree()),
                         QStringLiteral("-"), QStringLiteral("Start Quick Scan"),
                         QStringLiteral("Open Tarnbrook"), QStringLiteral("-"),
                         QStringLiteral("Quit Tarnbrook")}));
        QVERIFY(!items[0]->isEnabled() && !items[1]->isEnabled());
        QVERIFY(items[0]->font().bold());
        SystemMetrics metrics;
        metrics.diskFreeBytes = 1500000000000;
        w.state->setSystemMetrics(metrics);
        QCOMPARE(items[1]->text(), QStringLiteral("Disk Free: 1.5 TB"));

        // A quick scan while the window is hidden scans the home folder.
        auto gate = std::make_shared<fernwick::test::Gate>();
        auto root = std::make_shared<std::filesystem::path>();
        w.h.scanBody = [gate, root](const std::filesystem::path& url, auto&&...) {
            *root = url;
            gate->wait();
            return fernwick::test::makeNode(url, true);
        };
        w.window->hide();
        action(extra.menu(), QStringLiteral("Start Quick Scan"))->trigger();
        QCOMPARE(w.state->scanState().kind(), ScanState::Kind::scanning);
        gate->open();
        w.h.settle();
        QCOMPARE(*root, w.h.tree.root());
    }
};

QTEST_MAIN(MainWindowMenusTest)
#include "MainWindowMenusTest.moc"
