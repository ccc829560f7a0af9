#pragma once

#include "FernwickUI/Visualisations/FolderCardLayout.h"
#include "FernwickUI/Visualisations/ViewPicture.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

namespace fernwick::ui {

class HoverAnimator;

/// The "Folders" mode: one card per child of the shown node, largest first, in an adaptive
/// grid. Each card shows an icon tile in the category colour, the name, the category, an item
/// badge for folders, the size, its whole percentage of the largest child and a share bar;
/// hovering lifts the card (animated over 0.15 s). A click asks to select the child, a double
/// click on a folder to drill down; the menu holds "Inspect Details", "Drill Down Into Folder"
/// (folders), "Show in File Manager", a separator, "Copy Path" and "Move to Trash".
///
/// The cards of a frame are drawn on the application pool's threads, in bands at once.
///
/// Tall content: put the view in a QScrollArea with widgetResizable set; the view reports its
/// height for a width. GUI thread only; the view keeps the nodes alive while it shows them.
class FolderCardView : public VisualisationView {
    Q_OBJECT
public:
    explicit FolderCardView(QWidget* parent = nullptr);
    ~FolderCardView() override;

    /// Loads the cards' fonts and icons on the calling thread (see warmUpFonts): the cards are
    /// measured and drawn on the application pool's threads.
    static void warmUp();

    /// Shows the children of `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const FolderCardLayout& layout() const { return m_layout; }

    std::unique_ptr<QMenu> contextMenuAt(const QPoint& pos) override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    /// Draws every card straight onto `painter`, each in place (no copy of a card at rest): what
    /// the frames equal.
    void drawPlain(QPainter& painter) const;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct CardTexts {
        QString name;
        QString category;
        QString size;
        QString percent;
        QString items; ///< empty for files
        QString elidedName;
        QString elidedCategory;
        double itemsWidth = 0;
        double percentWidth = 0;
    };
    struct CachedChrome {
        QRectF key;
        QImage image;
    };
    static constexpr std::size_t kKeptChrome = 16;
    struct Fonts;
    void paintCard(QPainter& painter, int index, bool plain, const Fonts& fonts) const;
    void drawBand(const QRect& device, int first, int last);
    static void paintChrome(QPainter& painter, const QRectF& frame, const QColor& category,
                            double hover);
    static QImage makeChrome(const QRectF& key, qreal ratio);
    const QImage* findChrome(const QRectF& key, qreal ratio) const;
    void keepChrome(const QRectF& key, QImage image);
    void prepareChrome(int first, int last);
    void repaintCard(int item);
    void prepareTexts();
    void prepareTextsOf(int first, int last) const;
    void makeTexts(int index, const Fonts& fonts) const;

    DiskNodePtr m_root;
    FolderCardLayout m_layout;
    // Made before a card is first drawn.
    mutable std::vector<std::unique_ptr<CardTexts>> m_texts;
    std::vector<CachedChrome> m_chrome;
    PictureMemory m_bandMemory;
    QImage m_band;     ///< the exposed band of the last frame, drawn on the pool
    QRect m_bandShows; ///< the device pixels m_band holds as they are now; empty when stale
    HoverAnimator* m_animator;
    double m_sizeAscent = 0;
};

} // namespace fernwick::ui
