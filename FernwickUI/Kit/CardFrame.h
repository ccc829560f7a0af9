#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;
class QVBoxLayout;

namespace fernwick::ui {

/// A card: a rounded rectangle of `radius` filled with `FernwickTheme::cardBackground()` and
/// outlined by a 1-point `FernwickTheme::panelBorder()` stroke, holding a column of widgets
/// inset by `padding` on every edge. Fill and stroke can be changed. GUI thread only.
class CardFrame : public QWidget {
    Q_OBJECT
public:
    explicit CardFrame(double radius = 10, int padding = 12, QWidget* parent = nullptr);

    /// The column the card's content goes into (spacing 8 unless changed).
    QVBoxLayout* column() const { return m_column; }

    void setFill(const QColor& fill);
    /// The outline; a width of 0 or a transparent colour draws none.
    void setStroke(const QColor& stroke, double width = 1);
    double radius() const { return m_radius; }

    /// Paints a card of `radius` with `fill` and a `strokeWidth` `stroke` into `rect`; the
    /// stroke is centred on the rectangle's edge inset by half its width, so nothing is drawn
    /// outside `rect`. For painters that draw cards themselves.
    static void paint(QPainter& painter, const QRectF& rect, double radius, const QColor& fill,
                      const QColor& stroke, double strokeWidth = 1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_radius;
    QColor m_fill;
    QColor m_stroke;
    double m_strokeWidth = 1;
    QVBoxLayout* m_column;
};

} // namespace fernwick::ui
