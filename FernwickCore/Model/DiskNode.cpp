#include "FernwickCore/Model/DiskNode.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/PathUtils.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace fernwick {
namespace {
const std::string kDefaultVolume = "/";
const std::string kNormal = "Normal";
const std::string kComplete = "Complete";
const std::optional<std::string> kNoReason;

// The texts kept out of line: a node holds one only when it differs from the usual value.
template <class Extras>
const std::string& rareText(const Extras* extras, std::optional<std::string> Extras::*field,
                            const std::string& usual) {
    return extras != nullptr && extras->*field ? *(extras->*field) : usual;
}
} // namespace

struct DiskNode::Extras {
    std::optional<std::filesystem::path> url;
    std::optional<std::string> errorReason;
    std::optional<std::string> sourceVolume;
    std::optional<std::string> permissionsState;
    std::optional<std::string> scanState;
};

// Sharded by address, so that scan workers marking nodes rarely wait for one another.
struct DiskNode::ExtrasTable {
    struct Shard {
        std::mutex mutex;
        std::unordered_map<const DiskNode*, std::unique_ptr<Extras>> extras;
    };
    std::array<Shard, 16> shards;

    static ExtrasTable& instance() {
        // Never destroyed: nodes may outlive every static object.
        static auto* table = new ExtrasTable();
        return *table;
    }
    Shard& shardOf(const DiskNode* node) {
        return shards[(reinterpret_cast<std::uintptr_t>(node) / alignof(DiskNode)) % shards.size()];
    }
    const Extras* find(const DiskNode* node) {
        Shard& shard = shardOf(node);
        const std::lock_guard lock(shard.mutex);
        const auto it = shard.extras.find(node);
        return it == shard.extras.end() ? nullptr : it->second.get();
    }
    Extras& make(const DiskNode* node, const Extras* copy = nullptr) {
        Shard& shard = shardOf(node);
        const std::lock_guard lock(shard.mutex);
        auto& slot = shard.extras[node];
        slot = copy != nullptr ? std::make_unique<Extras>(*copy) : std::make_unique<Extras>();
        return *slot;
    }
    void erase(const DiskNode* node) {
        Shard& shard = shardOf(node);
        std::unique_ptr<Extras> gone;
        const std::lock_guard lock(shard.mutex);
        const auto it = shard.extras.find(node);
        if (it != shard.extras.end()) {
            gone = std::move(it->second);
            shard.extras.erase(it);
        }
    }
};

DiskNode::DiskNode(Fields f)
    : size(f.size), allocatedSize(f.allocatedSize <= 0 ? f.size : f.allocatedSize),
      itemCount(f.itemCount), confidence(f.confidence), modifiedDate(f.modifiedDate),
      inode(f.inode), deviceID(f.deviceID), children(std::move(f.children)), category(f.category),
      riskLevel(f.riskLevel), isSymlink(f.isSymlink), isProtected(f.isProtected),
      isAccessible(f.isAccessible), m_id(f.id), m_isDirectory(f.isDirectory),
      m_isPackage(f.isPackage) {
    std::string last = paths::lastComponent(f.url);
    // The root folder's name is "/" itself, not an empty text.
    if (last.empty() && !f.url.empty() && f.url.native().front() == '/') {
        last.push_back('/');
    }
    m_name = f.name ? std::move(*f.name) : last;
    // Share the parent's path only when parent + "/" + name gives back exactly the url: a
    // relative url, a trailing "/" or repeated separators keep the url as given.
    const std::filesystem::path parent = f.url.parent_path();
    if (last == m_name && !parent.empty() && parent != f.url &&
        paths::joined(parent.native(), m_name) == f.url.native()) {
        m_parentPath = PathLink::make(nullptr, parent.native());
    } else {
        extras().url = std::move(f.url);
    }
    setErrorReason(std::move(f.errorReason));
    setSourceVolume(std::move(f.sourceVolume));
    setPermissionsState(std::move(f.permissionsState));
    setScanState(std::move(f.scanState));
}

DiskNode::DiskNode(const std::shared_ptr<const std::filesystem::path>& parentPath, std::string name,
                   bool isDirectory, bool isPackage)
    : DiskNode(parentPath ? PathLink::make(nullptr, parentPath->native()) : nullptr,
               std::move(name), isDirectory, isPackage) {}

DiskNode::DiskNode(PathLinkPtr parentPath, std::string name, bool isDirectory, bool isPackage)
    : m_id(Uuid::random()), m_isDirectory(isDirectory), m_isPackage(isPackage),
      m_name(std::move(name)), m_parentPath(std::move(parentPath)) {}

PathLinkPtr PathLink::make(PathLinkPtr parent, std::string text) {
    return PathLinkPtr(new PathLink(std::move(parent), std::move(text)));
}

PathLink::~PathLink() {
    PathLinkPtr above = std::move(up);
    while (above && above.use_count() == 1) {
        above = std::move(above->up);
    }
}

std::string PathLink::text() const {
    // Iterative: a chain may be far deeper than the stack would allow.
    std::vector<const PathLink*> chain;
    std::size_t length = 0;
    for (const PathLink* link = this; link != nullptr; link = link->up.get()) {
        chain.push_back(link);
        length += link->name.size() + 1;
    }
    std::string out;
    out.reserve(length);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin() && (out.empty() || out.back() != '/')) {
            out += '/';
        }
        out += (*it)->name;
    }
    return out;
}

DiskNode::DiskNode(const DiskNode& other, CloneTag)
    : size(other.size), allocatedSize(other.allocatedSize), itemCount(other.itemCount),
      confidence(other.confidence), modifiedDate(other.modifiedDate), inode(other.inode),
      deviceID(other.deviceID), children(other.children), category(other.category),
      riskLevel(other.riskLevel), isSymlink(other.isSymlink), isProtected(other.isProtected),
      isAccessible(other.isAccessible), m_id(other.m_id), m_isDirectory(other.m_isDirectory),
      m_isPackage(other.m_isPackage), m_hasExtras(other.m_hasExtras), m_name(other.m_name),
      m_parentPath(other.m_parentPath) {
    if (m_hasExtras) {
        ExtrasTable::instance().make(this, other.findExtras());
    }
}

DiskNode::~DiskNode() {
    if (m_hasExtras) {
        ExtrasTable::instance().erase(this);
    }
    // Tear deep trees down iteratively: the default destructor would recurse once per level.
    std::vector<DiskNodePtr> pending;
    pending.swap(children.mut());
    while (!pending.empty()) {
        DiskNodePtr node = std::move(pending.back());
        pending.pop_back();
        if (node && node.use_count() == 1) {
            for (auto& child : node->children.mut()) {
                pending.push_back(std::move(child));
            }
            node->children.mut().clear();
        }
    }
}

DiskNode::Extras& DiskNode::extras() {
    if (m_hasExtras) {
        // Only this node's owner writes its texts; the table hands out its own entry.
        return *const_cast<Extras*>(ExtrasTable::instance().find(this));
    }
    m_hasExtras = true;
    return ExtrasTable::instance().make(this);
}

const DiskNode::Extras* DiskNode::findExtras() const {
    return m_hasExtras ? ExtrasTable::instance().find(this) : nullptr;
}

void DiskNode::setRareText(std::optional<std::string> Extras::*field, std::string value,
                           const std::string& usual) {
    if (value == usual) {
        if (m_hasExtras) {
            (extras().*field).reset();
        }
        return;
    }
    extras().*field = std::move(value);
}

std::filesystem::path DiskNode::url() const {
    if (const Extras* found = findExtras(); found != nullptr && found->url) {
        return *found->url;
    }
    return path();
}

std::string DiskNode::path() const {
    if (const Extras* found = findExtras(); found != nullptr && found->url) {
        return found->url->native();
    }
    if (!m_parentPath) {
        return m_name;
    }
    return paths::joined(m_parentPath->text(), m_name);
}

PathLinkPtr DiskNode::linkForChildren() const {
    if (const Extras* found = findExtras(); m_parentPath && !(found != nullptr && found->url)) {
        return PathLink::make(m_parentPath, m_name);
    }
    return PathLink::make(nullptr, path());
}

const std::string& DiskNode::name() const {
    return m_name;
}

const std::optional<std::string>& DiskNode::errorReason() const {
    const Extras* found = findExtras();
    return found != nullptr ? found->errorReason : kNoReason;
}

void DiskNode::setErrorReason(std::optional<std::string> reason) {
    if (reason || m_hasExtras) {
        extras().errorReason = std::move(reason);
    }
}

const std::string& DiskNode::sourceVolume() const {
    return rareText(findExtras(), &Extras::sourceVolume, kDefaultVolume);
}

void DiskNode::setSourceVolume(std::string volume) {
    setRareText(&Extras::sourceVolume, std::move(volume), kDefaultVolume);
}

const std::string& DiskNode::permissionsState() const {
    return rareText(findExtras(), &Extras::permissionsState, kNormal);
}

void DiskNode::setPermissionsState(std::string state) {
    setRareText(&Extras::permissionsState, std::move(state), kNormal);
}

const std::string& DiskNode::scanState() const {
    return rareText(findExtras(), &Extras::scanState, kComplete);
}

void DiskNode::setScanState(std::string state) {
    setRareText(&Extras::scanState, std::move(state), kComplete);
}

std::string DiskNode::formattedSize() const {
    return formatByteCount(size);
}

std::string DiskNode::formatBytes(std::int64_t bytes) {
    return formatByteCount(bytes);
}

std::vector<DiskNodePtr> DiskNode::allDescendants() const {
    std::vector<DiskNodePtr> out;
    std::vector<const DiskNodePtr*> stack;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        stack.push_back(&*it);
    }
    while (!stack.empty()) {
        const DiskNodePtr& node = *stack.back();
        stack.pop_back();
        out.push_back(node);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            stack.push_back(&*it);
        }
    }
    return out;
}

void DiskNode::sumChildren() {
    if (!m_isDirectory || children.empty()) {
        return;
    }
    std::int64_t total = 0;
    std::int64_t allocated = 0;
    std::int64_t count = 0;
    for (const auto& child : children) {
        total = saturatingAdd(total, child->size);
        allocated = saturatingAdd(allocated, child->allocatedSize);
        count = saturatingAdd(count, child->itemCount);
    }
    size = total;
    allocatedSize = allocated;
    itemCount = count;
}

void DiskNode::recalculateTotalSize() {
    if (!m_isDirectory || children.empty()) {
        return;
    }
    // Post-order without recursion: a node is summed once all its children have been.
    struct Frame {
        DiskNode* node;
        std::size_t next;
    };
    std::vector<Frame> stack{{this, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        DiskNode* node = frame.node;
        if (frame.next < node->children.size()) {
            DiskNode* child = node->children[frame.next++].get();
            if (child->m_isDirectory && !child->children.empty()) {
                stack.push_back({child, 0});
            }
            continue;
        }
        node->sumChildren();
        stack.pop_back();
    }
}

} // namespace fernwick
