#pragma once

#include "FernwickCore/Model/StorageCategory.h"
#include "FernwickCore/Platform/Environment.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fernwick {

/// The classifier's whole answer for one item.
struct CategoryClassification {
    StorageCategory category = StorageCategory::other;
    RiskLevel riskLevel = RiskLevel::medium;
    double confidence = 0.5;
    std::string explanation;
    std::optional<std::string> cleanupRecommendation;
    std::string ruleId;
    int ruleVersion = 1;
    bool isCleanupEligible = false;
};

/// The three values the scanner keeps in each node, and the deciding rule (1 to 27), without
/// building any text.
struct CategoryVerdict {
    StorageCategory category = StorageCategory::other;
    RiskLevel riskLevel = RiskLevel::medium;
    double confidence = 0.5;
    int rule = 27;
};

/// A folder's path in a size that does not grow with its depth, for decisions about the items
/// inside it: while the path is short, `head` and `tail` both hold all of it; a longer path keeps
/// its first bytes (what is decided from where a path begins reads these) and its last bytes
/// (a text may begin there and run on into an item's name), and `found` carries the category
/// texts met anywhere in it from folder to sub-folder.
struct PathTrail {
    std::string head;
    std::string tail;
    bool whole = true;
    std::uint32_t found = 0;
};

/// What the verdicts of a folder's items share, worked out once for the folder (see
/// CategoryEngine::folderRules): an item's verdict then reads its own name only.
struct FolderRules {
    /// Where the places are read from: nowhere (no item lies in one), the folder's kept head
    /// (the same for every item) or each item's own path.
    enum class Places : std::uint8_t { none, folder, item };
    std::uint32_t found = 0; // the texts in every item's path, whatever its name
    // Texts that begin in the folder's path and run on into an item's name: the text's bit and
    // what the name must begin with.
    std::vector<std::pair<std::uint32_t, std::string_view>> continued;
    Places places = Places::none;
    std::string text; // folder: the head; item: the folder's path ending in "/"
};

/// Decides an item's storage category, risk level and confidence from its path, name and
/// extension by a fixed cascade of rules; the first rule that holds decides. Beside the given
/// places, the rules recognise this platform's own (the XDG cache, data and config folders, the
/// home Trash, sandboxed applications' data under ~/.var/app). Opens nothing on disk and changes
/// nothing after construction: callable from any thread.
class CategoryEngine {
public:
    /// The rules with the folders of `env`.
    explicit CategoryEngine(const Environment& env);
    /// The engine of the process environment, built on first use.
    static const CategoryEngine& shared();

    /// The full answer. The path is standardized lexically for the path tests; the name and the
    /// extension come from `url` unchanged.
    CategoryClassification classify(const std::filesystem::path& url, bool isDirectory,
                                    bool isPackage) const;

    /// The scanner's fast path: `standardizedPath` must already be standardized and `name` is
    /// its last component. Allocates nothing.
    CategoryVerdict verdict(std::string_view standardizedPath, std::string_view name,
                            bool isDirectory, bool isPackage) const;

    /// The bytes a trail keeps at the end of a path: more than the longest text the rules look
    /// for anywhere in a path.
    static constexpr std::size_t kTrailTail = 64;
    /// The least number of bytes a trail must keep at the start of a path for these rules.
    std::size_t trailHeadBytes() const { return m_trailHead; }
    /// The trail of the standardized path of a folder, keeping `headBytes` (at least
    /// trailHeadBytes()) at its start.
    PathTrail trail(std::string_view standardizedPath, std::size_t headBytes) const;
    /// The trail of the sub-folder `name` of the folder `folder` describes, in time that does not
    /// depend on the folder's depth.
    PathTrail childTrail(const PathTrail& folder, std::string_view name,
                         std::size_t headBytes) const;
    /// What the verdicts of the items of the folder `folder` describes share.
    FolderRules folderRules(const PathTrail& folder) const;
    /// verdict() for the entry `name` (not empty, no "/") of the folder `folder` was made for:
    /// the same answer as for the whole path, in time that depends on the name alone. `window`
    /// is scratch space.
    CategoryVerdict verdict(const FolderRules& folder, std::string_view name, bool isDirectory,
                            bool isPackage, std::string& window) const;

    /// This platform's folders as path prefixes, each ending in "/" (empty: no such folder).
    struct Places {
        std::string cache;  // <XDG cache>/
        std::string data;   // <XDG data>/
        std::string config; // <XDG config>/
        std::string varApp; // home/.var/app/
        std::string common; // the longest start all the non-empty ones share
    };

private:
    Places m_places;
    std::size_t m_trailHead = kTrailTail;
};

} // namespace fernwick
