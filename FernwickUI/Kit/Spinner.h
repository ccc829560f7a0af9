#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace fernwick::ui {

/// The indeterminate progress indicator: twelve spokes whose brightness turns around the centre.
/// It animates only while it is visible. GUI thread only.
class Spinner : public QWidget {
    Q_OBJECT
public:
    /// `diameter`: the indicator's size in points (the platform's default is 32).
    explicit Spinner(double diameter, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double m_diameter;
    int m_phase = 0;
    QTimer m_timer;
};

} // namespace fernwick::ui
