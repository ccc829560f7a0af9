#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <vector>

namespace fernwick {

/// Calls `visit(const DiskNodePtr&)` with `root` and then with every node below it, depth-first
/// pre-order: each child, then the child's own descendants, in `children` order (the order of
/// `root` followed by `root->allDescendants()`), without copying the tree into a list first.
/// Iterative, so deep trees cannot overflow the stack. A null root visits nothing. The tree must
/// not change during the walk; runs on the caller's thread.
template <class Visit> void forEachInPreOrder(const DiskNodePtr& root, Visit&& visit) {
    if (!root) {
        return;
    }
    std::vector<const DiskNodePtr*> pending{&root};
    while (!pending.empty()) {
        const DiskNodePtr& node = *pending.back();
        pending.pop_back();
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it) {
            pending.push_back(&*it);
        }
        visit(node);
    }
}

} // namespace fernwick
