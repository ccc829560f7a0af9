#pragma once

#include "FernwickCore/Model/ScanTree.h"
#include "FernwickUI/Style/TreemapTheme.h"
#include "FernwickUI/Visualisations/NestedTileLayout.h"
#include "FernwickUI/Visualisations/NestedTilePainter.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
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
/// or inset; painting only copies that image. A small folder (at most kSynchronousTiles tiles)
/// is laid out at once and drawn in the next paint; a larger one is laid out and drawn on a
/// worker, so that no frame waits for it, and shown when ready (the newest
/// request wins). Meanwhile a new root shows no tiles at all (neither drawn nor hit); the same
/// folder set again (a change of the tree) keeps its picture, but none of its tiles can be
/// hovered, clicked or given a menu (they may stand for an item that is gone); a new size, inset
/// or theme keeps the current tiles until their replacement is ready. A click only ever hits the
/// tile drawn where it lands. GUI thread only.
class KelvaneNestedTileView : public VisualisationView {
    Q_OBJECT
public:
    explicit KelvaneNestedTileView(QWidget* parent = nullptr);
    ~KelvaneNestedTileView() override;

    /// Shows the children of `root` (nothing for null). The shown folder set again (also as the
    /// tree's copy of it) is laid out afresh.
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    /// The colour theme of the tiles.
    void setTheme(TreemapTheme theme);
    TreemapTheme theme() const { return m_theme; }
    /// Points kept free at the bottom for the inspector: 56 while it is shown, 14 otherwise.
    void setBottomInset(double inset);
    double bottomInset() const { return m_bottomInset; }

    /// How the worker keeps the tree from changing while it reads it: called on the GUI thread
    /// for each worker request, the hold it returns is let go once the request is done. Without
    /// one the tree must not change while a worker reads it (hand-built trees).
    using TreeHold = std::function<ScanTree::View()>;
    void setTreeHold(TreeHold hold) { m_treeHold = std::move(hold); }

    /// Above this many tiles (an upper bound, NestedTileLayout::tileBound) a worker lays out.
    static constexpr std::size_t kSynchronousTiles = 1000;
    /// Whether tiles for the latest root, size, inset or theme are still being prepared.
    bool hasPendingTiles() const { return m_pending; }

    /// The tiles hit by the pointer: those shown; none while the shown folder set again is
    /// being prepared.
    const NestedTileLayout& layout() const { return m_layout; }
    /// The tile under the pointer as the tiles report it; null when none (or after a relayout
    /// until the pointer moves).
    const TreemapRect* hoveredTile() const;

    std::unique_ptr<QMenu> contextMenuAt(const QPoint& pos) override;

    /// NestedTilePainter::headerTexts.
    using HeaderTexts = NestedTilePainter::HeaderTexts;
    static HeaderTexts headerTexts(const QString& name, const QString& size, double width,
                                   const QFontMetricsF& nameMetrics,
                                   const QFontMetricsF& sizeMetrics) {
        return NestedTilePainter::headerTexts(name, size, width, nameMetrics, sizeMetrics);
    }

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
    struct Request;
    struct Worker;
    // What made the shown tiles out of date: the size, inset or theme (they stay until replaced),
    // the data of the shown folder (set again: its picture stays, its tiles can no longer be
    // hit) or the folder shown (nothing stays).
    enum class Replaced { view, data, root };
    // Lays out again for the current root, size, inset and theme.
    void prepare(Replaced replaced);
    // Shows a worker's tiles unless a later request replaced them.
    void accept(const std::shared_ptr<Request>& request);
    // Draws m_layout into m_cache (small layouts, when painted).
    void drawCache();
    // Lets go of the tiles shown and, unless kept, their picture (on the worker, which frees them
    // off the GUI thread).
    void retireShown(bool keepPicture);

    DiskNodePtr m_root;
    TreemapTheme m_theme = TreemapTheme::kelvane;
    double m_bottomInset = 14;
    TreeHold m_treeHold;
    NestedTileLayout m_layout;
    std::vector<int> m_chain;
    std::vector<int> m_probe;
    QImage m_cache;
    // False: the image is drawn from m_layout in the next paint (small layouts).
    bool m_cacheValid = false;
    NestedTilePainter m_painter;
    bool m_pending = false;
    std::uint64_t m_request = 0;
    std::shared_ptr<Worker> m_worker;
};

} // namespace fernwick::ui
