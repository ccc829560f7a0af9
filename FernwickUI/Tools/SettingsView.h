#pragma once

#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Tools/ToolSeams.h"

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace fernwick::ui {

class AppState;
class Badge;
class StyledButton;

/// The settings page: the user's protected paths (added through a chooser, removed per row),
/// the disk-permission badge with its two buttons, and the diagnostics export. The list is
/// reloaded each time the page is shown and after every change; every change and the export
/// run on workers through `AppState`. GUI thread only.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    SettingsView(AppState& state, const ToolSeams& seams, QWidget* parent = nullptr);

    /// The protected paths shown, in the order shown.
    const std::vector<std::string>& protectedPaths() const { return m_view.protectedPaths; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildProtectionCard();
    QWidget* buildPermissionsCard();
    QWidget* buildDiagnosticsCard();
    void showPaths(std::vector<std::string> paths);
    // Shows the list a protected-path operation hands back, while this page exists.
    std::function<void(std::vector<std::string>)> showWhenDone();
    void rebuildPathRows();
    void updateAccessBadge();
    void addPath();
    void exportDiagnostics();

    AppState& m_state;
    ToolSeams m_seams;
    SettingsViewState m_view;
    QVBoxLayout* m_pathRows = nullptr;
    Badge* m_accessBadge = nullptr;
};

} // namespace fernwick::ui
