#pragma once

#include "FernwickUI/State/ScreenStates.h"
#include "FernwickUI/Visualisations/FlameGraphLayout.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QFont>
#include <QString>

#include <vector>

namespace fernwick::ui {

/// The "Flame" mode: the shown node as a bar on top, its children of positive size as bars
/// below it, and under each folder child up to five of its largest children, every bar as wide
/// as its share. Bars are tinted in their category colour; the hovered bar is filled stronger
/// and outlined in white. A click asks to select the bar's node (the root's too), a double
/// click on a folder's bar to drill down. No context menu.
///
/// The view pads its rows by 14 points and is at least 800 points wide; put it in a QScrollArea
/// with widgetResizable set. GUI thread only.
class FlameGraphHierarchyView : public VisualisationView {
    Q_OBJECT
public:
    explicit FlameGraphHierarchyView(QWidget* parent = nullptr);
    ~FlameGraphHierarchyView() override;

    /// Shows `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const FlameGraphLayout& layout() const { return m_layout; }
    /// The node of the bar under the pointer; null when none.
    const DiskNodePtr& hoveredFlameNode() const { return m_state.hoveredFlameNode; }

    QSize sizeHint() const override;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct BarTexts {
        QString name;
        QString size;
        double sizeWidth = 0;
    };
    void relayout();
    void paintBar(QPainter& painter, std::size_t index);

    DiskNodePtr m_root;
    FlameGraphHierarchyViewState m_state;
    FlameGraphLayout m_layout;
    std::vector<BarTexts> m_texts;
    QFont m_nameFont;
    QFont m_smallNameFont;
    QFont m_sizeFont;
};

} // namespace fernwick::ui
