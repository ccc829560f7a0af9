#include "FernwickUI/Tools/ToolSeams.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace fernwick::ui {

namespace {

std::filesystem::path pathFrom(const QString& chosen) {
    // The file name bytes as the file system holds them.
    return std::filesystem::path(QFile::encodeName(chosen).toStdString());
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

std::optional<std::filesystem::path> chooseFileOrFolder(QWidget* parent) {
    FileOrFolderDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen().isEmpty()) {
        return std::nullopt;
    }
    return pathFrom(dialog.chosen());
}

std::optional<std::filesystem::path> chooseSaveLocation(QWidget* parent,
                                                        const QString& presetName) {
    // Only the name is offered: the dialog opens wherever the desktop chooses.
    const QString chosen = QFileDialog::getSaveFileName(parent, QString(), presetName);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return pathFrom(chosen);
}

} // namespace

ToolSeams withDefaultDialogs(ToolSeams seams) {
    if (!seams.chooseProtectedItem) {
        seams.chooseProtectedItem = chooseFileOrFolder;
    }
    if (!seams.chooseReportLocation) {
        seams.chooseReportLocation = chooseSaveLocation;
    }
    return seams;
}

} // namespace fernwick::ui
