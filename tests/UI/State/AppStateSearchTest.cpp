#include "tests/UI/State/AppStateHarness.h"

#include <QTest>

#include <random>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::Gate;
using fernwick::test::Harness;
using fernwick::test::makeNode;

namespace {

// A random tree of about `count` nodes under /r, names drawn from a small alphabet with upper
// case, digits and non-ASCII letters, so that queries hit across levels.
DiskNodePtr randomTree(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    const std::vector<std::string> pieces{"a", "B", "ab", "Ab", "c", "ä", "Ä", "x1", "K", "-"};
    std::size_t made = 1;
    std::function<DiskNodePtr(const std::filesystem::path&, int)> build =
        [&](const std::filesystem::path& url, int depth) {
            std::vector<DiskNodePtr> children;
            const int width = depth == 0 ? 12 : depth < 8 ? static_cast<int>(random() % 9) : 0;
            for (int i = 0; i < width && made < count; ++i) {
                std::string name;
                for (int p = 0, n = 1 + static_cast<int>(random() % 3); p < n; ++p) {
                    name += pieces[random() % pieces.size()];
                }
                name += std::to_string(made++);
                children.push_back(random() % 3 == 0 ? makeNode(url / name, false, 10)
                                                     : build(url / name, depth + 1));
            }
            return makeNode(url, true, 0, StorageCategory::other, std::move(children));
        };
    return build("/r", 0);
}

} // namespace

class AppStateSearchTest : public QObject {
    Q_OBJECT

    static std::vector<DiskNodePtr> searchAsync(Harness& h, AppState& state,
                                                const std::string& query) {
        std::optional<std::vector<DiskNodePtr>> found;
        state.searchAsync(query, [&](std::vector<DiskNodePtr> nodes) { found = nodes; });
        h.settle();
        return found.value_or(std::vector<DiskNodePtr>{DiskNodePtr()});
    }

private slots:
    void workerSearchFindsWhatTheReferenceFinds() {
        Harness h;
        auto state = h.make();
        const DiskNodePtr root = randomTree(5000, 7);
        h.publish(*state, root);
        QVERIFY(state->searchMatchingNodes("/").size() == 50); // a tree of some size
        // Mixed case, across a separator, a whole folder's name (its descendants all match),
        // non-ASCII in both cases, the root, blanks and nothing.
        const std::string folderName = root->children.front()->name();
        const std::vector<std::string> queries{
            "a",   "AB",       "b/a",     "a/b",  "ä",
            "Ä",   "  x1 ",    "k",       "/r/",  "r/A",
            "Ab1", "-",        "9",       "ab12", "äb",
            "/",   folderName, "nothing", " ",    "B" + std::string("\xc3\x84")};
        QCOMPARE(queries.size(), std::size_t{20});
        for (const auto& query : queries) {
            const auto expected = state->searchMatchingNodes(query);
            QCOMPARE(searchAsync(h, *state, query), expected);
        }
        QCOMPARE(searchAsync(h, *state, folderName).size(), std::size_t{50});
        QCOMPARE(searchAsync(h, *state, "r").front(), root);
    }

    void aLateResultOfAnOlderQueryIsDropped() {
        Harness h;
        auto state = h.make();
        h.publish(*state, randomTree(200, 3));
        // Hold the pool so both searches finish together; only the newer one answers.
        Gate gate;
        h.longPool.start([&gate] { gate.wait(); });
        h.longPool.setMaxThreadCount(1);
        std::vector<std::string> answered;
        state->searchAsync("a", [&](auto) { answered.emplace_back("a"); });
        state->searchAsync("b", [&](auto) { answered.emplace_back("b"); });
        gate.open();
        h.settle();
        QCOMPARE(answered, std::vector<std::string>{"b"});
        // A new tree drops a result of the old one.
        h.longPool.setMaxThreadCount(4);
        state->searchAsync("a", [&](auto) { answered.emplace_back("old tree"); });
        h.longPool.waitForDone(); // found, not yet delivered
        state->setRootNode(randomTree(10, 4));
        h.settle();
        QCOMPARE(answered, std::vector<std::string>{"b"});
    }
};

QTEST_MAIN(AppStateSearchTest)
#include "AppStateSearchTest.moc"
