#include "FernwickUI/Tools/AppUninstallerListView.h"
#include "FernwickCore/Engines/AppUninstallerEngine.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/PaintedCardList.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Tools/InstalledAppList.h"
#include "tests/Support/TextRecorder.h"
#include "tests/UI/State/AppStateHarness.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using fernwick::test::Harness;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

InstalledApp makeApp(const std::string& name, std::optional<std::string> identifier,
                     std::optional<std::string> version = std::nullopt) {
    InstalledApp app;
    app.id = Uuid::random();
    app.name = name;
    app.bundleIdentifier = std::move(identifier);
    app.version = std::move(version);
    app.appSize = 2000000;
    return app;
}

/// The uninstaller over the harness's state; the scan answers `apps` with fresh ids each time.
struct Screen {
    Harness& h;
    std::vector<InstalledApp> apps;
    std::vector<std::string> calls; // "scan" and "uninstall <name> <removeRelated>", in order
    std::unique_ptr<AppState> state;
    std::unique_ptr<AppUninstallerListView> view;

    explicit Screen(Harness& harness, std::vector<InstalledApp> listed)
        : h(harness), apps(std::move(listed)) {
        h.services.scanInstalledApplications = [this] {
            calls.emplace_back("scan");
            auto fresh = apps;
            for (auto& app : fresh) {
                app.id = Uuid::random();
            }
            return fresh;
        };
        if (!h.services.uninstallApp) {
            h.services.uninstallApp = [this](const InstalledApp& app, bool removeRelated,
                                             const CheckedTrashMover&) {
                calls.push_back("uninstall " + app.name + (removeRelated ? " true" : " false"));
            };
        }
        state = h.make();
        QVERIFY(test::runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        calls.clear();
        view = std::make_unique<AppUninstallerListView>(*state, ToolSeams{});
        view->resize(900, 600);
        view->show();
        h.settle();
    }

    QStringList rows() const {
        QStringList names;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            names.push_back(test::rowText(view->model(), row));
        }
        return names;
    }
    QStringList highlighted() const {
        QStringList names;
        auto* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->data(model->index(row, 0), InstalledAppModel::highlightedRole).toBool()) {
                names.push_back(test::rowText(model, row));
            }
        }
        return names;
    }
    void search(const QString& text) { view->searchField()->setText(text); }
    QStringList inspectorTexts() const {
        QStringList texts;
        if (view->inspector() != nullptr) {
            for (auto* label : view->inspector()->findChildren<QLabel*>()) {
                texts.push_back(label->text());
            }
        }
        return texts;
    }
    void select(const QString& name) {
        const int row = static_cast<int>(rows().indexOf(name));
        QVERIFY(row >= 0);
        test::clickRow(view->list(), row, InstalledAppDelegate::select);
        h.settle();
    }
    ConfirmationDialog* pressUninstall() {
        QTest::mouseClick(test::findButton(view->inspector(), QStringLiteral("Uninstall")),
                          Qt::LeftButton);
        return view->confirmation();
    }
};

} // namespace

class AppUninstallerListViewTest : public QObject {
    Q_OBJECT

private slots:
    void theListTakesTheFocusAndTheArrowKeysMoveTheSelection() {
        Harness h;
        Screen screen(h, {makeApp("Alpha", "a"), makeApp("Beta", "b"), makeApp("Gamma", "g")});
        QApplication::setActiveWindow(screen.view.get());
        // Tab from the search field reaches the list.
        screen.view->searchField()->setFocus(Qt::TabFocusReason);
        QWidget* focused = screen.view->searchField();
        for (int i = 0; i < 4 && focused != screen.view->list(); ++i) {
            QTest::keyClick(focused, Qt::Key_Tab);
            focused = QApplication::focusWidget();
        }
        QCOMPARE(focused, static_cast<QWidget*>(screen.view->list()));
        QCOMPARE(screen.highlighted(), QStringList{"Alpha"});
        const auto press = [&](Qt::Key key) {
            QTest::keyClick(screen.view->list(), key);
            screen.h.settle();
            return QString::fromStdString(screen.state->selectedAppForInspection()->name);
        };
        QCOMPARE(press(Qt::Key_Down), QStringLiteral("Beta"));
        QCOMPARE(screen.highlighted(), QStringList{"Beta"});
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("Beta")));
        QCOMPARE(press(Qt::Key_Down), QStringLiteral("Gamma"));
        QCOMPARE(press(Qt::Key_Down), QStringLiteral("Gamma"));
        QCOMPARE(press(Qt::Key_Home), QStringLiteral("Alpha"));
        QCOMPARE(press(Qt::Key_Up), QStringLiteral("Alpha"));
        QCOMPARE(press(Qt::Key_End), QStringLiteral("Gamma"));
        QCOMPARE(press(Qt::Key_Up), QStringLiteral("Beta"));
        // A selection filtered out of the list: Down starts at the first row shown.
        screen.search(QStringLiteral("m"));
        QCOMPARE(screen.rows(), QStringList{"Gamma"});
        QCOMPARE(press(Qt::Key_Down), QStringLiteral("Gamma"));
    }

    void searchMatchesNameOrIdentifierIgnoringCaseAndUntrimmed() {
        Harness h;
        Screen screen(h, {makeApp("Safari", "com.apple.Safari"), makeApp("Tool", std::nullopt),
                          makeApp("My App", "com.example.my")});
        QCOMPARE(screen.rows(), (QStringList{"Safari", "Tool", "My App"}));
        screen.search(QStringLiteral("safari"));
        QCOMPARE(screen.rows(), QStringList{"Safari"});
        screen.search(QStringLiteral("com.apple"));
        QCOMPARE(screen.rows(), QStringList{"Safari"});
        screen.search(QStringLiteral(" "));
        QCOMPARE(screen.rows(), QStringList{"My App"});
        screen.search(QStringLiteral("tool"));
        QCOMPARE(screen.rows(), QStringList{"Tool"});
        screen.search(QStringLiteral("zzz"));
        QVERIFY(screen.rows().isEmpty());
        // The first app of the scan is in the inspector, and stays while filtered out.
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("Safari")));
    }

    void anAppWithoutVersionIdentifierOrLeftoversShowsNoneOfThem() {
        Harness h;
        InstalledApp safari = makeApp("Safari", "com.apple.Safari", "17.1");
        AppAssociatedItem cache;
        cache.id = Uuid::random();
        cache.name = "Cache (com.apple.Safari)";
        cache.url = "/home/me/.cache/com.apple.Safari";
        cache.size = 500000;
        safari.relatedItems = {cache};
        Screen screen(h, {safari, makeApp("Tool", std::nullopt)});
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("Version 17.1")));
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("com.apple.Safari")));
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("500 KB")));
        auto* leftovers = screen.view->inspector()->findChild<PaintedCardList*>();
        QVERIFY(leftovers != nullptr);
        QCOMPARE(test::row(leftovers, 0),
                 (QStringList{"Cache (com.apple.Safari)", "/home/me/.cache/com.apple.Safari",
                              "500 KB"}));

        screen.select(QStringLiteral("Tool"));
        QCOMPARE(screen.highlighted(), QStringList{"Tool"});
        const QStringList texts = screen.inspectorTexts();
        QCOMPARE(texts, (QStringList{"Tool", "STORAGE BREAKDOWN", "Application Binary", "2 MB",
                                     "Associated Files & Leftovers", "Zero KB",
                                     "ASSOCIATED DATA & LEFTOVERS (0)",
                                     "No associated leftover files detected."}));
    }

    // Long application and leftover names wrap whole and their rows grow; the leftover's path
    // keeps to one line, cut in its middle.
    void longNamesWrapWhileThePathKeepsToOneLine() {
        Harness h;
        const std::string name = "Northern Coast Field Recorder and Waveform Editor for Long "
                                 "Evening Sessions by the Water";
        InstalledApp app = makeApp(name, "org.example.recorder");
        AppAssociatedItem settings;
        settings.id = Uuid::random();
        settings.name = "Settings of the " + name;
        settings.url = "/home/me/.config/" + std::string(300, 'r') + "/recorder";
        settings.size = 500000;
        AppAssociatedItem cache = settings;
        cache.id = Uuid::random();
        cache.name = "Cache";
        app.relatedItems = {settings, cache};
        Screen screen(h, {app, makeApp("Tool", std::nullopt)});
        RowList* list = screen.view->list();
        const QString row = test::paintedTexts(list, 0);
        QVERIFY2(row.contains(QString::fromStdString(name)), qPrintable(row));
        QVERIFY(list->visualRect(list->model()->index(0, 0)).height() >
                list->visualRect(list->model()->index(1, 0)).height());
        auto* leftovers = screen.view->inspector()->findChild<PaintedCardList*>();
        QVERIFY(leftovers->cardRect(0).height() > leftovers->cardRect(1).height());
        const QString cards = test::paintedTexts(leftovers);
        QVERIFY2(cards.contains(QString::fromStdString(settings.name)), qPrintable(cards));
        QVERIFY2(cards.contains(
                     QRegularExpression(QStringLiteral("/home/me/.config/r+\u2026r+/recorder"))),
                 qPrintable(cards));
    }

    // A long application name in the inspector's header wraps, at its hyphens, and is painted
    // whole beside the Uninstall button.
    void theHeaderWrapsALongNameWhole() {
        Harness h;
        const QString name =
            QStringLiteral("Orchestral-Composition-Suite-Professional-Edition-2026.AppImage");
        Screen screen(h, {makeApp(name.toStdString(), "org.example.orchestral", "2026.1")});
        QWidget* inspector = screen.view->inspector();
        QLabel* label = nullptr;
        for (auto* shown : inspector->findChildren<QLabel*>()) {
            label = shown->text() == name ? shown : label;
        }
        QVERIFY(label != nullptr);
        QWidget* header = label->parentWidget();
        QWidget* uninstall = test::findButton(header, QStringLiteral("Uninstall"));
        const QRect at(label->mapTo(screen.view.get(), QPoint()), label->size());
        QVERIFY(screen.view->rect().contains(at));
        QVERIFY(at.right() < uninstall->mapTo(screen.view.get(), QPoint()).x());
        QVERIFY(label->height() >= label->heightForWidth(label->width()));
        test::TextRecorder recorder(header->size());
        header->render(&recorder);
        QVERIFY2(recorder.cut().isEmpty(), qPrintable(recorder.cut().join(QLatin1Char('|'))));
        QVERIFY2(recorder.texts().join(QString()).contains(name), qPrintable(recorder.joined()));
    }

    void uninstallConfirmsThenRescansAndKeepsTheInspector() {
        Harness h;
        Screen screen(h, {makeApp("Safari", "com.apple.Safari"), makeApp("Tool", std::nullopt)});
        ConfirmationDialog* dialog = screen.pressUninstall();
        QVERIFY(dialog != nullptr);
        dialog->cancelButton()->click();
        h.settle();
        QVERIFY(screen.calls.empty());

        dialog = screen.pressUninstall();
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("Uninstall Safari?"));
        QCOMPARE(dialog->messageLabel()->text(),
                 QStringLiteral("The application bundle and its associated support containers, "
                                "caches, and preference files will be moved safely to Trash."));
        QCOMPARE(dialog->destructiveButton()->text(),
                 QStringLiteral("Move App and Leftovers to Trash"));
        dialog->destructiveButton()->click();
        h.settle();
        QCOMPARE(screen.calls, (std::vector<std::string>{"uninstall Safari true", "scan"}));
        // The rescan gave fresh ids: the inspector keeps Safari, no row is highlighted.
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("Safari")));
        QVERIFY(screen.highlighted().isEmpty());
    }

    // An AppImage's settings, data and cache are listed, never moved: its question names what
    // goes (the AppImage and its launcher) and what stays, inside the screen's window.
    void anAppImageQuestionNamesWhatMovesAndWhatStays() {
        Harness h;
        InstalledApp app = makeApp("Tallyframe", std::nullopt, "1.8.0");
        app.bundleURL = h.tree.root() / "Applications/Tallyframe-1.8.0-x86_64.AppImage";
        for (const char* folder : {".config/Tallyframe", ".local/share/applications/t.desktop"}) {
            AppAssociatedItem leftover;
            leftover.id = Uuid::random();
            leftover.url = h.tree.root() / folder;
            // Only the launcher is selected: the uninstall moves it with the AppImage.
            leftover.isSelected = leftover.url.extension() == ".desktop";
            app.relatedItems.push_back(leftover);
        }
        Screen screen(h, {app});
        ConfirmationDialog* dialog = screen.pressUninstall();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("Uninstall Tallyframe?"));
        QCOMPARE(dialog->messageLabel()->text(),
                 QStringLiteral("The AppImage and its desktop launcher will be moved safely to "
                                "Trash. Its settings, data and cache folders stay where they "
                                "are."));
        QCOMPARE(dialog->destructiveButton()->text(), QStringLiteral("Move App to Trash"));
        QVERIFY(!dialog->isWindow());
        dialog->destructiveButton()->click();
        h.settle();
        QCOMPARE(screen.calls, (std::vector<std::string>{"uninstall Tallyframe true", "scan"}));
    }

    void loadingReplacesTheListAndKeepsTheInspector() {
        Harness h;
        Screen screen(h, {makeApp("Safari", "com.apple.Safari")});
        screen.state->setIsScanningApps(true);
        QVERIFY(!screen.view->list()->isVisible());
        QVERIFY(screen.inspectorTexts().contains(QStringLiteral("Safari")));
        bool loadingShown = false;
        for (auto* label : screen.view->findChildren<QLabel*>()) {
            loadingShown |=
                label->text() == QStringLiteral("Locating Applications & Leftovers...") &&
                label->isVisible();
        }
        QVERIFY(loadingShown);
    }

    void theEngineMovesTheBundleToTheTrash() {
        Harness h;
        const fs::path bundle = h.tree.folder("Applications/Editor.app/Contents");
        h.tree.denseFile("Applications/Editor.app/Contents/editor", 4096);
        auto engine = std::make_shared<AppUninstallerEngine>(
            h.env, h.safety, h.trash, RunningPrograms(), h.tree.folder("system-apps"));
        h.services.scanInstalledApplications = [engine] {
            return engine->scanInstalledApplications();
        };
        h.services.uninstallApp = [engine](const InstalledApp& app, bool removeRelated,
                                           const CheckedTrashMover& mover) {
            engine->uninstallApp(app, removeRelated, mover);
        };
        auto state = h.make();
        QVERIFY(test::runToCompletion([&](auto done) { state->scanInstalledApps(done); }));
        AppUninstallerListView view(*state, ToolSeams{});
        view.show();
        QCOMPARE(view.model()->rowCount(), 1);
        QTest::mouseClick(test::findButton(view.inspector(), QStringLiteral("Uninstall")),
                          Qt::LeftButton);
        view.confirmation()->destructiveButton()->click();
        h.settle();
        QVERIFY(!fs::exists(bundle));
        QVERIFY(fs::exists(h.env.dataHome / "Trash/files/Editor.app/Contents/editor"));
        QCOMPARE(view.model()->rowCount(), 0);
        QVERIFY(!state->userAlert().has_value());
    }
};

QTEST_MAIN(AppUninstallerListViewTest)
#include "AppUninstallerListViewTest.moc"
