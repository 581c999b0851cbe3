#include "core/cli/SingleInstance.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The second copies run as child processes of this test program (the same
// binary, told by the environment what to do), since a hand-over blocks and
// the first copy answers from the event loop.
namespace {
const char* const kChildMode = "SINGLEINSTANCE_CHILD";
const char* const kChildFolder = "SINGLEINSTANCE_FOLDER";
const char* const kChildLimit = "SINGLEINSTANCE_LIMIT";

int RunChild(const QByteArray& mode, const QString& folder)
{
    SingleInstance instance(folder);
    if (mode == "handover") {
        // As a later start does: an import handed over with a limit.
        bool claimed = instance.Claim();
        int status = 0;
        if (!claimed)
            status = HandOverToRunningCopy(instance, {"import-contacts", {"x.vcf"}}, &claimed,
                                           qEnvironmentVariableIntValue(kChildLimit));
        std::printf("claimed %d status %d\n", int(claimed), status);
        return 0;
    }
    if (mode == "otheruser") {
        // Another user's start on a folder both can write.
        if (::setgid(4242) != 0 || ::setuid(4242) != 0)
            return 1;
        const bool claimed = instance.Claim();
        std::printf("claim %d %s\n", int(claimed), qPrintable(instance.ClaimProblem()));
        return 0;
    }
    if (mode == "flood") {
        // Connections that never send anything, held until killed.
        std::vector<int> fds;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, QFile::encodeName(instance.ServerPath()).constData());
        for (int i = 0; i < 300; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                fds.push_back(fd);
        }
        std::printf("flooded %d\n", int(fds.size()));
        std::fflush(stdout);
        ::pause();
        return 0;
    }
    const bool claimed = instance.Claim();
    if (claimed && mode != "headless")
        instance.Listen();
    std::printf("claim %d\n", int(claimed));
    std::fflush(stdout);
    if (mode == "hold" || mode == "headless") {
        // "headless": holds the folder without a socket, as an import
        // without windows does.
        instance.Serve();
        return QCoreApplication::exec();
    }
    for (const SingleInstance::Request& request :
         {SingleInstance::Request{"show", {"toolbar"}}, SingleInstance::Request{"frob", {"x y"}}}) {
        SingleInstance::Reply reply;
        const SingleInstance::Sent sent = instance.Send(request, &reply, 3000);
        std::printf("reply %d %d %s|%s\n", int(sent == SingleInstance::Sent::Answered),
                    reply.status, qPrintable(reply.out), qPrintable(reply.err));
    }
    return 0;
}

QProcess* StartChild(const char* mode, const QString& folder, QObject* parent, int limitMs = 0)
{
    auto* child = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(kChildFolder), folder);
    env.insert(QString::fromLatin1(kChildLimit), QString::number(limitMs));
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

// Runs a child to its end while this process serves; its output lines (and,
// when asked, its standard error).
QStringList RunChildToEnd(const char* mode, const QString& folder, int limitMs = 0,
                          QString* errors = nullptr)
{
    QObject owner;
    QProcess* child = StartChild(mode, folder, &owner, limitMs);
    QElapsedTimer clock;
    clock.start();
    while (child->state() != QProcess::NotRunning && clock.elapsed() < 20000)
        QTest::qWait(10);
    if (errors)
        *errors = QString::fromUtf8(child->readAllStandardError());
    return QString::fromUtf8(child->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

SingleInstance::Reply Answer(const SingleInstance::Request& r)
{
    if (r.command == "show" && r.args == QStringList{"toolbar"})
        return {0, "shown", ""};
    return {3, "", "no such command"};
}

// A client of the socket as any local program could be.
struct RawClient {
    int fd = -1;
    explicit RawClient(const QString& path)
    {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, QFile::encodeName(path).constData());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~RawClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    void Write(const QByteArray& bytes) const { ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL); }
    // What the server sent until it closed the connection, or until the
    // time is up (served from this thread's event loop meanwhile); *closed
    // tells which.
    QByteArray ReadUntilClosed(int ms, bool* closed) const
    {
        QByteArray all;
        QElapsedTimer clock;
        clock.start();
        *closed = false;
        while (clock.elapsed() < ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) {
                char chunk[4096];
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) {
                    *closed = true;
                    break;
                }
                all.append(chunk, n);
            }
        }
        return all;
    }
};
} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void secondCopyHandsItsRequestToTheFirst()
    {
        TestFolder dir, other;
        SingleInstance first(dir.Path());
        QList<SingleInstance::Request> seen;
        first.SetHandler([&](const SingleInstance::Request& r) {
            seen << r;
            return Answer(r);
        });
        QVERIFY(first.Claim());
        QVERIFY(first.Listen());
        first.Serve();

        // The lock file and the socket are this user's alone, the socket in
        // a folder no one else can reach into.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(first.LockPath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 077, mode_t(0));
        QCOMPARE(::stat(QFile::encodeName(first.ServerPath()).constData(), &st), 0);
        QVERIFY(S_ISSOCK(st.st_mode));
        QCOMPARE(st.st_mode & 077, mode_t(0));
        QCOMPARE(st.st_uid, ::getuid());
        const QByteArray folder = QFile::encodeName(QFileInfo(first.ServerPath()).path());
        QCOMPARE(::lstat(folder.constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 077, mode_t(0));
        QCOMPARE(st.st_uid, ::getuid());

        const QStringList lines = RunChildToEnd("send", dir.Path());
        QCOMPARE(lines, (QStringList{"claim 0", "reply 1 0 shown|", "reply 1 3 |no such command"}));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].command, QString("show"));
        QCOMPARE(seen[0].args, QStringList{"toolbar"});
        QCOMPARE(seen[1].command, QString("frob"));
        QCOMPARE(seen[1].args, QStringList{"x y"});

        // Another folder is another claim, side by side.
        SingleInstance beside(other.Path());
        QVERIFY(beside.Claim());
        QVERIFY(beside.ServerPath() != first.ServerPath());
    }

    // Without a private runtime folder the socket must not sit where another
    // user can put a file first: in the shared temporary folder a name taken
    // by someone else is never used.
    void theSocketIsNeverWhereAnotherUserCanBeFirst()
    {
        if (::getuid() != 0)
            QSKIP("needs root to stand in for another user");
        TestFolder dir, tmp, runtime;
        ::chmod(QFile::encodeName(runtime.Path()).constData(), 0755);  // not private
        const QByteArray oldTmp = qgetenv("TMPDIR"), oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.Path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.Path()));
        // Another user holds the name of this user's own folder, open to all.
        const QByteArray taken = QFile::encodeName(tmp.Path()) + "/banterly-" + QByteArray::number(::getuid());
        QCOMPARE(::mkdir(taken.constData(), 0777), 0);
        ::chmod(taken.constData(), 0777);
        QCOMPARE(::chown(taken.constData(), 4242, 4242), 0);
        const QString path = SingleInstanceServerPath(dir.Path());
        qputenv("TMPDIR", oldTmp);
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QVERIFY(!path.startsWith(QFile::decodeName(taken)));
        QVERIFY(!path.startsWith(runtime.Path()));
        if (!path.isEmpty()) {
            struct stat st {};
            QCOMPARE(::lstat(QFile::encodeName(QFileInfo(path).path()).constData(), &st), 0);
            QCOMPARE(st.st_uid, ::getuid());
            QCOMPARE(st.st_mode & 077, mode_t(0));
        }
    }

    // Two users, one folder both can write. While one user's copy runs, the
    // other's start cannot claim the folder and says why (it then runs
    // without writing); once that copy has ended, the lock file it left
    // (0600, no one else can open it) does not lock the other user out.
    void anotherUsersLockFileBindsOnlyWhileItsCopyRuns()
    {
        if (::getuid() != 0)
            QSKIP("needs root to stand in for another user");
        TestFolder dir;
        ::chmod(QFile::encodeName(dir.Path()).constData(), 0777);
        auto first = std::make_unique<SingleInstance>(dir.Path());
        QVERIFY(first->Claim());
        const QStringList whileHeld = RunChildToEnd("otheruser", dir.Path());
        QCOMPARE(whileHeld.size(), 1);
        QVERIFY2(whileHeld[0].startsWith("claim 0 another user (user id 0)"), qPrintable(whileHeld[0]));

        first.reset();
        QCOMPARE(RunChildToEnd("otheruser", dir.Path()), QStringList{"claim 1 "});
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(dir.File("banterly.lock")).constData(), &st), 0);
        QCOMPARE(st.st_uid, uid_t(4242));
        QCOMPARE(st.st_mode & 077, mode_t(0));
        QCOMPARE(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void claimOfADeadCopyIsTakenOver()
    {
        TestFolder dir;
        QObject owner;
        QProcess* holder = StartChild("hold", dir.Path(), &owner);
        QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 10000);
        QCOMPARE(holder->readLine(), QByteArray("claim 1\n"));
        SingleInstance next(dir.Path());
        QVERIFY(!next.Claim());
        QVERIFY(next.ClaimProblem().isEmpty());

        ::kill(pid_t(holder->processId()), SIGKILL);
        QVERIFY(holder->waitForFinished(5000));
        QVERIFY(QFile::exists(next.ServerPath())); // left behind, as after a power loss
        QVERIFY(next.Claim());
        QVERIFY(next.Listen());
        next.SetHandler(Answer);
        next.Serve();
        QCOMPARE(RunChildToEnd("send", dir.Path()).value(1), QString("reply 1 0 shown|"));
    }

    void badClientsAreDroppedAndTheServerGoesOn()
    {
        TestFolder dir;
        SingleInstance server(dir.Path());
        int calls = 0;
        server.SetHandler([&](const SingleInstance::Request& r) {
            ++calls;
            return Answer(r);
        });
        QVERIFY(server.Claim());
        QVERIFY(server.Listen());
        server.Serve();

        // These must be turned away at once, not by the read timeout.
        server.SetReadTimeout(60000);
        const QList<QByteArray> closedByServer = {
            "garbage\n",
            "{\"v\":1,\"command\":5}\n",
            "{\"v\":2,\"command\":\"show\",\"args\":[\"toolbar\"]}\n",
            "{\"v\":1,\"command\":\"show\",\"args\":[7]}\n",
            QByteArray(70000, 'x'),
            QByteArray(70000, ' ') + "{\"v\":1,\"command\":\"show\"}\n",
            // a "go" before its turn
            "{\"v\":1,\"command\":\"show\",\"args\":[\"toolbar\"]}\n{\"go\":true}\n",
        };
        for (const QByteArray& bytes : closedByServer) {
            RawClient client(server.ServerPath());
            QVERIFY(client.fd >= 0);
            client.Write(bytes);
            bool closed = false;
            const QByteArray got = client.ReadUntilClosed(3000, &closed);
            QVERIFY2(closed, bytes.left(40).constData());
            QVERIFY2(!got.contains("status"), got.constData());
        }
        {
            RawClient half(server.ServerPath());
            half.Write("{\"v\":1,\"command\":\"sh");
            QTest::qWait(50);
        }
        // A client that never sends its command does not keep its
        // connection; nor one that never says "go" after its turn.
        server.SetReadTimeout(300);
        {
            RawClient silent(server.ServerPath());
            bool closed = false;
            silent.ReadUntilClosed(3000, &closed);
            QVERIFY(closed);
            RawClient hesitant(server.ServerPath());
            hesitant.Write("{\"v\":1,\"command\":\"show\",\"args\":[\"toolbar\"]}\n");
            QCOMPARE(hesitant.ReadUntilClosed(3000, &closed), QByteArray("{\"ready\":true}\n"));
            QVERIFY(closed);
        }
        QCOMPARE(calls, 0);

        server.SetReadTimeout(3000);
        RawClient good(server.ServerPath());
        good.Write("{\"v\":1,\"command\":\"show\",\"args\":[\"toolbar\"]}\n");
        bool closed = false;
        QCOMPARE(good.ReadUntilClosed(500, &closed), QByteArray("{\"ready\":true}\n"));
        good.Write("{\"go\":true}\n");
        QCOMPARE(good.ReadUntilClosed(3000, &closed),
                 QByteArray("{\"err\":\"\",\"out\":\"shown\",\"status\":0}\n"));
        QCOMPARE(calls, 1);
    }

    // Hundreds of connections held open by a local program neither exhaust
    // the running copy nor close its server: the oldest idle ones make room,
    // and a real start is still answered.
    void aFloodOfIdleConnectionsDoesNotSilenceTheServer()
    {
        TestFolder dir;
        rlimit old{};
        ::getrlimit(RLIMIT_NOFILE, &old);
        rlimit low = old;
        low.rlim_cur = 128;
        ::setrlimit(RLIMIT_NOFILE, &low);
        SingleInstance server(dir.Path());
        server.SetHandler(Answer);
        QVERIFY(server.Claim());
        QVERIFY(server.Listen());
        server.Serve();
        QObject owner;
        QProcess* flood = StartChild("flood", dir.Path(), &owner);
        QElapsedTimer clock;
        clock.start();
        while (!flood->canReadLine() && clock.elapsed() < 20000)
            QTest::qWait(10);
        QTest::qWait(300);
        QVERIFY(server.ConnectionCount() <= SingleInstance::kMaxConnections);
        const QStringList lines = RunChildToEnd("send", dir.Path());
        ::kill(pid_t(flood->processId()), SIGKILL);
        flood->waitForFinished(5000);
        ::setrlimit(RLIMIT_NOFILE, &old);
        QCOMPARE(lines.value(1), QString("reply 1 0 shown|"));
    }

    // A command handed over while the running copy is busy (a message open)
    // waits with a visible limit. When the limit passes, the start says
    // nothing was done, and the command is never carried out later; within
    // the limit it runs once the copy is free, and the start reports its real
    // outcome.
    void aBusyCopyRunsACommandOnlyIfItsStartStillWaits()
    {
        TestFolder dir;
        SingleInstance server(dir.Path());
        int calls = 0;
        QString busy = QStringLiteral("a message is open");
        server.SetHandler([&](const SingleInstance::Request&) {
            ++calls;
            return SingleInstance::Reply{0, "Imported 3 contacts.", ""};
        });
        server.SetBusyReason([&] { return busy; });
        QVERIFY(server.Claim());
        QVERIFY(server.Listen());
        server.Serve();

        QString errors;
        QCOMPARE(RunChildToEnd("handover", dir.Path(), 1500, &errors),
                 QStringList{"claimed 0 status 1"});
        QVERIFY2(errors.contains("a message is open; waiting up to 1 seconds"), qPrintable(errors));
        QVERIFY2(errors.contains("nothing was done"), qPrintable(errors));
        busy.clear();
        QTest::qWait(500);
        QCOMPARE(calls, 0);

        busy = QStringLiteral("a message is open");
        QTimer::singleShot(1500, [&] { busy.clear(); });
        QCOMPARE(RunChildToEnd("handover", dir.Path(), 10000, &errors),
                 QStringList({"Imported 3 contacts.", "claimed 0 status 0"}));
        QCOMPARE(calls, 1);
    }

    // A copy that ends while a start waits for it (an import without
    // windows holds the folder but takes no commands) lets the start claim
    // the folder and run the command itself.
    void aStartWaitingForACopyThatEndsClaimsTheFolder()
    {
        TestFolder dir;
        QObject owner;
        QProcess* holder = StartChild("headless", dir.Path(), &owner);
        QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 10000);
        QProcess* later = StartChild("handover", dir.Path(), &owner, 10000);
        QTest::qWait(300);
        holder->kill();
        holder->waitForFinished(5000);
        QVERIFY(later->waitForFinished(10000));
        QCOMPARE(later->readAllStandardOutput(), QByteArray("claimed 1 status 0\n"));
    }

    void sendGivesUpInTimeOnASilentOrMissingServer()
    {
        TestFolder dir;
        SingleInstance client(dir.Path());
        SingleInstance::Reply reply;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(client.Send({"show", {"toolbar"}}, &reply, 300), SingleInstance::Sent::Gone);
        QVERIFY2(clock.elapsed() < 600, qPrintable(QString::number(clock.elapsed())));

        // A server that takes the connection and never answers.
        SingleInstance mute(dir.Path());
        QVERIFY(mute.Claim());
        QVERIFY(mute.Listen());
        clock.restart();
        QCOMPARE(client.Send({"show", {"toolbar"}}, &reply, 300), SingleInstance::Sent::NotTaken);
        QVERIFY2(clock.elapsed() < 600, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!reply.err.isEmpty());
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QByteArray mode = qgetenv(kChildMode);
    if (!mode.isEmpty())
        return RunChild(mode, qEnvironmentVariable(kChildFolder));
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_singleinstance.moc"
