#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <numbers>
#include <vector>

namespace fernwick::ui {

/// Geometry of the "Sunburst" mode: the shown node's children of positive size as an inner ring
/// and up to eight of each folder child's largest children as an outer ring, every sector's
/// angle proportional to its size. Pure: no painting.
///
/// Angles are radians measured from three o'clock (the positive x axis) towards the positive y
/// axis; y grows downwards, so angles grow clockwise on screen and the first sector starts at
/// three o'clock. Qt's arc angles run the other way: convert with toQtDegrees only.
class SunburstLayout {
public:
    static constexpr double kFullTurn = 2 * std::numbers::pi;
    /// An inner-ring child narrower than this gets no sector.
    static constexpr double kMinimumInnerSweep = 0.03;
    /// An outer-ring grandchild narrower than this gets no sector.
    static constexpr double kMinimumOuterSweep = 0.02;
    static constexpr std::size_t kMaximumOuterSectors = 8;
    /// The gap between the rings.
    static constexpr double kRingGap = 3;
    static constexpr double kOuterOpacity = 0.75;

    struct Sector {
        DiskNodePtr node;
        double startAngle = 0;
        double endAngle = 0;
        double innerRadius = 0;
        double outerRadius = 0;
        /// The sector's colour is this category's colour at colourOpacity (the parent's
        /// category at 0.75 for an outer-ring sector).
        StorageCategory colourCategory = StorageCategory::other;
        double colourOpacity = 1;
    };

    /// Centre and radii for a view w × h: centre (w / 2, h / 2); with m = min(w, h),
    /// r0 = max(0.12 m, 38), r1 = max(0.27 m, 75), r2 = max(0.42 m, 115).
    struct Frame {
        double centerX = 0;
        double centerY = 0;
        double r0 = 0;
        double r1 = 0;
        double r2 = 0;
    };
    static Frame frameFor(double width, double height);

    /// The sectors of `root` (none for a null root), each inner sector followed by its outer ones.
    static SunburstLayout compute(const DiskNodePtr& root, const Frame& frame);

    const std::vector<Sector>& sectors() const { return m_sectors; }
    const Frame& frame() const { return m_frame; }

    /// The first sector holding the point (bounds inclusive), -1 for none.
    int sectorAt(double x, double y) const;

    /// The angle of (dx, dy) from the centre, in [0, 2π), clockwise from three o'clock.
    static double angleOf(double dx, double dy);
    /// An angle of this layout as Qt's degrees (counter-clockwise from three o'clock).
    static double toQtDegrees(double angle);

private:
    std::vector<Sector> m_sectors;
    Frame m_frame;
};

} // namespace fernwick::ui
