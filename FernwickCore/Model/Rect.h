#pragma once

namespace fernwick {

/// A rectangle in layout coordinates (points), origin at the top left.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    bool contains(double px, double py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    /// The rectangle shrunk by `dx` on the left and right and `dy` on the top and bottom.
    Rect insetBy(double dx, double dy) const {
        return {x + dx, y + dy, width - 2 * dx, height - 2 * dy};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace fernwick
