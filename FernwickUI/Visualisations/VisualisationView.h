#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QTimer>
#include <QWidget>

#include <initializer_list>
#include <memory>

class QMenu;

namespace fernwick::ui {

/// The contract of every visual mode's view: it is given a root to show (setRoot), lays it out
/// with its own pure layout and hit-tests the items it draws (itemAt, nodeOfItem). It shares
/// the behaviour of all modes: hover tracking, a single click that selects,
/// a double click that enters a folder (files ignore it), and the item context menus. The view
/// owns no application logic: it emits requests, which the main window connects to AppState
/// (select, drill down, move to Trash) and to the file viewer (reveal). "Copy Path" is done by
/// the view itself (it only puts the path on the clipboard). GUI thread only.
///
/// A click selects at once (on release); a double click then asks for the drill-down, which
/// also selects the folder, so the result equals a recogniser that waits for the second click.
/// A mode that recognises the double click first (setDoubleClickFirst) holds a click back for
/// the double-click interval instead: a double click then selects nothing, not even a file.
class VisualisationView : public QWidget {
    Q_OBJECT
public:
    explicit VisualisationView(QWidget* parent = nullptr);
    ~VisualisationView() override;

    /// Shows `root` (its children, or the node and its children, as the mode draws them);
    /// nothing for null. Lays the view out again at once: called after every navigation step
    /// and every change of the tree.
    virtual void setRoot(const DiskNodePtr& root) = 0;
    /// The node shown; null for none.
    virtual const DiskNodePtr& root() const = 0;

    /// The context menu for the item at `pos` (view coordinates); null where the view offers
    /// none. The caller owns it; the actions emit this view's signals when triggered.
    virtual std::unique_ptr<QMenu> contextMenuAt(const QPoint& pos);

    /// The item under the pointer (an index into the view's layout), -1 for none.
    int hoveredItem() const { return m_hoveredItem; }
    /// Whether a click is being held back until the double-click interval has passed.
    bool hasPendingClick() const { return m_clickTimer.isActive(); }

signals:
    /// A single click (or "Inspect Details") on the node: make it the inspected node.
    void selectRequested(fernwick::DiskNodePtr node);
    /// A double click on a folder (or "Drill Down Into Folder"): enter the node.
    void drillDownRequested(fernwick::DiskNodePtr node);
    /// "Show in File Manager": show the node in the file viewer.
    void revealRequested(fernwick::DiskNodePtr node);
    /// "Move to Trash": no confirmation; the receiver checks safety and offers the undo.
    void trashRequested(fernwick::DiskNodePtr node);

protected:
    /// The entries an item menu may hold; "Drill Down Into Folder" is left out for files.
    /// destructiveTrash is "Move to Trash" marked destructive: red text.
    enum class MenuEntry {
        inspect,
        drillDown,
        reveal,
        separator,
        copyPath,
        trash,
        destructiveTrash
    };

    /// Index of the clickable item at `pos`, -1 for none.
    virtual int itemAt(const QPointF& pos) const = 0;
    /// The node of an item returned by itemAt.
    virtual DiskNodePtr nodeOfItem(int item) const = 0;
    /// Moves the hover to what lies at `pos`; the default hovers itemAt(pos).
    virtual void updateHover(const QPointF& pos);
    /// Called after the hovered item changed; the default repaints.
    virtual void hoverChanged(int previous, int current);

    void setHoveredItem(int item);
    /// Makes a click wait for the double-click interval before it selects, so that a double
    /// click is recognised first.
    void setDoubleClickFirst(bool first) { m_doubleClickFirst = first; }
    /// Forgets the hover without notifying (the items were replaced).
    void clearHover() { m_hoveredItem = -1; }

    /// A menu of `entries` for `node`, in that order.
    std::unique_ptr<QMenu> buildItemMenu(const DiskNodePtr& node,
                                         std::initializer_list<MenuEntry> entries);

    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void clickTimedOut();

    int m_hoveredItem = -1;
    DiskNodePtr m_pressedNode;
    bool m_afterDoubleClick = false;
    bool m_doubleClickFirst = false;
    QTimer m_clickTimer;
    DiskNodePtr m_clickedNode;
    QPointF m_clickedAt;
};

/// `text` for a menu or button: a "&" is doubled so that it shows instead of marking a mnemonic.
QString menuText(const QString& text);

/// Puts the node's full path on the clipboard as plain text, replacing what was there.
void copyPathToClipboard(const DiskNode& node);

} // namespace fernwick::ui
