#pragma once

#include "FernwickUI/Visualisations/MindMapLayout.h"
#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QFont>
#include <QString>

#include <vector>

namespace fernwick::ui {

/// The "Mind Map" mode: a root card for the shown node and, beside it, a column of up to ten
/// branch cards for its largest children, each joined by a short connector in its category
/// colour. A click on a branch card asks to select its node, a double click on a folder's card
/// to drill down; the root card takes no clicks. No hover, no context menu.
///
/// The view pads the map by 20 points and is at least 800 points wide; put it in a QScrollArea
/// with widgetResizable set. GUI thread only.
class MindMapBranchView : public VisualisationView {
    Q_OBJECT
public:
    explicit MindMapBranchView(QWidget* parent = nullptr);
    ~MindMapBranchView() override;

    /// Shows `root` (nothing for null).
    void setRoot(const DiskNodePtr& root) override;
    const DiskNodePtr& root() const override { return m_root; }
    const MindMapLayout& layout() const { return m_layout; }
    /// The name shown on the root card ("~" for an empty name).
    const QString& rootTitle() const { return m_rootName; }

    QSize sizeHint() const override;

protected:
    int itemAt(const QPointF& pos) const override;
    DiskNodePtr nodeOfItem(int item) const override;
    void hoverChanged(int previous, int current) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct BranchTexts {
        QString name;
        QString size;
        QString items; ///< empty for files
    };
    void relayout();
    void paintRootCard(QPainter& painter);
    void paintBranch(QPainter& painter, std::size_t index);

    DiskNodePtr m_root;
    MindMapLayout m_layout;
    std::vector<BranchTexts> m_texts;
    QString m_rootName;
    QString m_rootSize;
    double m_rootTextWidth = 0;
    QFont m_rootNameFont;
    QFont m_rootSizeFont;
    QFont m_nameFont;
    QFont m_sizeFont;
    QFont m_itemsFont;
};

} // namespace fernwick::ui
