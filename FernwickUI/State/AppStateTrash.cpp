#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/PathUtils.h"
#include "FernwickCore/Platform/Trash.h"

#include <QThreadPool>

namespace fernwick::ui {

void AppState::expireUndo() {
    setLastTrashed(std::nullopt);
}

void AppState::undoLastTrash(std::function<void()> done) {
    if (!m_lastTrashed) {
        call(done);
        return;
    }
    TrashUndo record = *m_lastTrashed;
    m_undoExpiryTimer.stop();
    setLastTrashed(std::nullopt);
    auto trash = m_services.trash;
    runOnPool(
        m_quickWork, [this, record, trash, done = std::move(done)]() -> std::function<void()> {
            std::string failure;
            bool stillInTrash = true;
            std::optional<TimePoint> restoredAt;
            if (!trash) {
                failure = "No Trash is available.";
            } else if (const Status restored = trash->restore(
                           record.trashedURL,
                           record.movedFrom.empty() ? record.originalURL : record.movedFrom,
                           record.trashedIdentity);
                       !restored) {
                failure = restored.error().message();
                stillInTrash = !Trash::isNoLongerInTrash(restored.error());
            } else {
                // After the move back: its own rename is no later than this, what others do to
                // the item from now on is later.
                restoredAt = listingStart();
            }
            return [this, record, failure, stillInTrash, restoredAt, done] {
                if (!failure.empty()) {
                    setUserAlert(UserAlert("Couldn't restore " + record.node->name(),
                                           (stillInTrash ? "It is still in the Trash — you can "
                                                           "restore it from your file manager. ("
                                                         : "It is no longer in the Trash. (") +
                                               failure + ")"));
                    call(done);
                    return;
                }
                if (restoredAt) {
                    m_restoredAt[paths::standardize(record.originalURL).native()] = *restoredAt;
                }
                finishTreeChange(m_tree.restore(record.node, record.size, record.allocatedSize,
                                                record.children));
                refreshTrashCount();
                call(done);
            };
        });
}

void AppState::refreshTrashCount() {
    queue([this] {
        auto trash = m_services.trash;
        runOnPool(m_quickWork, [this, trash]() -> std::function<void()> {
            const std::int64_t count = trash ? trash->itemCount() : 0;
            return [this, count] { setTrashItemCount(count); };
        });
    });
}

void AppState::emptyTrash() {
    setIsTrashEmptying(true);
    // Emptying removes the trashed item for good, so its undo can only fail now.
    if (m_lastTrashed) {
        m_undoExpiryTimer.stop();
        setLastTrashed(std::nullopt);
    }
    queue([this] {
        auto trash = m_services.trash;
        runOnPool(m_longWork, [this, trash]() -> std::function<void()> {
            if (trash) {
                (void)trash->empty(); // failures show in the count that follows
            }
            return [this] {
                QTimer::singleShot(kTrashSettleMs, this, [this] {
                    refreshTrashCount();
                    queue([this] { setIsTrashEmptying(false); });
                });
            };
        });
    });
}

void AppState::revealInFinder(const std::filesystem::path& url) {
    if (m_services.revealInFileManager) {
        m_services.revealInFileManager(url);
    }
}

} // namespace fernwick::ui
