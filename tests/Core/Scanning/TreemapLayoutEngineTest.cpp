#include "FernwickCore/Scanning/TreemapLayoutEngine.h"

#include "tests/Support/TreeBuilder.h"

#include <gtest/gtest.h>
#include <limits>

namespace fernwick {
namespace {

using test::fileNode;
using test::folderNode;

std::vector<TreemapRect> layout(const DiskNodePtr& node, Rect rect, int maxDepth = 2,
                                double minTile = 6) {
    return TreemapLayoutEngine::shared().generateLayout(node, rect, maxDepth, minTile);
}

void expectRect(const Rect& actual, const Rect& expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.width, expected.width, 1e-9);
    EXPECT_NEAR(actual.height, expected.height, 1e-9);
}

TEST(TreemapLayoutEngine, RowsAlongTheShorterSide) {
    auto small = fileNode("/r/small", 1);
    auto large = fileNode("/r/large", 3, StorageCategory::videos);
    const auto tiles = layout(folderNode("/r", {small, large}), {0, 0, 400, 100});
    ASSERT_EQ(tiles.size(), 2U);
    EXPECT_EQ(tiles[0].node, large);
    EXPECT_EQ(tiles[0].id(), large->id());
    EXPECT_EQ(tiles[0].category, StorageCategory::videos);
    expectRect(tiles[0].rect, {0, 0, 300, 100});
    expectRect(tiles[1].rect, {300, 0, 100, 100});
    for (const auto& tile : tiles) {
        EXPECT_EQ(tile.depth, 0);
        EXPECT_TRUE(tile.isLeaf);
        EXPECT_EQ(tile.headerHeight, 0);
    }

    // A tall rectangle lays its rows as strips along the top edge.
    const auto tall =
        layout(folderNode("/r", {fileNode("/r/a", 3), fileNode("/r/b", 1)}), {10, 20, 100, 400});
    ASSERT_EQ(tall.size(), 2U);
    expectRect(tall[0].rect, {10, 20, 100, 300});
    expectRect(tall[1].rect, {10, 320, 100, 100});
}

TEST(TreemapLayoutEngine, ATieExtendsTheRow) {
    // Alone, the first tile would be 50 x 100 (ratio 2); with its equal sibling the column is
    // 100 x 50 each (ratio 2 again): the tie keeps both in the first row.
    auto a = fileNode("/r/a", 10);
    auto b = fileNode("/r/b", 10);
    const auto tiles = layout(folderNode("/r", {a, b}), {0, 0, 100, 100});
    ASSERT_EQ(tiles.size(), 2U);
    EXPECT_EQ(tiles[0].node, a); // equal sizes keep their stored order
    expectRect(tiles[0].rect, {0, 0, 100, 50});
    expectRect(tiles[1].rect, {0, 50, 100, 50});
}

TEST(TreemapLayoutEngine, RowsCloseWhenTheNextTileWouldWorsenTheRatio) {
    // Seven tiles in three rows: a column of two at the left, then strips along the top of the
    // narrower rest, each row closed at the first tile that would make its worst ratio larger.
    const std::int64_t sizes[] = {6, 6, 4, 3, 2, 2, 1};
    std::vector<DiskNodePtr> children;
    for (std::size_t i = 0; i < std::size(sizes); ++i) {
        children.push_back(fileNode("/r/" + std::to_string(i), sizes[i]));
    }
    const auto tiles = layout(folderNode("/r", children), {0, 0, 600, 400});
    const Rect expected[] = {
        {0, 0, 300, 200},
        {0, 200, 300, 200},
        {300, 0, 1200.0 / 7, 700.0 / 3},
        {300 + 1200.0 / 7, 0, 900.0 / 7, 700.0 / 3},
        {300, 700.0 / 3, 120, 500.0 / 3},
        {420, 700.0 / 3, 120, 500.0 / 3},
        {540, 700.0 / 3, 60, 500.0 / 3},
    };
    ASSERT_EQ(tiles.size(), std::size(expected));
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        EXPECT_EQ(tiles[i].node, children[i]) << i;
        expectRect(tiles[i].rect, expected[i]);
    }
}

TEST(TreemapLayoutEngine, ZeroSizeChildren) {
    // Left out beside a sibling with bytes...
    auto empty = fileNode("/r/empty", 0);
    auto full = fileNode("/r/full", 10);
    const auto mixed = layout(folderNode("/r", {empty, full}), {0, 0, 100, 100});
    ASSERT_EQ(mixed.size(), 1U);
    EXPECT_EQ(mixed[0].node, full);
    expectRect(mixed[0].rect, {0, 0, 100, 100});

    // ...and laid out with equal areas in their stored order when all are empty.
    auto z1 = fileNode("/r/z1", 0);
    auto z2 = fileNode("/r/z2", 0);
    auto z3 = fileNode("/r/z3", 0);
    const auto zeros = layout(folderNode("/r", {z1, z2, z3}), {0, 0, 300, 100});
    ASSERT_EQ(zeros.size(), 3U);
    EXPECT_EQ(zeros[0].node, z1);
    EXPECT_EQ(zeros[1].node, z2);
    EXPECT_EQ(zeros[2].node, z3);
    for (const auto& tile : zeros) {
        EXPECT_NEAR(tile.rect.width * tile.rect.height, 10000, 1e-6);
    }
}

TEST(TreemapLayoutEngine, NestedFolderHasHeaderInsetAndAbsoluteTiles) {
    auto f1 = fileNode("/r/F/f1", 60);
    auto f2 = fileNode("/r/F/f2", 40);
    auto folder = folderNode("/r/F", {f1, f2});
    const auto tiles = layout(folderNode("/r", {folder}), {0, 0, 200, 100});
    ASSERT_EQ(tiles.size(), 1U);
    const auto& tile = tiles[0];
    expectRect(tile.rect, {0, 0, 200, 100});
    EXPECT_TRUE(tile.isDirectory);
    EXPECT_FALSE(tile.isLeaf);
    EXPECT_EQ(tile.headerHeight, 16);
    // Inner rectangle (2, 18, 196, 80): the first row is a column 60 % of the width.
    ASSERT_EQ(tile.children.size(), 2U);
    EXPECT_EQ(tile.children[0].node, f1);
    EXPECT_EQ(tile.children[0].depth, 1);
    expectRect(tile.children[0].rect, {2, 18, 117.6, 80});
    expectRect(tile.children[1].rect, {119.6, 18, 78.4, 80});

    // With maximum depth 0 nothing nests: no header, a leaf.
    const auto flat = layout(folderNode("/r", {folder}), {0, 0, 200, 100}, 0);
    ASSERT_EQ(flat.size(), 1U);
    EXPECT_TRUE(flat[0].isLeaf);
    EXPECT_EQ(flat[0].headerHeight, 0);
    EXPECT_TRUE(flat[0].children.empty());
}

TEST(TreemapLayoutEngine, HeaderAndNestingThresholds) {
    auto inner = folderNode("/r/F", {fileNode("/r/F/x", 5)});
    // 39 wide: no header, but nests inside a 2-point inset.
    const auto narrow = layout(folderNode("/r", {inner}), {0, 0, 39, 100});
    ASSERT_EQ(narrow.size(), 1U);
    EXPECT_EQ(narrow[0].headerHeight, 0);
    ASSERT_EQ(narrow[0].children.size(), 1U);
    expectRect(narrow[0].children[0].rect, {2, 2, 35, 96});

    // Exactly 40 x 26: header 16, inner 36 x 6 is too small to nest, the header stays.
    const auto exact = layout(folderNode("/r", {inner}), {0, 0, 40, 26});
    ASSERT_EQ(exact.size(), 1U);
    EXPECT_EQ(exact[0].headerHeight, 16);
    EXPECT_TRUE(exact[0].children.empty());
    EXPECT_TRUE(exact[0].isLeaf);

    // Depth 2 nests twice and stops at the maximum depth.
    auto deep = folderNode(
        "/r/A", {folderNode("/r/A/B", {folderNode("/r/A/B/C", {fileNode("/r/A/B/C/x", 1)})})});
    const auto nested = layout(folderNode("/r", {deep}), {0, 0, 300, 300}, 2);
    const auto& b = nested.at(0).children.at(0);
    EXPECT_EQ(b.depth, 1);
    const auto& c = b.children.at(0);
    EXPECT_EQ(c.depth, 2);
    EXPECT_TRUE(c.isLeaf);
    EXPECT_EQ(c.headerHeight, 0);
    expectRect(c.rect, {4, 36, 292, 260});
}

TEST(TreemapLayoutEngine, NoLayoutBelowTheSmallestTile) {
    const auto node = folderNode("/r", {fileNode("/r/a", 1)});
    EXPECT_TRUE(layout(node, {0, 0, 6, 100}).empty());
    EXPECT_TRUE(layout(node, {0, 0, 100, 6}).empty());
    EXPECT_EQ(layout(node, {0, 0, 6.5, 6.5}).size(), 1U);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(layout(node, {0, 0, nan, 100}).empty());
    EXPECT_TRUE(layout(node, {0, 0, inf, 100}).empty());
    EXPECT_TRUE(layout(nullptr, {0, 0, 100, 100}).empty());
}

TEST(TreemapLayoutEngine, OneTileForAChildlessNode) {
    for (const auto& node : {folderNode("/r/empty", {}), fileNode("/r/file", 42)}) {
        const auto tiles = layout(node, {5, 5, 100, 50});
        ASSERT_EQ(tiles.size(), 1U);
        EXPECT_EQ(tiles[0].node, node);
        expectRect(tiles[0].rect, {5, 5, 100, 50});
        EXPECT_EQ(tiles[0].depth, 0);
        EXPECT_TRUE(tiles[0].isLeaf);
        EXPECT_EQ(tiles[0].headerHeight, 0);
        EXPECT_EQ(tiles[0].isDirectory, node->isDirectory());
    }
}

TEST(TreemapLayoutEngine, TilesCoverTheRectangleWithoutOverlap) {
    std::vector<DiskNodePtr> children;
    for (int i = 1; i <= 50; ++i) {
        children.push_back(fileNode("/r/f" + std::to_string(i), i * i));
    }
    const auto tiles = layout(folderNode("/r", children), {0, 0, 900, 550});
    ASSERT_EQ(tiles.size(), 50U);
    double area = 0;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        area += tiles[i].rect.width * tiles[i].rect.height;
        EXPECT_GE(tiles[i].rect.x, -1e-9);
        EXPECT_LE(tiles[i].rect.maxX(), 900 + 1e-9);
        EXPECT_LE(tiles[i].rect.maxY(), 550 + 1e-9);
        if (i > 0) {
            EXPECT_GE(tiles[i - 1].node->size, tiles[i].node->size);
        }
    }
    EXPECT_NEAR(area, 900 * 550, 1e-6);
}

TEST(TreemapLayoutEngine, DeepTreesAndHugeDepthsAreSafe) {
    // A chain far deeper than the rectangle allows nesting: bounded work, no recursion.
    auto node = fileNode("/d/x", 1);
    for (int i = 0; i < 100000; ++i) {
        auto parent = folderNode("/d", {});
        test::writable(parent->children).push_back(std::move(node));
        test::writable(parent->size) = 1;
        node = std::move(parent);
    }
    const auto tiles = layout(node, {0, 0, 1000, 1000}, std::numeric_limits<int>::max());
    ASSERT_EQ(tiles.size(), 1U);
    int depth = 0;
    const TreemapRect* tile = &tiles[0];
    while (!tile->children.empty()) {
        tile = &tile->children[0];
        ++depth;
    }
    EXPECT_GT(depth, 10);
    EXPECT_LT(depth, 100);
}

} // namespace
} // namespace fernwick
