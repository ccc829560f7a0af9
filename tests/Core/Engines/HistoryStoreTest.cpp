#include "FernwickCore/Engines/HistoryStore.h"

#include "FernwickCore/Platform/AtomicFile.h"
#include "tests/Support/TempTree.h"

#include <chrono>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace fernwick {
namespace {

using std::chrono::seconds;

// 2001-01-01 00:00:00 UTC, the reference date of the stored "date".
const TimePoint kReference{seconds(978307200)};

struct HistoryStoreTest : ::testing::Test {
    test::TempTree tree;
    Environment env = Environment::forHome(tree.root());
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(kReference + seconds(100));

    std::filesystem::path file() const { return env.applicationSupport() / "snapshots.json"; }
    std::string fileText() const {
        auto text = readWholeFile(file());
        return text ? *text : std::string("<missing>");
    }
    void writeFile(std::string_view text) const { ASSERT_TRUE(writeFileAtomically(file(), text)); }
    std::unique_ptr<HistoryStore> makeStore(HistoryStore::FileOps ops = {}) const {
        return std::make_unique<HistoryStore>(env, clock, std::move(ops));
    }
};

TEST_F(HistoryStoreTest, WritesTheCompactArrayByteForByte) {
    auto store = makeStore();
    EXPECT_TRUE(store->getSnapshots().empty());
    EXPECT_TRUE(std::filesystem::is_directory(env.applicationSupport()));
    EXPECT_FALSE(std::filesystem::exists(file()));

    clock->set(kReference + std::chrono::milliseconds(123500));
    store->recordSnapshot(1000, 2000, {{"Caches", 5}, {"System Data", 7}});
    const auto snapshots = store->getSnapshots();
    ASSERT_EQ(snapshots.size(), 1U);
    const std::string id = snapshots[0].id.text();
    EXPECT_EQ(fileText(), R"([{"id":")" + id +
                              R"(","date":123.5,"totalUsedBytes":1000,"totalFreeBytes":2000,)"
                              R"("categoryBreakdown":{"Caches":5,"System Data":7}}])");
    for (char c : id) {
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << id;
    }
    EXPECT_EQ(snapshots[0].formattedUsed(), "1 KB");
    EXPECT_EQ(snapshots[0].formattedFree(), "2 KB");

    // An empty breakdown is an empty object; the array stays in recording order.
    clock->set(kReference - seconds(10));
    store->recordSnapshot(-1, 0, {});
    const auto json = nlohmann::json::parse(fileText());
    ASSERT_EQ(json.size(), 2U);
    EXPECT_EQ(json[0]["id"], id);
    EXPECT_TRUE(json[1]["date"].is_number());
    EXPECT_DOUBLE_EQ(json[1]["date"].get<double>(), -10.0);
    EXPECT_TRUE(json[1]["totalUsedBytes"].is_number_integer());
    EXPECT_EQ(json[1]["totalUsedBytes"], -1);
    EXPECT_EQ(json[1]["categoryBreakdown"].dump(), "{}");
}

TEST_F(HistoryStoreTest, ReadsWhatAnotherInstanceWrote) {
    {
        auto writer = makeStore();
        writer->recordSnapshot(1, 2, {{"Applications", 3}});
        clock->advance(seconds(5));
        writer->recordSnapshot(4, 5, {{"Other", 6}});
    }
    const auto before = makeStore()->getSnapshots();
    ASSERT_EQ(before.size(), 2U);
    EXPECT_EQ(before[0].totalUsedBytes, 4); // newest first
    EXPECT_EQ(before[0].categoryBreakdown.at("Other"), 6);
    EXPECT_EQ(before[1].date, kReference + seconds(100));

    // A hand-written file: lower-case id, fractional date, extra members ignored.
    writeFile(R"([{"id":"0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d","date":0.25,"extra":true,)"
              R"("totalUsedBytes":9,"totalFreeBytes":8,"categoryBreakdown":{"Caches":1}}])");
    const auto read = makeStore()->getSnapshots();
    ASSERT_EQ(read.size(), 1U);
    EXPECT_EQ(read[0].id.text(), "0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D");
    EXPECT_EQ(read[0].date, kReference + std::chrono::milliseconds(250));

    writeFile("[]");
    EXPECT_TRUE(makeStore()->getSnapshots().empty());
}

TEST_F(HistoryStoreTest, UndecodableFilesAreSetAsideBeforeTheNextWrite) {
    const std::string good =
        R"({"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","date":1,"totalUsedBytes":1,)"
        R"("totalFreeBytes":1,"categoryBreakdown":{}})";
    const std::string bad[] = {
        "[" + good +
            R"(,{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","date":1,)"
            R"("totalUsedBytes":1,"totalFreeBytes":1}])",
        R"([{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","date":"2024-01-01T00:00:00Z",)"
        R"("totalUsedBytes":1,"totalFreeBytes":1,"categoryBreakdown":{}}])",
        R"([{"id":"not-a-uuid","date":1,"totalUsedBytes":1,"totalFreeBytes":1,)"
        R"("categoryBreakdown":{}}])",
        "[" + good +
            R"(,{"id":"0A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D","date":1,)"
            R"("totalUsedBytes":1.5,"totalFreeBytes":1,"categoryBreakdown":{}}])",
        "[" + good,
        "{}",
        std::string("\xff\xfe garbage", 10),
    };
    std::int64_t second = 1700000000;
    for (const auto& text : bad) {
        SCOPED_TRACE(text);
        writeFile(text);
        clock->set(TimePoint{seconds(++second)});
        auto store = makeStore();
        EXPECT_TRUE(store->getSnapshots().empty());
        EXPECT_EQ(fileText(), text); // reading alone never touches the file

        store->recordSnapshot(10, 20, {});
        std::filesystem::path aside = file();
        aside += ".unreadable-" + std::to_string(second);
        auto asideText = readWholeFile(aside);
        ASSERT_TRUE(asideText);
        EXPECT_EQ(*asideText, text);
        EXPECT_EQ(nlohmann::json::parse(fileText()).size(), 1U);

        store->recordSnapshot(11, 21, {}); // set aside once only
        EXPECT_EQ(nlohmann::json::parse(fileText()).size(), 2U);
        EXPECT_EQ(*readWholeFile(aside), text);
    }
}

TEST_F(HistoryStoreTest, NothingIsWrittenWhenTheUnreadableFileCannotBeSetAside) {
    writeFile("not json");
    clock->set(TimePoint{seconds(1700000000)});
    // Something already stands at the set-aside name: it is neither replaced nor the original.
    std::filesystem::path aside = file();
    aside += ".unreadable-1700000000";
    ASSERT_TRUE(writeFileAtomically(aside, "earlier"));

    auto store = makeStore();
    store->recordSnapshot(1, 2, {});
    EXPECT_EQ(fileText(), "not json");
    EXPECT_EQ(*readWholeFile(aside), "earlier");
    EXPECT_EQ(store->getSnapshots().size(), 1U); // kept in memory for a later write

    clock->advance(seconds(1));
    store->recordSnapshot(3, 4, {});
    EXPECT_EQ(nlohmann::json::parse(fileText()).size(), 2U);
    std::filesystem::path later = file();
    later += ".unreadable-1700000001";
    EXPECT_EQ(*readWholeFile(later), "not json");
}

TEST_F(HistoryStoreTest, EqualDatesKeepRecordingOrderNewestFirstOtherwise) {
    auto store = makeStore();
    store->recordSnapshot(1, 0, {});
    store->recordSnapshot(2, 0, {});
    clock->advance(seconds(1));
    store->recordSnapshot(3, 0, {});
    clock->set(kReference);
    store->recordSnapshot(4, 0, {});
    std::vector<std::int64_t> order;
    for (const auto& snapshot : store->getSnapshots()) {
        order.push_back(snapshot.totalUsedBytes);
    }
    EXPECT_EQ(order, (std::vector<std::int64_t>{3, 1, 2, 4}));
    // The file keeps recording order.
    const auto json = nlohmann::json::parse(fileText());
    EXPECT_EQ(json[0]["totalUsedBytes"], 1);
    EXPECT_EQ(json[3]["totalUsedBytes"], 4);
}

TEST_F(HistoryStoreTest, ClearingRemovesTheFileOrLeavesAnEmptyArray) {
    auto store = makeStore();
    store->recordSnapshot(1, 2, {});
    store->clearSnapshots();
    EXPECT_TRUE(store->getSnapshots().empty());
    EXPECT_FALSE(std::filesystem::exists(file()));
    store->clearSnapshots(); // nothing to remove: still fine
    store->recordSnapshot(3, 4, {});
    EXPECT_EQ(nlohmann::json::parse(fileText()).size(), 1U);

    // A removal that fails leaves "[]", so the old timeline does not come back at next start.
    auto stubborn =
        makeStore(HistoryStore::FileOps{[](const std::filesystem::path&) { return false; }});
    ASSERT_EQ(stubborn->getSnapshots().size(), 1U);
    stubborn->clearSnapshots();
    EXPECT_TRUE(stubborn->getSnapshots().empty());
    EXPECT_EQ(fileText(), "[]");
    EXPECT_TRUE(makeStore()->getSnapshots().empty());
}

// The writer never writes what its reader refuses: at the size cap the oldest snapshots go, the
// newest stay, and the next start reads them all.
TEST_F(HistoryStoreTest, AFileAtTheCapDropsTheOldestSnapshotsAndStaysReadable) {
    HistoryStore::FileOps ops;
    ops.maxFileBytes = 1000;
    auto store = makeStore(ops);
    for (int i = 0; i < 20; ++i) {
        clock->set(kReference + seconds(i));
        store->recordSnapshot(i, 0, {{"Caches", i}});
        const std::size_t written = std::filesystem::file_size(file());
        ASSERT_LE(written, ops.maxFileBytes) << i;
    }
    const auto kept = store->getSnapshots();
    ASSERT_GT(kept.size(), 1U);
    ASSERT_LT(kept.size(), 20U);
    for (std::size_t k = 0; k < kept.size(); ++k) {
        EXPECT_EQ(kept[k].totalUsedBytes, static_cast<std::int64_t>(19 - k)) << "newest stay";
    }
    EXPECT_EQ(makeStore(ops)->getSnapshots(), kept);
}

TEST_F(HistoryStoreTest, ManyCategoriesAreWrittenInLinearTime) {
    // 200,000 categories took 28 s per recording (a linear search per key); 100,000 here.
    std::map<std::string, std::int64_t> breakdown;
    for (int i = 0; i < 100000; ++i) {
        breakdown.emplace("category " + std::to_string(i), i);
    }
    const StorageSnapshot snapshot{Uuid::random(), kReference, 1, 2, breakdown};
    const auto start = std::chrono::steady_clock::now();
    const std::string text = HistoryStore::encode({snapshot});
    EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(30)); // minutes before
    const auto decoded = HistoryStore::decode(text);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->size(), 1U);
    EXPECT_EQ((*decoded)[0], snapshot);
    EXPECT_TRUE(text.ends_with(R"(,"category 99999":99999}}])"));
}

TEST_F(HistoryStoreTest, OversizedFilesAndStaleTemporaryFilesAreDealtWithAtStart) {
    // Over the cap: unreadable, whatever it holds, and set aside rather than read into memory.
    writeFile("[]");
    const auto hugeSize = static_cast<std::uintmax_t>(std::size_t{64} << 20) + 1;
    ASSERT_EQ(::truncate(file().c_str(), static_cast<off_t>(hugeSize)), 0); // sparse
    const auto stale = env.applicationSupport() / ".snapshots.json.tmp-Ab12Cd";
    ASSERT_TRUE(writeFileAtomically(stale, "half"));
    clock->set(TimePoint{seconds(1700000000)});
    testing::internal::CaptureStderr();
    auto store = makeStore();
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(store->getSnapshots().empty());
    store->recordSnapshot(1, 2, {});
    EXPECT_NE(testing::internal::GetCapturedStderr().find("snapshots.json.unreadable-1700000000"),
              std::string::npos);
    std::filesystem::path aside = file();
    aside += ".unreadable-1700000000";
    EXPECT_EQ(std::filesystem::file_size(aside), hugeSize);
    EXPECT_EQ(nlohmann::json::parse(fileText()).size(), 1U);
    EXPECT_EQ(HistoryStore::decode("[" + std::string(100000, '[') + "]"), std::nullopt);
}

} // namespace
} // namespace fernwick
