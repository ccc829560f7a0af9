#pragma once

#include "FernwickCore/Platform/Environment.h"
#include "tests/Support/TempTree.h"

#include <filesystem>
#include <string_view>

namespace fernwick::test {

/// A realistic Linux home built by tools/linux-home-fixture (the script tools/screenshots uses
/// too) in a temporary folder: XDG caches, the home Trash, installers, an AppImage with its
/// leftovers, a sandboxed application's data, keys, a localised Documents folder and a project.
/// Sparse files: it costs almost no space. Removed with the object.
class LinuxHome {
public:
    LinuxHome();

    const std::filesystem::path& home() const { return m_home; }
    std::filesystem::path operator/(std::string_view relative) const {
        return m_home / std::string(relative);
    }
    /// The environment of that home with the XDG defaults and its user-dirs.dirs read.
    Environment environment() const { return Environment::forHome(m_home); }
    const TempTree& tree() const { return m_tree; }

private:
    TempTree m_tree;
    std::filesystem::path m_home;
};

} // namespace fernwick::test
