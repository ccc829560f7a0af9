#include "FernwickCore/Platform/ByteCountFormatter.h"

#include <climits>
#include <gtest/gtest.h>

namespace fernwick {
namespace {

TEST(ByteCountFormatter, MatchesTheTableOfTexts) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "Zero KB"},
        {1, "1 byte"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1500, "2 KB"},
        {2500, "2 KB"},
        {999999, "1 MB"},
        {1234567, "1.2 MB"},
        {52428800, "52.4 MB"},
        {104857600, "104.9 MB"},
        {1073741824, "1.07 GB"},
        {12345678901, "12.35 GB"},
        {1500000000000, "1.5 TB"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(formatByteCount(bytes), text) << bytes;
    }
}

TEST(ByteCountFormatter, NegativeCountsAndExtremes) {
    EXPECT_EQ(formatByteCount(-1500), "-2 KB");
    EXPECT_EQ(formatByteCount(-1), "-1 byte");
    EXPECT_EQ(formatByteCount(INT64_MAX), "9.22 EB");
    EXPECT_EQ(formatByteCount(INT64_MIN), "-9.22 EB");
    // A rounding that reaches 1000 moves up a unit at every step.
    EXPECT_EQ(formatByteCount(999950000), "1 GB");
    EXPECT_EQ(formatByteCount(999995000000), "1 TB");
    EXPECT_EQ(formatByteCount(100000), "100 KB");
}

} // namespace
} // namespace fernwick
