#include "FernwickUI/Tools/DeveloperCleanerView.h"
#include "FernwickUI/Kit/Chip.h"
#include "FernwickUI/Kit/ConfirmationDialog.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Style/SystemFont.h"
#include "FernwickUI/Tools/DeveloperItemList.h"
#include "tests/UI/State/AppStateHarness.h"
#include "tests/UI/Tools/ToolsHarness.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using fernwick::test::Harness;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

DeveloperStorageItem devItem(const std::string& name, const std::string& group,
                             const fs::path& path, std::int64_t size, bool isSelected) {
    DeveloperStorageItem it;
    it.id = Uuid::random();
    it.name = name;
    it.groupName = group;
    it.path = path.string();
    it.size = size;
    it.canClean = true;
    it.isSelected = isSelected;
    it.explanation = "Rebuilt on demand.";
    it.recommendedAction = "Safe to remove.";
    return it;
}

/// A developer cleaner over the harness's state; the developer scan answers `catalogue()`, with
/// fresh ids on every call, as the engine does.
struct Screen {
    Harness& h;
    std::function<std::vector<DeveloperStorageItem>()> catalogue;
    std::atomic<int> scans{0};
    std::unique_ptr<AppState> state;
    std::unique_ptr<DeveloperCleanerView> view;

    Screen(Harness& harness, std::function<std::vector<DeveloperStorageItem>()> items)
        : h(harness), catalogue(std::move(items)) {
        h.services.scanDeveloperStorage = [this] {
            ++scans;
            auto fresh = catalogue();
            for (auto& it : fresh) {
                it.id = Uuid::random();
            }
            return fresh;
        };
        state = h.make();
        QVERIFY(test::runToCompletion([&](auto done) { state->scanDeveloperStorage(done); }));
        view = std::make_unique<DeveloperCleanerView>(*state, ToolSeams{});
        view->resize(960, 640);
        view->show();
        h.settle();
    }

    QStringList chips() const {
        QStringList names;
        for (auto* chip : view->findChildren<Chip*>()) {
            names.push_back(chip->label());
        }
        return names;
    }
    QStringList selectedChips() const {
        QStringList names;
        for (auto* chip : view->findChildren<Chip*>()) {
            if (chip->isSelected()) {
                names.push_back(chip->label());
            }
        }
        return names;
    }
    void chooseChip(const QString& name) {
        for (auto* chip : view->findChildren<Chip*>()) {
            if (chip->label() == name) {
                QTest::mouseClick(chip, Qt::LeftButton);
                return;
            }
        }
        QFAIL(qPrintable("no chip " + name));
    }
    int rowOf(const QString& name) const {
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (test::rowText(view->model(), row) == name) {
                return row;
            }
        }
        return -1;
    }
    bool showsText(const QString& text) const {
        for (auto* label : view->findChildren<QLabel*>()) {
            if (label->text() == text && label->isVisibleTo(view.get())) {
                return true;
            }
        }
        return false;
    }
    StyledButton* cleanButton() const {
        return test::findButton(view.get(), QStringLiteral("Move Selected to Trash"));
    }
    /// Confirms the clean and waits until the rescan after it has been published.
    void clean() {
        QTest::mouseClick(cleanButton(), Qt::LeftButton);
        QVERIFY(view->confirmation() != nullptr);
        view->confirmation()->destructiveButton()->click();
        QVERIFY(QTest::qWaitFor([this] {
            h.settle();
            return cleanButton()->isEnabled() || !state->isScanningDeveloper();
        }));
        h.settle();
    }
};

} // namespace

class DeveloperCleanerViewTest : public QObject {
    Q_OBJECT

private slots:
    // Tab enters the list at the first item's tick box; Space ticks it, Right reaches
    // "Reveal" and Return presses it.
    void theRowControlsAnswerTheKeyboard() {
        Harness h;
        Screen screen(h, [] {
            return std::vector<DeveloperStorageItem>{
                devItem("npm cache", "Node", "/home/me/.npm", 2000, false),
                devItem("Gradle caches", "Java", "/home/me/.gradle/caches", 1000, false)};
        });
        QApplication::setActiveWindow(screen.view.get());
        RowList* list = screen.view->list();
        QVERIFY(list->focusPolicy() & Qt::TabFocus);
        list->setFocus(Qt::TabFocusReason);
        QCOMPARE(list->focusedRow(), 0);
        QCOMPARE(list->focusedAction(), int(DeveloperItemDelegate::toggle));
        QTest::keyClick(list, Qt::Key_Space);
        auto* model = screen.view->model();
        QCOMPARE(model->data(model->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Right);
        QCOMPARE(list->focusedAction(), int(DeveloperItemDelegate::reveal));
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(h.revealed, std::vector<fs::path>{"/home/me/.gradle/caches"});
    }

    void aSafetyWarningIsDrawnWholeAtTheSheetsMinimumWidth() {
        const QString warning =
            QStringLiteral("Docker Desktop is currently active. Deleting the VM file directly "
                           "while running causes immediate kernel filesystem crashes and "
                           "container loss.");
        const QString action = QStringLiteral("Run 'docker system prune -a --volumes' in Terminal "
                                              "to reclaim space safely without breaking Docker.");
        test::ToolsHarness w(false);
        w.h.services.scanDeveloperStorage = [&] {
            DeveloperStorageItem docker =
                devItem("Docker Desktop VM Disk", "Containers",
                        w.h.tree / ".docker/desktop/vms/0/data/Docker.raw", 2'726'297'600, false);
            docker.canClean = false;
            docker.likelyActive = true;
            docker.explanation = warning.toStdString();
            docker.recommendedAction = action.toStdString();
            return std::vector<DeveloperStorageItem>{
                docker, devItem("npm Cache", "Package Managers", w.h.tree / ".npm", 1000, true)};
        };
        w.open();
        w.openSheet(ActiveModal::developer);
        QWidget* sheet = w.window->sheet();
        QVERIFY(sheet != nullptr);
        QCOMPARE(sheet->minimumSize(), QSize(860, 580));
        sheet->resize(sheet->minimumSize());
        w.h.settle();
        auto* view = w.screen<DeveloperCleanerView>();
        RowList* list = view->list();
        QCOMPARE(list->model()->rowCount(), 2);
        // Too long for one line here: it wraps, and the row grows to hold it, whole.
        QVERIFY(QFontMetricsF(uiFont(11)).horizontalAdvance(warning) > list->width() / 2);
        const QString docker = test::paintedTexts(list, 0);
        QVERIFY2(docker.contains(warning), qPrintable(docker));
        QVERIFY2(docker.contains(action), qPrintable(docker));
        QVERIFY(!docker.contains(QChar(0x2026)));
        QVERIFY(list->visualRect(list->model()->index(0, 0)).height() >=
                list->visualRect(list->model()->index(1, 0)).height() +
                    QFontMetricsF(uiFont(11)).height());
        // Wider, the same texts take fewer lines.
        const int narrow = list->visualRect(list->model()->index(0, 0)).height();
        sheet->resize(1400, 680);
        w.h.settle();
        QVERIFY(list->visualRect(list->model()->index(0, 0)).height() < narrow);
        QVERIFY(test::paintedTexts(list, 0).contains(warning));
    }

    void ticksOfEveryGroupCountInTheFooterAndTheDialog() {
        Harness h;
        const fs::path npm = h.tree.folder("caches/npm");
        const fs::path brew = h.tree.folder("caches/brew");
        const fs::path pnpm = h.tree.folder("caches/pnpm");
        Screen screen(h, [&] {
            return std::vector<DeveloperStorageItem>{
                devItem("npm", "Node & Web", npm, 3000000, false),
                devItem("Homebrew", "Package Managers", brew, 2000000, true),
                devItem("pnpm", "Node & Web", pnpm, 1000000, false)};
        });
        QCOMPARE(DeveloperCleanerView::groupChips(screen.state->developerItems()),
                 (std::vector<std::string>{"All", "Node & Web", "Package Managers"}));
        QCOMPARE(screen.chips(), (QStringList{QStringLiteral("All"), QStringLiteral("Node & Web"),
                                              QStringLiteral("Package Managers")}));
        QCOMPARE(screen.selectedChips(), QStringList{QStringLiteral("All")});
        QVERIFY(screen.showsText(QStringLiteral("1 items ready to move to Trash")));

        screen.chooseChip(QStringLiteral("Node & Web"));
        QCOMPARE(screen.view->model()->rowCount(), 2);
        test::clickRow(screen.view->list(), screen.rowOf(QStringLiteral("npm")),
                       DeveloperItemDelegate::toggle);
        screen.chooseChip(QStringLiteral("Package Managers"));
        QCOMPARE(screen.view->model()->rowCount(), 1);
        QVERIFY(screen.showsText(QStringLiteral("2 items ready to move to Trash")));
        QVERIFY(screen.showsText(QStringLiteral("Detected: 6 MB • Selected: 5 MB")));

        QTest::mouseClick(screen.cleanButton(), Qt::LeftButton);
        ConfirmationDialog* dialog = screen.view->confirmation();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->titleLabel()->text(),
                 QStringLiteral("Move 5 MB of developer files to Trash?"));
        QCOMPARE(dialog->destructiveButton()->text(), QStringLiteral("Move 2 items to Trash"));
        QCOMPARE(dialog->messageLabel()->text(),
                 QStringLiteral("Build caches are regenerated automatically the next time you "
                                "build. Everything stays in the Trash until you empty it."));
        dialog->cancelButton()->click();
        h.settle();
        QVERIFY(fs::exists(npm) && fs::exists(brew));

        // Nothing ticked: the prompt, and the button stays disabled.
        screen.chooseChip(QStringLiteral("All"));
        test::clickRow(screen.view->list(), screen.rowOf(QStringLiteral("npm")),
                       DeveloperItemDelegate::toggle);
        test::clickRow(screen.view->list(), screen.rowOf(QStringLiteral("Homebrew")),
                       DeveloperItemDelegate::toggle);
        QVERIFY(screen.showsText(QStringLiteral("Tick the items you want to remove")));
        QVERIFY(!screen.cleanButton()->isEnabled());
    }

    void anItemThatCannotBeCleanedIsNeverTickedNorMoved() {
        Harness h;
        const fs::path kept = h.tree.folder("caches/docker");
        const fs::path gone = h.tree.folder("caches/gradle");
        Screen screen(h, [&] {
            auto docker = devItem("Docker", "Containers", kept, 9000, true);
            docker.canClean = false;
            return std::vector<DeveloperStorageItem>{
                docker, devItem("Gradle", "Build Caches", gone, 4000, true)};
        });
        auto* model = screen.view->model();
        const QModelIndex docker = model->index(screen.rowOf(QStringLiteral("Docker")), 0);
        QCOMPARE(model->data(docker, RowRole::icon).toString(), QStringLiteral("info.circle"));
        QCOMPARE(model->data(docker, Qt::ToolTipRole).toString(),
                 QStringLiteral("Not cleaned automatically — see the recommendation"));
        QVERIFY(!model->data(docker, Qt::CheckStateRole).isValid());
        QVERIFY(
            screen.view->list()->actionRect(docker.row(), DeveloperItemDelegate::toggle).isEmpty());
        QVERIFY(screen.showsText(QStringLiteral("1 items ready to move to Trash")));

        const int scansBefore = screen.scans;
        screen.clean();
        QCOMPARE(screen.scans.load(), scansBefore + 1);
        QVERIFY(fs::exists(kept));
        QVERIFY(!fs::exists(gone));
        QVERIFY(fs::exists(h.env.dataHome / "Trash/files/gradle"));
        QVERIFY(!screen.state->userAlert().has_value());
        // The new scan's defaults are ticked again and the button is back.
        const QModelIndex gradle = model->index(screen.rowOf(QStringLiteral("Gradle")), 0);
        QCOMPARE(model->data(gradle, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(screen.cleanButton()->isEnabled());
    }

    void loadingReplacesTheListAndAVanishedGroupLeavesNoChip() {
        Harness h;
        bool withPods = true;
        Screen screen(h, [&] {
            std::vector<DeveloperStorageItem> items{
                devItem("npm", "Node & Web", h.tree / "npm", 10, false)};
            if (withPods) {
                items.push_back(devItem("Pods", "iOS", h.tree / "pods", 5, false));
            }
            return items;
        });
        screen.state->setIsScanningDeveloper(true);
        QVERIFY(
            screen.showsText(QStringLiteral("Scanning Developer Caches, Xcode, and Models...")));
        QVERIFY(!screen.view->list()->isVisible());
        screen.state->setIsScanningDeveloper(false);
        QVERIFY(screen.view->list()->isVisible());

        screen.chooseChip(QStringLiteral("iOS"));
        withPods = false;
        QTest::mouseClick(test::findButton(screen.view.get(), QStringLiteral("Rescan Dev Tools")),
                          Qt::LeftButton);
        h.settle();
        QCOMPARE(screen.chips(),
                 (QStringList{QStringLiteral("All"), QStringLiteral("Node & Web")}));
        QVERIFY(screen.selectedChips().isEmpty());
        QCOMPARE(screen.view->model()->rowCount(), 0);

        screen.state->setDeveloperItems({});
        QVERIFY(screen.showsText(QStringLiteral("No Developer Artifacts Found")));
    }
};

QTEST_MAIN(DeveloperCleanerViewTest)
#include "DeveloperCleanerViewTest.moc"
