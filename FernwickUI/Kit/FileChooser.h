#pragma once

// The program's file choosers: the desktop's own where it has one, else Qt's. Every chooser
// opens in the home folder, or in the folder of the last choice made in any chooser of this
// run; Qt's own chooser wears the dark palette and is a window of its own.
//
// Threads: GUI thread only.

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace fernwick::ui {

/// Runs a prepared chooser modally; true when the user accepted a choice. Tests replace it to
/// look at the chooser and answer for the user.
using FileChooserRunner = std::function<bool(QFileDialog& chooser)>;

/// The runner the program uses: the chooser's own modal loop.
bool runFileChooserModally(QFileDialog& chooser);

/// The folder the next chooser opens in: the folder of the last choice of this run while it is
/// still a folder, else the user's home folder.
QString fileChooserFolder();

/// One folder (directories only). nullopt when cancelled.
std::optional<std::filesystem::path> chooseFolder(QWidget* parent, const FileChooserRunner& run);

/// One existing file or folder. nullopt when cancelled.
std::optional<std::filesystem::path> chooseFileOrFolder(QWidget* parent,
                                                        const FileChooserRunner& run);

/// Where to save a file, `presetName` offered as its name. nullopt when cancelled.
std::optional<std::filesystem::path> chooseSaveLocation(QWidget* parent, const QString& presetName,
                                                        const FileChooserRunner& run);

} // namespace fernwick::ui
