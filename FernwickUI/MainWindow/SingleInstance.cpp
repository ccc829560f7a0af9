#include "FernwickUI/MainWindow/SingleInstance.h"

#include "FernwickCore/Platform/Environment.h"

#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fernwick::ui {
namespace {

constexpr QByteArrayView kRequest = "activate";
constexpr QByteArrayView kAnswer = "ok\n";
// A request is one short line; a peer that sends more is not a later start of this program.
constexpr qsizetype kMaxRequestBytes = 4096;
// A later start sends its line at once: a peer silent for this long is dropped.
constexpr int kIoTimeoutMs = 1000;
// Later starts waiting to be heard at one time; more are dropped as they come.
constexpr std::size_t kMaxPeers = 16;
constexpr int kBacklog = 64;
constexpr auto kRetryPause = std::chrono::milliseconds(50);
constexpr int kRelistenPauseMs = 200;

bool fitsAddress(const std::filesystem::path& socket) {
    return socket.native().size() < sizeof(sockaddr_un::sun_path);
}

sockaddr_un addressOf(const std::filesystem::path& socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket.c_str(), socket.native().size());
    return address;
}

// unix(7): SO_PEERCRED gives the user of the process at the other end (for a listening socket,
// the one that called listen()).
bool isPeerOfThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof(peer) &&
           peer.uid == ::geteuid();
}

// Waits for `events` on `fd` until `deadline`; false on a time-out or an error.
bool waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::max<long>(0, left.count())));
        if (ready > 0) {
            return (entry.revents & events) != 0;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Hands `request` to the copy listening on `socket`; true once a copy of this user answered.
bool forward(const std::filesystem::path& socket, const QByteArray& request) {
    if (socket.empty() || !fitsAddress(socket) ||
        !SingleInstance::isPrivateFolder(socket.parent_path())) {
        return false;
    }
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const sockaddr_un address = addressOf(socket);
    // A local connect either completes at once or fails (EAGAIN: the backlog is full).
    if (!fd ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        return false;
    }
    if (!isPeerOfThisUser(fd.get())) {
        return false; // someone else's socket: it hears nothing, the start token least of all
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t written =
            ::send(fd.get(), request.constData() + sent,
                   static_cast<std::size_t>(request.size() - sent), MSG_NOSIGNAL);
        if (written > 0) {
            sent += written;
            continue;
        }
        const bool again = written < 0 && (errno == EAGAIN || errno == EINTR);
        if (!again || !waitFor(fd.get(), POLLOUT, deadline)) {
            return false;
        }
    }
    QByteArray answer;
    while (answer.size() < kAnswer.size()) {
        char buffer[8];
        const ssize_t got = ::recv(fd.get(), buffer, sizeof(buffer), 0);
        if (got > 0) {
            answer.append(buffer, got);
            continue;
        }
        const bool again = got < 0 && (errno == EAGAIN || errno == EINTR);
        if (!again || !waitFor(fd.get(), POLLIN, deadline)) {
            return false;
        }
    }
    return answer.startsWith(kAnswer);
}

} // namespace

SingleInstance::SingleInstance(std::filesystem::path lockFolder,
                               std::vector<std::filesystem::path> socketFolders, QObject* parent)
    : QObject(parent), m_lockFolder(std::move(lockFolder)),
      m_socketFolders(std::move(socketFolders)) {}

SingleInstance::SingleInstance(const Environment& env, QObject* parent)
    : SingleInstance(lockFolder(env), socketFolders(env), parent) {}

SingleInstance::~SingleInstance() {
    stopListening();
    if (!m_socketPath.empty()) {
        ::unlink(m_socketPath.c_str());
    }
    // m_lock closes last: the lock is released once the socket is gone.
}

std::filesystem::path SingleInstance::lockFolder(const Environment& env) {
    return env.preferencesFile().parent_path();
}

std::vector<std::filesystem::path> SingleInstance::socketFolders(const Environment& env) {
    std::vector<std::filesystem::path> folders;
    if (!env.runtimeFolder.empty()) {
        folders.push_back(env.runtimeFolder);
    }
    folders.push_back("/tmp/tarnbrook-ridar-" + std::to_string(::geteuid()));
    folders.push_back(lockFolder(env));
    return folders;
}

bool SingleInstance::isPrivateFolder(const std::filesystem::path& folder) {
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

QString SingleInstance::startupToken() {
    QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
    return token.isEmpty() ? qEnvironmentVariable("DESKTOP_STARTUP_ID") : token;
}

SingleInstance::Lock SingleInstance::takeLock() {
    if (!m_lock) {
        std::error_code ignored;
        if (std::filesystem::create_directories(m_lockFolder, ignored)) {
            ::chmod(m_lockFolder.c_str(), 0700);
        }
        m_lock = UniqueFd(::open(lockPath().c_str(),
                                 O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
        struct stat info {};
        if (!m_lock || ::fstat(m_lock.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            m_lock.reset();
            return Lock::failed;
        }
    }
    // flock(2): held by this open file until it is closed, by the kernel when the process ends.
    if (::flock(m_lock.get(), LOCK_EX | LOCK_NB) == 0) {
        return Lock::taken;
    }
    return errno == EWOULDBLOCK ? Lock::busy : Lock::failed;
}

// The running copy writes its socket's path, and a newline, into the lock file.
std::filesystem::path SingleInstance::recordedSocket() const {
    char text[sizeof(sockaddr_un::sun_path) + 1];
    const ssize_t size = ::pread(m_lock.get(), text, sizeof(text), 0);
    if (size <= 1 || text[size - 1] != '\n') {
        return {};
    }
    return std::string(text, static_cast<std::size_t>(size - 1));
}

SingleInstance::Claim SingleInstance::claim(const QString& activationToken,
                                            std::chrono::milliseconds patience) {
    QByteArray request = kRequest.toByteArray();
    if (!activationToken.isEmpty() && !activationToken.contains(QLatin1Char('\n'))) {
        request += ' ' + activationToken.toUtf8();
    }
    request += '\n';
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
        if (forward(recordedSocket(), request)) {
            return Claim::forwarded;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Claim::unreachable;
        }
        QThread::msleep(static_cast<unsigned long>(kRetryPause.count()));
    }
}

void SingleInstance::listen() {
    stopListening();
    // Named after the lock file, so that copies over other preferences never share a socket.
    struct stat lock {};
    ::fstat(m_lock.get(), &lock);
    const std::string name = "tarnbrook-ridar-" + std::to_string(lock.st_dev) + "-" +
                             std::to_string(lock.st_ino) + ".socket";
    for (const std::filesystem::path& folder : m_socketFolders) {
        ::mkdir(folder.c_str(), 0700);
        const std::filesystem::path socket = folder / name;
        if (!isPrivateFolder(folder) || !fitsAddress(socket)) {
            continue;
        }
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        // The lock is held, so a socket of this name is one a crashed copy left behind.
        struct stat left {};
        if (::lstat(socket.c_str(), &left) == 0 && S_ISSOCK(left.st_mode)) {
            ::unlink(socket.c_str());
        }
        const sockaddr_un address = addressOf(socket);
        if (!fd ||
            ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            continue;
        }
        if (::listen(fd.get(), kBacklog) != 0) {
            ::unlink(socket.c_str());
            continue;
        }
        m_listener = std::move(fd);
        m_socketPath = socket;
        m_listening = new QSocketNotifier(m_listener.get(), QSocketNotifier::Read, this);
        connect(m_listening, &QSocketNotifier::activated, this, &SingleInstance::acceptPeers);
        break;
    }
    const std::string record = m_socketPath.empty() ? std::string() : m_socketPath.native() + '\n';
    if (::ftruncate(m_lock.get(), 0) != 0 || ::pwrite(m_lock.get(), record.data(), record.size(),
                                                      0) != static_cast<ssize_t>(record.size())) {
        qWarning("Tarnbrook Ridar: cannot write %s: %s", lockPath().c_str(), std::strerror(errno));
    }
    if (m_socketPath.empty()) {
        // Still the only copy (the lock says so); later starts just cannot bring it forward.
        qWarning("Tarnbrook Ridar: no private folder for a socket; later starts cannot reach "
                 "this copy.");
    }
}

void SingleInstance::stopListening() {
    delete m_listening;
    m_listening = nullptr;
    m_listener.reset();
    for (auto& [id, peer] : m_peers) {
        delete peer.notifier;
    }
    m_peers.clear();
}

void SingleInstance::acceptPeers() {
    while (true) {
        UniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            const int error = errno;
            if (error == EAGAIN || error == EINTR || error == ECONNABORTED || error == EPROTO) {
                return;
            }
            // Out of descriptors or memory (accept(2): EMFILE, ENFILE, ENOBUFS, ENOMEM): the
            // listener stays, but rests a moment; anything else: it is made again.
            const bool rest =
                error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
            m_listening->setEnabled(false);
            QTimer::singleShot(kRelistenPauseMs, this, [this, rest] {
                if (rest && m_listening != nullptr) {
                    m_listening->setEnabled(true);
                } else {
                    ::unlink(m_socketPath.c_str());
                    m_socketPath.clear();
                    listen();
                }
            });
            return;
        }
        if (!isPeerOfThisUser(fd.get()) || m_peers.size() >= kMaxPeers) {
            continue; // closed unheard
        }
        const std::uint64_t id = m_nextPeer++;
        Peer& peer = m_peers[id];
        peer.notifier = new QSocketNotifier(fd.get(), QSocketNotifier::Read, this);
        peer.fd = std::move(fd);
        connect(peer.notifier, &QSocketNotifier::activated, this, [this, id] { readPeer(id); });
        QTimer::singleShot(kIoTimeoutMs, peer.notifier, [this, id] { dropPeer(id); });
        readPeer(id);
    }
}

void SingleInstance::readPeer(std::uint64_t id) {
    const auto found = m_peers.find(id);
    if (found == m_peers.end()) {
        return;
    }
    Peer& peer = found->second;
    while (!peer.received.contains('\n')) {
        char buffer[512];
        const ssize_t got = ::recv(peer.fd.get(), buffer, sizeof(buffer), 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return; // more comes later, or the time-out drops it
        }
        if (got <= 0 || peer.received.size() + got > kMaxRequestBytes) {
            dropPeer(id);
            return;
        }
        peer.received.append(buffer, got);
    }
    const QByteArray line = peer.received.first(peer.received.indexOf('\n')).trimmed();
    const qsizetype space = line.indexOf(' ');
    const bool asked = line.first(space < 0 ? line.size() : space) == kRequest;
    if (asked) {
        (void)::send(peer.fd.get(), kAnswer.data(), static_cast<std::size_t>(kAnswer.size()),
                     MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    dropPeer(id);
    if (asked) {
        emit activationRequested(space < 0 ? QString() : QString::fromUtf8(line.mid(space + 1)));
    }
}

void SingleInstance::dropPeer(std::uint64_t id) {
    const auto found = m_peers.find(id);
    if (found == m_peers.end()) {
        return;
    }
    // Deleted later: this may run inside that notifier's own signal.
    found->second.notifier->setEnabled(false);
    found->second.notifier->deleteLater();
    m_peers.erase(found);
}

} // namespace fernwick::ui
