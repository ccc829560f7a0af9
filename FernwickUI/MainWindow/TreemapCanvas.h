#pragma once

#include "FernwickCore/Model/Rect.h"
#include "FernwickCore/Scanning/TreemapRect.h"

#include <QWidget>

#include <optional>
#include <vector>

namespace fernwick::ui {

class AppState;
class InspectorBar;

/// The "Treemap" mode: the shown node's children laid out afresh in the space the canvas has
/// (depth 4, tiles of at least 6 points, 12 points of margin), the nested tiles drawn by the
/// treemap view, and at the bottom the inspector of the hovered tile, else of the selected node,
/// else a small idle handle. GUI thread only.
class TreemapCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TreemapCanvas(AppState& state, QWidget* parent = nullptr);

    /// Lays the shown node out again and refreshes the inspector.
    void refresh();

    /// The node the inspector describes: the hovered tile's, else the selected one; null for
    /// none.
    DiskNodePtr inspectedNode() const;
    /// The rectangle given to the layout for a canvas of `size`.
    static Rect layoutBounds(QSizeF size, bool inspectorShown);
    const std::vector<TreemapRect>& tiles() const { return m_tiles; }
    const std::optional<TreemapRect>& hoveredRect() const { return m_hoveredRect; }
    void setHoveredRect(std::optional<TreemapRect> rect);
    InspectorBar* inspector() const { return m_inspector; }
    QWidget* tileView() const { return m_tileView; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void relayout();
    void placeInspector();

    AppState& m_state;
    std::vector<TreemapRect> m_tiles;
    std::optional<TreemapRect> m_hoveredRect;
    QWidget* m_tileView = nullptr;
    InspectorBar* m_inspector;
    bool m_inspectorShown = false;
};

} // namespace fernwick::ui
