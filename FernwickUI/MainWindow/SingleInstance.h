#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>

class QLocalServer;

namespace fernwick {
struct Environment;
}

namespace fernwick::ui {

/// Keeps the program to one running copy per user session, so that two copies never hold the
/// preferences in memory side by side (each would write its own list of protected paths over
/// the other's). The first start holds an advisory lock on a file in the session folder for its
/// whole life and listens on a local socket beside it; a later start finds the lock taken, asks
/// the running copy through the socket to bring its window forward, and ends. The kernel drops
/// the lock when a copy ends, crashed or not; the socket file a crashed copy left is replaced by
/// the next first start. GUI thread; a QCoreApplication must exist.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        /// This is the running copy: it holds the lock (and listens, when the socket can be made).
        primary,
        /// Another copy runs and was asked to come forward: this start should end.
        forwarded,
        /// Another copy holds the lock but could not be reached in time: this start should end.
        unreachable,
        /// No lock could be made in the folder: this copy runs without the guard.
        unguarded,
    };

    /// Lock and socket in `folder`, which is made (mode 0700) when missing.
    explicit SingleInstance(std::filesystem::path folder, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Tries to become the running copy. When another copy holds the lock, connects to it and
    /// sends the request to come forward with `activationToken` (the desktop's startup token of
    /// this start; may be empty), trying again until `patience` has passed (the other copy may
    /// still be starting; when it ends meanwhile, this start takes the lock). Blocking.
    Claim claim(const QString& activationToken,
                std::chrono::milliseconds patience = std::chrono::seconds(5));

    std::filesystem::path lockPath() const { return m_folder / "tarnbrook-ridar.lock"; }
    std::filesystem::path socketPath() const { return m_folder / "tarnbrook-ridar.socket"; }

    /// The session folder: $XDG_RUNTIME_DIR when set and absolute, else a folder of the user's
    /// own under the cache home (`env.cacheHome`/Fernwick).
    static std::filesystem::path sessionFolder(const Environment& env);
    /// The startup token the desktop gave this start: $XDG_ACTIVATION_TOKEN, else
    /// $DESKTOP_STARTUP_ID; empty when neither is set.
    static QString startupToken();

signals:
    /// A later start asked this copy to come forward, with its startup token (may be empty).
    void activationRequested(const QString& activationToken);

private:
    enum class Lock { taken, busy, failed };
    Lock takeLock();
    void listen();
    void readRequest();

    std::filesystem::path m_folder;
    int m_lock = -1;
    QLocalServer* m_server = nullptr;
};

} // namespace fernwick::ui
