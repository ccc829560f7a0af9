#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/DomainError.h"

#include <QThreadPool>

#include <cerrno>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace fernwick::ui {

namespace {

// The report goes only into a folder that exists: a save dialog never names a missing one, and
// creating folders on the way is not what an export promises.
std::optional<std::string> writeReport(const std::filesystem::path& path,
                                       const std::string& report) {
    struct stat info {};
    const auto folder =
        path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (::stat(folder.c_str(), &info) != 0) {
        return std::string(std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode)) {
        return std::string(std::strerror(ENOTDIR));
    }
    const Status written = writeFileAtomically(path, report);
    if (written) {
        return std::nullopt;
    }
    const SystemError& error = written.error();
    return error.detail.empty() ? std::string(std::strerror(error.code)) : error.detail;
}

} // namespace

void AppState::loadProtectedPaths(ProtectedPathsDone done) {
    changeProtectedPaths({}, std::move(done));
}

void AppState::addProtectedPath(std::string path, ProtectedPathsDone done) {
    changeProtectedPaths(
        [path = std::move(path)](SafetyEngine& safety) { return safety.addProtectedPath(path); },
        std::move(done));
}

void AppState::removeProtectedPath(std::string path, ProtectedPathsDone done) {
    changeProtectedPaths(
        [path = std::move(path)](SafetyEngine& safety) { return safety.removeProtectedPath(path); },
        std::move(done));
}

void AppState::changeProtectedPaths(std::function<std::optional<SystemError>(SafetyEngine&)> change,
                                    ProtectedPathsDone done) {
    // The quick pool: each change writes the preferences file (with an fsync).
    auto safety = m_services.safety;
    std::vector<std::filesystem::path> offered;
    for (const auto& candidate : m_cleanupPlan.candidates) {
        offered.push_back(candidate.url);
    }
    runOnPool(m_quickWork,
              [this, change = std::move(change), safety, offered = std::move(offered),
               done = std::move(done)]() -> std::function<void()> {
                  std::optional<SystemError> failure;
                  if (change) {
                      failure = change(*safety);
                  }
                  // The plan offers nothing the list now protects: a protected item would only be
                  // refused when the user cleans it.
                  std::set<std::filesystem::path> nowProtected;
                  for (const auto& url : offered) {
                      if (safety->isProtected(url)) {
                          nowProtected.insert(url);
                      }
                  }
                  return [this, paths = safety->getProtectedPaths(), failure, nowProtected, done] {
                      if (!nowProtected.empty()) {
                          updateCleanupPlan([&](CleanupPlan& plan) {
                              std::erase_if(plan.candidates,
                                            [&](const CleanupCandidate& candidate) {
                                                return nowProtected.contains(candidate.url);
                                            });
                          });
                      }
                      if (done) {
                          done(paths);
                      }
                      if (failure) {
                          reportUnsavedSetting(kProtectedListSetting, *failure);
                      }
                  };
              });
}

void AppState::exportDiagnostics(std::filesystem::path path, std::string report,
                                 std::function<void(bool)> done) {
    runOnPool(m_quickWork,
              [this, path = std::move(path), report = std::move(report),
               done = std::move(done)]() -> std::function<void()> {
                  const auto failure = writeReport(path, report);
                  return [this, path, failure, done] {
                      if (failure) {
                          setUserAlert(UserAlert("Couldn't export diagnostics",
                                                 path.string() + ": " + *failure));
                      }
                      if (done) {
                          done(!failure);
                      }
                  };
              });
}

} // namespace fernwick::ui
