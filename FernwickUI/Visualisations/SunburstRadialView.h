#pragma once

#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Visualisations/SunburstLayout.h"
#include "FernwickUI/Visualisations/ViewPicture.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QFont>
#include <QPainterPath>
#include <QString>
#include <QTextLayout>

#include <vector>

namespace fernwick::ui {

/// The "Sunburst" mode: the shown node's children as an inner ring and their largest children
/// as an outer ring around a disc naming the node and its size; centre and radii follow the
/// view's size (centre in the middle, radii 0.12, 0.27 and 0.42 of the shorter side, at least
/// 38, 75 and 115). Pointing at a sector highlights it and shows a card with its name, path and
/// size at the bottom. A click asks to select the sector's node, a double click on a folder to
/// drill down. No context menu.
///
/// The rings, disc and card are drawn into a kept picture once per layout; a hover draws again
/// only around the two sectors and the card it changes. GUI thread only.
class SunburstRadialView : public VisualisationView {
    Q_OBJECT
public:
    explicit SunburstRadialView(QWidget* parent = nullptr);
    ~SunburstRadialView() override;

    /// Loads the centre's and the hover card's fonts and icons on the calling thread (see
    /// warmUpFonts).
    static void warmUp();

    /// Shows `root` (nothing but an empty disc for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const SunburstLayout& layout() const { return m_layout; }
    /// The node under the pointer; null when none.
    const DiskNodePtr& hoveredSectorNode() const { return m_state.hoveredSectorNode; }
    /// Where the hover card is drawn while a sector is hovered: across the bottom, as high as
    /// the hovered node's name needs (it wraps, with no limit on its lines).
    QRectF hoverCardRect() const;

    /// Draws the whole view straight onto `painter`, with no kept picture: what the frames equal.
    void drawPlain(QPainter& painter) const;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();
    void repaintArea(const QRect& area);
    void prepareCard();
    void drawArea(QPainter& painter, const QRectF& area) const;
    void paintCentre(QPainter& painter) const;
    void paintHoverCard(QPainter& painter) const;

    DiskNodePtr m_root;
    SunburstRadialViewState m_state;
    SunburstLayout m_layout;
    std::vector<QPainterPath> m_paths;
    /// Each path's bounds, widened by its outline.
    std::vector<QRectF> m_bounds;
    ViewPicture m_picture;
    std::vector<QColor> m_colours;
    QString m_rootName;
    QString m_rootSize;
    /// The hovered node's name broken into lines as wide as the card allows.
    QTextLayout m_cardName;
    int m_cardNameLines = 1;
    QString m_cardPath;
    QString m_cardSize;
    QFont m_centreNameFont;
    QFont m_centreSizeFont;
    QFont m_cardNameFont;
    QFont m_cardPathFont;
    QFont m_cardSizeFont;
};

} // namespace fernwick::ui
