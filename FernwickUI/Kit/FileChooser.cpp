#include "FernwickUI/Kit/FileChooser.h"

#include "FernwickUI/Style/DarkAppearance.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace fernwick::ui {

namespace {

// The folder of the last choice in this run; empty until the first.
QString& lastChosenFolder() {
    static QString folder;
    return folder;
}

void rememberChoice(const QString& chosen) {
    const QFileInfo info(chosen);
    lastChosenFolder() = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
}

/// An open dialog for one existing file or folder: Qt's own dialog only accepts files in this
/// mode and opens a folder instead of choosing it, so a selected existing folder is accepted
/// here.
class FileOrFolderDialog : public QFileDialog {
public:
    explicit FileOrFolderDialog(QWidget* parent) : QFileDialog(parent) {
        setFileMode(QFileDialog::ExistingFile);
        setOption(QFileDialog::DontUseNativeDialog);
    }

    const QString& chosen() const { return m_chosen; }

    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && QFileInfo(files.front()).isDir()) {
            m_chosen = files.front();
            // Skip the file dialog's own accept, which would open the folder instead of
            // choosing it.
            QDialog::accept(); // NOLINT(bugprone-parent-virtual-call)
            return;
        }
        if (files.size() == 1) {
            m_chosen = files.front();
        }
        QFileDialog::accept();
    }

private:
    QString m_chosen;
};

// What every chooser has, given before anything relative to its folder (a name to offer).
void prepareFileChooser(QFileDialog& chooser) {
    chooser.setDirectory(fileChooserFolder());
    // A window of its own takes the application's palette only where the desktop's theme leaves
    // it: Qt's own chooser is dark whatever that theme is.
    chooser.setPalette(darkPalette());
}

// `chosen` reads the choice after an accepted run; the first selected file when not given.
std::optional<std::filesystem::path> runFileChooser(QFileDialog& chooser,
                                                    const FileChooserRunner& run,
                                                    const std::function<QString()>& chosen = {}) {
    if (!run(chooser)) {
        return std::nullopt;
    }
    const QString choice = chosen ? chosen() : chooser.selectedFiles().value(0);
    if (choice.isEmpty()) {
        return std::nullopt;
    }
    rememberChoice(choice);
    // The file name bytes as the file system holds them.
    return std::filesystem::path(QFile::encodeName(choice).toStdString());
}

} // namespace

bool runFileChooserModally(QFileDialog& chooser) {
    return chooser.exec() == QDialog::Accepted;
}

QString fileChooserFolder() {
    const QString& last = lastChosenFolder();
    // Not the working directory, which is wherever the program happened to be started.
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
}

std::optional<std::filesystem::path> chooseFolder(QWidget* parent, const FileChooserRunner& run) {
    QFileDialog chooser(parent);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    prepareFileChooser(chooser);
    return runFileChooser(chooser, run);
}

std::optional<std::filesystem::path> chooseFileOrFolder(QWidget* parent,
                                                        const FileChooserRunner& run) {
    FileOrFolderDialog chooser(parent);
    prepareFileChooser(chooser);
    return runFileChooser(chooser, run, [&chooser] { return chooser.chosen(); });
}

std::optional<std::filesystem::path> chooseSaveLocation(QWidget* parent, const QString& presetName,
                                                        const FileChooserRunner& run) {
    QFileDialog chooser(parent);
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    prepareFileChooser(chooser);
    chooser.selectFile(presetName);
    return runFileChooser(chooser, run);
}

} // namespace fernwick::ui
