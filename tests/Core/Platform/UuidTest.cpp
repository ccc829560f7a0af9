#include "FernwickCore/Platform/Uuid.h"

#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

namespace fernwick {
namespace {

TEST(Uuid, RandomIsVersion4InUpperCaseText) {
    const Uuid id = Uuid::random();
    EXPECT_FALSE(id.isNil());
    EXPECT_EQ(id.bytes()[6] >> 4, 4);
    EXPECT_EQ(id.bytes()[8] & 0xC0, 0x80);
    const std::string text = id.text();
    ASSERT_EQ(text.size(), 36U);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            EXPECT_EQ(text[i], '-');
        } else {
            EXPECT_TRUE((text[i] >= '0' && text[i] <= '9') || (text[i] >= 'A' && text[i] <= 'F'))
                << text;
        }
    }
    EXPECT_EQ(text[14], '4');
}

TEST(Uuid, ParseRoundTripsAndRejects) {
    const Uuid id = Uuid::random();
    EXPECT_EQ(Uuid::parse(id.text()), id);
    EXPECT_EQ(Uuid::parse("01234567-89ab-cdef-0123-456789abcdef")->text(),
              "01234567-89AB-CDEF-0123-456789ABCDEF");
    EXPECT_TRUE(Uuid::parse("00000000-0000-0000-0000-000000000000")->isNil());
    EXPECT_TRUE(Uuid().isNil());
    for (const char* bad :
         {"", "01234567-89ab-cdef-0123-456789abcde", "01234567-89ab-cdef-0123-456789abcdef0",
          "0123456789ab-cdef-0123-456789abcdef-", "01234567-89ab-cdef-0123-456789abcdeg",
          "{1234567-89ab-cdef-0123-456789abcdef"}) {
        EXPECT_FALSE(Uuid::parse(bad).has_value()) << bad;
    }
}

TEST(Uuid, DistinctAcrossThreads) {
    constexpr int kThreads = 4;
    constexpr int kEach = 20000;
    std::vector<std::vector<Uuid>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&made, t] {
            made[static_cast<std::size_t>(t)].reserve(kEach);
            for (int i = 0; i < kEach; ++i) {
                made[static_cast<std::size_t>(t)].push_back(Uuid::random());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    std::unordered_set<Uuid> seen;
    for (const auto& list : made) {
        seen.insert(list.begin(), list.end());
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kEach));
}

} // namespace
} // namespace fernwick
