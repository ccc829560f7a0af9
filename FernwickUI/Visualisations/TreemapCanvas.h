#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QWidget>

namespace fernwick::ui {

class AppState;
class InspectorBar;
class KelvaneNestedTileView;

/// The "Treemap" mode: the nested tiles of the shown node's children, laid out in the space the
/// canvas has less the room of the inspector (56 points while one is shown, 14 otherwise), and
/// at the bottom the inspector of the hovered tile, else of the selected node, else a small
/// idle handle. GUI thread only.
class TreemapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TreemapCanvas(AppState& state, QWidget* parent = nullptr);

    /// Shows the children of `root` (after navigation or a change of the tree); forgets the
    /// hovered tile, whose layout is gone.
    void setRoot(const DiskNodePtr& root);

    /// The node the inspector describes: the hovered tile's, else the selected one; null for
    /// none.
    DiskNodePtr inspectedNode() const;
    /// The tile under the pointer, as the tiles report it; null for none.
    const DiskNodePtr& hoveredNode() const { return m_hoveredNode; }
    void setHoveredNode(DiskNodePtr node);
    /// Shows the inspector of the hovered tile, else of the selected node, else the idle handle.
    void updateInspector();
    InspectorBar* inspector() const { return m_inspector; }
    KelvaneNestedTileView* tileView() const { return m_tileView; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeInspector();

    AppState& m_state;
    DiskNodePtr m_hoveredNode;
    KelvaneNestedTileView* m_tileView;
    InspectorBar* m_inspector;
    QWidget* m_idleHandle;
    bool m_inspectorShown = false;
};

} // namespace fernwick::ui
