#include "FernwickUI/MainWindow/SheetRouting.h"
#include "FernwickUI/MainWindow/AppsModal.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "FernwickUI/MainWindow/SystemMonitorModal.h"
#include "FernwickUI/MainWindow/ToolSheet.h"
#include "FernwickUI/MainWindow/TopToolbar.h"
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

#include <cstdlib>

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
            // The closed sheet is deleted when control returns to the event loop.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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

    // Each sheet is part of the main window: a child over it, centred, the window dimmed and
    // unreachable behind it; no frame of the window manager, so no second title and no way to
    // minimise it.
    void everySheetShowsInsideTheWindowOverItDimmed() {
        WindowHarness w(false);
        w.open();
        QApplication::setActiveWindow(w.window.get());
        const QPoint behind(8, w.window->height() - 8);
        const QColor plain = w.window->grab().toImage().pixelColor(behind);
        for (int i = 0; i < 10; ++i) {
            const auto modal = static_cast<ActiveModal>(i);
            w.state->setActiveModal(modal);
            w.h.settle();
            QDialog* sheet = w.window->sheet();
            QVERIFY(sheet != nullptr);
            QVERIFY2(!sheet->isWindow(), rawValue(modal).data());
            QCOMPARE(sheet->window(), static_cast<QWidget*>(w.window.get()));
            const QRect placed(sheet->mapTo(w.window.get(), QPoint(0, 0)), sheet->size());
            QVERIFY(w.window->rect().contains(placed));
            QVERIFY(std::abs(placed.center().x() - w.window->rect().center().x()) <= 1);
            QVERIFY(std::abs(placed.center().y() - w.window->rect().center().y()) <= 1);
            const QColor dimmed = w.window->grab().toImage().pixelColor(behind);
            QVERIFY2(dimmed.lightness() < plain.lightness() - 4, rawValue(modal).data());
            QVERIFY(!w.window->sidebar()->isEnabled());
            QVERIFY(!w.window->topToolbar()->isEnabled());
            QVERIFY(sheet->isEnabled());
            // The window's keys wait for the sheet to close.
            QTest::keyClick(sheet, Qt::Key_F, Qt::ControlModifier);
            QVERIFY(!w.window->topToolbar()->isAncestorOf(QApplication::focusWidget()));
            QTest::keyClick(sheet, Qt::Key_Backspace, Qt::ControlModifier | Qt::ShiftModifier);
            QVERIFY(w.window->emptyTrashDialog() == nullptr);
            QTest::keyClick(sheet, Qt::Key_Escape);
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>());
            w.h.settle();
            QVERIFY(w.window->sidebar()->isEnabled());
            QCOMPARE(w.window->grab().toImage().pixelColor(behind), plain);
        }
    }

    void aWindowSmallerThanTheSheetGivesItItsSize() {
        WindowHarness w(false);
        w.open();
        w.state->setActiveModal(ActiveModal::largeFiles);
        w.window->setMinimumSize(400, 300);
        w.window->resize(700, 500);
        w.h.settle();
        QCOMPARE(w.window->sheet()->size(), w.window->size());
        w.window->resize(1300, 820);
        w.h.settle();
        QCOMPARE(w.window->sheet()->size(), QSize(960, 680));
        QCOMPARE(w.window->sheet()->minimumSize(), QSize(860, 580));
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
