#pragma once

#include "FernwickUI/Visualisations/BubbleLayout.h"
#include "FernwickUI/Visualisations/ViewPicture.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QFont>
#include <QString>

#include <array>
#include <vector>

namespace fernwick::ui {

class HoverAnimator;

/// The "Bubbles" mode: the 30 largest children of the shown node as glowing circles in the
/// category colour, sized by the square root of their share of the largest, with icon, name,
/// size and (large folder bubbles) item count. Hovering grows a bubble by 6 % with a spring and
/// whitens its outline. A click asks to select the child, a double click on a folder to drill
/// down; the menu holds "Inspect Details", "Drill Down Into Folder" (folders), "Show in File
/// Manager", a separator and "Move to Trash".
///
/// The bubbles are drawn into a kept picture once per layout, in parts of rows at once; a hover
/// (each step of its spring) draws again only around the bubbles in motion.
///
/// Tall content: put the view in a QScrollArea with widgetResizable set. GUI thread only.
class BubbleNodeView : public VisualisationView {
    Q_OBJECT
public:
    explicit BubbleNodeView(QWidget* parent = nullptr);
    ~BubbleNodeView() override;

    /// Loads the bubbles' fonts and icons on the calling thread (see warmUpFonts).
    static void warmUp();

    /// Shows the 30 largest children of `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const BubbleLayout& layout() const { return m_layout; }

    std::unique_ptr<QMenu> contextMenuAt(const QPoint& pos) override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

    /// Draws the whole view straight onto `painter`, with no kept picture: what the frames equal.
    void drawPlain(QPainter& painter) const;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct BubbleTexts {
        QString name;
        QString size;
        QString items;
    };
    /// Fonts and line heights of the small [0] and large [1] type, for measuring on the GUI
    /// thread (a drawing makes its own fonts).
    struct Type {
        QFont name;
        QFont size;
        double iconSize = 0;
        double iconLine = 0;
        double nameLine = 0;
        double sizeLine = 0;
    };
    void drawArea(QPainter& painter, const QRectF& area) const;
    struct Fonts;
    void paintBubble(QPainter& painter, int index, const Fonts& fonts) const;
    void cutIntoRows();
    /// The square a bubble may cover, grown and outlined.
    QRectF reachOf(const BubbleLayout::Bubble& bubble) const;
    void repaintBubble(int item);

    DiskNodePtr m_root;
    BubbleLayout m_layout;
    std::vector<BubbleTexts> m_texts;
    ViewPicture m_picture;
    HoverAnimator* m_animator;
    std::array<Type, 2> m_type;
    double m_itemsLine = 0;
};

} // namespace fernwick::ui
