#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace fernwick::ui {

/// At most `limit` nodes of the tree under `root`, in pre-order with the root first, whose path
/// contains the trimmed `query` ignoring case (a node's name is the last part of its path, so
/// this is "name or path contains"). Empty for a blank query.
///
/// Built for a million-node tree off the GUI thread: no node's full path is built; a node
/// matches when an ancestor did, or when the query lies in the tail of its parent's path, the
/// separator and its name. ASCII text is compared byte by byte; text with other characters is
/// compared as Qt compares it. `stop` is asked every 4,096 nodes; when it answers true the
/// walk ends and returns what it found so far. Any thread; the tree must not change meanwhile.
std::vector<DiskNodePtr> searchTree(const DiskNodePtr& root, const std::string& query,
                                    std::size_t limit, const std::function<bool()>& stop = {});

} // namespace fernwick::ui
