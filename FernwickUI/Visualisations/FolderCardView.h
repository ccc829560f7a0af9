#pragma once

#include "FernwickUI/Visualisations/FolderCardLayout.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QFont>
#include <QImage>
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
    void paintCard(QPainter& painter, int index, bool plain) const;
    static void paintChrome(QPainter& painter, const QRectF& frame, const QColor& category,
                            double hover);
    static QImage makeChrome(const QRectF& key, qreal ratio);
    const QImage* findChrome(const QRectF& key, qreal ratio) const;
    const QImage& keepChrome(const QRectF& key, QImage image) const;
    void prepareChrome(int first, int last) const;
    const QImage& restingChrome(const QRectF& frame) const;
    void repaintCard(int item);
    void prepareTexts();
    CardTexts& textsOf(int index) const;

    DiskNodePtr m_root;
    FolderCardLayout m_layout;
    // Made when a card is first drawn.
    mutable std::vector<std::unique_ptr<CardTexts>> m_texts;
    mutable std::vector<CachedChrome> m_chrome;
    QImage m_band; ///< the exposed band of the last frame, drawn on the pool
    HoverAnimator* m_animator;
    QFont m_nameFont;
    QFont m_categoryFont;
    QFont m_badgeFont;
    QFont m_sizeFont;
    QFont m_percentFont;
    double m_sizeAscent = 0;
};

} // namespace fernwick::ui
