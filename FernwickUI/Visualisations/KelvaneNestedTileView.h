#pragma once

#include "FernwickUI/Style/TreemapTheme.h"
#include "FernwickUI/Visualisations/NestedTileLayout.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QString>

#include <unordered_map>
#include <vector>

namespace fernwick::ui {

/// The "Treemap" mode: the children of the shown node as nested tiles coloured by the treemap
/// theme, laid out (maximum visual depth 4, minimum tile 6) in the view less a 12-point padding
/// and the bottom inset kept for the inspector. A leaf is a rounded coloured tile with its name
/// and size where they fit; a folder tile is an outlined tint with a header strip and its own
/// tiles inside. Each tile reports the pointer entering and leaving it (hoveredNodeChanged); a
/// click asks to select the tile's node, a double click on a folder to drill down; the menu
/// holds "Show in File Manager", "Move to Trash", "Copy Path" and, for folders, "Drill Down Into
/// Folder".
///
/// The tiles are laid out and drawn into a cached image once per change of data, theme, size
/// or inset; painting only copies that image. GUI thread only.
class KelvaneNestedTileView : public VisualisationView {
    Q_OBJECT
public:
    explicit KelvaneNestedTileView(QWidget* parent = nullptr);
    ~KelvaneNestedTileView() override;

    /// Shows the children of `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    /// The colour theme of the tiles.
    void setTheme(TreemapTheme theme);
    TreemapTheme theme() const { return m_theme; }
    /// Points kept free at the bottom for the inspector: 56 while it is shown, 14 otherwise.
    void setBottomInset(double inset);
    double bottomInset() const { return m_bottomInset; }

    const NestedTileLayout& layout() const { return m_layout; }
    /// The tile under the pointer as the tiles report it; null when none (or after a relayout
    /// until the pointer moves).
    const TreemapRect* hoveredTile() const;

    std::unique_ptr<QMenu> contextMenuAt(const QPoint& pos) override;

    /// What a folder tile's header `width` points wide shows: its size whole when it fits
    /// inside the header's padding, else no size; the name elided into the room left (empty
    /// when not even an ellipsis fits). Nothing reaches outside the header.
    struct HeaderTexts {
        QString name;
        QString size;
    };
    static HeaderTexts headerTexts(const QString& name, const QString& size, double width,
                                   const QFontMetricsF& nameMetrics,
                                   const QFontMetricsF& sizeMetrics);

signals:
    /// The pointer entered a tile (its node) or left one (null).
    void hoveredNodeChanged(fernwick::DiskNodePtr node);

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void updateHover(const QPointF& pos) override;
    void hoverChanged(int previous, int current) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TileLook {
        QColor colour;
        QString name; ///< elided to fit; empty when no label or header is drawn
        QString size;
        QFont nameFont;
        QFont sizeFont;
    };
    void relayout();
    void recolour();
    void prepareLabels();
    void renderCache();
    void paintTile(QPainter& painter, std::size_t index) const;

    DiskNodePtr m_root;
    TreemapTheme m_theme = TreemapTheme::kelvane;
    double m_bottomInset = 14;
    NestedTileLayout m_layout;
    std::vector<TileLook> m_looks;
    std::vector<int> m_chain;
    std::vector<int> m_probe;
    QImage m_cache;
    // Scratch of renderCache(), kept with its storage between frames.
    std::unordered_map<QRgb, std::vector<QRectF>> m_smallLeaves;
    std::vector<QRectF> m_leafOutlines;
    bool m_cacheValid = false;
};

} // namespace fernwick::ui
