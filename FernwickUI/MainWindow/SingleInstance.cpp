#include "FernwickUI/MainWindow/SingleInstance.h"

#include "FernwickCore/Platform/Environment.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fernwick::ui {
namespace {

constexpr QByteArrayView kRequest = "activate";
// A request is one short line; a peer that sends more is not a later start of this program.
constexpr qint64 kMaxRequestBytes = 4096;
constexpr int kIoTimeoutMs = 1000;
constexpr auto kRetryPause = std::chrono::milliseconds(50);

QString nativeName(const std::filesystem::path& path) {
    return QString::fromLocal8Bit(path.native().c_str());
}

} // namespace

SingleInstance::SingleInstance(std::filesystem::path folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

SingleInstance::~SingleInstance() {
    if (m_server != nullptr) {
        m_server->close(); // removes the socket file
    }
    if (m_lock >= 0) {
        ::close(m_lock); // releases the lock
    }
}

std::filesystem::path SingleInstance::sessionFolder(const Environment& env) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return runtime;
    }
    return env.cacheHome / "Fernwick";
}

QString SingleInstance::startupToken() {
    QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return token.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : token;
}

SingleInstance::Lock SingleInstance::takeLock() {
    if (m_lock < 0) {
        std::error_code ignored;
        if (std::filesystem::create_directories(m_folder, ignored)) {
            ::chmod(m_folder.c_str(), 0700);
        }
        m_lock = ::open(lockPath().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_lock < 0) {
            return Lock::failed;
        }
    }
    // flock(2): held by this open file until it is closed, by the kernel when the process ends.
    if (::flock(m_lock, LOCK_EX | LOCK_NB) == 0) {
        return Lock::taken;
    }
    return errno == EWOULDBLOCK ? Lock::busy : Lock::failed;
}

SingleInstance::Claim SingleInstance::claim(const QString& activationToken,
                                            std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (true) {
        switch (takeLock()) {
        case Lock::taken:
            listen();
            return Claim::primary;
        case Lock::failed:
            return Claim::unguarded;
        case Lock::busy:
            break;
        }
        QLocalSocket socket;
        socket.connectToServer(nativeName(socketPath()));
        if (socket.waitForConnected(kIoTimeoutMs)) {
            QByteArray request = kRequest.toByteArray();
            if (!activationToken.isEmpty()) {
                request += ' ' + activationToken.toUtf8();
            }
            socket.write(request + '\n');
            if (socket.waitForBytesWritten(kIoTimeoutMs)) {
                socket.disconnectFromServer();
                return Claim::forwarded;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Claim::unreachable;
        }
        QThread::msleep(static_cast<unsigned long>(kRetryPause.count()));
    }
}

void SingleInstance::listen() {
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is held, so a socket file here is one a crashed copy left behind.
    QLocalServer::removeServer(nativeName(socketPath()));
    if (!m_server->listen(nativeName(socketPath()))) {
        // Still the only copy (the lock says so); later starts just cannot bring it forward.
        qWarning("Tarnbrook Ridar: cannot listen on %s: %s", socketPath().c_str(),
                 qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
}

void SingleInstance::readRequest() {
    while (QLocalSocket* peer = m_server->nextPendingConnection()) {
        const auto read = [this, peer] {
            if (!peer->canReadLine()) {
                if (peer->bytesAvailable() > kMaxRequestBytes) {
                    peer->abort();
                }
                return;
            }
            const QByteArray line = peer->readLine(kMaxRequestBytes).trimmed();
            peer->disconnectFromServer();
            const qsizetype space = line.indexOf(' ');
            if (line.first(space < 0 ? line.size() : space) != kRequest) {
                return;
            }
            emit activationRequested(space < 0 ? QString()
                                               : QString::fromUtf8(line.mid(space + 1)));
        };
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, read);
        if (peer->bytesAvailable() > 0) {
            read();
        }
    }
}

} // namespace fernwick::ui
