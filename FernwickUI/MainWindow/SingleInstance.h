#pragma once

#include "FernwickCore/Platform/UniqueFd.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <vector>

class QSocketNotifier;

namespace fernwick {
struct Environment;
}

namespace fernwick::ui {

/// Keeps the program to one running copy per user and preferences file, so that two copies
/// never hold the preferences in memory side by side (each would write its own list of
/// protected paths over the other's). The first start holds an advisory lock on a file beside
/// the preferences for its whole life, listens on a local socket in a folder only this user can
/// enter, and writes that socket's path into the lock file; a later start, from whatever session
/// (desktop, ssh, su, cron), finds the lock taken, reads the path, asks the running copy to bring
/// its window forward, and ends. The kernel drops the lock when a copy ends, crashed or not.
/// Only a peer of this user is heard, and only a running copy of this user is handed the
/// request. GUI thread; a QCoreApplication must exist for the running copy's socket.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        /// This is the running copy: it holds the lock (and listens, when a socket can be made).
        primary,
        /// Another copy runs and answered the request to come forward: this start should end.
        forwarded,
        /// Another copy holds the lock but could not be reached in time: this start should end.
        unreachable,
        /// No lock could be made beside the preferences: this copy runs without the guard.
        unguarded,
    };

    /// The lock in `lockFolder` (made, mode 0700, when missing); the socket in the first of
    /// `socketFolders` that is private to this user (each is made, mode 0700, when missing,
    /// and checked every time) and shallow enough for a socket address.
    SingleInstance(std::filesystem::path lockFolder,
                   std::vector<std::filesystem::path> socketFolders, QObject* parent = nullptr);
    /// The places for `env`: lockFolder(env) and socketFolders(env).
    explicit SingleInstance(const Environment& env, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Tries to become the running copy. When another copy holds the lock, connects to the
    /// socket it names and sends the request to come forward with `activationToken` (the
    /// desktop's startup token of this start; may be empty), trying again until `patience` has
    /// passed (the other copy may still be starting; when it ends meanwhile, this start takes
    /// the lock). Blocking; needs no event loop.
    Claim claim(const QString& activationToken,
                std::chrono::milliseconds patience = std::chrono::seconds(5));

    std::filesystem::path lockPath() const { return m_lockFolder / "tarnbrook-ridar.lock"; }
    /// The socket this copy listens on; empty unless it is the running copy and has one.
    std::filesystem::path socketPath() const { return m_socketPath; }

    /// Beside the preferences: `env.configHome`/Fernwick.
    static std::filesystem::path lockFolder(const Environment& env);
    /// Where the socket may go, best first: the session's runtime folder (when set), then
    /// /tmp/tarnbrook-ridar-<uid>, then the lock folder.
    static std::vector<std::filesystem::path> socketFolders(const Environment& env);
    /// True when `folder` is a folder itself (not a link to one) owned by this user, that
    /// neither its group nor others may enter, read or write.
    static bool isPrivateFolder(const std::filesystem::path& folder);
    /// The startup token the desktop gave this start: $XDG_ACTIVATION_TOKEN, else
    /// $DESKTOP_STARTUP_ID; empty when neither is set.
    static QString startupToken();

signals:
    /// A later start asked this copy to come forward, with its startup token (may be empty).
    void activationRequested(const QString& activationToken);

private:
    struct Peer {
        UniqueFd fd;
        QSocketNotifier* notifier = nullptr;
        QByteArray received;
    };
    enum class Lock { taken, busy, failed };
    Lock takeLock();
    std::filesystem::path recordedSocket() const;
    void listen();
    void stopListening();
    void acceptPeers();
    void readPeer(std::uint64_t id);
    void dropPeer(std::uint64_t id);

    std::filesystem::path m_lockFolder;
    std::vector<std::filesystem::path> m_socketFolders;
    UniqueFd m_lock;
    UniqueFd m_listener;
    QSocketNotifier* m_listening = nullptr;
    std::filesystem::path m_socketPath;
    std::map<std::uint64_t, Peer> m_peers;
    std::uint64_t m_nextPeer = 0;
};

} // namespace fernwick::ui
