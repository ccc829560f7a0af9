#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QFont>
#include <QWidget>

#include <vector>

namespace fernwick::ui {

/// The "List" mode: one row per child of the shown node, in the tree's own order, each with its
/// icon, name, size and a reveal button. A name too long for its row wraps, and its row grows
/// to hold it whole. Rows neither select nor drill down. Only the rows in
/// view are drawn, so a folder of many thousand children scrolls smoothly. Tab walks through the
/// reveal buttons (scrolled into view, with the focus ring), and Space or Return presses the
/// focused one; Up and Down move it a row. Put it in a QScrollArea with widgetResizable set. GUI
/// thread only.
class ListCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ListCanvas(QWidget* parent = nullptr);

    /// Shows the children of `root` (nothing for null).
    void setRoot(const DiskNodePtr& root);
    const DiskNodePtr& root() const { return m_root; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    /// The rectangle of row `index` and of its reveal button.
    QRectF rowRect(int index) const;
    QRectF revealRect(int index) const;
    /// The row whose reveal button has the keyboard focus (while the canvas has it).
    int focusedRow() const { return m_focusedRow; }

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void revealRequested(fernwick::DiskNodePtr node);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

    void resizeEvent(QResizeEvent* event) override;

private:
    /// Gives the focus to the reveal button of `row` and scrolls it into view.
    void focusRow(int row);
    /// The top of each row and, last, the bottom of the rows, at `width` (kept until the rows
    /// or the width change).
    const std::vector<double>& tops(int width) const;
    /// The row at `y`; -1 above the first row or below the last.
    int rowAt(double y) const;
    /// The width left to a name in a row `width` wide whose size reads `size`.
    double nameRoom(double width, const QString& size) const;

    DiskNodePtr m_root;
    std::vector<DiskNodePtr> m_rows;
    QFont m_nameFont;
    QFont m_sizeFont;
    double m_rowHeight = 0;
    int m_focusedRow = 0;
    mutable std::vector<double> m_tops;
    mutable int m_topsWidth = -1;
};

} // namespace fernwick::ui
