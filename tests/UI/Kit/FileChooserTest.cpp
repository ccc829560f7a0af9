#include "FernwickUI/Kit/FileChooser.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "FernwickUI/Style/DarkAppearance.h"
#include "FernwickUI/Tools/ToolSeams.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QDir>
#include <QFileDialog>
#include <QTest>

#include <filesystem>
#include <vector>

using namespace fernwick;
using namespace fernwick::ui;

namespace {

/// What one chooser looked like when it ran.
struct Shown {
    QString folder;
    QString offeredName;
    QColor window;
    bool ownWindow = false;
};

/// A runner that records each chooser and chooses the next of `answers`; cancels when none.
struct Recorder {
    std::vector<Shown> shown;
    std::vector<QString> answers;

    FileChooserRunner runner() {
        return [this](QFileDialog& chooser) {
            const QStringList offered = chooser.selectedFiles();
            shown.push_back({chooser.directory().absolutePath(),
                             offered.isEmpty() ? QString() : QFileInfo(offered.front()).fileName(),
                             chooser.palette().color(QPalette::Window), chooser.isWindow()});
            if (answers.empty()) {
                return false; // cancelled
            }
            const QString answer = answers.front();
            answers.erase(answers.begin());
            chooser.selectFile(answer);
            static_cast<QDialog&>(chooser).accept(); // the dialog's own checks run
            return chooser.result() == QDialog::Accepted;
        };
    }
};

QString qtPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

} // namespace

class FileChooserTest : public QObject {
    Q_OBJECT
private slots:
    // Every chooser (the report's save dialog, "Add Folder / File", the folder to scan) opens in
    // the home folder, not in the working directory, until something is chosen; then in the
    // folder of the last choice, whichever chooser made it. Qt's own chooser is dark though the
    // application's palette is not, and a window of its own.
    void everyChooserOpensAtHomeThenAtTheLastChoiceAndIsDark() {
        test::Harness h;
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        const QString home = QDir(qtPath(h.tree.root())).absolutePath();
        QCOMPARE(QDir::homePath(), home);
        const auto reports = h.tree.folder("Reports");
        const auto music = h.tree.folder("Music");
        Recorder recorder;
        ToolSeams seams;
        seams.runChooser = recorder.runner();
        seams = withDefaultDialogs(seams);

        // Cancelled: nothing is remembered.
        QVERIFY(!seams.chooseReportLocation(nullptr, QStringLiteral("Report.txt")));
        recorder.answers = {qtPath(reports / "Report.txt")};
        const auto saved = seams.chooseReportLocation(nullptr, QStringLiteral("Report.txt"));
        QCOMPARE(saved, std::optional<std::filesystem::path>(reports / "Report.txt"));
        recorder.answers = {qtPath(music)};
        QCOMPARE(seams.chooseProtectedItem(nullptr), std::optional<std::filesystem::path>(music));
        QVERIFY(!seams.chooseProtectedItem(nullptr));

        // The window's folder chooser takes the same runner and the same last folder.
        MainWindowSeams windowSeams;
        windowSeams.tools.runChooser = recorder.runner();
        auto state = h.make();
        MainWindow window(*state, windowSeams);
        window.chooseFolderAndScan();
        // A last folder that is gone: home again.
        std::filesystem::remove(music);
        QVERIFY(!seams.chooseProtectedItem(nullptr));

        const std::vector<QString> folders = {home,          home,          qtPath(reports),
                                              qtPath(music), qtPath(music), home};
        QCOMPARE(recorder.shown.size(), folders.size());
        const QPalette dark = darkPalette();
        QVERIFY(QApplication::palette().color(QPalette::Window) != dark.color(QPalette::Window));
        for (std::size_t i = 0; i < folders.size(); ++i) {
            QCOMPARE(recorder.shown[i].folder, folders[i]);
            QCOMPARE(recorder.shown[i].window, dark.color(QPalette::Window));
            QVERIFY(recorder.shown[i].ownWindow);
        }
        QCOMPARE(recorder.shown[0].offeredName, QStringLiteral("Report.txt"));
        QCOMPARE(state->scanState().kind(), ScanState::Kind::idle);
    }
};

QTEST_MAIN(FileChooserTest)
#include "FileChooserTest.moc"
