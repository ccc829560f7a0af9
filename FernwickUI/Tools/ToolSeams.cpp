#include "FernwickUI/Tools/ToolSeams.h"

namespace fernwick::ui {

ToolSeams withDefaultDialogs(ToolSeams seams) {
    if (!seams.runChooser) {
        seams.runChooser = runFileChooserModally;
    }
    if (!seams.chooseProtectedItem) {
        seams.chooseProtectedItem = [run = seams.runChooser](QWidget* parent) {
            return chooseFileOrFolder(parent, run);
        };
    }
    if (!seams.chooseReportLocation) {
        seams.chooseReportLocation = [run = seams.runChooser](QWidget* parent,
                                                              const QString& presetName) {
            return chooseSaveLocation(parent, presetName, run);
        };
    }
    return seams;
}

} // namespace fernwick::ui
