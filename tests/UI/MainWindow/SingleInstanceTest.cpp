// One running copy per session: the program started twice over one session folder, and the
// lock and socket that decide it.

#include "FernwickUI/MainWindow/SingleInstance.h"
#include "tests/Support/TempTree.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using fernwick::test::TempTree;
using fernwick::ui::SingleInstance;
namespace fs = std::filesystem;

namespace {

sockaddr_un addressOf(const fs::path& socket) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
    return address;
}

// A later start's claim over the lock in `lockFolder`, on a thread of its own (the claim
// blocks until the running copy, on this thread's event loop, answers).
std::future<SingleInstance::Claim>
claimElsewhere(const fs::path& lockFolder,
               std::chrono::milliseconds patience = std::chrono::seconds(5),
               const QString& token = QString()) {
    return std::async(std::launch::async, [=] {
        return SingleInstance(lockFolder, {lockFolder}).claim(token, patience);
    });
}

bool isReady(const std::future<SingleInstance::Claim>& claim) {
    return claim.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// A child process run as the user and group "nobody".
struct OtherUser {
    pid_t pid = -1;
    int status = -1;
    // True once the child has ended by itself with `code` (a test may ask more than once).
    bool endedWith(int code) {
        int waited = 0;
        if (status < 0 && ::waitpid(pid, &waited, WNOHANG) == pid) {
            status = WIFEXITED(waited) ? WEXITSTATUS(waited) : 128;
        }
        return status == code;
    }
};

OtherUser asAnotherUser(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? body() : 2);
    }
    return {child};
}

// A socket file with nobody listening, as a copy that crashed leaves it.
void leaveStaleSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

bool someoneListens(const fs::path& socket) {
    QLocalSocket probe;
    probe.connectToServer(QString::fromStdString(socket.string()));
    return probe.waitForConnected(200);
}

// The socket a running copy made in `folder`, if any.
fs::path socketIn(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_socket(error)) {
            return entry.path();
        }
    }
    return {};
}

// True while some copy holds the lock beside the preferences in `configHome`.
bool lockHeld(const fs::path& configHome) {
    const int fd =
        ::open((configHome / "Fernwick/tarnbrook-ridar.lock").c_str(), O_RDONLY | O_CLOEXEC);
    const bool held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (fd >= 0) {
        ::close(fd);
    }
    return held;
}

// A connection that sends nothing; -1 when none could be made.
int idlePeer(const fs::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_un address = addressOf(socket);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// True once the other end has closed every one of `peers`.
bool allDropped(const std::vector<int>& peers) {
    for (const int fd : peers) {
        pollfd entry{fd, POLLIN, 0};
        char byte = 0;
        if (::poll(&entry, 1, 0) != 1 || ::recv(fd, &byte, 1, MSG_DONTWAIT) > 0) {
            return false;
        }
    }
    return true;
}

// The program in a home, XDG folders and session folder of its own, with no display.
struct Session {
    TempTree tree;
    fs::path runtime = [this] {
        const fs::path folder = tree.folder("runtime");
        ::chmod(folder.c_str(), 0700);
        return folder;
    }();
    // The socket a copy holding the lock beside these preferences makes in the runtime folder
    // (named after the lock file, made here so that the name is known beforehand).
    fs::path socket = [this] {
        struct stat lock {};
        ::stat(tree.file("home/.config/Fernwick/tarnbrook-ridar.lock").c_str(), &lock);
        return runtime / ("tarnbrook-ridar-" + std::to_string(lock.st_dev) + "-" +
                          std::to_string(lock.st_ino) + ".socket");
    }();
    QProcessEnvironment environment = [this] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const auto set = [&](const char* name, const fs::path& path) {
            env.insert(QString::fromLatin1(name), QString::fromStdString(path.string()));
        };
        set("HOME", tree.folder("home"));
        set("XDG_CONFIG_HOME", tree / "home/.config");
        set("XDG_DATA_HOME", tree / "home/.local/share");
        set("XDG_CACHE_HOME", tree / "home/.cache");
        set("XDG_RUNTIME_DIR", runtime);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
        env.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
        return env;
    }();

    std::unique_ptr<QProcess> start() { return startWith(environment); }

    // A start from another kind of session: its runtime folder is `runtime`, or none when empty.
    std::unique_ptr<QProcess> startFrom(const fs::path& otherRuntime) {
        QProcessEnvironment env = environment;
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        if (!otherRuntime.empty()) {
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       QString::fromStdString(otherRuntime.string()));
        }
        return startWith(env);
    }

    std::unique_ptr<QProcess> startWith(const QProcessEnvironment& env,
                                        std::function<void()> inChild = {}) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (inChild) {
            process->setChildProcessModifier(inChild);
        }
        process->start(QStringLiteral(RIDAR_PROGRAM), {});
        return process;
    }
};

// Waits for `process` to end; true when it ended by itself with `exitCode`.
bool endsWith(QProcess& process, int exitCode) {
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == exitCode;
}

} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    // A second start asks the running copy to come forward and ends, so two copies never
    // write the preferences over each other; a socket a crashed copy left does not stop the
    // next start, and after the running copy is killed the next start runs.
    void aSecondStartEndsAndTheFirstRunsOn() {
        Session session;
        leaveStaleSocket(session.socket);
        const auto first = session.start();
        QTRY_VERIFY_WITH_TIMEOUT(someoneListens(session.socket), 30000);

        const auto second = session.start();
        QVERIFY(second->waitForFinished(30000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);

        first->kill(); // its socket file stays behind, its lock goes with it
        QVERIFY(first->waitForFinished(30000));
        QVERIFY(!someoneListens(session.socket));
        const auto third = session.start();
        QTRY_VERIFY_WITH_TIMEOUT(someoneListens(session.socket), 30000);
        QCOMPARE(third->state(), QProcess::Running);
        third->kill();
        third->waitForFinished(30000);
    }

    // Sessions see different runtime folders (desktop, ssh, su, cron) or none, yet all share
    // the one preferences file: whatever runtime folder a later start has (another one, none,
    // one it cannot write, one open to others, one too deep for a socket address), it reaches
    // the running copy and ends, and only one copy runs.
    void startsFromOtherSessionsLeaveOneCopy() {
        Session session;
        const auto first = session.start();
        QTRY_VERIFY_WITH_TIMEOUT(someoneListens(socketIn(session.runtime)), 30000);

        const fs::path open = session.tree.folder("open-runtime");
        ::chmod(open.c_str(), 0755);
        const fs::path deep = session.tree.folder(std::string(120, 'd'));
        ::chmod(deep.c_str(), 0700);
        session.tree.file("a-file");
        for (const fs::path& runtime : {session.tree.folder("desktop-runtime"), fs::path(),
                                        session.tree / "a-file/runtime", open, deep}) {
            const auto later = session.startFrom(runtime);
            QVERIFY2(endsWith(*later, 0), runtime.c_str());
            QCOMPARE(first->state(), QProcess::Running);
        }
        first->kill();
        QVERIFY(first->waitForFinished(30000));
    }

    // A running copy started without a usable runtime folder, or with one whose socket address
    // would be too long, still answers later starts (before, each waited its patience out and
    // said the program was already running).
    void aCopyWithoutAUsableRuntimeFolderStillAnswers() {
        Session session;
        const fs::path deep = session.tree.folder(std::string(120, 'd'));
        ::chmod(deep.c_str(), 0700);
        const fs::path open = session.tree.folder("open-runtime");
        ::chmod(open.c_str(), 0777);
        for (const fs::path& runtime : {deep, open, fs::path()}) {
            const auto first = session.startFrom(runtime);
            QTRY_VERIFY_WITH_TIMEOUT(lockHeld(session.tree / "home/.config"), 30000);
            const auto later = session.startFrom(runtime);
            QVERIFY2(endsWith(*later, 0), runtime.c_str());
            QCOMPARE(first->state(), QProcess::Running);
            QVERIFY(socketIn(open).empty());
            first->kill();
            QVERIFY(first->waitForFinished(30000));
        }
    }

    // Connections that send nothing are dropped within a second, and however many come, the
    // running copy keeps answering: with few descriptors to spare, a flood of idle peers does
    // not stop it listening, and a real start afterwards is still heard.
    void idlePeersAreDroppedAndTheCopyStillAnswers() {
        Session session;
        const auto first = session.startWith(session.environment, [] {
            const rlimit few{128, 128};
            ::setrlimit(RLIMIT_NOFILE, &few);
        });
        QTRY_VERIFY_WITH_TIMEOUT(someoneListens(socketIn(session.runtime)), 30000);
        std::vector<int> peers;
        for (int i = 0; i < 3; ++i) {
            peers.push_back(idlePeer(socketIn(session.runtime)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(allDropped(peers), 5000);
        QCOMPARE(first->state(), QProcess::Running);
        for (const int fd : peers) {
            ::close(fd);
        }
        peers.clear();
        for (int i = 0; i < 400; ++i) {
            if (const int fd = idlePeer(socketIn(session.runtime)); fd >= 0) {
                peers.push_back(fd);
            }
        }
        QVERIFY(peers.size() >= 100);
        QTRY_VERIFY_WITH_TIMEOUT(allDropped(peers), 20000);
        for (const int fd : peers) {
            ::close(fd);
        }
        const auto later = session.start();
        QVERIFY(endsWith(*later, 0));
        QCOMPARE(first->state(), QProcess::Running);
        first->kill();
        QVERIFY(first->waitForFinished(30000));
    }

    // The lock decides: a second claim over one folder is told to end, and the running copy
    // hears the request with the later start's token (or none); a peer that sends anything
    // else is not heard. Once the running copy is gone, the next claim runs.
    void aSecondClaimAsksTheFirstToComeForward() {
        TempTree tree;
        const fs::path folder = tree / "session";
        auto first = std::make_unique<SingleInstance>(folder, std::vector{folder});
        QCOMPARE(first->claim(QString()), SingleInstance::Claim::primary);
        QSignalSpy asked(first.get(), &SingleInstance::activationRequested);

        auto second = claimElsewhere(folder, std::chrono::seconds(5), QStringLiteral("token-1"));
        QTRY_VERIFY(isReady(second));
        QCOMPARE(second.get(), SingleInstance::Claim::forwarded);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked[0][0].toString(), QStringLiteral("token-1"));
        QLocalSocket stranger;
        stranger.connectToServer(QString::fromStdString(first->socketPath().string()));
        QVERIFY(stranger.waitForConnected(1000));
        stranger.write("hello\n");
        QTRY_COMPARE(stranger.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(asked.count(), 1);
        auto third = claimElsewhere(folder);
        QTRY_VERIFY(isReady(third));
        QCOMPARE(third.get(), SingleInstance::Claim::forwarded);
        QCOMPARE(asked.count(), 2);
        QCOMPARE(asked[1][0].toString(), QString());

        first.reset();
        QCOMPARE(SingleInstance(folder, {folder}).claim(QString()), SingleInstance::Claim::primary);
    }

    // A lock held by a copy that never listens: a later start gives up after its patience and
    // ends rather than run beside it. A folder where no lock can be made: the copy runs.
    void anUnreachableCopyStillKeepsTheSecondOut() {
        TempTree tree;
        const fs::path folder = tree.folder("session");
        const int held = ::open((folder / "tarnbrook-ridar.lock").c_str(), O_RDWR | O_CREAT, 0600);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        QCOMPARE(SingleInstance(folder, {folder}).claim(QString(), std::chrono::milliseconds(100)),
                 SingleInstance::Claim::unreachable);
        ::close(held);
        tree.file("not-a-folder", "x");
        const fs::path nowhere = tree / "not-a-folder/session";
        QCOMPARE(SingleInstance(nowhere, {nowhere}).claim(QString()),
                 SingleInstance::Claim::unguarded);
    }

    // The socket goes only into a folder of this user's own that nobody else may enter, and
    // every start checks it again: not a folder open to others (sticky or not) or to its group,
    // not a link to a private folder, not another user's, not one too deep for a socket
    // address; a missing one is made private. A running copy whose folder was opened up since
    // it started is not handed the request.
    void onlyAPrivateFolderHoldsTheSocket() {
        TempTree tree;
        const auto withMode = [&](const std::string& name, mode_t mode) {
            const fs::path folder = tree.folder(name);
            ::chmod(folder.c_str(), mode);
            return folder;
        };
        const fs::path privateFolder = withMode("private", 0700);
        std::vector<fs::path> folders = {
            withMode("open", 0777), withMode("sticky", 01777), withMode("group", 0750),
            tree.symlink("link", privateFolder), withMode(std::string(100, 'd'), 0700)};
        if (::geteuid() == 0) {
            folders.push_back(withMode("foreign", 0700));
            QCOMPARE(::chown(folders.back().c_str(), 65534, 65534), 0);
        }
        const fs::path made = tree / "made";
        folders.push_back(made);
        SingleInstance first(tree / "config", folders);
        QCOMPARE(first.claim(QString()), SingleInstance::Claim::primary);
        QCOMPARE(first.socketPath().parent_path(), made);
        QVERIFY(SingleInstance::isPrivateFolder(made));
        for (const fs::path& folder : folders) {
            QVERIFY2(folder == made || socketIn(folder).empty(), folder.c_str());
        }
        QSignalSpy asked(&first, &SingleInstance::activationRequested);

        ::chmod(made.c_str(), 0755);
        auto later = claimElsewhere(tree / "config", std::chrono::milliseconds(300));
        QTRY_VERIFY(isReady(later));
        QCOMPARE(later.get(), SingleInstance::Claim::unreachable);
        QCOMPARE(asked.count(), 0);
        ::chmod(made.c_str(), 0700);
        later = claimElsewhere(tree / "config");
        QTRY_VERIFY(isReady(later));
        QCOMPARE(later.get(), SingleInstance::Claim::forwarded);
        QCOMPARE(asked.count(), 1);
    }

    // Only a peer of this user is heard, and only a running copy of this user is handed the
    // request: another user's program at either end gets nothing.
    void aPeerOfAnotherUserIsRefused() {
        if (::geteuid() != 0) {
            QSKIP("acting as another user needs root");
        }
        TempTree tree;
        const fs::path folder = tree / "session";
        auto first = std::make_unique<SingleInstance>(folder, std::vector{folder});
        QCOMPARE(first->claim(QString()), SingleInstance::Claim::primary);
        QSignalSpy asked(first.get(), &SingleInstance::activationRequested);
        ::chmod(tree.root().c_str(), 0711); // let the other user reach the socket
        ::chmod(folder.c_str(), 0711);
        ::chmod(first->socketPath().c_str(), 0666);
        OtherUser stranger = asAnotherUser([socket = first->socketPath()] {
            const int fd = idlePeer(socket);
            if (fd < 0) {
                return 3;
            }
            (void)::send(fd, "activate stranger\n", 18, MSG_NOSIGNAL);
            char answer = 0;
            return ::recv(fd, &answer, 1, 0) <= 0 ? 0 : 1; // refused: closed unanswered
        });
        QTRY_VERIFY(stranger.endedWith(0));
        QCOMPARE(asked.count(), 0);
        first.reset();
        ::chmod(folder.c_str(), 0700);

        // Another user's program listens where the lock names the running copy's socket.
        const fs::path fake = folder / "fake.socket";
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = addressOf(fake);
        QCOMPARE(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        OtherUser impostor = asAnotherUser([listener] {
            ::listen(listener, 4);
            const int peer = ::accept(listener, nullptr, nullptr);
            char request = 0;
            return ::recv(peer, &request, 1, 0) <= 0 ? 0 : 1; // 1: it was handed the request
        });
        ::close(listener);
        const int held = ::open((folder / "tarnbrook-ridar.lock").c_str(), O_RDWR);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        const std::string record = fake.native() + '\n';
        QVERIFY(::ftruncate(held, 0) == 0 && ::write(held, record.data(), record.size()) > 0);
        auto later = claimElsewhere(folder, std::chrono::milliseconds(500));
        QTRY_VERIFY(isReady(later));
        QCOMPARE(later.get(), SingleInstance::Claim::unreachable);
        QTRY_VERIFY(impostor.endedWith(0));
        ::close(held);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
