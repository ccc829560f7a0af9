#pragma once

#include "FernwickUI/Kit/FileChooser.h"

#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

class QWidget;

namespace fernwick::ui {

/// What the tool screens ask of the desktop; tests replace them. Each runs a dialog on the GUI
/// thread and returns the chosen item, or nullopt when the user cancelled.
struct ToolSeams {
    /// One existing file or folder. Default: an open dialog that accepts either.
    std::function<std::optional<std::filesystem::path>(QWidget* parent)> chooseProtectedItem;
    /// Where to write a report, `presetName` offered as the file name. Default: a save dialog.
    std::function<std::optional<std::filesystem::path>(QWidget* parent, const QString& presetName)>
        chooseReportLocation;
    /// Runs each default file chooser, of the tool screens and of the window. Default: its
    /// modal loop.
    FileChooserRunner runChooser;
};

/// `seams` with each empty member replaced by the desktop dialog.
ToolSeams withDefaultDialogs(ToolSeams seams);

} // namespace fernwick::ui
