#include "FernwickCore/Engines/SafetyEngine.h"

#include "FernwickCore/Engines/SafetySteps.h"
#include "FernwickCore/Platform/PathUtils.h"

namespace fernwick {

SafetyValidationResult SafetyValidationResult::approved(std::filesystem::path canonicalPath,
                                                        const FileIdentity& identity) {
    SafetyValidationResult result;
    result.isSafe = true;
    result.reason = SafetyEngine::kApprovedReason;
    result.riskLevel = RiskLevel::low;
    result.canonicalPath = std::move(canonicalPath);
    result.inode = identity.inode;
    result.deviceID = identity.device;
    result.modified = identity.modified;
    return result;
}

SafetyValidationResult SafetyValidationResult::rejected(std::string reason, RiskLevel risk) {
    SafetyValidationResult result;
    result.reason = std::move(reason);
    result.riskLevel = risk;
    return result;
}

bool SafetyEngine::refusesAsProtected(const SafetyValidationResult& result) {
    return safety::refusesAsProtected(result);
}

ForbiddenOperationRegistry::Verdict
ForbiddenOperationRegistry::isForbidden(const std::string& path, const Environment& env) {
    const std::string standardized = paths::standardize(paths::expandTilde(path, env.home));
    if (standardized.empty() || standardized == "/") {
        return {true, safety::kRootReason};
    }
    // The home folder may be reached through a link (/home -> /var/home): both forms are it.
    if (standardized == env.home.native() || standardized == env.homeResolved.native()) {
        return {true, safety::kHomeReason};
    }
    return {false, std::nullopt};
}

// ---------------------------------------------------------------------------------------------

struct SafetyEngine::Checked {
    SafetyValidationResult result;
    /// The item the check examined, its folder still open: what the move must act on.
    safety::Target target;
};

SafetyEngine::SafetyEngine(Environment env, std::shared_ptr<PreferencesStore> preferences,
                           ReadOnlyVolumeProbe readOnlyProbe, ReadLink readLink)
    : m_env(std::move(env)), m_preferences(std::move(preferences)),
      m_readOnlyProbe(readOnlyProbe ? std::move(readOnlyProbe) : safety::statvfsReadOnly),
      m_readLink(std::move(readLink)), m_registry(ProtectedPathRegistry::forEnvironment(m_env)) {
    // The system's own layout does not change while the program runs; resolving it once keeps
    // the check cheap for long cleanup runs.
    for (const auto& prefix : m_registry.systemProtectedPrefixes) {
        m_systemResolved.push_back(safety::resolved(prefix));
    }
    if (m_preferences) {
        if (auto stored = m_preferences->stringArray(kUserProtectedPathsKey)) {
            m_userProtectedPaths.insert(stored->begin(), stored->end());
        }
    }
}

std::shared_ptr<SafetyEngine> SafetyEngine::shared() {
    static const auto instance =
        std::make_shared<SafetyEngine>(Environment::current(), PreferencesStore::shared());
    return instance;
}

std::optional<SystemError> SafetyEngine::addProtectedPath(const std::string& path) {
    return changeUserList(path, true);
}

std::optional<SystemError> SafetyEngine::removeProtectedPath(const std::string& path) {
    return changeUserList(path, false);
}

std::optional<SystemError> SafetyEngine::changeUserList(const std::string& path, bool add) {
    const std::string standardized = paths::standardize(paths::expandTilde(path, m_env.home));
    // Resolving against the home or the working folder would protect a place nobody chose.
    if (add && !standardized.starts_with('/')) {
        return SystemError{"protect " + path, EINVAL,
                           "Not an absolute path, so it protects nothing: " + path};
    }
    const std::lock_guard write(m_writeMutex);
    std::set<std::string> copy;
    {
        const std::lock_guard lock(m_mutex);
        if (add) {
            m_userProtectedPaths.insert(standardized);
        } else if (m_userProtectedPaths.erase(path) == 0) {
            // A stored entry is taken as it stands and may not be standardized ("/x/A/"): the
            // exact string the list shows must remove it.
            m_userProtectedPaths.erase(standardized);
        }
        copy = m_userProtectedPaths;
    }
    return persist(copy);
}

std::optional<SystemError> SafetyEngine::persist(const std::set<std::string>& paths) const {
    // Memory stays authoritative for this run whatever the write does; the caller says so.
    if (m_preferences) {
        const Status written = m_preferences->setStringArray(
            kUserProtectedPathsKey, std::vector<std::string>(paths.begin(), paths.end()));
        if (!written) {
            return written.error();
        }
    }
    return std::nullopt;
}

std::set<std::string> SafetyEngine::userPaths() const {
    const std::lock_guard lock(m_mutex);
    return m_userProtectedPaths;
}

std::vector<std::string> SafetyEngine::getProtectedPaths() const {
    const auto set = userPaths(); // std::set orders by bytes, which is ordinal and case-sensitive
    return {set.begin(), set.end()};
}

ProtectedPrefixesSnapshot SafetyEngine::getProtectedPrefixesSnapshot() const {
    const auto set = userPaths();
    return {m_registry.systemProtectedPrefixes, {set.begin(), set.end()}};
}

bool SafetyEngine::isProtected(const std::filesystem::path& url) const {
    const std::string path = safety::standardizedURL(url).string();
    for (const auto& entry : userPaths()) {
        if (path == entry || path.compare(0, entry.size() + (entry.ends_with('/') ? 0 : 1),
                                          entry.ends_with('/') ? entry : entry + "/") == 0) {
            return true;
        }
    }
    for (const auto& location : m_registry.systemProtectedPrefixes) {
        if (paths::isAtOrUnder(path, location)) {
            return true;
        }
    }
    for (const auto& home : {m_env.home.native(), m_env.homeResolved.native()}) {
        for (const auto& suffix : m_registry.userProtectedSuffixes) {
            if (paths::isAtOrUnder(path, home + suffix)) {
                return true;
            }
        }
    }
    return false;
}

SafetyValidationResult
SafetyEngine::validateTargetForDeletion(const std::filesystem::path& url,
                                        std::optional<FileIdentity> recorded) const {
    return check(url, recorded).result;
}

CheckedTrashMove SafetyEngine::moveToTrashChecked(const std::filesystem::path& url,
                                                  std::optional<FileIdentity> recorded,
                                                  const Trash& trash) const {
    Checked checked = check(url, recorded);
    CheckedTrashMove outcome{checked.result, std::nullopt, {}, {}};
    if (!checked.result.isSafe) {
        return outcome;
    }
    const safety::Target& target = checked.target;
    // The move holds the entry to the same rule, against the same listing.
    auto moved = trash.moveToTrashAt(
        target.folder.get(), target.realFolder, target.name,
        checked.result.identity().listedSince(recorded ? recorded->listedAt : std::nullopt));
    if (moved) {
        outcome.trashedURL = std::move(*moved);
        outcome.movedFrom = target.realFolder / target.name;
    } else {
        outcome.failure = moved.error().message();
    }
    return outcome;
}

SafetyEngine::Checked SafetyEngine::check(const std::filesystem::path& url,
                                          std::optional<FileIdentity> recorded) const {
    // 1 and 2, and the item's folder, opened once.
    safety::Target target = safety::resolveTarget(url);
    // 3 to 6 and the ancestors of protected places, against the places as they are now.
    const safety::ProtectedPlaces places =
        safety::buildProtectedPlaces(m_registry, m_systemResolved, m_env, userPaths());
    auto refused = safety::refuseProtectedPlace(
        target, places, m_env, [this](const std::string& form) { return isProtected(form); });
    if (!refused) {
        refused = safety::refuseTrashPlace(target, m_env);
    }
    if (!refused) {
        refused = safety::refuseMountBelow(target);
    }
    if (refused) {
        return Checked{std::move(*refused), {}};
    }
    // 7 to 10: the item itself.
    SafetyValidationResult result =
        safety::examineItem(target, places.system, recorded, m_readLink, m_readOnlyProbe, m_env);
    return Checked{std::move(result), std::move(target)};
}

} // namespace fernwick
