#include "FernwickCore/Model/DiskNode.h"

#include "FernwickCore/Platform/ByteCountFormatter.h"
#include "FernwickCore/Platform/PathUtils.h"

#include <utility>

namespace fernwick {
namespace {
const std::string kDefaultVolume = "/";
const std::string kNormal = "Normal";
const std::string kComplete = "Complete";
const std::optional<std::string> kNoReason;

// The texts kept out of line: a node holds one only when it differs from the usual value.
template <class Extras>
const std::string& rareText(const std::unique_ptr<Extras>& extras,
                            std::optional<std::string> Extras::*field, const std::string& usual) {
    return extras && (*extras).*field ? *((*extras).*field) : usual;
}

template <class Extras>
void setRareText(std::unique_ptr<Extras>& extras, std::optional<std::string> Extras::*field,
                 // NOLINTNEXTLINE(performance-unnecessary-value-param): a sink, moved into place
                 std::string value, const std::string& usual) {
    if (value == usual) {
        if (extras) {
            ((*extras).*field).reset();
        }
        return;
    }
    if (!extras) {
        extras = std::make_unique<Extras>();
    }
    (*extras).*field = std::move(value);
}
} // namespace

struct DiskNode::Extras {
    std::optional<std::filesystem::path> url;
    std::optional<std::string> errorReason;
    std::optional<std::string> sourceVolume;
    std::optional<std::string> permissionsState;
    std::optional<std::string> scanState;
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
        m_parentPath = std::make_shared<const PathLink>(nullptr, parent.native());
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
    : DiskNode(parentPath ? std::make_shared<const PathLink>(nullptr, parentPath->native())
                          : nullptr,
               std::move(name), isDirectory, isPackage) {}

DiskNode::DiskNode(PathLinkPtr parentPath, std::string name, bool isDirectory, bool isPackage)
    : m_id(Uuid::random()), m_isDirectory(isDirectory), m_isPackage(isPackage),
      m_name(std::move(name)), m_parentPath(std::move(parentPath)) {}

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
      m_isPackage(other.m_isPackage), m_name(other.m_name), m_parentPath(other.m_parentPath),
      m_extras(other.m_extras ? std::make_unique<Extras>(*other.m_extras) : nullptr) {}

DiskNode::~DiskNode() {
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
    if (!m_extras) {
        m_extras = std::make_unique<Extras>();
    }
    return *m_extras;
}

std::filesystem::path DiskNode::url() const {
    if (m_extras && m_extras->url) {
        return *m_extras->url;
    }
    return path();
}

std::string DiskNode::path() const {
    if (m_extras && m_extras->url) {
        return m_extras->url->native();
    }
    if (!m_parentPath) {
        return m_name;
    }
    return paths::joined(m_parentPath->text(), m_name);
}

PathLinkPtr DiskNode::linkForChildren() const {
    if (m_parentPath && !(m_extras && m_extras->url)) {
        return std::make_shared<const PathLink>(m_parentPath, m_name);
    }
    return std::make_shared<const PathLink>(nullptr, path());
}

const std::string& DiskNode::name() const {
    return m_name;
}

const std::optional<std::string>& DiskNode::errorReason() const {
    return m_extras ? m_extras->errorReason : kNoReason;
}

void DiskNode::setErrorReason(std::optional<std::string> reason) {
    if (reason || m_extras) {
        extras().errorReason = std::move(reason);
    }
}

const std::string& DiskNode::sourceVolume() const {
    return rareText(m_extras, &Extras::sourceVolume, kDefaultVolume);
}

void DiskNode::setSourceVolume(std::string volume) {
    setRareText(m_extras, &Extras::sourceVolume, std::move(volume), kDefaultVolume);
}

const std::string& DiskNode::permissionsState() const {
    return rareText(m_extras, &Extras::permissionsState, kNormal);
}

void DiskNode::setPermissionsState(std::string state) {
    setRareText(m_extras, &Extras::permissionsState, std::move(state), kNormal);
}

const std::string& DiskNode::scanState() const {
    return rareText(m_extras, &Extras::scanState, kComplete);
}

void DiskNode::setScanState(std::string state) {
    setRareText(m_extras, &Extras::scanState, std::move(state), kComplete);
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
