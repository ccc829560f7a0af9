#include "FernwickUI/MainWindow/WindowActivation.h"
#include "FernwickUI/MainWindow/MenuBarExtra.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QDialog>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWidget>

using namespace fernwick::ui;

class WindowActivationTest : public QObject {
    Q_OBJECT

private slots:
    void retitlesAndCentresWindowsButLeavesDialogsAlone() {
        QWidget window;
        window.setWindowTitle(QStringLiteral("Something else"));
        window.resize(400, 300);
        window.move(5, 5);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("A panel"));
        dialog.show();
        QWidget hidden;
        hidden.setWindowTitle(QStringLiteral("Closed"));

        bringMainWindowToFront();
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnbrook Ridar"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("A panel"));
        QCOMPARE(hidden.windowTitle(), QStringLiteral("Closed"));
        QVERIFY(hidden.isHidden()); // no window is created or shown again
        const QPoint centre = window.screen()->availableGeometry().center();
        QTRY_VERIFY((window.frameGeometry().center() - centre).manhattanLength() <= 2);

        // Moved aside, the next run brings it back to the centre.
        window.move(0, 0);
        bringMainWindowToFront();
        QTRY_VERIFY((window.frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void launchRunsAreQueuedNotImmediate() {
        QWidget window;
        window.setWindowTitle(QStringLiteral("Before"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        scheduleLaunchActivation(&window);
        QCOMPARE(window.windowTitle(), QStringLiteral("Before"));
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Tarnbrook Ridar"));
    }

    void trayIconOnlyWhereTheDesktopHasATray() {
        fernwick::test::Harness h;
        auto state = h.make();
        MenuBarExtra extra(*state, {});
        QCOMPARE(extra.trayIcon() != nullptr, QSystemTrayIcon::isSystemTrayAvailable());
    }
};

QTEST_MAIN(WindowActivationTest)
#include "WindowActivationTest.moc"
