#pragma once

#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Clock.h"
#include "FernwickCore/Platform/FileIdentity.h"
#include "FernwickCore/Platform/Uuid.h"

#include <atomic>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace fernwick {

class DiskNode;
class ScanTree;
struct DiskNodeAccess; // the tests' writer of hand-built trees; defined by the tests only
namespace detail {
class ScanWalk;
}

/// A property of DiskNode that every reader sees as a plain value but only the tree's writers
/// change: the node itself, the scanner while it builds a tree, and ScanTree once the tree is
/// published. Same size as the value it holds.
template <class T> class NodeField {
public:
    NodeField() = default;
    explicit NodeField(T value) : m_value(std::move(value)) {}
    NodeField(const NodeField&) = default;
    ~NodeField() = default;

    operator const T&() const noexcept { return m_value; }
    const T& get() const noexcept { return m_value; }

    // A collection reads like the collection itself.
    auto begin() const requires requires(const T& v) { v.begin(); }
    { return m_value.begin(); }
    auto end() const requires requires(const T& v) { v.end(); }
    { return m_value.end(); }
    auto rbegin() const requires requires(const T& v) { v.rbegin(); }
    { return m_value.rbegin(); }
    auto rend() const requires requires(const T& v) { v.rend(); }
    { return m_value.rend(); }
    auto size() const requires requires(const T& v) { v.size(); }
    { return m_value.size(); }
    bool empty() const requires requires(const T& v) { v.empty(); }
    { return m_value.empty(); }
    const auto& front() const requires requires(const T& v) { v.front(); }
    { return m_value.front(); }
    const auto& back() const requires requires(const T& v) { v.back(); }
    { return m_value.back(); }
    const auto& operator[](std::size_t index) const requires requires(const T& v) { v[index]; }
    { return m_value[index]; }

    // Numbers and enumerations compare through the built-in operators; other values here.
    friend bool operator==(const NodeField& a,
                           const T& b) requires(!std::is_arithmetic_v<T> && !std::is_enum_v<T>) {
        return a.m_value == b;
    }
    friend bool operator==(const NodeField& a,
                           const NodeField& b) requires(!std::is_arithmetic_v<T> &&
                                                        !std::is_enum_v<T>) {
        return a.m_value == b.m_value;
    }
    friend auto operator<=>(const NodeField& a, const NodeField& b) requires(
        !std::is_arithmetic_v<T> && !std::is_enum_v<T> && std::three_way_comparable<T>) {
        return a.m_value <=> b.m_value;
    }
    friend auto operator<=>(const NodeField& a, const T& b) requires(!std::is_arithmetic_v<T> &&
                                                                     !std::is_enum_v<T> &&
                                                                     std::three_way_comparable<T>) {
        return a.m_value <=> b;
    }

private:
    friend class DiskNode;
    friend class ScanTree;
    friend class detail::ScanWalk;
    friend struct DiskNodeAccess;

    NodeField& operator=(const NodeField&) = default;
    NodeField& operator=(T value) {
        m_value = std::move(value);
        return *this;
    }
    T& mut() noexcept { return m_value; }

    T m_value{};
};
struct PathLink;

/// A shared hold on a PathLink, as std::shared_ptr but one pointer wide: the count lives in the
/// link. Every node of a tree keeps one.
class PathLinkPtr {
public:
    PathLinkPtr() = default;
    PathLinkPtr(std::nullptr_t) {} // NOLINT(google-explicit-constructor): as shared_ptr
    PathLinkPtr(const PathLinkPtr& other);
    PathLinkPtr(PathLinkPtr&& other) noexcept : m_link(std::exchange(other.m_link, nullptr)) {}
    PathLinkPtr& operator=(PathLinkPtr other) noexcept {
        std::swap(m_link, other.m_link);
        return *this;
    }
    ~PathLinkPtr() { reset(); }

    const PathLink* get() const { return m_link; }
    const PathLink* operator->() const { return m_link; }
    const PathLink& operator*() const { return *m_link; }
    explicit operator bool() const { return m_link != nullptr; }
    /// Holds on the link; 0 for none.
    long use_count() const;
    void reset();

    friend bool operator==(const PathLinkPtr& a, const PathLinkPtr& b) {
        return a.m_link == b.m_link;
    }
    friend bool operator==(const PathLinkPtr& a, std::nullptr_t) { return a.m_link == nullptr; }

private:
    friend struct PathLink;
    explicit PathLinkPtr(const PathLink* adopted) : m_link(adopted) {}
    const PathLink* m_link = nullptr;
};

/// A folder's path as a chain: the path of `up` (none: `name` is the whole path text), "/", then
/// `name`. Each folder of a tree keeps one link, shared by its children, so that the storage of
/// paths grows with the number of folders, not with their depth.
struct PathLink {
    /// A new link, held once by the result.
    static PathLinkPtr make(PathLinkPtr parent, std::string text);
    /// Lets go of the chain above link by link: a chain may be far deeper than the stack.
    ~PathLink();
    PathLink(const PathLink&) = delete;
    PathLink& operator=(const PathLink&) = delete;

    /// The whole path, bytes as they are.
    std::string text() const;

    // Mutable for the destructor only, which takes over the link above when it is the last
    // owner.
    mutable PathLinkPtr up;
    const std::string name;

private:
    friend class PathLinkPtr;
    PathLink(PathLinkPtr parent, std::string text) : up(std::move(parent)), name(std::move(text)) {}
    mutable std::atomic<std::uint32_t> m_holds{1};
};

inline PathLinkPtr::PathLinkPtr(const PathLinkPtr& other) : m_link(other.m_link) {
    if (m_link != nullptr) {
        m_link->m_holds.fetch_add(1, std::memory_order_relaxed);
    }
}

inline long PathLinkPtr::use_count() const {
    return m_link == nullptr ? 0
                             : static_cast<long>(m_link->m_holds.load(std::memory_order_acquire));
}

inline void PathLinkPtr::reset() {
    if (m_link != nullptr && m_link->m_holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete m_link;
    }
    m_link = nullptr;
}

/// Nodes are shared: a parent owns its children, and the interface may hold any node (selection,
/// breadcrumbs, undo record) for as long as it likes.
using DiskNodePtr = std::shared_ptr<DiskNode>;

/// One item of a scanned tree: a file, a folder, or a package shown as one item.
///
/// Memory matters: a home folder has millions of these. A node stores its entry name and a
/// shared pointer to its parent folder's path link (one link per folder holding that folder's
/// name, shared by its children); `url()` joins the chain. The rare texts (an error reason, a
/// volume other than "/", states other than "Normal" and "Complete", a url that is not its
/// parent's path and its name) live in a table beside the tree, found by the node's address:
/// a pointer to them in every node would cost each node 8 bytes.
///
/// No locking: the scanner builds a subtree inside one task and hands it over; afterwards only
/// ScanTree changes the tree (on the GUI thread), and never a node that a reader on another
/// thread can still reach (see ScanTree::View). Every other piece of code reads the fields only.
class DiskNode {
public:
    /// Every stored property, in declaration order: the memberwise constructor's arguments.
    struct Fields {
        Uuid id;
        std::filesystem::path url;
        std::optional<std::string> name; ///< nullopt: the last path component of url
        std::int64_t size = 0;
        std::int64_t allocatedSize = 0; ///< 0 or negative: stored as size
        bool isDirectory = false;
        bool isPackage = false;
        std::vector<DiskNodePtr> children;
        StorageCategory category = StorageCategory::other;
        RiskLevel riskLevel = RiskLevel::low;
        double confidence = 0;
        std::int64_t itemCount = 1;
        TimePoint modifiedDate;
        bool isSymlink = false;
        bool isProtected = false;
        bool isAccessible = true;
        std::optional<std::string> errorReason;
        std::uint64_t inode = 0;
        std::uint64_t deviceID = 0;
        std::string sourceVolume = "/";
        std::string permissionsState = "Normal";
        std::string scanState = "Complete";
    };

    /// The memberwise constructor.
    explicit DiskNode(Fields fields);
    /// The scanner's constructor: an entry `name` inside the folder whose path `parentPath`
    /// holds (shared by all its children). Other fields take the defaults of `Fields`.
    DiskNode(const std::shared_ptr<const std::filesystem::path>& parentPath, std::string name,
             bool isDirectory, bool isPackage);
    /// The same with the parent folder's path as a link of its chain (the scanner's form: one
    /// link per folder, holding the folder's name only).
    DiskNode(PathLinkPtr parentPath, std::string name, bool isDirectory, bool isPackage);
    DiskNode(const DiskNode&) = delete;
    DiskNode& operator=(const DiskNode&) = delete;
    ~DiskNode();

    static DiskNodePtr make(Fields fields) { return std::make_shared<DiskNode>(std::move(fields)); }

    const Uuid& id() const { return m_id; }
    /// The item's full path.
    std::filesystem::path url() const;
    /// url() as text (bytes as they are), built without parsing a path object: the cheap form
    /// for code that only hands the path to the system.
    std::string path() const;
    /// A new link for this folder's path, for its children to share (built in time that does
    /// not depend on the folder's depth when the node keeps its parent's link).
    PathLinkPtr linkForChildren() const;
    const std::string& name() const;
    /// The identity the scan recorded (device, inode and modification time from its one lstat),
    /// which a removal of the item must find again.
    FileIdentity identity() const { return FileIdentity::recorded(deviceID, inode, modifiedDate); }
    bool isDirectory() const { return m_isDirectory; }
    bool isPackage() const { return m_isPackage; }

    const std::optional<std::string>& errorReason() const;
    const std::string& sourceVolume() const;
    const std::string& permissionsState() const;
    const std::string& scanState() const;

    /// formatByteCount(size).
    std::string formattedSize() const;
    /// The byte-count text of the platform formatter.
    static std::string formatBytes(std::int64_t bytes);

    /// Every node below this one, this one excluded, depth-first pre-order.
    std::vector<DiskNodePtr> allDescendants() const;
    /// Sums size, allocated size and item count upward through the subtree: a folder with
    /// children holds the sums over them; files and childless folders keep their values.
    /// Iterative, so deep trees cannot overflow the stack. Sums saturate at INT64_MAX.
    void recalculateTotalSize();

    // The stored properties: read by everyone, written by the scanner and ScanTree only.
    NodeField<std::int64_t> size{0};
    NodeField<std::int64_t> allocatedSize{0};
    NodeField<std::int64_t> itemCount{1};
    NodeField<double> confidence{0};
    NodeField<TimePoint> modifiedDate;
    NodeField<std::uint64_t> inode{0};
    NodeField<std::uint64_t> deviceID{0};
    NodeField<std::vector<DiskNodePtr>> children;
    NodeField<StorageCategory> category{StorageCategory::other};
    NodeField<RiskLevel> riskLevel{RiskLevel::low};
    NodeField<bool> isSymlink{false};
    NodeField<bool> isProtected{false};
    NodeField<bool> isAccessible{true};

private:
    friend class ScanTree;
    friend class detail::ScanWalk;
    friend struct DiskNodeAccess;
    struct Extras;
    struct ExtrasTable;
    struct CloneTag {};
    /// A copy of `other` with the same id, path and properties (children shared): ScanTree's
    /// copy on write.
    DiskNode(const DiskNode& other, CloneTag);
    Extras& extras();
    /// The node's rare texts; nullptr when it has none.
    const Extras* findExtras() const;
    /// A folder with children takes the sums over them; any other node keeps its values.
    void sumChildren();
    void setErrorReason(std::optional<std::string> reason);
    void setSourceVolume(std::string volume);
    void setPermissionsState(std::string state);
    void setScanState(std::string state);
    /// Keeps `value` in the rare texts unless it is `usual`.
    void setRareText(std::optional<std::string> Extras::*field, std::string value,
                     const std::string& usual);

    Uuid m_id;
    bool m_isDirectory = false;
    bool m_isPackage = false;
    bool m_hasExtras = false; // rare texts kept for this node in a table beside the tree
    std::string m_name;
    PathLinkPtr m_parentPath; // null: url kept in extras, or a name alone
};

/// Adds two non-negative byte counts, stopping at INT64_MAX instead of overflowing.
inline std::int64_t saturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_add_overflow(a, b, &out)) {
        return b > 0 ? INT64_MAX : INT64_MIN;
    }
    return out;
}

} // namespace fernwick
