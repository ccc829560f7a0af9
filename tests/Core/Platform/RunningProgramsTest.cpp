#include "FernwickCore/Platform/RunningPrograms.h"

#include "tests/Support/TempTree.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace fernwick {
namespace {

TEST(RunningProgramsTest, ReadsExecutableLinksOfNumericEntries) {
    test::TempTree proc;
    proc.symlink("12/exe", "/opt/Apps/Foo.app/Contents/MacOS/Foo");
    proc.symlink("13/exe", "/opt/Apps/Bar.app/bin/bar (deleted)");
    proc.symlink("self/exe", "/opt/Apps/Baz.app/baz");
    proc.folder("14"); // a kernel thread: no executable
    auto found = RunningPrograms(proc.root()).executables();
    std::sort(found.begin(), found.end());
    const std::vector<std::filesystem::path> expected{"/opt/Apps/Bar.app/bin/bar",
                                                      "/opt/Apps/Foo.app/Contents/MacOS/Foo"};
    EXPECT_EQ(found, expected);

    EXPECT_TRUE(RunningPrograms::anyAtOrUnder(found, "/opt/Apps/Foo.app"));
    EXPECT_TRUE(RunningPrograms::anyAtOrUnder(found, "/opt/Apps/Bar.app/bin/bar"));
    EXPECT_FALSE(RunningPrograms::anyAtOrUnder(found, "/opt/Apps/Foo.ap"));
    EXPECT_FALSE(RunningPrograms::anyAtOrUnder(found, "/opt/Apps/Baz.app"));
    EXPECT_TRUE(RunningPrograms(proc / "missing").executables().empty());
}

TEST(RunningProgramsTest, FindsThisProcessThroughLinkedFolders) {
    const auto self = std::filesystem::read_symlink("/proc/self/exe");
    const auto running = RunningPrograms().executables();
    EXPECT_TRUE(RunningPrograms::anyAtOrUnder(running, self.parent_path()));

    // The folder named through a symbolic link still matches the kernel's resolved name.
    test::TempTree tree;
    const auto link = tree.symlink("linked", self.parent_path());
    EXPECT_TRUE(RunningPrograms::anyAtOrUnder(running, link));
}

} // namespace
} // namespace fernwick
