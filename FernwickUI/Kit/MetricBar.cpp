#include "FernwickUI/Kit/MetricBar.h"

#include "FernwickUI/Kit/CardFrame.h"
#include "FernwickUI/Style/Palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

MetricBar::MetricBar(const QColor& colour, QWidget* parent) : QWidget(parent), m_colour(colour) {
    setFixedHeight(12);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MetricBar::setFraction(double fraction) {
    // A sample can overshoot (or be NaN while the counters settle): the bar never leaves its
    // track.
    m_fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    update();
}

double MetricBar::fillWidth() const {
    return width() * m_fraction;
}

void MetricBar::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    CardFrame::paint(painter, QRectF(rect()), 4, whiteAt(0.1), Qt::transparent, 0);
    if (m_fraction > 0) {
        CardFrame::paint(painter, QRectF(0, 0, fillWidth(), height()), 4, m_colour, Qt::transparent,
                         0);
    }
}

} // namespace fernwick::ui
