#include "FernwickCore/Model/ScanTree.h"

#include "FernwickCore/Platform/PathUtils.h"

#include <algorithm>

namespace fernwick {

namespace {

// The child of `folder` named `name`, or null.
const DiskNodePtr* childNamed(const DiskNode& folder, std::string_view name) {
    for (const auto& child : folder.children) {
        if (child->name() == name) {
            return &child;
        }
    }
    return nullptr;
}

// The nodes from `root` down to the one at `path`, following the path's components below the
// root's own path; empty when the path does not lie in the tree.
std::vector<DiskNodePtr> descend(const DiskNodePtr& root, std::string_view path) {
    const std::string rootPath = root->path();
    if (path == rootPath) {
        return {root};
    }
    if (path.size() <= rootPath.size() || path.compare(0, rootPath.size(), rootPath) != 0) {
        return {};
    }
    std::size_t at = rootPath.size();
    if (rootPath.empty() || rootPath.back() != '/') {
        if (path[at] != '/') {
            return {};
        }
        ++at;
    }
    std::vector<DiskNodePtr> chain{root};
    while (at < path.size()) {
        const std::size_t slash = std::min(path.find('/', at), path.size());
        const DiskNodePtr* child = childNamed(*chain.back(), path.substr(at, slash - at));
        if (child == nullptr) {
            return {};
        }
        chain.push_back(*child);
        at = slash + 1;
    }
    return chain;
}

// The nodes from `root` down to `target` by identity, searching the whole tree: for nodes whose
// path does not lead to them from the root's.
std::vector<DiskNodePtr> search(const DiskNodePtr& root, const DiskNode* target) {
    struct Frame {
        DiskNodePtr node;
        std::size_t next;
    };
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.node.get() == target) {
            std::vector<DiskNodePtr> chain;
            chain.reserve(stack.size());
            for (const auto& entry : stack) {
                chain.push_back(entry.node);
            }
            return chain;
        }
        if (frame.next < frame.node->children.size()) {
            DiskNodePtr child = frame.node->children[frame.next++];
            stack.push_back({std::move(child), 0});
        } else {
            stack.pop_back();
        }
    }
    return {};
}

} // namespace

struct ScanTree::View::Pin {
    explicit Pin(std::shared_ptr<std::atomic<int>> counter) : readers(std::move(counter)) {
        readers->fetch_add(1, std::memory_order_relaxed);
    }
    ~Pin() {
        // Release: the reader's last reads happen before a change that sees no reader.
        readers->fetch_sub(1, std::memory_order_release);
    }
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    std::shared_ptr<std::atomic<int>> readers;
};

ScanTree::ScanTree() : m_readers(std::make_shared<std::atomic<int>>(0)) {}

ScanTree::~ScanTree() = default;

void ScanTree::reset(DiskNodePtr root, std::optional<TimePoint> listedAt) {
    m_root = std::move(root);
    m_listedAt = listedAt;
    m_grafts.clear();
    ++m_generation;
    m_replaced.clear();
    m_lastResummed = 0;
}

ScanTree::View ScanTree::view() const {
    View view;
    view.m_root = m_root;
    view.m_pin = std::make_shared<const View::Pin>(m_readers);
    return view;
}

bool ScanTree::hasReaders() const {
    return m_readers->load(std::memory_order_acquire) > 0;
}

DiskNodePtr ScanTree::current(const DiskNodePtr& node) const {
    DiskNodePtr out = node;
    for (auto it = m_replaced.find(out.get()); it != m_replaced.end();
         it = m_replaced.find(out.get())) {
        out = it->second.second;
    }
    return out;
}

std::vector<DiskNodePtr> ScanTree::pathTo(const DiskNodePtr& node) const {
    if (!m_root || !node) {
        return {};
    }
    const DiskNodePtr target = current(node);
    std::vector<DiskNodePtr> chain = descend(m_root, target->path());
    if (!chain.empty() && chain.back() == target) {
        return chain;
    }
    return search(m_root, target.get());
}

DiskNodePtr ScanTree::find(std::string_view path) const {
    if (!m_root) {
        return nullptr;
    }
    const std::vector<DiskNodePtr> chain = descend(m_root, path);
    return chain.empty() ? nullptr : chain.back();
}

void ScanTree::remember(const DiskNodePtr& old, const DiskNodePtr& copy) {
    m_replaced[old.get()] = {old, copy};
}

template <class Edit>
ScanTree::Change ScanTree::apply(const std::vector<DiskNodePtr>& chain, const Edit& edit) {
    if (chain.empty()) {
        return {};
    }
    if (!hasReaders()) {
        edit(*chain.back());
        for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
            (*it)->sumChildren();
            ++m_lastResummed;
        }
        return {chain.back(), false};
    }
    // A reader may be anywhere in the tree: the changed node and its ancestors are replaced by
    // copies, and the reader keeps the originals as they were.
    DiskNodePtr copy(new DiskNode(*chain.back(), DiskNode::CloneTag{}));
    edit(*copy);
    remember(chain.back(), copy);
    const DiskNodePtr changed = copy;
    for (std::size_t i = chain.size() - 1; i-- > 0;) {
        DiskNodePtr parent(new DiskNode(*chain[i], DiskNode::CloneTag{}));
        auto& kids = parent->children.mut();
        std::replace(kids.begin(), kids.end(), chain[i + 1], copy);
        parent->sumChildren();
        ++m_lastResummed;
        remember(chain[i], parent);
        copy = std::move(parent);
    }
    m_root = copy;
    // Originals that nothing else holds any more need no forwarding.
    std::erase_if(m_replaced,
                  [](const auto& entry) { return entry.second.first.use_count() == 1; });
    return {changed, true};
}

ScanTree::Change ScanTree::empty(const DiskNodePtr& node) {
    m_lastResummed = 0;
    return apply(pathTo(node), [](DiskNode& target) {
        target.size = 0;
        target.allocatedSize = 0;
        target.children.mut().clear();
    });
}

ScanTree::Change ScanTree::restore(const DiskNodePtr& node, std::int64_t size,
                                   std::int64_t allocatedSize, std::vector<DiskNodePtr> children) {
    m_lastResummed = 0;
    return apply(pathTo(node), [&](DiskNode& target) {
        target.size = size;
        target.allocatedSize = allocatedSize;
        target.children = std::move(children);
    });
}

ScanTree::Change ScanTree::graft(const DiskNodePtr& node, const DiskNode& found,
                                 std::optional<TimePoint> listedAt) {
    m_lastResummed = 0;
    if (node) {
        // The folder itself stays as the scan recorded it; what it holds is the graft's.
        std::erase_if(m_grafts, [&](const auto& graft) {
            return paths::isAtOrUnder(graft.first, node->url().native());
        });
        m_grafts.emplace_back(node->url().native(), listedAt);
    }
    return apply(pathTo(node), [&](DiskNode& target) {
        target.children = found.children.get();
        target.size = std::max(target.size.get(), found.size.get());
        target.allocatedSize = std::max(target.allocatedSize.get(), found.allocatedSize.get());
        target.itemCount = std::max(target.itemCount.get(), found.itemCount.get());
    });
}

std::optional<TimePoint> ScanTree::listedAt(std::string_view path) const {
    // The latest first: a graft inside an older one was listed after it.
    for (auto it = m_grafts.rbegin(); it != m_grafts.rend(); ++it) {
        const auto& [folder, listed] = *it;
        if (path.size() > folder.size() && path.starts_with(folder) &&
            (folder.ends_with('/') || path[folder.size()] == '/')) {
            return listed;
        }
    }
    return m_listedAt;
}

ScanTree::Change ScanTree::emptyAll(const std::vector<std::string>& paths) {
    std::size_t resummed = 0;
    Change out;
    for (const auto& path : paths) {
        const DiskNodePtr node = find(path);
        if (!node) {
            continue;
        }
        const Change one = empty(node);
        resummed += m_lastResummed;
        out.copied = out.copied || one.copied;
        out.node = m_root;
    }
    m_lastResummed = resummed;
    return out;
}

} // namespace fernwick
