// One running copy per session: the program started twice over one session folder, and the
// lock and socket that decide it.

#include "FernwickUI/MainWindow/SingleInstance.h"
#include "tests/Support/TempTree.h"

#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using fernwick::test::TempTree;
using fernwick::ui::SingleInstance;
namespace fs = std::filesystem;

namespace {

// A socket file with nobody listening, as a copy that crashed leaves it.
void leaveStaleSocket(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    QCOMPARE(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

bool someoneListens(const fs::path& socket) {
    QLocalSocket probe;
    probe.connectToServer(QString::fromStdString(socket.string()));
    return probe.waitForConnected(200);
}

// The program in a home, XDG folders and session folder of its own, with no display.
struct Session {
    TempTree tree;
    fs::path runtime = tree.folder("runtime");
    fs::path socket = runtime / "tarnbrook-ridar.socket";
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

    std::unique_ptr<QProcess> start() {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(RIDAR_PROGRAM), {});
        return process;
    }
};

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

    // The lock decides: a second claim over one folder is told to end, and the running copy
    // hears the request with the later start's token (or none); a peer that sends anything
    // else is not heard. Once the running copy is gone, the next claim runs.
    void aSecondClaimAsksTheFirstToComeForward() {
        TempTree tree;
        const fs::path folder = tree / "session";
        auto first = std::make_unique<SingleInstance>(folder);
        QCOMPARE(first->claim(QString()), SingleInstance::Claim::primary);
        QSignalSpy asked(first.get(), &SingleInstance::activationRequested);

        SingleInstance second(folder);
        QCOMPARE(second.claim(QStringLiteral("token-1")), SingleInstance::Claim::forwarded);
        QTRY_COMPARE(asked.count(), 1);
        QCOMPARE(asked[0][0].toString(), QStringLiteral("token-1"));
        QLocalSocket stranger;
        stranger.connectToServer(QString::fromStdString(first->socketPath().string()));
        QVERIFY(stranger.waitForConnected(1000));
        stranger.write("hello\n");
        QTRY_COMPARE(stranger.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(SingleInstance(folder).claim(QString()), SingleInstance::Claim::forwarded);
        QTRY_COMPARE(asked.count(), 2);
        QCOMPARE(asked[1][0].toString(), QString());

        first.reset();
        QCOMPARE(SingleInstance(folder).claim(QString()), SingleInstance::Claim::primary);
    }

    // A lock held by a copy that never listens: a later start gives up after its patience and
    // ends rather than run beside it. A folder where no lock can be made: the copy runs.
    void anUnreachableCopyStillKeepsTheSecondOut() {
        TempTree tree;
        const fs::path folder = tree.folder("session");
        const int held = ::open((folder / "tarnbrook-ridar.lock").c_str(), O_RDWR | O_CREAT, 0600);
        QCOMPARE(::flock(held, LOCK_EX | LOCK_NB), 0);
        QCOMPARE(SingleInstance(folder).claim(QString(), std::chrono::milliseconds(100)),
                 SingleInstance::Claim::unreachable);
        ::close(held);
        tree.file("not-a-folder", "x");
        QCOMPARE(SingleInstance(tree / "not-a-folder/session").claim(QString()),
                 SingleInstance::Claim::unguarded);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
