#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickUI/State/StorageVisualMode.h"

#include <QWidget>

#include <functional>

namespace fernwick::ui {

class AppState;
class VisualisationView;

/// One visual mode's page in the result canvas, as the mode table builds it.
struct ModePage {
    /// What goes into the mode's slot: the canvas, or the scroll area holding it.
    QWidget* widget = nullptr;
    /// The canvas itself (inside the scroll area where there is one).
    QWidget* canvas = nullptr;
    /// The view whose requests (select, drill down, reveal, trash) the result canvas passes to
    /// AppState; null where the canvas handles its requests itself (treemap, list).
    VisualisationView* view = nullptr;
    /// Gives the canvas the node to show.
    std::function<void(const DiskNodePtr&)> setRoot;
    /// What a canvas without a view does when shown again on the folder it shows, the tree
    /// unchanged since, instead of being given the node again; null: it is given the node again.
    /// (A view keeps its layout and picture then, and is not called.)
    std::function<void()> shownAgain;
};

/// The table of visual modes: how each mode's page is built. Label and icon come from
/// StorageVisualMode; everything the result canvas does per mode comes from here, so a mode is
/// added by one enum value, its label and icon, and one row here. GUI thread only.
struct VisualModeEntry {
    StorageVisualMode mode;
    /// Builds the page; `state` is used by canvases that act on the state themselves.
    ModePage (*build)(AppState& state);
};

/// The entry of `mode`.
const VisualModeEntry& visualModeEntry(StorageVisualMode mode);

/// Loads the visual modes' fonts and icons ahead of their first frames, in the background on the
/// application pool's threads, where the treemap, folder cards, sunburst, bubbles and flame graph
/// draw. Once per process; later calls do nothing.
void warmUpVisualModes();

} // namespace fernwick::ui
