#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/State/StorageVisualMode.h"
#include "FernwickUI/Visualisations/VisualModes.h"

#include <QWidget>

#include <array>
#include <vector>

class QHBoxLayout;
class QStackedWidget;

namespace fernwick::ui {

class AppState;
class CleanupPromptBar;
class CrumbTrail;
class ListCanvas;
class ModeSwitcher;
class StyledButton;
class TreemapCanvas;
class VisualisationView;

/// What the main window shows once a scan is complete: a header bar (back, the breadcrumb
/// trail, the visual-mode switcher, the theme button and a hint) over the canvas of the current
/// visual mode. Each mode's canvas is built when first shown and refreshed while it is shown;
/// every effect goes through AppState. GUI thread only.
class ResultCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ResultCanvas(AppState& state, QWidget* parent = nullptr);

    StyledButton* backButton() const { return m_back; }
    /// The crumbs in trail order.
    const std::vector<StyledButton*>& breadcrumbButtons() const;
    ModeSwitcher* modeSwitcher() const { return m_switcher; }
    CleanupPromptBar* cleanupPromptBar() const { return m_prompt; }
    StyledButton* themeButton() const { return m_theme; }
    /// The canvas widget of `mode`, built on demand.
    QWidget* canvas(StorageVisualMode mode);
    /// The visualisation of `mode` (null for the list); built on demand.
    VisualisationView* visualisation(StorageVisualMode mode);
    TreemapCanvas* treemapCanvas();
    ListCanvas* listCanvas();
    /// How often the shown canvas was given its root again; for inspection.
    int refreshCount() const { return m_refreshes; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    void rebuildBreadcrumbs();
    /// Puts the trail and the hint on the header's first line when everything fits whole there,
    /// else on a second line.
    void arrangeHeader();
    void updateTheme();
    void showMode(bool animated);
    /// Gives the shown canvas the current root again (after navigation or a tree change).
    void refreshCanvas();
    void connectVisualisation(VisualisationView* view);

    AppState& m_state;
    StyledButton* m_back = nullptr;
    QWidget* m_header = nullptr;
    QHBoxLayout* m_topRow = nullptr;
    QHBoxLayout* m_lowerRow = nullptr;
    CrumbTrail* m_trail = nullptr;
    QWidget* m_hint = nullptr;
    ModeSwitcher* m_switcher = nullptr;
    StyledButton* m_theme = nullptr;
    QStackedWidget* m_modes = nullptr;
    CleanupPromptBar* m_prompt = nullptr;
    /// Each mode's page, built when first shown.
    std::array<ModePage, 7> m_pages{};
    /// What each mode's view was last given: the node, and the tree's change count then.
    struct Shown {
        DiskNodePtr root;
        std::uint64_t treeChanges = 0;
    };
    std::array<Shown, 7> m_shown{};
    int m_refreshes = 0;
};

} // namespace fernwick::ui
