// A scan of a chain of folders far deeper than PATH_MAX allows to name: every path, size and
// decision must come out as for a shallow tree, and the heap the tree keeps must not grow with
// the depth. This executable counts every allocation of the process, so it holds these tests
// alone.

#include "FernwickCore/Scanning/AsyncDiskScanner.h"

#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<std::int64_t> g_liveBytes{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* counted(std::size_t size) {
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *reinterpret_cast<std::size_t*>(block) = size;
    g_liveBytes += static_cast<std::int64_t>(size);
    return block + kHeader;
}

void release(void* memory) {
    if (memory != nullptr) {
        char* block = static_cast<char*>(memory) - kHeader;
        g_liveBytes -= static_cast<std::int64_t>(*reinterpret_cast<std::size_t*>(block));
        std::free(block);
    }
}

} // namespace

void* operator new(std::size_t size) {
    return counted(size);
}
void* operator new[](std::size_t size) {
    return counted(size);
}
void operator delete(void* memory) noexcept {
    release(memory);
}
void operator delete[](void* memory) noexcept {
    release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    release(memory);
}

namespace fernwick {
namespace {

constexpr int kLevels = 400;
constexpr int kPrivateLevel = 300;
constexpr int kModelLevel = 350;
constexpr int kProtectedLevel = 3;
constexpr std::int64_t kModelBytes = 7;

std::string levelName(int level) {
    return std::string(200, static_cast<char>('a' + level % 26));
}

// Writes `bytes` bytes into a new file `name` of the open folder `at`.
bool writeFile(int at, const char* name, std::int64_t bytes) {
    const int fd = ::openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const std::string data(static_cast<std::size_t>(bytes), 'x');
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    ::close(fd);
    return ok;
}

// Makes `relative` (folders separated by "/") below the open folder `at`; returns the last one
// open, or -1.
int makeFolders(int at, const std::string& relative) {
    int fd = ::dup(at);
    std::size_t start = 0;
    while (fd >= 0 && start < relative.size()) {
        const std::size_t slash = std::min(relative.find('/', start), relative.size());
        const std::string part = relative.substr(start, slash - start);
        ::mkdirat(fd, part.c_str(), 0700);
        const int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        start = slash + 1;
    }
    return fd;
}

// The chain below `root`, made through descriptors: level k is a folder of 200 bytes' name
// holding a file "f" of k + 1 bytes and level k + 1; level 300 also holds Library/Mail (a
// privacy folder; `mailSize` gets its own size), level 350 Library/Caches/Homebrew/b.tgz.
bool makeChain(const std::filesystem::path& root, std::int64_t& mailSize) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0 && level < kLevels; ++level) {
        const int next = makeFolders(fd, levelName(level));
        ::close(fd);
        fd = next;
        if (fd < 0 || !writeFile(fd, "f", level + 1)) {
            break;
        }
        if (level == kPrivateLevel) {
            const int mail = makeFolders(fd, "Library/Mail");
            struct stat info {};
            const bool ok =
                mail >= 0 && writeFile(mail, "secret.txt", 100) && ::fstat(mail, &info) == 0;
            mailSize = info.st_size;
            ::close(mail);
            if (!ok) {
                break;
            }
        }
        if (level == kModelLevel) {
            const int hub = makeFolders(fd, "Library/Caches/Homebrew");
            const bool ok = hub >= 0 && writeFile(hub, "b.tgz", kModelBytes);
            ::close(hub);
            if (!ok) {
                break;
            }
        }
        if (level + 1 == kLevels) {
            ::close(fd);
            return true;
        }
    }
    if (fd >= 0) {
        ::close(fd);
    }
    return false;
}

std::string descendPath(const std::string& folder, int level) {
    return folder + "/" + levelName(level);
}

const DiskNodePtr* childNamed(const DiskNode& folder, const std::string& name) {
    for (const auto& child : folder.children) {
        if (child->name() == name) {
            return &child;
        }
    }
    return nullptr;
}

// 400 levels: the deepest path is over 80 KB. Keeping each folder's whole path, as the scanner
// once did, keeps about 16 MB for 1,200 items; a node keeps its name and a link of its folder's.
TEST(DeepTree, EveryPathSizeAndDecisionHoldsAndMemoryPerItemStaysBounded) {
    test::TempTree tree;
    std::int64_t mailSize = 0;
    ASSERT_TRUE(makeChain(tree.root(), mailSize));
    std::string protectedPath = tree.root().native();
    for (int level = 0; level <= kProtectedLevel; ++level) {
        protectedPath = descendPath(protectedPath, level);
    }
    AsyncDiskScanner scanner([protectedPath] {
        return ProtectedPrefixesSnapshot{{}, {protectedPath}};
    });

    const std::int64_t before = g_liveBytes.load();
    DiskNodePtr root = scanner.scan(tree.root(), 100000, {});
    const std::int64_t kept = g_liveBytes.load() - before;
    ASSERT_TRUE(root);
    DiskNodePtr shallow = scanner.scan(tree.root(), 6, {});

    // Expected sums from the bottom up: each level adds its file and its side branch.
    std::vector<std::int64_t> size(kLevels + 1, 0);
    std::vector<std::int64_t> count(kLevels + 1, 0);
    for (int level = kLevels - 1; level >= 0; --level) {
        const bool sidePrivate = level == kPrivateLevel;
        const bool sideModel = level == kModelLevel;
        size[level] = size[level + 1] + level + 1 + (sidePrivate ? mailSize : 0) +
                      (sideModel ? kModelBytes : 0);
        count[level] = count[level + 1] + 1 + (sidePrivate ? 1 : 0) + (sideModel ? 1 : 0);
    }

    std::string path = tree.root().native();
    const DiskNode* folder = root.get();
    std::int64_t items = 1;
    for (int level = 0; level < kLevels; ++level) {
        path = descendPath(path, level);
        const DiskNodePtr* next = childNamed(*folder, levelName(level));
        ASSERT_NE(next, nullptr) << level;
        folder = next->get();
        const DiskNodePtr* file = childNamed(*folder, "f");
        ASSERT_NE(file, nullptr) << level;
        EXPECT_EQ(folder->path(), path) << level;
        EXPECT_EQ((*file)->url().native(), path + "/f") << level;
        EXPECT_EQ((*file)->size, level + 1);
        EXPECT_EQ(folder->size, size[level]) << level;
        EXPECT_EQ(folder->itemCount, count[level]) << level;
        EXPECT_EQ(folder->isProtected, level >= kProtectedLevel) << level;
        EXPECT_EQ((*file)->isProtected, level >= kProtectedLevel) << level;
        items += static_cast<std::int64_t>(folder->children.size());
        if (level == kPrivateLevel) {
            const DiskNode& library = **childNamed(*folder, "Library");
            ASSERT_EQ(library.children.size(), 1U);
            const DiskNode& mail = *library.children.front();
            EXPECT_FALSE(mail.isAccessible);
            EXPECT_EQ(mail.errorReason(), "Protected by System Security Policy");
            EXPECT_TRUE(mail.children.empty());
            EXPECT_EQ(mail.path(), path + "/Library/Mail");
            items += 2;
        }
        if (level == kModelLevel) {
            const DiskNode& caches = **childNamed(**childNamed(*folder, "Library"), "Caches");
            EXPECT_EQ(caches.category, StorageCategory::caches);
            const DiskNode& hub = **childNamed(caches, "Homebrew");
            ASSERT_EQ(hub.children.size(), 1U);
            EXPECT_EQ(hub.children.front()->category, StorageCategory::packageManagers);
            EXPECT_EQ(hub.children.front()->path(), path + "/Library/Caches/Homebrew/b.tgz");
            items += 4;
        }
    }
    EXPECT_EQ(root->size, size[0]);
    EXPECT_LT(kept / items, 2048) << kept << " bytes kept for " << items << " items";

    // At depth 6 the sixth level is sized in one pass, files only: what lies in the privacy
    // folder is read there, and folders add nothing of their own.
    const DiskNode* sixth = shallow.get();
    for (int level = 0; level < 6; ++level) {
        sixth = childNamed(*sixth, levelName(level))->get();
    }
    const std::int64_t onePass = size[5] - mailSize + 100;
    EXPECT_TRUE(sixth->children.empty());
    EXPECT_EQ(sixth->size, onePass);
    EXPECT_EQ(shallow->size, size[0] - size[5] + onePass);

    // Paths this long are beyond std::filesystem::remove_all; rm walks by descriptors.
    const std::string remove = "rm -rf '" + (tree.root() / levelName(0)).string() + "'";
    EXPECT_EQ(std::system(remove.c_str()), 0);
}

} // namespace
} // namespace fernwick
