#pragma once

#include "FernwickCore/Model/DiskNode.h"
#include "FernwickCore/Platform/FileIdentity.h"
#include "FernwickCore/Platform/Trash.h"
#include "FernwickCore/Platform/Uuid.h"

#include <cstdint>
#include <filesystem>
#include <utility>
#include <vector>

namespace fernwick::ui {

/// The last single item moved to the Trash, still offered for undo. Holds the node (and so its
/// tree) alive; every field is fixed at construction and the id is drawn then, except that
/// `node` follows the node to its new version when a change of the tree copies it.
struct TrashUndo {
    TrashUndo(DiskNodePtr movedNode, std::filesystem::path original, std::filesystem::path trashed,
              std::int64_t sizeBefore, std::int64_t allocatedSizeBefore,
              std::vector<DiskNodePtr> childrenBefore, FileIdentity trashedAs = {},
              std::filesystem::path realOriginal = {})
        : node(std::move(movedNode)), originalURL(std::move(original)),
          trashedURL(std::move(trashed)), size(sizeBefore), allocatedSize(allocatedSizeBefore),
          children(std::move(childrenBefore)), trashedIdentity(trashedAs),
          movedFrom(std::move(realOriginal)) {}

    Uuid id = Uuid::random();
    DiskNodePtr node;
    std::filesystem::path originalURL;
    std::filesystem::path trashedURL;
    std::int64_t size = 0;
    std::int64_t allocatedSize = 0;
    std::vector<DiskNodePtr> children;
    /// The entry as the move left it in the Trash: undo restores that entry and no other.
    FileIdentity trashedIdentity;
    /// Where the item really lay (CheckedTrashMove::movedFrom): undo puts it back there, reached
    /// without following a link. Empty: `originalURL`.
    std::filesystem::path movedFrom;
};

} // namespace fernwick::ui
