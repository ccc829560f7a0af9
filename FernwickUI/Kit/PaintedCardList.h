#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;

namespace fernwick::ui {

/// A column of cards drawn in one widget: each card `rowHeight` high (or as high as its content
/// needs, see `setContentHeight`), `spacing` apart, on `cardBackground` with corner radius
/// `cornerRadius`, its content painted by `paintRow`. Only the cards inside the exposed area are
/// painted, so a list of thousands scrolls smoothly. Put it in a scrolling column; it asks for
/// the height of all its cards. GUI thread only.
class PaintedCardList : public QWidget {
    Q_OBJECT
public:
    /// Paints card `row`'s content; `card` is the card's rectangle less its padding.
    using RowPainter = std::function<void(QPainter& painter, const QRectF& card, int row)>;
    /// Every text card `row` draws, in drawing order.
    using RowTexts = std::function<QStringList(int row)>;
    /// The height card `row`'s content needs when it is `width` wide (the card less its
    /// padding), for texts that wrap.
    using ContentHeight = std::function<double(int row, double width)>;

    PaintedCardList(int rowHeight, int spacing, int padding, double cornerRadius,
                    RowPainter paintRow, RowTexts rowTexts, QWidget* parent = nullptr);

    int rowCount() const { return m_rowCount; }
    /// Shows `count` cards and repaints.
    void setRowCount(int count);
    /// Lets each card grow to the height its content needs; none is lower than `rowHeight`.
    void setContentHeight(ContentHeight contentHeight);
    QStringList rowTexts(int row) const { return m_rowTexts(row); }
    /// The rectangle of card `row`.
    QRectF cardRect(int row) const;
    /// How many cards the last paint drew.
    int lastPaintedCount() const { return m_lastPainted; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

    void resizeEvent(QResizeEvent* event) override;

private:
    int totalHeight() const { return totalHeight(width()); }
    int totalHeight(int width) const;
    /// The top of each card and, last, the bottom of the column, at `width` (kept until the
    /// cards or the width change).
    const std::vector<int>& tops(int width) const;

    int m_rowHeight;
    int m_spacing;
    int m_padding;
    double m_cornerRadius;
    RowPainter m_paintRow;
    RowTexts m_rowTexts;
    ContentHeight m_contentHeight;
    int m_rowCount = 0;
    mutable std::vector<int> m_tops;
    mutable int m_topsWidth = -1;
    int m_lastPainted = 0;
};

} // namespace fernwick::ui
