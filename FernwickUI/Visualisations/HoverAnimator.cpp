#include "FernwickUI/Visualisations/HoverAnimator.h"

#include <QWidget>

#include <algorithm>

namespace fernwick::ui {

HoverAnimator::HoverAnimator(QWidget* view, int durationMs, QEasingCurve curve,
                             std::function<void(int item)> repaintItem)
    : QObject(view), m_repaintItem(std::move(repaintItem)), m_durationMs(durationMs),
      m_curve(std::move(curve)) {
    m_timer.setInterval(16);
    connect(&m_timer, &QTimer::timeout, this, &HoverAnimator::step);
}

void HoverAnimator::setHovered(int item) {
    if (item == m_hovered) {
        return;
    }
    m_hovered = item;
    if (item >= 0) {
        m_linear.try_emplace(item, 0.0);
    }
    if (!m_timer.isActive()) {
        m_clock.start();
        m_timer.start();
    }
}

double HoverAnimator::progress(int item) const {
    const auto it = m_linear.find(item);
    if (it == m_linear.end()) {
        return 0;
    }
    // Going out, the curve runs backwards so that in and out look alike.
    return m_curve.valueForProgress(it->second);
}

void HoverAnimator::reset() {
    m_linear.clear();
    m_hovered = -1;
    m_timer.stop();
}

void HoverAnimator::step() {
    const double delta = static_cast<double>(m_clock.restart()) / std::max(m_durationMs, 1);
    bool moving = false;
    for (auto it = m_linear.begin(); it != m_linear.end();) {
        const double target = it->first == m_hovered ? 1.0 : 0.0;
        it->second = target > it->second ? std::min(it->second + delta, 1.0)
                                         : std::max(it->second - delta, 0.0);
        if (it->second != target) {
            moving = true;
        }
        m_repaintItem(it->first);
        if (it->second == 0.0 && it->first != m_hovered) {
            it = m_linear.erase(it);
        } else {
            ++it;
        }
    }
    if (!moving) {
        m_timer.stop();
    }
}

} // namespace fernwick::ui
