#pragma once

#include <QColor>
#include <QWidget>

namespace fernwick::ui {

/// A 12-high usage bar: a track of white at 0.1 across the whole width, filled from the left
/// in `colour` to the fraction, which is kept within 0…1. GUI thread only.
class MetricBar : public QWidget {
    Q_OBJECT
public:
    explicit MetricBar(const QColor& colour, QWidget* parent = nullptr);

    void setFraction(double fraction);
    double fraction() const { return m_fraction; }
    /// The width of the filled part at the bar's current width.
    double fillWidth() const;

    QSize sizeHint() const override { return {100, 12}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
    double m_fraction = 0;
};

} // namespace fernwick::ui
