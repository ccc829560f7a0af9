#pragma once

#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Visualisations/FlameGraphLayout.h"
#include "FernwickUI/Visualisations/ViewPicture.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

namespace fernwick::ui {

/// The "Flame" mode: the shown node as a bar on top, its children of positive size as bars
/// below it, and under each folder child up to five of its largest children, every bar as wide
/// as its share. Bars are tinted in their category colour; the hovered bar is filled stronger
/// and outlined in white. A bar shows its icon, its name and, at its end, its size (a bar of
/// the bottom row its name alone, smaller), all clipped to the bar; the name gives way first. A
/// click asks to select the bar's node (the root's too), a double click on a folder's bar to drill
/// down. No context menu.
///
/// The bars are drawn into a kept picture once per layout; a hover draws again only around the
/// bars it changes. In a crowded row (more than two bars per pixel of its width) the bars
/// narrower than a pixel and than their outline, slivers, are composited into one image for the
/// row, pixel column by pixel column, from the part of each column that each one's fill and
/// outline cover; a plain draw of them all gives the same colours to within a few levels. The
/// row's wider bars are drawn over it, and a hovered sliver in full.
///
/// A picture of many bars is drawn in bands of about as many bars each, on several threads at
/// once.
///
/// The view pads its rows by 14 points and is at least 800 points wide; put it in a QScrollArea
/// with widgetResizable set. GUI thread only.
class FlameGraphHierarchyView : public VisualisationView {
    Q_OBJECT
public:
    explicit FlameGraphHierarchyView(QWidget* parent = nullptr);
    ~FlameGraphHierarchyView() override;

    /// Loads the bars' fonts and icons on the calling thread (see warmUpFonts).
    static void warmUp();

    /// Shows `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const FlameGraphLayout& layout() const { return m_layout; }
    /// The node of the bar under the pointer; null when none.
    const DiskNodePtr& hoveredFlameNode() const { return m_state.hoveredFlameNode; }

    QSize sizeHint() const override;

    /// Draws every bar in full straight onto `painter`, with no kept picture and no bar of a
    /// crowded row left out: what the frames equal wherever bars are a pixel wide or more.
    void drawPlain(QPainter& painter) const;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Look : std::uint8_t { whole, sliver };
    /// The slivers of a crowded row, composited (see the class comment).
    struct Strip {
        QImage image;
        QPointF topLeft;
    };
    struct BarTexts {
        QString name;
        QString size;
        double sizeWidth = 0;
    };
    void relayout();
    void prepareTexts();
    void prepareCrowdedRows(qreal ratio);
    void repaintBar(int item);
    void drawBars(QPainter& painter, const QRectF& area, bool plain) const;
    Strip makeStrip(std::size_t rowStart, std::size_t rowEnd, qreal ratio) const;
    void divideIntoBands();
    struct Fonts;
    void paintBar(QPainter& painter, std::size_t index, const Fonts& fonts) const;

    DiskNodePtr m_root;
    FlameGraphHierarchyViewState m_state;
    FlameGraphLayout m_layout;
    std::vector<BarTexts> m_texts;
    /// How each bar is drawn in the kept picture, and the crowded rows' slivers; made at the
    /// first paint after a layout, for its device pixels.
    std::vector<Look> m_looks;
    std::vector<Strip> m_strips;
    qreal m_looksRatio = 0;
    ViewPicture m_picture;
};

} // namespace fernwick::ui
