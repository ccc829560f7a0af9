#include "FernwickUI/State/AppState.h"

#include "FernwickCore/Engines/SafetyEngine.h"
#include "FernwickCore/Platform/Trash.h"

#include <QThreadPool>

namespace fernwick::ui {

namespace {

void call(const std::function<void()>& done) {
    if (done) {
        done();
    }
}

} // namespace

void AppState::trashNode(const DiskNodePtr& node, std::function<void()> done) {
    if (!node) {
        call(done);
        return;
    }
    const std::string name = node->name();
    const std::filesystem::path url = node->url();
    // The scanned inode is the identity the move must find; 0 means the scan recorded none.
    const std::optional<std::uint64_t> expectedInode =
        node->inode != 0 ? std::optional(node->inode) : std::nullopt;
    auto safety = m_services.safety;
    auto trash = m_services.trash;
    runOnPool(
        m_quickWork,
        [this, node, name, url, expectedInode, safety, trash, done]() -> std::function<void()> {
            CheckedTrashMove move;
            if (safety && trash) {
                move = safety->moveToTrashChecked(url, expectedInode, *trash);
            } else {
                move.validation.isSafe = true;
                move.failure = "No Trash is available.";
            }
            return [this, node, name, url, move, done] {
                if (move.refused()) {
                    setUserAlert(UserAlert(name + " is protected", move.validation.reason));
                    call(done);
                    return;
                }
                if (!move.moved()) {
                    setUserAlert(UserAlert("Couldn't move " + name + " to Trash", move.failure));
                    call(done);
                    return;
                }
                // Applied at once, also while an engine reads the tree (it keeps its view).
                const DiskNodePtr before = m_tree.current(node);
                const std::int64_t size = before->size;
                const std::int64_t allocated = before->allocatedSize;
                std::vector<DiskNodePtr> children = before->children;
                const ScanTree::Change change = m_tree.empty(before);
                setLastTrashed(TrashUndo(change.node ? change.node : before, url, *move.trashedURL,
                                         size, allocated, std::move(children)));
                // One timer, restarted: an earlier move's expiry can never clear this record.
                m_undoExpiryTimer.start();
                finishTreeChange(change);
                refreshTrashCount();
                call(done);
            };
        });
}

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
    runOnPool(m_quickWork, [this, record, trash, done]() -> std::function<void()> {
        std::string failure;
        if (!trash) {
            failure = "No Trash is available.";
        } else if (const Status restored = trash->restore(record.trashedURL, record.originalURL);
                   !restored) {
            failure = restored.error().message();
        }
        return [this, record, failure, done] {
            if (!failure.empty()) {
                setUserAlert(UserAlert("Couldn't restore " + record.node->name(),
                                       "It is still in the Trash — you can restore it from "
                                       "your file manager. (" +
                                           failure + ")"));
                call(done);
                return;
            }
            finishTreeChange(
                m_tree.restore(record.node, record.size, record.allocatedSize, record.children));
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
