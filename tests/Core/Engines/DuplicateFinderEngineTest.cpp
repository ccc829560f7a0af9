#include "FernwickCore/Engines/DuplicateFinderEngine.h"

#include "FernwickCore/Platform/Sha256.h"
#include "tests/Support/TempTree.h"
#include "tests/Support/TreeBuilder.h"

#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace fernwick {
namespace {

using std::chrono::seconds;

std::string patterned(std::size_t size, char seed) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        text[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    }
    return text;
}

DiskNodePtr makeNode(const std::filesystem::path& url, std::int64_t size, bool isDirectory = false,
                     bool isPackage = false) {
    DiskNode::Fields fields;
    fields.url = url;
    fields.size = size;
    fields.isDirectory = isDirectory;
    fields.isPackage = isPackage;
    return DiskNode::make(std::move(fields));
}

struct DuplicateFinderEngineTest : ::testing::Test {
    test::TempTree tree;
    DiskNodePtr root = makeNode(tree.root(), 0, true);

    /// A file node as the scanner would build it, added under the root.
    DiskNodePtr add(const std::filesystem::path& file, std::int64_t modified = 1000,
                    std::optional<std::int64_t> size = {}, bool keepInode = true) {
        struct stat info {};
        EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
        auto node = makeNode(file, size.value_or(info.st_size));
        test::writable(node->modifiedDate) = TimePoint{seconds(modified)};
        test::writable(node->inode) = keepInode ? info.st_ino : 0;
        test::writable(node->deviceID) = info.st_dev;
        test::writable(root->children).push_back(node);
        return node;
    }
    DiskNodePtr addFile(std::string_view name, const std::string& contents,
                        std::int64_t modified = 1000) {
        return add(tree.file(name, contents), modified);
    }
    std::vector<DuplicateCluster>
    find(std::int64_t minSize = 1,
         DuplicateResolutionRule rule = DuplicateResolutionRule::unselectAll,
         DuplicateFinderEngine::Options options = {}) const {
        return DuplicateFinderEngine(std::move(options)).findDuplicates(root, minSize, rule);
    }
    static std::vector<std::string> names(const DuplicateCluster& cluster) {
        std::vector<std::string> out;
        for (const auto& item : cluster.items) {
            out.push_back(item.name());
        }
        return out;
    }
};

TEST_F(DuplicateFinderEngineTest, RulesByDisplayText) {
    std::vector<std::string> texts;
    for (auto rule : allDuplicateResolutionRules()) {
        texts.emplace_back(displayName(rule));
        EXPECT_EQ(duplicateResolutionRuleFromName(displayName(rule)), rule);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Keep Oldest (Original)", "Keep Newest",
                                               "Review Manually (Select None)"}));
    EXPECT_EQ(duplicateResolutionRuleFromName("keep newest"), std::nullopt);
    EXPECT_EQ(duplicateResolutionRuleFromName(""), std::nullopt);
}

TEST_F(DuplicateFinderEngineTest, ThreeCopiesUnderEachRule) {
    const std::string content = patterned(20000, 'a');
    // Tree order d2, d3, d1: the items come out oldest first.
    addFile("d2", content, 2000);
    addFile("d3", content, 3000);
    addFile("d1", content, 1000);
    addFile("other", patterned(20000, 'b'));

    struct Expect {
        DuplicateResolutionRule rule;
        std::vector<bool> selected;
        std::int64_t recoverable;
    };
    for (const auto& [rule, selected, recoverable] :
         {Expect{DuplicateResolutionRule::keepNewest, {true, true, false}, 40000},
          Expect{DuplicateResolutionRule::keepOldest, {false, true, true}, 40000},
          Expect{DuplicateResolutionRule::unselectAll, {false, false, false}, 0}}) {
        SCOPED_TRACE(std::string(displayName(rule)));
        const auto clusters = find(1, rule);
        ASSERT_EQ(clusters.size(), 1U);
        const auto& cluster = clusters[0];
        EXPECT_EQ(names(cluster), (std::vector<std::string>{"d1", "d2", "d3"}));
        EXPECT_EQ(cluster.fileSize, 20000);
        EXPECT_EQ(cluster.sha256Hash, Sha256::hex(content));
        EXPECT_EQ(cluster.recoverableSize(), recoverable);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(cluster.items[i].isOriginal, i == 0);
            EXPECT_EQ(cluster.items[i].isSelectedForCleanup, selected[i]);
            EXPECT_FALSE(cluster.items[i].isHardlink);
            EXPECT_EQ(cluster.items[i].size, 20000);
        }
        EXPECT_EQ(cluster.items[0].modifiedDate, TimePoint{seconds(1000)});
        EXPECT_EQ(cluster.items[0].path(), (tree / "d1").native());
    }
    const auto first = find();
    const auto second = find();
    EXPECT_NE(first[0].id, second[0].id);
    EXPECT_NE(first[0].items[0].id, second[0].items[0].id);
    EXPECT_EQ(first[0].formattedFileSize(), "20 KB");
}

TEST_F(DuplicateFinderEngineTest, HardLinksCountOnceAndInodeZeroAlwaysCounts) {
    const std::string content = patterned(9000, 'h');
    const auto original = tree.file("links/a", content);
    std::filesystem::create_hard_link(original, tree / "links/b");
    add(original);
    add(tree / "links/b");
    EXPECT_TRUE(find().empty()); // one file under two names

    add(tree.file("copy", content));
    auto clusters = find();
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"a", "copy"}));

    test::writable(root->children).clear();
    add(tree.file("zero1", patterned(6000, 'z')), 1000, {}, false);
    add(tree.file("zero2", patterned(6000, 'z')), 1000, {}, false);
    clusters = find();
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(clusters[0].items.size(), 2U);
    EXPECT_EQ(clusters[0].items[0].inode, 0U);
}

TEST_F(DuplicateFinderEngineTest, StagesReadOnlyWhatTheyMust) {
    // Same size, equal first and last 4,096 bytes, one byte apart in the middle: the first pass
    // cannot tell them apart, the full hashes do.
    std::string left = patterned(100000, 'p');
    std::string right = left;
    right[50000] ^= 1;
    addFile("left", left);
    addFile("right", right);
    // Two 8,192-byte files that differ only after byte 4,096.
    std::string head = patterned(8192, 'e');
    std::string tail = head;
    tail[6000] ^= 1;
    addFile("head", head);
    addFile("tail", tail);
    const std::string big = patterned(300000, 'q');
    addFile("big1", big);
    addFile("big2", big);
    addFile("lonely", patterned(12345, 'l')); // no twin of its size: never opened
    const std::string small = patterned(100, 's');
    addFile("small1", small);
    addFile("small2", small);

    std::mutex mutex;
    using Reads = std::vector<std::pair<off_t, std::size_t>>;
    std::map<std::string, Reads> reads;
    DuplicateFinderEngine::Options options;
    options.read = [&](std::string_view file, int fd, void* buffer, std::size_t length,
                       off_t offset) {
        const ssize_t got = ::pread(fd, buffer, length, offset);
        std::lock_guard lock(mutex);
        reads[std::filesystem::path(file).filename().native()].emplace_back(offset,
                                                                            got > 0 ? got : 0);
        return got;
    };
    const auto clusters = find(1, DuplicateResolutionRule::keepOldest, options);
    ASSERT_EQ(clusters.size(), 2U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"big1", "big2"}));
    EXPECT_EQ(clusters[0].sha256Hash, Sha256::hex(big));
    EXPECT_EQ(clusters[1].sha256Hash, Sha256::hex(small));

    EXPECT_EQ(reads.count("lonely"), 0U);
    // Files of up to 64 KiB are read once, whole, by the first pass, which is then final.
    EXPECT_EQ(reads["small1"], (Reads{{0, 100}}));
    EXPECT_EQ(reads["tail"], (Reads{{0, 8192}}));
    // Larger files: head and tail, then one sequential pass when those collide, which stops
    // at the first chunk where a file matches no other.
    EXPECT_EQ(reads["right"], (Reads{{0, 4096}, {100000 - 4096, 4096}, {0, 65536}}));
    const Reads& bigReads = reads["big2"];
    ASSERT_GE(bigReads.size(), 3U);
    EXPECT_EQ(bigReads[0], (std::pair<off_t, std::size_t>{0, 4096}));
    EXPECT_EQ(bigReads[1], (std::pair<off_t, std::size_t>{300000 - 4096, 4096}));
    off_t expected = 0;
    for (std::size_t i = 2; i < bigReads.size(); ++i) {
        EXPECT_EQ(bigReads[i].first, expected);
        EXPECT_LE(bigReads[i].second, 65536U);
        expected += static_cast<off_t>(bigReads[i].second);
    }
    EXPECT_EQ(expected, 300000);
}

TEST_F(DuplicateFinderEngineTest, FilesOfAMegabyteOrMoreAreReadInQuarterMegabyteChunks) {
    const std::size_t size = (1U << 20) + 1000;
    const std::string a = patterned(size, 'a');
    std::string b = a;
    b[600000] ^= 1; // in the third chunk
    addFile("a1", a);
    addFile("a2", a);
    addFile("b", b);
    std::mutex mutex;
    std::vector<std::pair<off_t, std::size_t>> readsOfB;
    DuplicateFinderEngine::Options options;
    options.read = [&](std::string_view file, int fd, void* buffer, std::size_t length,
                       off_t offset) {
        const ssize_t got = ::pread(fd, buffer, length, offset);
        if (file.ends_with("/b")) {
            std::lock_guard lock(mutex);
            readsOfB.emplace_back(offset, got);
        }
        return got;
    };
    const auto clusters = find(1, DuplicateResolutionRule::keepOldest, options);
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"a1", "a2"}));
    EXPECT_EQ(clusters[0].sha256Hash, Sha256::hex(a));
    const auto tail = static_cast<off_t>(size - 4096);
    EXPECT_EQ(readsOfB,
              (std::vector<std::pair<off_t, std::size_t>>{
                  {0, 4096}, {tail, 4096}, {0, 262144}, {262144, 262144}, {524288, 262144}}));
}

TEST_F(DuplicateFinderEngineTest, FilesAgreeingInHeadAndTailAreSplitByContent) {
    // One first-pass group of five: A = C, B = D (B differs from A in the middle), E differs
    // from A late in the file.
    const std::string a = patterned(200000, 'a');
    std::string b = a;
    b[100000] ^= 1;
    std::string e = a;
    e[150000] ^= 1;
    addFile("A", a, 1);
    addFile("B", b, 2);
    addFile("C", a, 3);
    addFile("D", b, 4);
    addFile("E", e, 5);
    // A group too large to read side by side is hashed file by file.
    const std::string many = patterned(70000, 'y');
    for (int i = 0; i < 40; ++i) {
        addFile("many" + std::to_string(i), many, 100 + i);
    }
    auto clusters = find(1, DuplicateResolutionRule::keepNewest);
    ASSERT_EQ(clusters.size(), 3U);
    EXPECT_EQ(clusters[0].items.size(), 40U);
    EXPECT_EQ(clusters[0].sha256Hash, Sha256::hex(many));
    EXPECT_EQ(clusters[0].recoverableSize(), 39 * 70000);
    EXPECT_EQ(names(clusters[1]), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(clusters[1].sha256Hash, Sha256::hex(a));
    EXPECT_EQ(names(clusters[2]), (std::vector<std::string>{"B", "D"}));
    EXPECT_EQ(clusters[2].sha256Hash, Sha256::hex(b));
}

TEST_F(DuplicateFinderEngineTest, CandidatesBySizeKindAndOrder) {
    const std::string content = patterned(5000, 'm');
    addFile("m1", content);
    addFile("m2", content);
    const std::string shorter = patterned(4999, 'n');
    addFile("n1", shorter);
    addFile("n2", shorter);
    EXPECT_EQ(find(5000).size(), 1U); // exactly the minimum counts; one byte less does not
    EXPECT_EQ(find(4999).size(), 2U);

    // Folders and packages are never items, however large and alike.
    for (bool isPackage : {false, true}) {
        test::writable(root->children)
            .push_back(
                makeNode(tree.folder(isPackage ? "A.app" : "dir1"), 5000, !isPackage, isPackage));
    }
    test::writable(root->children).push_back(makeNode(tree / "m1", 5000, false, true));
    const auto clusters = find(5000);
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"m1", "m2"}));

    // Larger recoverable size first; equal sizes keep their tree order, whatever the workers.
    addFile("w1", patterned(70000, 'w'));
    addFile("w2", patterned(70000, 'w'));
    for (unsigned workers : {1U, 8U}) {
        DuplicateFinderEngine::Options options;
        options.workerCount = workers;
        const auto ordered = find(1, DuplicateResolutionRule::keepOldest, options);
        ASSERT_EQ(ordered.size(), 3U);
        EXPECT_EQ(ordered[0].items[0].name(), "w1");
        EXPECT_EQ(ordered[1].items[0].name(), "m1");
        EXPECT_EQ(ordered[2].items[0].name(), "n1");
        const auto unordered = find(1, DuplicateResolutionRule::unselectAll, options);
        EXPECT_EQ(unordered[0].items[0].name(), "m1");
        EXPECT_EQ(unordered[2].items[0].name(), "w1");
    }
}

TEST_F(DuplicateFinderEngineTest, FilesThatChangedOrFailAreLeftOut) {
    const std::string content = patterned(150000, 'f');
    addFile("good1", content);
    addFile("good2", content);
    addFile("failing", content);
    addFile("vanished", content);
    std::filesystem::remove(tree / "vanished");
    // Both truncated since the scan: their remaining bytes agree, but they are not the files
    // the tree describes.
    add(tree.file("shrunk1", content.substr(0, 100000)), 1000, 150000);
    add(tree.file("shrunk2", content.substr(0, 100000)), 1000, 150000);
    // Now FIFOs: opening one for reading must not block.
    for (const char* name : {"fifo1", "fifo2"}) {
        ASSERT_EQ(::mkfifo((tree / name).c_str(), 0600), 0);
        test::writable(root->children).push_back(makeNode(tree / name, 150000));
    }

    DuplicateFinderEngine::Options options;
    options.read = [&](std::string_view file, int fd, void* buffer, std::size_t length,
                       off_t offset) -> ssize_t {
        if (file.ends_with("/failing") && offset >= 65536) {
            errno = EIO;
            return -1;
        }
        return ::pread(fd, buffer, length, offset);
    };
    auto clusters = find(1, DuplicateResolutionRule::unselectAll, options);
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"good1", "good2"}));

    // A read that stops early (the file shrank while being read) is not a match either.
    options.read = [&](std::string_view file, int fd, void* buffer, std::size_t length,
                       off_t offset) -> ssize_t {
        if (file.ends_with("/good2") && offset >= 131072) {
            return 0;
        }
        return ::pread(fd, buffer, length, offset);
    };
    clusters = find(1, DuplicateResolutionRule::unselectAll, options);
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"good1", "failing"}));
}

TEST_F(DuplicateFinderEngineTest, AFileSwappedForALinkOrAnotherFileIsLeftOut) {
    // Two different files per size; after the scan the second becomes a link to the first.
    // Following it would report the pair and could select the only real copy.
    for (const std::int64_t size : {100, 150000}) {
        const std::string tag = std::to_string(size);
        addFile("real" + tag, patterned(static_cast<std::size_t>(size), 'a'));
        addFile("other" + tag, patterned(static_cast<std::size_t>(size), 'b'));
        std::filesystem::remove(tree / ("other" + tag));
        tree.symlink("other" + tag, tree / ("real" + tag));
    }
    // Same bytes, but a new file put in place of the scanned one: not the file scanned.
    addFile("kept", patterned(3000, 'k'));
    addFile("replaced", patterned(3000, 'k'));
    addFile("kept2", patterned(3000, 'k'));
    const auto renamed = tree.file("replacement", patterned(3000, 'k'));
    std::filesystem::rename(renamed, tree / "replaced");

    const auto clusters = find(1, DuplicateResolutionRule::keepOldest);
    ASSERT_EQ(clusters.size(), 1U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"kept", "kept2"}));
}

TEST_F(DuplicateFinderEngineTest, FilesOfOneTreeFolderInDifferentPlacesAreEachReadAtTheirOwn) {
    // One node holds files whose paths lie in two folders, under the same names: each must be
    // read where its own path says, not next to its sibling.
    tree.folder("one");
    tree.folder("two");
    const std::string same = patterned(3000, 's');
    add(tree.file("one/x", same));
    add(tree.file("two/x", same));
    add(tree.file("one/y", patterned(3000, 'y')));
    add(tree.file("two/y", patterned(3000, 'z')));
    const auto clusters = find(1, DuplicateResolutionRule::keepOldest);
    ASSERT_EQ(clusters.size(), 1U);
    ASSERT_EQ(clusters[0].items.size(), 2U);
    EXPECT_EQ(clusters[0].items[0].path(), (tree / "one/x").native());
    EXPECT_EQ(clusters[0].items[1].path(), (tree / "two/x").native());
    EXPECT_EQ(clusters[0].sha256Hash, Sha256::hex(same));
}

TEST_F(DuplicateFinderEngineTest, CopiesOfAFolderAreComparedByteForByte) {
    // Three copies of a folder, the same names and sizes in each: "same" agrees in all,
    // "mostly" differs in the second copy, "odd" in every copy, "gone" cannot be read in the
    // third. Every file is read once, whole.
    const std::string same = patterned(5000, 's');
    const std::string mostly = patterned(700, 'm');
    const std::string gone = patterned(4000, 'g');
    for (const std::string name : {"one", "two", "three"}) {
        const auto folder = makeNode(tree.folder(name), 0, true);
        test::writable(root->children).push_back(folder);
        const auto addIn = [&](const std::string& file, const std::string& contents) {
            std::string path = name;
            path += '/';
            add(tree.file(path += file, contents));
            test::writable(folder->children).push_back(root->children.get().back());
            test::writable(root->children).pop_back();
        };
        addIn("same", same);
        std::string changed = mostly;
        changed[350] = name == "two" ? 'X' : changed[350];
        addIn("mostly", changed);
        addIn("odd", patterned(3000, name[1]));
        addIn("gone", gone);
    }
    std::mutex mutex;
    std::map<std::string, std::vector<std::pair<off_t, std::size_t>>> reads;
    DuplicateFinderEngine::Options options;
    options.read = [&](std::string_view file, int fd, void* buffer, std::size_t length,
                       off_t offset) -> ssize_t {
        if (file.ends_with("three/gone")) {
            errno = EIO;
            return -1;
        }
        const ssize_t got = ::pread(fd, buffer, length, offset);
        std::lock_guard lock(mutex);
        reads[std::string(file)].emplace_back(offset, got);
        return got;
    };
    const auto clusters = find(1, DuplicateResolutionRule::keepOldest, options);
    ASSERT_EQ(clusters.size(), 3U);
    EXPECT_EQ(names(clusters[0]), (std::vector<std::string>{"same", "same", "same"}));
    EXPECT_EQ(clusters[0].sha256Hash, Sha256::hex(same));
    EXPECT_EQ(clusters[1].items[0].path(), (tree / "one/gone").native());
    EXPECT_EQ(clusters[1].items[1].path(), (tree / "two/gone").native());
    EXPECT_EQ(clusters[1].sha256Hash, Sha256::hex(gone));
    EXPECT_EQ(clusters[2].items[0].path(), (tree / "one/mostly").native());
    EXPECT_EQ(clusters[2].items[1].path(), (tree / "three/mostly").native());
    EXPECT_EQ(clusters[2].sha256Hash, Sha256::hex(mostly));
    EXPECT_EQ(reads.size(), 11U);
    for (const auto& [file, fileReads] : reads) {
        EXPECT_EQ(fileReads.size(), 1U) << file;
    }
}

TEST_F(DuplicateFinderEngineTest, CancellationGivesAnEmptyResult) {
    for (int i = 0; i < 6; ++i) {
        addFile("copy" + std::to_string(i), patterned(100000, 'c'));
    }
    std::stop_source stop;
    DuplicateFinderEngine::Options options;
    options.beforeFullHash = [&](std::string_view) { stop.request_stop(); };
    const DuplicateFinderEngine engine(options);
    EXPECT_TRUE(
        engine.findDuplicates(root, 1, DuplicateResolutionRule::keepOldest, stop.get_token())
            .empty());

    std::stop_source early;
    early.request_stop();
    EXPECT_TRUE(DuplicateFinderEngine()
                    .findDuplicates(root, 1, DuplicateResolutionRule::keepOldest, early.get_token())
                    .empty());
    EXPECT_EQ(
        DuplicateFinderEngine().findDuplicates(root, 1, DuplicateResolutionRule::keepOldest).size(),
        1U);
}

} // namespace
} // namespace fernwick
