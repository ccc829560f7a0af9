#include "FernwickUI/Visualisations/SunburstLayout.h"

#include "FernwickUI/Visualisations/SizeOrdering.h"

#include <algorithm>
#include <cmath>

namespace fernwick::ui {

SunburstLayout::Frame SunburstLayout::frameFor(double width, double height) {
    const double m = std::min(width, height);
    return {width / 2, height / 2, std::max(0.12 * m, 38.0), std::max(0.27 * m, 75.0),
            std::max(0.42 * m, 115.0)};
}

SunburstLayout SunburstLayout::compute(const DiskNodePtr& root, const Frame& frame) {
    SunburstLayout layout;
    layout.m_frame = frame;
    if (!root) {
        return layout;
    }
    const auto kids = positiveChildrenBySize(*root);
    const auto total = shareDivisor(kids);
    double a = 0;
    for (const auto& child : kids) {
        const double sweep = shareOf(child->size, total) * kFullTurn;
        if (sweep < kMinimumInnerSweep) {
            continue;
        }
        layout.m_sectors.push_back({child, a, a + sweep, frame.r0, frame.r1, child->category, 1.0});
        if (child->isDirectory() && !child->children.empty()) {
            const auto grandchildren = positiveChildrenBySize(*child);
            // The shares are of every positive grandchild, drawn or not.
            const auto sub = shareDivisor(grandchildren);
            double b = a;
            const auto shown = std::min(grandchildren.size(), kMaximumOuterSectors);
            for (std::size_t i = 0; i < shown; ++i) {
                const auto& grandchild = grandchildren[i];
                const double sweep2 = sweep * shareOf(grandchild->size, sub);
                if (sweep2 < kMinimumOuterSweep) {
                    continue;
                }
                layout.m_sectors.push_back({grandchild, b, b + sweep2, frame.r1 + kRingGap,
                                            frame.r2, child->category, kOuterOpacity});
                b += sweep2;
            }
        }
        a += sweep;
    }
    return layout;
}

int SunburstLayout::sectorAt(double x, double y) const {
    const double dx = x - m_frame.centerX;
    const double dy = y - m_frame.centerY;
    const double angle = angleOf(dx, dy);
    const double r = std::sqrt(dx * dx + dy * dy);
    for (std::size_t i = 0; i < m_sectors.size(); ++i) {
        const auto& sector = m_sectors[i];
        if (sector.innerRadius <= r && r <= sector.outerRadius && sector.startAngle <= angle &&
            angle <= sector.endAngle) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

double SunburstLayout::angleOf(double dx, double dy) {
    const double angle = std::atan2(dy, dx);
    return angle < 0 ? angle + kFullTurn : angle;
}

double SunburstLayout::toQtDegrees(double angle) {
    return -angle * 180.0 / std::numbers::pi;
}

} // namespace fernwick::ui
