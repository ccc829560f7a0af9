#include "FernwickUI/State/ActiveModal.h"
#include "FernwickUI/State/ScanState.h"
#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/State/StorageVisualMode.h"
#include "FernwickUI/State/UserAlert.h"

#include <QTest>

using namespace fernwick::ui;

class StateTypesTest : public QObject {
    Q_OBJECT

private slots:
    void scanStateEquality() {
        QVERIFY(ScanState::scanning("/a", 10, 2) != ScanState::scanning("/a", 10, 3));
        QVERIFY(ScanState::scanning("/a", 10, 2) == ScanState::scanning("/a", 10, 2));
        QVERIFY(ScanState::idle() != ScanState::completed());
        QVERIFY(ScanState::error("x") == ScanState::error("x"));
        QVERIFY(ScanState::error("x") != ScanState::error("y"));
        QVERIFY(ScanState() == ScanState::idle());
        QCOMPARE(ScanState::scanning("p", 5, 6).progress(), std::string("p"));
        QCOMPARE(ScanState::error("m").message(), std::string("m"));
    }

    void activeModalRawValues() {
        QCOMPARE(activeModalFromRawValue("largeFiles"), ActiveModal::largeFiles);
        QCOMPARE(activeModalFromRawValue("LargeFiles"), std::nullopt);
        QCOMPARE(activeModalFromRawValue("large Files"), std::nullopt);
        QCOMPARE(rawValue(ActiveModal::systemMonitor), "systemMonitor");
        QCOMPARE(activeModalFromRawValue("settings"), ActiveModal::settings);
    }

    void visualModes() {
        QCOMPARE(allStorageVisualModes().size(), std::size_t{7});
        QCOMPARE(allStorageVisualModes().front(), StorageVisualMode::folders);
        QCOMPARE(allStorageVisualModes().back(), StorageVisualMode::list);
        QCOMPARE(storageVisualModeFromRawValue("Mind Map"), StorageVisualMode::mindmap);
        QCOMPARE(storageVisualModeFromRawValue("mindmap"), std::nullopt);
        QCOMPARE(storageVisualModeFromRawValue("Mind map"), std::nullopt);
        QCOMPARE(icon(StorageVisualMode::treemap), "square.split.2x2.fill");
    }

    void alertsAreDistinct() {
        const UserAlert a("T", "M");
        const UserAlert b("T", "M");
        QVERIFY(a.id != b.id);
        QVERIFY(!a.id.isNil());
    }

    void screensOpenInTheirInitialState() {
        const MainWindowViewState main;
        QVERIFY(!main.hoveredRect && !main.isSearchFocused && !main.cleanupPromptDismissed &&
                !main.showEmptyTrashConfirm);
        QCOMPARE(DeveloperCleanerViewState{}.selectedGroup, std::string("All"));
        QVERIFY(DeveloperCleanerViewState{}.selectedIDs.empty());
        QVERIFY(!LargeFilesViewState{}.selectedCategory.has_value());
        QVERIFY(LargeFilesViewState{}.searchText.empty());
        QVERIFY(!CleanupReviewViewState{}.showConfirmDialog);
        QVERIFY(!CleanupReviewViewState{}.isDryRunMode);
        QVERIFY(!DuplicatesViewState{}.showConfirmDialog);
        QVERIFY(!DeveloperCleanerViewState{}.showConfirm);
        QVERIFY(!AppUninstallerListViewState{}.showConfirmUninstall);
        QVERIFY(!AppUninstallerListViewState{}.appToUninstall.has_value());
        QVERIFY(HistoryViewState{}.snapshots.empty());
    }
};

QTEST_GUILESS_MAIN(StateTypesTest)
#include "StateTypesTest.moc"
