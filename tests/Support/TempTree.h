#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace fernwick::test {

/// A temporary folder for one test, removed with everything below it when the object dies.
/// Helpers create files (sparse when large), folders and links relative to the root.
class TempTree {
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::filesystem::path& root() const { return m_root; }
    std::filesystem::path operator/(std::string_view relative) const {
        return m_root / std::string(relative);
    }

    /// Creates the folder and its missing parents; returns its path.
    std::filesystem::path folder(std::string_view relative) const;
    /// Creates a file of `logicalSize` bytes with `contents` at its start (the rest a hole);
    /// creates missing parent folders; returns its path.
    std::filesystem::path file(std::string_view relative, std::string_view contents = {},
                               std::int64_t logicalSize = -1) const;
    /// A file whose bytes are all allocated: `size` bytes of `fill`.
    std::filesystem::path denseFile(std::string_view relative, std::int64_t size,
                                    char fill = 'x') const;
    /// A symbolic link at `relative` whose text is `target` (not resolved); returns its path.
    std::filesystem::path symlink(std::string_view relative,
                                  const std::filesystem::path& target) const;
    /// Sets the modification (and access) time to `secondsSinceEpoch`.
    static void setModificationTime(const std::filesystem::path& path,
                                    std::int64_t secondsSinceEpoch);

private:
    std::filesystem::path m_root;
};

/// Sets HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_CACHE_HOME to folders under `home` for the
/// object's life, then restores them.
class ScopedHome {
public:
    explicit ScopedHome(const std::filesystem::path& home);
    ~ScopedHome();
    ScopedHome(const ScopedHome&) = delete;
    ScopedHome& operator=(const ScopedHome&) = delete;

private:
    std::string m_saved[4];
    bool m_had[4] = {};
};

} // namespace fernwick::test
