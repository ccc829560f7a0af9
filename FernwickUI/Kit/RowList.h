#pragma once

#include "FernwickCore/Platform/Uuid.h"
#include "FernwickUI/Kit/StyledButton.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace fernwick::ui {

/// The data roles every row model of the tool screens answers, beside Qt::DisplayRole (the
/// row's main text, e.g. a name) and Qt::CheckStateRole (only rows that show a checkbox).
namespace RowRole {
enum : int {
    /// QStringList: every text the row draws, in drawing order (plain, never markup).
    texts = Qt::UserRole + 1,
    /// QString: the system icon name the row leads with.
    icon,
    /// QString: the row's id in text form.
    id,
};
} // namespace RowRole

/// A list model whose rows are identified by ids. A change that keeps the same ids in the same
/// order repaints rows in place (`dataChanged`), so the view keeps its scroll position; a
/// change of the ids resets the model. GUI thread only.
class IdRowModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    /// The row of `id`; -1 when it is not shown.
    int rowOf(const Uuid& id) const;
    const Uuid& idAt(int row) const { return m_ids[static_cast<std::size_t>(row)]; }

protected:
    /// Starts showing `ids`; `update` refreshes the subclass's data for them. When the ids equal
    /// the shown ids, `update` runs and every row is repainted in place (the scroll position
    /// stays); otherwise the model is reset around `update`. Returns whether it was reset.
    bool setIds(std::vector<Uuid> ids, const std::function<void()>& update);
    /// Repaints the row of `id` (nothing when it is not shown).
    void refreshRow(const Uuid& id);
    void refreshAll();

private:
    // Each row of an id, indexed on the first look-up after a change (long lists change often
    // and are rarely looked up).
    mutable std::unordered_map<Uuid, int> m_rows;
    mutable bool m_indexed = false;
    std::vector<Uuid> m_ids;
};

/// A region of a painted row that takes clicks (a checkbox, a button).
struct RowHit {
    QRectF rect;
    int action = 0;
};

/// Paints one row of a RowList: the row background `appBackground`, a `panelBorder` separator
/// under it, and the subclass's content. A release of the left button inside a region that
/// `hits` names (pressed in the same region) emits `triggered`; every other click does nothing.
/// GUI thread only.
class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    /// The clickable regions of the row `index` laid out in `row`.
    virtual std::vector<RowHit> hits(const QRectF& row, const QModelIndex& index) const = 0;
    /// Whether a row's height follows its width (its texts wrap). A RowList lays such rows out
    /// at the width they have with the scroll bar shown, so the bar coming or going moves no
    /// text.
    virtual bool wrapsTexts() const { return false; }
    /// Whether every row of `model`, `width` wide, is as high as the first: the list then lays
    /// its rows out as one height (a long list at once). Asked before each layout of a list
    /// whose texts wrap; by default false.
    virtual bool rowsShareHeight(const QAbstractItemModel& model, double width) const {
        (void)model;
        (void)width;
        return false;
    }
    /// Whether each row draws the `panelBorder` separator along its bottom; by default true.
    virtual bool separatesRows() const { return true; }
    /// Where the content of the row drawn in `option` lies: its rectangle, narrowed to the
    /// list's wrapping width when the texts wrap.
    QRectF contentRect(const QStyleOptionViewItem& option) const;
    /// Presses the region `action` of the row `index` as a click on it would.
    void press(const QModelIndex& index, int action) { emit triggered(index, action); }

signals:
    void triggered(const QModelIndex& index, int action);

protected:
    /// Draws the row's content in `row` (the row rectangle, see `contentRect`).
    virtual void paintRow(QPainter& painter, const QRectF& row, const QModelIndex& index) const = 0;
    /// The height of row `index` when it is `width` wide.
    virtual int rowHeight(const QModelIndex& index, double width) const = 0;

private:
    friend class RowList;
    QPersistentModelIndex m_pressedIndex;
    int m_pressedAction = -1;
};

/// The size of a button drawn in a row with `look` (its icon and padding) around `label`.
QSizeF rowButtonSize(const ButtonLook& look, const QString& label = {});
/// Draws a button of `look` in `box`: its background, outline, icon and label, centred.
void paintRowButton(QPainter& painter, const QRectF& box, const ButtonLook& look,
                    const QString& label = {});
/// Draws `text` on one line in `box`, cut with "…" at its end when too wide. Plain text.
void drawLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
              const QColor& colour, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
/// Draws the path `text` on one line in `box` as `drawLine` does, but cut with "…" in its
/// middle, so that the item's own name at its end stays in view.
void drawPathLine(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                  const QColor& colour, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
/// Widths of one-line texts in one font, for checking many texts against a width quickly: a
/// text of ASCII characters is summed from each character's advance (a little more than the
/// text as set, which kerning only narrows); any other text is measured as set.
class TextWidths {
public:
    explicit TextWidths(const QFont& font);
    double width(std::string_view text) const;
    /// Whether `text` fits on one line `room` wide.
    bool fits(std::string_view text, double room) const { return width(text) + 1 <= room; }

private:
    QFont m_font;
    std::array<double, 128> m_advances{};
};
/// The size of `text` in `font` wrapped to `width`: at word boundaries, inside a word only where
/// one word is wider than the line; a line separator (QChar::LineSeparator) starts a new line.
/// The width is the widest line's; one line is a line high.
QSizeF wrappedTextSize(const QString& text, const QFont& font, double width);
/// Draws `text` wrapped as `wrappedTextSize` wraps it to `box`'s width, from `box`'s top left
/// (the height of `box` is not a limit). Plain text.
void drawWrapped(QPainter& painter, const QRectF& box, const QString& text, const QFont& font,
                 const QColor& colour);

/// A virtualised list of painted rows (only the rows in view are drawn): plain, on
/// `appBackground`, without selection or focus frame, scrolled by pixel. Set the model and the
/// delegate; with `uniform` the rows share one height, so a list of 100,000 rows lays out at
/// once. With `enableRowKeys` the keyboard reaches the rows' controls. GUI thread only.
class RowList : public QListView {
    Q_OBJECT
public:
    RowList(QAbstractListModel* model, RowDelegate* delegate, bool uniform,
            QWidget* parent = nullptr);

    RowDelegate* rowDelegate() const { return m_delegate; }
    /// Where, in the viewport, the region `action` of `row` lies; empty when the row has none.
    QRect actionRect(int row, int action) const;
    /// The width rows whose texts wrap are laid out at: the viewport's with the scroll bar shown.
    double wrapWidth() const;
    /// The height of the row `index` whose texts wrap, at `wrapWidth`: measured once and kept
    /// until the row's data, the rows or the width change, so that laying the list out again
    /// (the scroll bar shown, the sheet resized) measures no row twice.
    int wrappedRowHeight(const QModelIndex& index) const;
    void doItemsLayout() override;

    /// Lets the keyboard reach the regions `RowDelegate::hits` names (tick boxes, buttons): Tab
    /// enters the list at its focused row (at first the first row that has a control), Up and
    /// Down move the focused row past rows without controls and scroll it into view, Left and
    /// Right or Tab and Shift+Tab move between the row's controls, and Space or Return press
    /// the focused one as a click would. Tab past the row's last control leaves the list.
    void enableRowKeys();
    /// The row whose control has the keyboard focus; -1 when none.
    int focusedRow() const;
    /// The action of the focused control; -1 when none.
    int focusedAction() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    /// Where the content of `row` lies in the viewport (see `RowDelegate::contentRect`).
    QRectF contentRectOf(int row) const;
    /// The row's controls, left to right.
    std::vector<RowHit> controls(int row) const;
    /// The nearest row from `row` in direction `step` (±1) that has a control; -1 when none.
    int rowWithControls(int row, int step) const;
    void focusControl(int row, int control);

    RowDelegate* m_delegate;
    bool m_rowKeys = false;
    int m_focusRow = -1;
    int m_focusControl = 0;
    // Whether the rows share one height, for the rows and width it was asked for.
    bool m_shareHeightKnown = false;
    bool m_shareHeight = false;
    double m_shareHeightWidth = 0;
    // The wrap width of the last layout: only a change of it lays the rows out again.
    double m_laidOutWidth = -1;
    // Each row's height at `m_heightsWidth`, -1 until measured.
    mutable std::vector<int> m_heights;
    mutable double m_heightsWidth = -1;
};

} // namespace fernwick::ui
