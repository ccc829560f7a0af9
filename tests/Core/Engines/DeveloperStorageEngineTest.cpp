#include "FernwickCore/Engines/DeveloperStorageEngine.h"

#include "tests/Support/TempTree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fernwick {
namespace {

using test::TempTree;

constexpr std::int64_t kMiB = 1024 * 1024;
constexpr std::int64_t kNow = 2'000'000'000; // seconds since 1970, the clock of every test

TimePoint at(std::int64_t seconds) {
    return TimePoint(std::chrono::seconds(seconds));
}

class DeveloperStorageEngineTest : public ::testing::Test {
protected:
    DeveloperStorageEngineTest()
        : m_clock(std::make_shared<ManualClock>(at(kNow))),
          m_engine(Environment::forHome(m_home.root()), m_clock, m_system.root()) {}

    // A file whose `bytes` are all allocated (a multiple of 4096), dated `modified`.
    std::filesystem::path allocated(std::string_view relative, std::int64_t bytes,
                                    std::int64_t modified = kNow - 10 * 86'400) {
        const auto path = m_home.file(relative);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        EXPECT_EQ(::posix_fallocate(fd, 0, bytes), 0);
        ::close(fd);
        struct stat info {};
        ::stat(path.c_str(), &info);
        EXPECT_EQ(info.st_blocks * 512, bytes) << "file system allocates differently";
        TempTree::setModificationTime(path, modified);
        return path;
    }

    const DeveloperStorageItem* find(const std::vector<DeveloperStorageItem>& items,
                                     std::string_view name) {
        for (const auto& item : items) {
            if (item.name == name) {
                return &item;
            }
        }
        return nullptr;
    }

    TempTree m_home;
    TempTree m_system; // stands in for "/": no Docker socket, no /Applications
    std::shared_ptr<ManualClock> m_clock;
    DeveloperStorageEngine m_engine;
};

TEST_F(DeveloperStorageEngineTest, EmptyHomeFindsNothing) {
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty());
    const DockerStatusInfo docker = m_engine.checkDockerStatus();
    EXPECT_FALSE(docker.isInstalled);
    EXPECT_FALSE(docker.isRunning);
    EXPECT_FALSE(docker.vmDiskPath);
    EXPECT_EQ(docker.diskSizeBytes, 0);
    EXPECT_EQ(docker.guidedCliAction, "Run 'docker system prune -a --volumes' in Terminal to "
                                      "reclaim space safely without breaking Docker.");
}

TEST_F(DeveloperStorageEngineTest, ThresholdMustBeExceeded) {
    allocated("Library/Caches/pip/wheels/a.whl", 50 * kMiB, kNow - 5000);
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty()) << "exactly 50 MiB is not enough";

    allocated("Library/Caches/pip/http/b", 4096, kNow - 4000);
    TempTree::setModificationTime(m_home / "Library/Caches/pip/wheels", kNow - 9000);
    TempTree::setModificationTime(m_home / "Library/Caches/pip/http", kNow - 9000);
    const auto items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 1u);
    const DeveloperStorageItem& pip = items[0];
    EXPECT_EQ(pip.name, "Python pip Wheel Cache");
    EXPECT_EQ(pip.groupName, "Python");
    EXPECT_EQ(pip.path, (m_home / "Library/Caches/pip").string());
    EXPECT_EQ(pip.size, 50 * kMiB + 4096);
    EXPECT_EQ(pip.riskLevel, RiskLevel::low);
    EXPECT_EQ(pip.explanation, "Cached Python wheel and sdist downloads.");
    EXPECT_EQ(pip.recommendedAction, "Safe to clean; run 'pip cache purge'.");
    EXPECT_TRUE(pip.canClean);
    EXPECT_FALSE(pip.isSelected);
    EXPECT_FALSE(pip.likelyActive);
    EXPECT_EQ(pip.lastModified, at(kNow - 4000)) << "the newest item inside";
    EXPECT_EQ(pip.formattedSize(), "52.4 MB");
}

TEST_F(DeveloperStorageEngineTest, DerivedDataRecencyAndHiddenContent) {
    const std::string base = "Library/Developer/Xcode/DerivedData/";
    allocated(base + "Recent/build.o", 11 * kMiB, kNow - 259'199);
    allocated(base + "Old/build.o", 11 * kMiB, kNow - 259'200);
    // Hidden items are neither counted nor dated.
    allocated(base + "Old/.newer", 4096, kNow);
    allocated(base + "HiddenOnly/.cache/big", 20 * kMiB);
    allocated(base + "HiddenOnly/.big", 20 * kMiB);
    m_home.folder(base + "HiddenOnly/empty");
    allocated(base + "Exact/build.o", 10 * kMiB);

    const auto items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 2u);
    // Equal sizes keep listing order (byte order of the names).
    const DeveloperStorageItem& old = items[0];
    const DeveloperStorageItem& recent = items[1];
    EXPECT_EQ(old.name, "Old");
    EXPECT_EQ(old.groupName, "Xcode DerivedData");
    EXPECT_EQ(old.path, (m_home / base / "Old").string());
    EXPECT_EQ(old.size, 11 * kMiB);
    EXPECT_EQ(old.lastModified, at(kNow - 259'200));
    EXPECT_TRUE(old.isSelected);
    EXPECT_FALSE(old.likelyActive);
    EXPECT_EQ(old.recommendedAction, "Safe to clean; Xcode will regenerate on next build.");
    EXPECT_EQ(old.explanation, "Xcode build intermediates, module indices and index cache.");

    EXPECT_EQ(recent.name, "Recent");
    EXPECT_FALSE(recent.isSelected);
    EXPECT_TRUE(recent.likelyActive);
    EXPECT_EQ(recent.recommendedAction, "Recently built. Clean only if rebuilding project.");
    EXPECT_TRUE(recent.canClean);
}

TEST_F(DeveloperStorageEngineTest, DockerDiskThroughSparseFile) {
    const auto disk = m_home.file("Library/Containers/com.docker.docker/Data/vms/0/data/Docker.raw",
                                  "head", 200 * kMiB);
    auto items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "Docker VM Virtual Disk (Stopped)");
    EXPECT_EQ(items[0].groupName, "Docker");
    EXPECT_EQ(items[0].path, disk.string());
    EXPECT_EQ(items[0].size, 200 * kMiB) << "the apparent size, not the allocated blocks";
    EXPECT_EQ(items[0].riskLevel, RiskLevel::high);
    EXPECT_FALSE(items[0].likelyActive);
    EXPECT_FALSE(items[0].canClean);
    EXPECT_FALSE(items[0].isSelected);
    EXPECT_EQ(items[0].lastModified, at(kNow));
    EXPECT_EQ(items[0].explanation.rfind("Docker VM file stores", 0), 0u);

    m_home.file(".docker/run/docker.sock");
    items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "Docker VM Virtual Disk (Running)");
    EXPECT_TRUE(items[0].likelyActive);
    EXPECT_EQ(items[0].explanation,
              "Docker Desktop is currently active. Deleting the VM file directly while running "
              "causes immediate kernel filesystem crashes and container loss.");
    EXPECT_EQ(items[0].recommendedAction, m_engine.checkDockerStatus().guidedCliAction);

    // The first candidate wins over a later one.
    m_home.file("Library/Containers/com.docker.docker/Data/vms/0/Docker.raw", "", 300 * kMiB);
    EXPECT_EQ(m_engine.checkDockerStatus().vmDiskPath, disk.string());
}

TEST_F(DeveloperStorageEngineTest, DockerSocketWithoutDiskGivesNoRow) {
    m_system.file("var/run/docker.sock");
    m_system.folder("Applications/Docker.app");
    m_home.file("Library/Containers/com.docker.docker/Data/vms/0/Docker.qcow2", "", 500 * kMiB);
    const DockerStatusInfo docker = m_engine.checkDockerStatus();
    EXPECT_TRUE(docker.isRunning);
    EXPECT_TRUE(docker.isInstalled) << "through the application bundle";
    EXPECT_FALSE(docker.vmDiskPath) << "Docker.qcow2 is only looked for under data/";
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty());

    // A small disk gives no row either.
    m_home.file("Library/Containers/com.docker.docker/Data/vms/0/data/Docker.qcow2", "",
                100 * kMiB);
    EXPECT_EQ(m_engine.checkDockerStatus().diskSizeBytes, 100 * kMiB);
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty());
}

TEST_F(DeveloperStorageEngineTest, SymbolicLinksAreNeverFollowedInside) {
    // A dangling link in place of a catalogue folder: nothing exists there.
    m_home.symlink(".gradle/caches", m_home / "nowhere");
    // A link inside a place to a large file elsewhere counts as the link, not its target.
    allocated("elsewhere/huge", 80 * kMiB);
    allocated(".npm/_cacache/index", 40 * kMiB);
    m_home.symlink(".npm/_cacache/link", m_home / "elsewhere/huge");
    m_home.symlink(".npm/_cacache/dangling", m_home / "missing");
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty());
}

// A place is reached and measured the way the scanner walks: never through a symbolic link. A
// place that is itself a link measures as the link alone (nothing below it is walked), one that
// lies beyond a linked folder is not reached, and a build folder that is a link is not walked.
TEST_F(DeveloperStorageEngineTest, LinkedPlacesAreNeverMeasuredThroughTheLink) {
    allocated("elsewhere/big/blob", 120 * kMiB);
    const auto big = m_home / "elsewhere/big";
    m_home.symlink("go/pkg/mod/cache", big);                  // the place itself
    m_home.symlink(".gradle", m_home / "elsewhere");          // a folder on the way: .gradle/caches
    m_home.symlink("elsewhere/caches", big);                  //   would be the big folder
    m_home.symlink(".cache/pip", big);                        // this platform's counterpart
    m_home.symlink(".local", m_home / "elsewhere");           // beyond a linked XDG folder:
    allocated("elsewhere/share/pnpm/store/blob", 120 * kMiB); // ~/.local/share/pnpm/store
    m_home.symlink("Library/Developer/Xcode/DerivedData/App-abc", big);      // a build folder
    m_home.symlink("Library/Developer/CoreSimulator", m_home / "elsewhere"); // Devices beyond
    m_home.symlink("elsewhere/Devices", big);
    EXPECT_TRUE(m_engine.scanDeveloperStorage().empty());

    // The same folder where it really is: measured and offered.
    m_home.folder(".npm");
    std::filesystem::rename(big, m_home / ".npm/_cacache");
    const auto items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "npm Package Cache");
    EXPECT_EQ(items[0].size, 120 * kMiB);
    EXPECT_TRUE(items[0].canClean);
}

TEST_F(DeveloperStorageEngineTest, LargestFirstAndEqualSizesInCatalogueOrder) {
    allocated("Library/Caches/Homebrew/bottle", 70 * kMiB);
    allocated(".cargo/registry/cache/a.crate", 60 * kMiB);
    allocated(".npm/_cacache/blob", 60 * kMiB);
    allocated("Library/Caches/CocoaPods/pod", 30 * kMiB);
    const auto items = m_engine.scanDeveloperStorage();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].name, "Homebrew Bottle Cache");
    EXPECT_TRUE(items[0].isSelected) << "the one fixed row that starts selected";
    EXPECT_EQ(items[1].name, "npm Package Cache");
    EXPECT_EQ(items[2].name, "Cargo Crate Download Cache");
    EXPECT_EQ(items[3].name, "CocoaPods Specs & Download Cache");
    EXPECT_EQ(find(items, "CocoaPods Specs & Download Cache")->groupName, "CocoaPods");
}

} // namespace
} // namespace fernwick
