#include "FernwickUI/MainWindow/Banners.h"
#include "FernwickCore/Platform/PreferencesStore.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QFile>
#include <QLabel>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::findButton;
using fernwick::test::WindowHarness;

class BannersTest : public QObject {
    Q_OBJECT

    static QByteArray preferencesBytes(WindowHarness& w) {
        QFile file(QString::fromStdString(w.h.env.preferencesFile().string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void updateBannerNamesBothVersionsAndClosesWithoutStoring() {
        WindowHarness w(false);
        w.h.services.currentVersion = "2.0.3";
        w.open();
        QVERIFY(!w.window->updateBanner()->isVisible());
        w.state->setAvailableUpdate(AppUpdateInfo{"2.1", "https://example.org/get"});
        UpdateBanner* banner = w.window->updateBanner();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->messageLabel()->text(),
                 QStringLiteral("Tarnbrook Ridar 2.1 is available — you have 2.0.3."));
        QCOMPARE(banner->messageLabel()->textFormat(), Qt::PlainText);
        click(findButton(banner, QStringLiteral("Download Update")));
        click(findButton(banner, QStringLiteral("Download Update")));
        QCOMPARE(w.h.openedURLs,
                 (std::vector<QUrl>{QUrl(QStringLiteral("https://example.org/get")),
                                    QUrl(QStringLiteral("https://example.org/get"))}));
        QVERIFY(banner->isVisible());
        QVERIFY(findButton(banner, QStringLiteral("Download Update"))->x() <
                banner->closeButton()->x());
        QCOMPARE(banner->closeButton()->toolTip(), QStringLiteral("Remind me next launch"));
        const QByteArray before = preferencesBytes(w);
        click(banner->closeButton());
        QVERIFY(!w.state->availableUpdate());
        QVERIFY(!banner->isVisible());
        QCOMPARE(preferencesBytes(w), before);
        // An insecure address that got in somehow opens nothing.
        w.state->setAvailableUpdate(AppUpdateInfo{"2.1", "http://x"});
        click(findButton(banner, QStringLiteral("Download Update")));
        QCOMPARE(w.h.openedURLs.size(), std::size_t{2});
    }

    void eachPermissionButtonStoresTheFlag() {
        for (const QString& label :
             {QStringLiteral("Grant in Settings"), QStringLiteral("Don't Ask Again"), QString()}) {
            WindowHarness w(false);
            w.h.fullDiskAccess = false;
            // The settings opener sees the flag already stored and the notice already gone.
            std::optional<std::pair<bool, bool>> flagsWhenOpened;
            w.h.services.openURL = [&](const QUrl& url) {
                flagsWhenOpened = {w.state->hasRequestedPermissionOnce(),
                                   w.state->showOneTimePermissionNotice()};
                w.h.openedURLs.push_back(url);
                return false;
            };
            w.open();
            PermissionBanner* banner = w.window->permissionBanner();
            QVERIFY(banner->isVisible());
            // Both banners: the update first, then the permission, then the body.
            w.state->setAvailableUpdate(AppUpdateInfo{"2.1", "https://example.org/get"});
            QCoreApplication::processEvents();
            QVERIFY(w.window->updateBanner()->geometry().bottom() < banner->geometry().top());
            QVERIFY(banner->geometry().bottom() < w.window->sidebar()->geometry().top());
            QVERIFY(banner->closeButton()->toolTip().isEmpty());
            // Grant, then Don't Ask Again, then close.
            QVERIFY(findButton(banner, QStringLiteral("Grant in Settings"))->x() <
                    findButton(banner, QStringLiteral("Don't Ask Again"))->x());
            QVERIFY(findButton(banner, QStringLiteral("Don't Ask Again"))->x() <
                    banner->closeButton()->x());
            click(label.isEmpty() ? banner->closeButton() : findButton(banner, label));
            QVERIFY2(!banner->isVisible(), qPrintable(label));
            QVERIFY(!w.state->showOneTimePermissionNotice());
            QCOMPARE(w.h.preferences->boolean("Tarnbrook_PermissionRequestedOnce"),
                     std::optional<bool>(true));
            QCOMPARE(w.h.openedURLs.size(), std::size_t(label == "Grant in Settings" ? 1 : 0));
            auto fresh = w.h.make();
            QVERIFY(!fresh->showOneTimePermissionNotice());
            if (label == QStringLiteral("Grant in Settings")) {
                QCOMPARE(flagsWhenOpened, (std::optional<std::pair<bool, bool>>({true, false})));
            }
        }
    }
};

QTEST_MAIN(BannersTest)
#include "BannersTest.moc"
