#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QWidget>

class QLabel;

namespace fernwick::ui {

class ElidedLabel;
class IconView;
class StyledButton;

/// The bar at the bottom of the treemap that describes one node (icon, name, category, path,
/// size) and offers "Reveal", "Trash" and, for folders, "Drill Down". GUI thread only.
class InspectorBar : public QWidget {
    Q_OBJECT
public:
    explicit InspectorBar(QWidget* parent = nullptr);

    /// Describes `node` (kept alive while shown).
    void setNode(const DiskNodePtr& node);
    const DiskNodePtr& node() const { return m_node; }

    StyledButton* revealButton() const { return m_reveal; }
    StyledButton* trashButton() const { return m_trash; }
    StyledButton* drillDownButton() const { return m_drillDown; }
    const ElidedLabel* nameLabel() const { return m_name; }
    const ElidedLabel* pathLabel() const { return m_path; }

signals:
    void revealRequested(fernwick::DiskNodePtr node);
    void trashRequested(fernwick::DiskNodePtr node);
    void drillDownRequested(fernwick::DiskNodePtr node);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DiskNodePtr m_node;
    IconView* m_icon;
    ElidedLabel* m_name;
    QLabel* m_category;
    ElidedLabel* m_path;
    QLabel* m_size;
    StyledButton* m_reveal;
    StyledButton* m_trash;
    StyledButton* m_drillDown;
};

} // namespace fernwick::ui
