#include "tests/UI/State/AppStateHarness.h"

#include <QTest>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::Harness;
using fernwick::test::runToCompletion;
using Kind = UpdateCheckResult::Kind;

class AppStateUpdateTest : public QObject {
    Q_OBJECT

private slots:
    void manualCheckEndsInABannerOrItsOwnAlert() {
        Harness h;
        auto calls = std::make_shared<std::atomic<int>>(0);
        auto answer = std::make_shared<UpdateCheckResult>();
        h.services.checkForUpdate = [calls, answer](const std::string&) {
            ++*calls;
            return *answer;
        };
        *answer = {Kind::upToDate, std::nullopt, {}};
        auto state = h.make();
        h.settle();
        QCOMPARE(calls->load(), 1); // the quiet check at start-up
        QVERIFY(!state->userAlert());

        QVERIFY(runToCompletion([&](auto done) { state->checkForUpdatesManually(done); }));
        QVERIFY(state->userAlert().has_value());
        QCOMPARE(state->userAlert()->title, std::string("You're up to date"));
        QCOMPARE(state->userAlert()->message,
                 std::string("Tarnbrook Ridar 1.0.0 is the latest version."));

        state->setUserAlert(std::nullopt);
        *answer = {Kind::newerVersion, AppUpdateInfo{"2.0", "https://example.org/get"}, {}};
        QVERIFY(runToCompletion([&](auto done) { state->checkForUpdatesManually(done); }));
        QCOMPARE(state->availableUpdate(),
                 std::optional<AppUpdateInfo>(AppUpdateInfo{"2.0", "https://example.org/get"}));
        QVERIFY(!state->userAlert());

        // A failure keeps the update already offered and says why.
        *answer = {Kind::failed, std::nullopt, "The update server answered with status 500."};
        QVERIFY(runToCompletion([&](auto done) { state->checkForUpdatesManually(done); }));
        QCOMPARE(state->userAlert()->title, std::string("Couldn't check for updates"));
        QCOMPARE(state->userAlert()->message,
                 std::string("The update server answered with status 500."));
        QVERIFY(state->availableUpdate().has_value());
        QCOMPARE(calls->load(), 4);

        // Two quick presses: two checks.
        state->checkForUpdatesManually();
        state->checkForUpdatesManually();
        h.settle();
        QCOMPARE(calls->load(), 6);
    }

    void downloadOpensOnlyASecureAddress() {
        Harness h;
        auto state = h.make();
        h.settle();
        state->openUpdateDownload(); // nothing offered
        state->setAvailableUpdate(AppUpdateInfo{"2.1", "http://x"});
        state->openUpdateDownload();
        QVERIFY(h.openedURLs.empty());
        state->setAvailableUpdate(AppUpdateInfo{"2.1", "https://example.org/get"});
        state->openUpdateDownload();
        state->openUpdateDownload();
        QCOMPARE(h.openedURLs.size(), std::size_t{2});
        QCOMPARE(h.openedURLs[1], QUrl(QStringLiteral("https://example.org/get")));
        QVERIFY(state->availableUpdate().has_value());

        // What the desktop is handed at all: the settings address of the permission notice,
        // plain http and script addresses are refused.
        for (const char* address :
             {"https://example.org/get", "HTTPS://EXAMPLE.ORG", "file:///tmp/a"}) {
            QVERIFY2(AppServices::desktopMayOpen(QUrl(QString::fromLatin1(address))), address);
        }
        for (const char* address :
             {"http://example.org/get", AppState::kFullDiskAccessSettingsAddress,
              "javascript:alert(1)", "example.org/get", "", "ftp://example.org/a"}) {
            QVERIFY2(!AppServices::desktopMayOpen(QUrl(QString::fromLatin1(address))), address);
        }
    }
};

QTEST_MAIN(AppStateUpdateTest)
#include "AppStateUpdateTest.moc"
