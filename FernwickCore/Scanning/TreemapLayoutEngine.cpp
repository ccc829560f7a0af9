#include "FernwickCore/Scanning/TreemapLayoutEngine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace fernwick {
namespace {

constexpr double kHeaderHeight = 16;
constexpr double kHeaderMinWidth = 40;
constexpr double kHeaderMinHeight = 26;
constexpr double kInset = 2;
constexpr double kNestFactor = 1.5;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Every node takes part with at least one byte, so empty items still get a sliver.
std::int64_t weightOf(const DiskNode& node) {
    return std::max<std::int64_t>(node.size, 1);
}

// One node of a level: held by pointer into its parent's children (no reference counting while
// sorting), with its size and weight read once.
struct Entry {
    const DiskNodePtr* node;
    std::int64_t size;
    std::int64_t weight;
};

struct Level {
    std::vector<Entry> entries;
    std::int64_t totalWeight = 0;
};

// The children of size > 0, largest first (stable: equal sizes keep their stored order); when
// every child has size 0 or less, all children in stored order.
Level chooseLevel(const DiskNode& folder) {
    Level level;
    level.entries.reserve(folder.children.size());
    for (const auto& child : folder.children) {
        if (child->size > 0) {
            level.entries.push_back({&child, child->size, weightOf(*child)});
        }
    }
    if (level.entries.empty()) {
        for (const auto& child : folder.children) {
            level.entries.push_back({&child, child->size, weightOf(*child)});
        }
    } else {
        std::stable_sort(level.entries.begin(), level.entries.end(),
                         [](const Entry& a, const Entry& b) { return a.size > b.size; });
    }
    for (const Entry& entry : level.entries) {
        level.totalWeight = saturatingAdd(level.totalWeight, entry.weight);
    }
    return level;
}

TreemapRect makeTile(const DiskNodePtr& node, Rect rect, int depth) {
    TreemapRect tile;
    tile.node = node;
    tile.rect = rect;
    tile.depth = depth;
    tile.category = node->category;
    tile.isDirectory = node->isDirectory();
    tile.isLeaf = true;
    tile.headerHeight = 0;
    return tile;
}

// The worst aspect ratio of a row whose members' weights lie between `smallest` and `largest`.
// A member's ratio grows as its length moves away from the row's thickness, so the worst member
// is the shortest or the longest one: the same value as taking the maximum over every member,
// at constant cost per candidate.
double worstRatio(double rowWeight, double smallest, double largest, double remainingWeight,
                  double area, double side) {
    const double thickness = (rowWeight / remainingWeight) * area / side;
    if (!(thickness > 0)) {
        return kInfinity;
    }
    double worst = 0;
    for (const double weight : {smallest, largest}) {
        const double length = area * (weight / remainingWeight) / thickness;
        if (length > 0) {
            worst = std::max(worst, std::max(thickness / length, length / thickness));
        }
    }
    return worst;
}

// One row of a level: the nodes [begin, end) and their summed weight.
struct Row {
    std::size_t end;
    std::int64_t weight;
};

// Grows the row that starts at `next` greedily while its worst aspect ratio does not get worse
// (a tie extends it); the free rectangle has `area` and its shorter side is `side`.
Row growRow(const std::vector<Entry>& nodes, std::size_t next, double remainingWeight, double area,
            double side) {
    std::size_t end = next;
    std::int64_t rowWeight = 0;
    double smallest = 0;
    double largest = 0;
    double worst = kInfinity;
    while (end < nodes.size()) {
        const auto weight = static_cast<double>(nodes[end].weight);
        const std::int64_t withWeight = saturatingAdd(rowWeight, nodes[end].weight);
        const double withSmallest = end == next ? weight : std::min(smallest, weight);
        const double withLargest = end == next ? weight : std::max(largest, weight);
        const double withWorst = worstRatio(static_cast<double>(withWeight), withSmallest,
                                            withLargest, remainingWeight, area, side);
        if (end > next && withWorst > worst) {
            break;
        }
        rowWeight = withWeight;
        smallest = withSmallest;
        largest = withLargest;
        worst = withWorst;
        ++end;
    }
    return Row{end, rowWeight};
}

// Places the row's nodes along the shorter side of `free` (a column when it is wide), appends
// their tiles and takes the row's strip off `free`.
void placeRow(const std::vector<Entry>& nodes, std::size_t next, const Row& row,
              double remainingWeight, int depth, Rect& free, std::vector<TreemapRect>& tiles) {
    const double width = free.width;
    const double height = free.height;
    const bool wide = height <= width;
    const double side = wide ? height : width;
    const auto rowSum = static_cast<double>(row.weight);
    const double thickness = (rowSum / remainingWeight) * (wide ? width : height);
    const double divisor = std::max(rowSum, 1.0);
    double offset = 0;
    for (std::size_t i = next; i < row.end; ++i) {
        const DiskNodePtr& node = *nodes[i].node;
        const double length = side * static_cast<double>(nodes[i].weight) / divisor;
        const Rect placed = wide ? Rect{free.x, free.y + offset, thickness, length}
                                 : Rect{free.x + offset, free.y, length, thickness};
        tiles.push_back(makeTile(node, placed, depth));
        offset += length;
    }
    if (wide) {
        free.x += thickness;
        free.width = std::max(width - thickness, 0.0);
    } else {
        free.y += thickness;
        free.height = std::max(height - thickness, 0.0);
    }
}

// The row layout of one level: places `nodes` in the given order, row by row along the shorter
// side of the free rectangle; never sorts.
std::vector<TreemapRect> squarify(const std::vector<Entry>& nodes, std::int64_t totalWeight,
                                  Rect rect, int depth) {
    std::vector<TreemapRect> tiles;
    if (nodes.empty() || !(rect.width > 0) || !(rect.height > 0) || totalWeight < 1) {
        return tiles;
    }
    tiles.reserve(nodes.size());
    // Weight still to place, kept as a running sum rather than summed again per row.
    std::int64_t remaining = 0;
    for (const Entry& entry : nodes) {
        remaining = saturatingAdd(remaining, entry.weight);
    }
    Rect free = rect;
    std::size_t next = 0;
    while (next < nodes.size()) {
        const double side = free.height <= free.width ? free.height : free.width;
        if (!(side > 0) || remaining < 1) {
            break;
        }
        const auto remainingWeight = static_cast<double>(remaining);
        const Row row = growRow(nodes, next, remainingWeight, free.width * free.height, side);
        placeRow(nodes, next, row, remainingWeight, depth, free, tiles);
        remaining -= row.weight;
        next = row.end;
    }
    return tiles;
}

bool fitsTile(Rect rect, double minTileSize) {
    // Written so that a NaN anywhere means "does not fit".
    return minTileSize < rect.width && minTileSize < rect.height;
}

// One level still to lay out, and the tile whose nested list it fills (null: the result).
struct Job {
    TreemapRect* owner;
    Level level;
    Rect rect;
    int depth;
};

// The level nested in a folder's tile, and the rectangle inside its header and inset, when the
// folder lies above `maxVisualDepth` and the rectangle is large enough; gives the tile its
// header height whenever it may nest.
std::optional<Job> nestedJob(TreemapRect& tile, int depth, int maxVisualDepth, double minTileSize) {
    const DiskNode& child = *tile.node;
    const bool mayNest = child.isDirectory() && !child.children.empty() && depth < maxVisualDepth;
    if (!mayNest) {
        return std::nullopt;
    }
    const Rect& r = tile.rect;
    const double header =
        r.width >= kHeaderMinWidth && r.height >= kHeaderMinHeight ? kHeaderHeight : 0;
    tile.headerHeight = header;
    const Rect inner{r.x + kInset, r.y + header + kInset, std::max(r.width - 2 * kInset, 0.0),
                     std::max(r.height - header - 2 * kInset, 0.0)};
    const double nestMin = kNestFactor * minTileSize;
    if (!(inner.width > nestMin && inner.height > nestMin)) {
        return std::nullopt;
    }
    Level level = chooseLevel(child);
    if (level.totalWeight < 1) {
        return std::nullopt;
    }
    return Job{&tile, std::move(level), inner, depth + 1};
}

} // namespace

const TreemapLayoutEngine& TreemapLayoutEngine::shared() {
    static const TreemapLayoutEngine instance;
    return instance;
}

std::vector<TreemapRect> TreemapLayoutEngine::generateLayout(const DiskNodePtr& node, Rect rect,
                                                             int maxVisualDepth,
                                                             double minTileSize) const {
    std::vector<TreemapRect> result;
    if (!node || !std::isfinite(rect.x) || !std::isfinite(rect.y) || !std::isfinite(rect.width) ||
        !std::isfinite(rect.height) || !fitsTile(rect, minTileSize)) {
        return result;
    }
    Level top = chooseLevel(*node);
    if (top.entries.empty()) {
        result.push_back(makeTile(node, rect, 0));
        return result;
    }

    // Each level is laid out whole before the levels nested in its tiles, which are queued with
    // a pointer to their tile: a finished tile list never grows again, so the pointers stay
    // valid. No recursion, whatever the depth.
    std::vector<Job> jobs;
    jobs.push_back({nullptr, std::move(top), rect, 0});
    while (!jobs.empty()) {
        Job job = std::move(jobs.back());
        jobs.pop_back();
        if (job.level.entries.empty() || !fitsTile(job.rect, minTileSize) ||
            job.level.totalWeight < 1) {
            continue;
        }
        std::vector<TreemapRect>& out = job.owner ? job.owner->children : result;
        out = squarify(job.level.entries, job.level.totalWeight, job.rect, job.depth);
        if (job.owner && !out.empty()) {
            job.owner->isLeaf = false;
        }
        for (TreemapRect& tile : out) {
            if (auto nested = nestedJob(tile, job.depth, maxVisualDepth, minTileSize)) {
                jobs.push_back(std::move(*nested));
            }
        }
    }
    return result;
}

} // namespace fernwick
