#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/AtomicFile.h"
#include "FernwickCore/Platform/DomainError.h"

#include <QThreadPool>

#include <cerrno>
#include <cstring>
#include <exception>
#include <sys/stat.h>

namespace fernwick::ui {

namespace {

// "<name>: <reason>" for an item the safety check refused or the Trash would not take; empty
// when it moved.
std::string failureLine(const DeveloperStorageItem& item, const CheckedTrashMove& move) {
    if (move.refused()) {
        return item.name + ": " + move.validation.reason;
    }
    if (!move.moved()) {
        return item.name + ": " + move.failure;
    }
    return {};
}

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

void AppState::cleanDeveloperItems(std::vector<DeveloperStorageItem> items,
                                   std::function<void()> done) {
    auto safety = m_services.safety;
    auto trash = m_services.trash;
    runOnPool(m_longWork,
              [this, items = std::move(items), safety, trash, done]() -> std::function<void()> {
                  std::vector<std::string> lines;
                  for (const auto& item : items) {
                      // One item at a time: each check sees what the moves before it left.
                      const CheckedTrashMove move =
                          safety->moveToTrashChecked(item.path, std::nullopt, *trash);
                      if (auto line = failureLine(item, move); !line.empty()) {
                          lines.push_back(std::move(line));
                      }
                  }
                  return [this, lines = std::move(lines), done] {
                      scanDeveloperStorage([this, lines, done] {
                          refreshTrashCount();
                          if (done) {
                              done();
                          }
                          if (!lines.empty()) {
                              setUserAlert(UserAlert::listing("Some items were skipped", lines));
                          }
                      });
                  };
              });
}

void AppState::uninstallApp(InstalledApp app, std::function<void()> done) {
    auto uninstall = m_services.uninstallApp;
    runOnPool(m_longWork, [this, app = std::move(app), uninstall, done]() -> std::function<void()> {
        std::optional<std::string> failure;
        try {
            if (uninstall) {
                uninstall(app, true);
            }
        } catch (const std::exception& error) {
            failure = error.what();
        }
        return [this, name = app.name, failure, done] {
            if (failure) {
                setUserAlert(UserAlert("Couldn't uninstall " + name, *failure));
            }
            scanInstalledApps(done);
        };
    });
}

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
    runOnPool(m_quickWork,
              [this, change = std::move(change), safety, done]() -> std::function<void()> {
                  std::optional<SystemError> failure;
                  if (change) {
                      failure = change(*safety);
                  }
                  return [this, paths = safety->getProtectedPaths(), failure, done] {
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
               done]() -> std::function<void()> {
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
