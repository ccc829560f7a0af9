#pragma once

#include <QEasingCurve>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <unordered_map>

class QWidget;

namespace fernwick::ui {

/// Animates the hover state of the items of one view: the hovered item moves towards 1 and
/// every other item back towards 0 over `durationMs`, shaped by `curve`, asking `repaintItem`
/// to repaint each item in motion at each step. Only items in motion or hovered are kept. GUI
/// thread only.
class HoverAnimator : public QObject {
public:
    HoverAnimator(QWidget* view, int durationMs, QEasingCurve curve,
                  std::function<void(int item)> repaintItem);

    /// Makes `item` the hovered one (-1 for none).
    void setHovered(int item);
    /// The shaped progress of `item`: 0 not hovered, 1 hovered (may overshoot with a springy
    /// curve).
    double progress(int item) const;
    /// Drops every item at once (the items were replaced).
    void reset();

private:
    void step();

    std::function<void(int)> m_repaintItem;
    int m_durationMs;
    QEasingCurve m_curve;
    int m_hovered = -1;
    std::unordered_map<int, double> m_linear;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

} // namespace fernwick::ui
