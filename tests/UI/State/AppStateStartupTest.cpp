#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QElapsedTimer>

#include <clocale>
#include <filesystem>

using fernwick::test::Harness;
using namespace fernwick;
using namespace fernwick::ui;

class AppStateStartupTest : public QObject {
    Q_OBJECT

private slots:
    void initialValuesAndNoWrites() {
        Harness h;
        auto state = h.make();
        QCOMPARE(state->scanState(), ScanState::idle());
        QVERIFY(!state->rootNode() && !state->currentTreemapRoot());
        QVERIFY(state->treemapBreadcrumbs().empty() && state->treemapRectangles().empty());
        QVERIFY(state->cleanupPlan().candidates.empty());
        QVERIFY(!state->activeModal() && !state->userAlert() && !state->lastTrashed());
        QCOMPARE(state->currentTheme(), TreemapTheme::kelvane);
        QCOMPARE(state->storageVisualMode(), StorageVisualMode::folders);
        QCOMPARE(state->selectedLargeFileThreshold(), allLargeFileThresholds().front());
        QCOMPARE(state->systemMetrics().diskUsedBytes, std::int64_t{0});
        QCOMPARE(state->systemMetrics().cpuUsagePercent, 0.0);
        QVERIFY(!state->hasRequestedPermissionOnce());
        QVERIFY(state->searchText().empty());
        QCOMPARE(state->cleanupOpportunityBytes(), std::int64_t{0});
        // Construction writes no preference at all.
        QVERIFY(!std::filesystem::exists(h.preferences->file()));
        QVERIFY(!std::filesystem::exists(h.env.preferencesFile()));
    }

    // A damaged settings file lapses the user's protections: the window says so once, with
    // where the file was kept, and nothing is guessed from it.
    void unreadableSettingsRaiseOneAlertWithWhereTheyWereKept() {
        Harness h;
        const std::string truncated =
            "{\"Fernwick_UserProtectedPaths\": [\"/home/u/Projects\", \"/home/u/Pho";
        h.tree.file(std::filesystem::relative(h.env.preferencesFile(), h.tree.root()).string(),
                    truncated);
        h.preferences = std::make_shared<PreferencesStore>(h.env.preferencesFile());
        h.safety = std::make_shared<SafetyEngine>(h.env, h.preferences);
        h.services.preferences = h.preferences;
        h.services.safety = h.safety;
        auto state = h.make();

        QVERIFY(h.safety->getProtectedPaths().empty());
        std::vector<std::filesystem::path> kept;
        for (const auto& entry :
             std::filesystem::directory_iterator(h.env.preferencesFile().parent_path())) {
            kept.push_back(entry.path());
        }
        QCOMPARE(kept.size(), std::size_t{1});
        QVERIFY(kept[0].filename().string().starts_with("preferences.json.unreadable-"));
        QCOMPARE(*readWholeFile(kept[0]), truncated);
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("Couldn't read settings"));
        QCOMPARE(state->userAlert()->message,
                 h.env.preferencesFile().string() + ": not JSON, or nested too deeply\n" +
                     "The unreadable copy was kept as " + kept[0].string() + "\n" +
                     "The Custom Protected Whitelist is empty until you add its entries again");

        // A file that reads raises nothing.
        Harness fine;
        QVERIFY(fine.preferences->setStringArray(SafetyEngine::kUserProtectedPathsKey, {"/a"}));
        fine.preferences = std::make_shared<PreferencesStore>(fine.env.preferencesFile());
        fine.services.preferences = fine.preferences;
        QVERIFY(!fine.make()->userAlert());
    }

    void storedThemes_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("exact name") << "Matrix Terminal" << int(TreemapTheme::matrix);
        QTest::newRow("older name") << "Kelvane Classic" << int(TreemapTheme::kelvane);
        QTest::newRow("other case") << "matrix terminal" << int(TreemapTheme::kelvane);
        QTest::newRow("unknown") << "Plaid" << int(TreemapTheme::kelvane);
    }
    void storedThemes() {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        Harness h;
        QVERIFY(h.preferences->setString(AppState::kThemeKey, stored.toStdString()).ok());
        auto state = h.make();
        QCOMPARE(int(state->currentTheme()), expected);
        // Start-up leaves the stored text as it was.
        PreferencesStore reread(h.env.preferencesFile());
        QCOMPARE(QString::fromStdString(*reread.string(AppState::kThemeKey)), stored);
    }

    void themeAssignmentAlwaysStoresAndAnnounces() {
        Harness h;
        auto state = h.make();
        QSignalSpy spy(state.get(), &AppState::currentThemeChanged);
        state->setCurrentTheme(TreemapTheme::kelvane); // equal to the present value
        QCOMPARE(spy.count(), 1);
        QCOMPARE(*h.preferences->string(AppState::kThemeKey), std::string("Tarnbrook Classic"));
        state->setCurrentTheme(TreemapTheme::ocean);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(*PreferencesStore(h.env.preferencesFile()).string(AppState::kThemeKey),
                 std::string("Deep Ocean"));
    }

    void permissionFlagAndNotice_data() {
        QTest::addColumn<bool>("storedFlag");
        QTest::addColumn<bool>("access");
        QTest::addColumn<bool>("notice");
        QTest::newRow("no flag, no access") << false << false << true;
        QTest::newRow("no flag, access") << false << true << false;
        QTest::newRow("flag, no access") << true << false << false;
    }
    void permissionFlagAndNotice() {
        QFETCH(bool, storedFlag);
        QFETCH(bool, access);
        QFETCH(bool, notice);
        Harness h;
        if (storedFlag) {
            QVERIFY(h.preferences->setBoolean(AppState::kPermissionRequestedKey, true).ok());
        }
        h.fullDiskAccess = access;
        auto state = h.make();
        QCOMPARE(state->hasRequestedPermissionOnce(), storedFlag);
        QCOMPARE(state->hasFullDiskAccess(), access);
        QCOMPARE(state->showOneTimePermissionNotice(), notice);
    }

    void permissionOperations() {
        Harness h;
        h.fullDiskAccess = false;
        auto state = h.make();
        QVERIFY(state->showOneTimePermissionNotice());

        state->requestDiskPermissionOnce();
        QVERIFY(state->hasRequestedPermissionOnce());
        QVERIFY(!state->showOneTimePermissionNotice());
        QCOMPARE(h.openedURLs.size(), std::size_t{1});
        QCOMPARE(h.openedURLs[0].toString().size(), 72);
        QCOMPARE(*h.preferences->boolean(AppState::kPermissionRequestedKey), true);

        state->setHasRequestedPermissionOnce(false);
        QCOMPARE(
            *PreferencesStore(h.env.preferencesFile()).boolean(AppState::kPermissionRequestedKey),
            false);
        state->dismissPermissionNoticePermanently();
        QCOMPARE(h.openedURLs.size(), std::size_t{1}); // opens nothing
        QVERIFY(state->hasRequestedPermissionOnce());

        // A later start-up shows no notice; "Refresh Status" reads the access again only.
        auto later = h.make();
        QVERIFY(!later->showOneTimePermissionNotice());
        h.fullDiskAccess = true;
        later->checkDiskPermissions();
        QVERIFY(later->hasFullDiskAccess());
        QVERIFY(!later->showOneTimePermissionNotice());
    }

    void firstMonitorSampleAfterTheInterval() {
        Harness h;
        QElapsedTimer clock;
        clock.start();
        auto state = h.make();
        QCOMPARE(state->monitorTimer().interval(), 1500);
        QCOMPARE(state->monitorTimer().timerType(), Qt::PreciseTimer);
        QSignalSpy spy(state.get(), &AppState::systemMetricsChanged);
        QVERIFY(spy.wait(5000));
        QVERIFY(clock.elapsed() >= 1500);
        QCOMPARE(state->systemMetrics().diskUsedBytes, std::int64_t{700});
    }

    void trashCountArrivesAfterConstruction() {
        Harness h;
        h.tree.file("junk.txt", "x");
        QVERIFY(h.trash->moveToTrash(h.tree / "junk.txt").ok());
        auto state = h.make();
        QCOMPARE(state->trashItemCount(), std::int64_t{0}); // not counted inline
        QTRY_COMPARE(state->trashItemCount(), std::int64_t{1});
    }

    void updateAnswerPublishedWithoutAlert() {
        Harness h;
        std::string asked;
        h.services.checkForUpdate = [&](const std::string& url) {
            asked = url;
            return UpdateCheckResult{UpdateCheckResult::Kind::newerVersion,
                                     AppUpdateInfo{"9.9.9", "https://example.invalid/get"},
                                     {}};
        };
        auto state = h.make();
        QSignalSpy alerts(state.get(), &AppState::userAlertChanged);
        QVERIFY(!state->availableUpdate());
        QTRY_VERIFY(state->availableUpdate().has_value());
        QCOMPARE(state->availableUpdate()->latestVersion, std::string("9.9.9"));
        QCOMPARE(asked, std::string("https://example.invalid/ridar/version.json"));
        QCOMPARE(alerts.count(), 0);
    }

    void failedUpdateCheckIsSilent() {
        Harness h;
        auto answered = std::make_shared<std::atomic<bool>>(false);
        h.services.checkForUpdate = [answered](const std::string&) {
            answered->store(true);
            return UpdateCheckResult{UpdateCheckResult::Kind::failed, std::nullopt, "no network"};
        };
        auto state = h.make();
        QSignalSpy updates(state.get(), &AppState::availableUpdateChanged);
        QVERIFY(updates.wait(5000));
        QVERIFY(!state->availableUpdate());
        QVERIFY(!state->userAlert());
    }

    void debugLineUsesAPointWhateverTheLocale() {
        const char* saved = std::setlocale(LC_NUMERIC, nullptr);
        const std::string restore = saved ? saved : "C";
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8"); // may be missing; the line must not care
        QCOMPARE(AppState::scanFinishedLine(1.234),
                 std::string("⚡️ Tarnbrook Turbo Scan finished in 1.23s!"));
        QCOMPARE(AppState::scanFinishedLine(0),
                 std::string("⚡️ Tarnbrook Turbo Scan finished in 0.00s!"));
        std::setlocale(LC_NUMERIC, restore.c_str());
    }
};

QTEST_MAIN(AppStateStartupTest)
#include "AppStateStartupTest.moc"
