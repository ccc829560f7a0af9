#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QPainter;

namespace fernwick::ui {

/// A column of equal cards drawn in one widget: each card `rowHeight` high, `spacing` apart, on
/// `cardBackground` with corner radius `cornerRadius`, its content painted by `paintRow`. Only
/// the cards inside the exposed area are painted, so a list of thousands scrolls smoothly. Put
/// it in a scrolling column; it asks for the height of all its cards. GUI thread only.
class PaintedCardList : public QWidget {
    Q_OBJECT
public:
    /// Paints card `row`'s content; `card` is the card's rectangle less its padding.
    using RowPainter = std::function<void(QPainter& painter, const QRectF& card, int row)>;
    /// Every text card `row` draws, in drawing order.
    using RowTexts = std::function<QStringList(int row)>;

    PaintedCardList(int rowHeight, int spacing, int padding, double cornerRadius,
                    RowPainter paintRow, RowTexts rowTexts, QWidget* parent = nullptr);

    int rowCount() const { return m_rowCount; }
    /// Shows `count` cards and repaints.
    void setRowCount(int count);
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

private:
    int totalHeight() const;

    int m_rowHeight;
    int m_spacing;
    int m_padding;
    double m_cornerRadius;
    RowPainter m_paintRow;
    RowTexts m_rowTexts;
    int m_rowCount = 0;
    int m_lastPainted = 0;
};

} // namespace fernwick::ui
