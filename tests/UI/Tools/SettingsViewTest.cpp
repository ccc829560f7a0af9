#include "FernwickUI/Tools/SettingsView.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickUI/Kit/Badge.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/Tools/ProcessFacts.h"
#include "FernwickUI/Tools/ToolSeams.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <set>

using fernwick::test::Harness;
using namespace fernwick;
using namespace fernwick::ui;
namespace fs = std::filesystem;

namespace {

constexpr const char* kEmptyText =
    "No custom protected paths added yet. System directories and sensitive personal folders "
    "(~/.ssh, ~/Documents, keyrings) are protected by default.";

/// A settings page over the harness's state, with choosers that answer what the test says.
struct Page {
    Harness& h;
    std::unique_ptr<AppState> state;
    std::optional<fs::path> chosenItem;
    std::optional<fs::path> chosenReport;
    QString presetName;
    int chooserRuns = 0;
    std::unique_ptr<SettingsView> view;

    explicit Page(Harness& harness) : h(harness), state(harness.make()) {
        ToolSeams seams;
        seams.chooseProtectedItem = [this](QWidget*) {
            ++chooserRuns;
            return chosenItem;
        };
        seams.chooseReportLocation = [this](QWidget*, const QString& preset) {
            presetName = preset;
            return chosenReport;
        };
        view = std::make_unique<SettingsView>(*state, seams);
        view->resize(900, 900);
        view->show();
        h.settle();
    }

    StyledButton* button(const QString& label) const {
        for (auto* b : view->findChildren<StyledButton*>()) {
            if (b->label() == label) {
                return b;
            }
        }
        return nullptr;
    }
    void click(const QString& label) {
        StyledButton* b = button(label);
        QVERIFY2(b != nullptr, qPrintable(label));
        QTest::mouseClick(b, Qt::LeftButton);
        h.settle();
    }
    /// The path texts of the rows, top to bottom.
    QStringList rows() const {
        QStringList texts;
        for (auto* label : view->findChildren<ElidedLabel*>()) {
            texts.push_back(label->text());
        }
        return texts;
    }
    bool showsEmptyText() const {
        for (auto* label : view->findChildren<QLabel*>()) {
            if (label->text() == QString::fromUtf8(kEmptyText)) {
                return true;
            }
        }
        return false;
    }
    void remove(const QString& path) {
        for (auto* b : view->findChildren<StyledButton*>(QStringLiteral("removeProtectedPath"))) {
            if (b->accessibleName() == path) {
                QTest::mouseClick(b, Qt::LeftButton);
                h.settle();
                return;
            }
        }
        QFAIL(qPrintable("no row for " + path));
    }
    std::set<std::string> stored() const {
        const auto array = h.preferences->stringArray(SafetyEngine::kUserProtectedPathsKey);
        return array ? std::set<std::string>(array->begin(), array->end())
                     : std::set<std::string>{};
    }
    std::set<std::string> shown() const {
        std::set<std::string> out;
        for (const auto& row : rows()) {
            out.insert(row.toStdString());
        }
        return out;
    }
    QString badge() const { return view->findChild<Badge*>()->text(); }
};

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT

private slots:
    void pathsAreListedInByteOrderWithoutDuplicatesAndRemovedPerRow() {
        Harness h;
        Page page(h);
        QVERIFY(page.showsEmptyText());
        const fs::path alpha = h.tree.folder("t/alpha");
        const fs::path zeta = h.tree.folder("t/Zeta");
        page.chosenItem = alpha;
        page.click(QStringLiteral("Add Folder / File"));
        QVERIFY(!page.showsEmptyText());
        page.chosenItem = zeta;
        page.click(QStringLiteral("Add Folder / File"));
        QCOMPARE(page.rows(), (QStringList{QString::fromStdString(zeta.string()),
                                           QString::fromStdString(alpha.string())}));
        QCOMPARE(page.stored(), page.shown());
        page.chosenItem = alpha.string() + "/";
        page.click(QStringLiteral("Add Folder / File"));
        QCOMPARE(page.rows().size(), 2);
        QCOMPARE(page.stored(), page.shown());

        page.remove(QString::fromStdString(zeta.string()));
        QCOMPARE(page.rows(), QStringList{QString::fromStdString(alpha.string())});
        QCOMPARE(page.stored(), page.shown());
        page.remove(QString::fromStdString(alpha.string()));
        QVERIFY(page.rows().isEmpty());
        QVERIFY(page.showsEmptyText());
        QCOMPARE(page.stored(), std::set<std::string>{});
    }

    void aStoredEntryOutOfStandardFormIsShownAndRemovedAsItStands() {
        Harness h;
        QVERIFY(h.preferences->setStringArray(SafetyEngine::kUserProtectedPathsKey, {"/x/A/"}));
        h.safety = std::make_shared<SafetyEngine>(h.env, h.preferences);
        h.services.safety = h.safety;
        Page page(h);
        QCOMPARE(page.rows(), QStringList{QStringLiteral("/x/A/")});
        page.remove(QStringLiteral("/x/A/"));
        QVERIFY(page.showsEmptyText());
        QCOMPARE(page.stored(), std::set<std::string>{});
    }

    void cancelledChoosersChangeAndShowNothing() {
        Harness h;
        Page page(h);
        page.click(QStringLiteral("Add Folder / File"));
        QCOMPARE(page.chooserRuns, 1);
        // An add would have written the (whole) list.
        QVERIFY(!h.preferences->stringArray(SafetyEngine::kUserProtectedPathsKey).has_value());
        page.click(QStringLiteral("Export Diagnostic Logs"));
        QCOMPARE(page.presetName, QStringLiteral("Fernwick_Diagnostic_Report.txt"));
        QVERIFY(!page.state->userAlert().has_value());
        QVERIFY(page.showsEmptyText());
    }

    void theAccessBadgeChangesOnlyOnRefresh() {
        Harness h;
        h.fullDiskAccess = false;
        Page page(h);
        QCOMPARE(page.badge(), QStringLiteral("STANDARD ACCESS"));
        h.fullDiskAccess = true;
        page.click(QStringLiteral("Open Privacy & Security Settings"));
        QCOMPARE(page.badge(), QStringLiteral("STANDARD ACCESS"));
        page.click(QStringLiteral("Refresh Status"));
        QCOMPARE(page.badge(), QStringLiteral("FULL DISK ACCESS"));
    }

    void theExportWritesThreeLinesWithTheSystemNameAndTheUtcDate() {
        Harness h;
        Page page(h);
        page.chosenReport = h.tree.root() / "r.txt";
        page.click(QStringLiteral("Export Diagnostic Logs"));
        const auto written = readWholeFile(*page.chosenReport);
        QVERIFY(written.ok());
        const QString text = QString::fromStdString(*written);
        static const QRegularExpression shape(
            QStringLiteral("^Fernwick Diagnostics\\nOS: [^\\n]*\\nDate: \\d{4}-\\d\\d-\\d\\d "
                           "\\d\\d:\\d\\d:\\d\\d \\+0000\\n$"));
        QVERIFY2(shape.match(text).hasMatch(), qPrintable(text));
        QCOMPARE(text.split(QLatin1Char('\n')).at(1),
                 QStringLiteral("OS: ") +
                     QString::fromStdString(ProcessFacts::operatingSystemVersion()));
        QVERIFY(!page.state->userAlert().has_value());
    }

    // The save dialog for the report offers the file name in the home folder, not in the
    // working directory the program was started from.
    void theReportSaveDialogOffersTheNameInTheHomeFolder() {
        Harness h;
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        QStringList offered;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                offered = dialog->selectedFiles();
                dialog->reject();
            }
        });
        poll.start(10);
        const QString name = QStringLiteral("Fernwick_Diagnostic_Report.txt");
        QVERIFY(!withDefaultDialogs({}).chooseReportLocation(nullptr, name));
        QCOMPARE(offered.size(), 1);
        QCOMPARE(QFileInfo(offered.front()).fileName(), name);
        QCOMPARE(QFileInfo(offered.front()).absolutePath(), QDir::homePath());
    }
};

QTEST_MAIN(SettingsViewTest)
#include "SettingsViewTest.moc"
