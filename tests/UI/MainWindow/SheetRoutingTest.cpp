#include "FernwickUI/MainWindow/SheetRouting.h"
#include "FernwickUI/MainWindow/AppsModal.h"
#include "FernwickUI/MainWindow/SystemMonitorModal.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/Tools/AppUninstallerListView.h"
#include "FernwickUI/Tools/CleanupReviewView.h"
#include "FernwickUI/Tools/DeveloperCleanerView.h"
#include "FernwickUI/Tools/DuplicatesView.h"
#include "FernwickUI/Tools/HistoryView.h"
#include "FernwickUI/Tools/LargeFilesView.h"
#include "FernwickUI/Tools/SettingsView.h"
#include "FernwickUI/Tools/SystemMonitorView.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLineEdit>

#include <functional>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::WindowHarness;

class SheetRoutingTest : public QObject {
    Q_OBJECT

    // The screen of the sheet on screen now, when it is of class T.
    template <typename T> static QPointer<QWidget> screen(WindowHarness& w) {
        return w.window->sheet() != nullptr ? w.window->sheet()->findChild<T*>() : nullptr;
    }

private slots:
    void eachToolOpensItsScreenInAToolSheetBuiltAfresh() {
        WindowHarness w(false);
        w.open();
        using Finder = std::function<QPointer<QWidget>(WindowHarness&)>;
        const std::vector<std::tuple<ActiveModal, QString, Finder>> tools{
            {ActiveModal::cleanup, QStringLiteral("Smart Cleanup"), screen<CleanupReviewView>},
            {ActiveModal::developer, QStringLiteral("Developer Cleaner"),
             screen<DeveloperCleanerView>},
            {ActiveModal::largeFiles, QStringLiteral("Large Files"), screen<LargeFilesView>},
            {ActiveModal::duplicates, QStringLiteral("Duplicate Finder"), screen<DuplicatesView>},
            {ActiveModal::history, QStringLiteral("Cleanup History"), screen<HistoryView>},
            {ActiveModal::settings, QStringLiteral("Settings"), screen<SettingsView>}};
        for (const auto& [modal, title, find] : tools) {
            w.state->setActiveModal(modal);
            ToolSheet* sheet = w.window->toolSheet();
            QVERIFY2(sheet != nullptr, qPrintable(title));
            QCOMPARE(sheet->title(), title);
            QCOMPARE(sheet->size(), QSize(960, 680));
            QCOMPARE(sheet->minimumSize(), QSize(860, 580));
            const QPointer<QWidget> first = find(w);
            QVERIFY(first != nullptr);
            // "Done" closes; the next opening has a screen of its own.
            click(findButton(sheet, QStringLiteral("Done")));
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
            w.h.settle();
            QVERIFY(first.isNull());
            w.state->setActiveModal(modal);
            QVERIFY(find(w) != nullptr);
            QTest::keyClick(w.window->sheet(), Qt::Key_Escape);
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
            w.h.settle();
        }
    }

    // A screen closed with a filter typed opens again with its default, an empty filter.
    void reopenedScreenStartsFromItsDefaults() {
        WindowHarness w(false);
        w.open();
        w.state->setActiveModal(ActiveModal::largeFiles);
        auto* view = w.window->sheet()->findChild<LargeFilesView*>();
        QTest::keyClicks(view->filterField(), QStringLiteral("abc"));
        QCOMPARE(view->filterField()->text(), QStringLiteral("abc"));
        click(findButton(w.window->sheet(), QStringLiteral("Done")));
        w.h.settle();
        w.state->setActiveModal(ActiveModal::largeFiles);
        view = w.window->sheet()->findChild<LargeFilesView*>();
        QCOMPARE(view->filterField()->text(), QString());
    }

    void appsAndMonitorHaveFramesOfTheirOwn() {
        WindowHarness w(false);
        w.open();
        w.state->setActiveModal(ActiveModal::apps);
        auto* apps = qobject_cast<AppsModal*>(w.window->sheet());
        QVERIFY(apps != nullptr);
        QVERIFY(w.window->toolSheet() == nullptr);
        QCOMPARE(apps->title(), QStringLiteral("Installed Applications & Leftovers"));
        QCOMPARE(apps->minimumSize(), QSize(800, 550));
        QVERIFY(screen<AppUninstallerListView>(w) != nullptr);
        click(findButton(apps, QStringLiteral("Done")));
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());

        w.state->setActiveModal(ActiveModal::systemMonitor);
        auto* monitor = qobject_cast<SystemMonitorModal*>(w.window->sheet());
        QVERIFY(monitor != nullptr);
        QCOMPARE(monitor->title(), QStringLiteral("Real-Time System Monitor"));
        QCOMPARE(monitor->minimumSize(), QSize(750, 520));
        QVERIFY(screen<SystemMonitorView>(w) != nullptr);
        click(findButton(monitor, QStringLiteral("Done")));
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
        w.h.settle();
        w.state->setActiveModal(ActiveModal::systemMonitor);
        monitor = qobject_cast<SystemMonitorModal*>(w.window->sheet());
        QVERIFY(monitor != nullptr);
        // Escape closes it as "Done" does.
        QTest::keyClick(monitor, Qt::Key_Escape);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
    }
};

QTEST_MAIN(SheetRoutingTest)
#include "SheetRoutingTest.moc"
