#include "ui/app/SingleInstance.h"
#include "support/TestFolder.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

// The second copies run as child processes of this test program (the same
// binary, told by the environment what to do), since Send() blocks and the
// first copy answers from the event loop.
namespace {
const char* const kChildMode = "SINGLEINSTANCE_CHILD";
const char* const kChildFolder = "SINGLEINSTANCE_FOLDER";

int RunChild(const QByteArray& mode, const QString& folder)
{
    SingleInstance instance(folder);
    const bool claimed = instance.Claim();
    std::printf("claim %d\n", int(claimed));
    std::fflush(stdout);
    if (mode == "hold")
        return QCoreApplication::exec();
    for (const SingleInstance::Request& request :
         {SingleInstance::Request{"show", {"toolbar"}}, SingleInstance::Request{"frob", {"x y"}}}) {
        SingleInstance::Reply reply;
        const bool ok = instance.Send(request, &reply);
        std::printf("reply %d %d %s|%s\n", int(ok), reply.status, qPrintable(reply.out),
                    qPrintable(reply.err));
    }
    return 0;
}

QProcess* StartChild(const char* mode, const QString& folder, QObject* parent)
{
    auto* child = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), QString::fromLatin1(mode));
    env.insert(QString::fromLatin1(kChildFolder), folder);
    child->setProcessEnvironment(env);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QCoreApplication::applicationFilePath(), {});
    return child;
}

// Runs a "send" child against the folder while this process serves; its
// output lines.
QStringList SendFromChild(const QString& folder)
{
    QObject owner;
    QProcess* child = StartChild("send", folder, &owner);
    QElapsedTimer clock;
    clock.start();
    while (child->state() != QProcess::NotRunning && clock.elapsed() < 10000)
        QTest::qWait(10);
    return QString::fromUtf8(child->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

SingleInstance::Reply Answer(const SingleInstance::Request& r)
{
    if (r.command == "show" && r.args == QStringList{"toolbar"})
        return {0, "shown", ""};
    return {3, "", "no such command"};
}
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

        // Only this user may connect.
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(first.ServerPath()).constData(), &st), 0);
        QVERIFY(S_ISSOCK(st.st_mode));
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
        QCOMPARE(st.st_uid, ::getuid());

        const QStringList lines = SendFromChild(dir.Path());
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

    void claimOfADeadCopyIsTakenOver()
    {
        TestFolder dir;
        QObject owner;
        QProcess* holder = StartChild("hold", dir.Path(), &owner);
        QTRY_VERIFY_WITH_TIMEOUT(holder->canReadLine(), 10000);
        QCOMPARE(holder->readLine(), QByteArray("claim 1\n"));
        SingleInstance next(dir.Path());
        QVERIFY(!next.Claim());

        ::kill(pid_t(holder->processId()), SIGKILL);
        QVERIFY(holder->waitForFinished(5000));
        QVERIFY(QFile::exists(next.ServerPath())); // left behind, as after a power loss
        QVERIFY(next.Claim());
        next.SetHandler(Answer);
        QCOMPARE(SendFromChild(dir.Path()).value(1), QString("reply 1 0 shown|"));
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
        auto connectClient = [&] {
            auto* socket = new QLocalSocket(&server);
            socket->connectToServer(server.ServerPath());
            socket->waitForConnected(1000);
            return socket;
        };

        // These must be turned away at once, not by the read timeout.
        server.SetReadTimeout(60000);
        const QList<QByteArray> closedByServer = {
            "garbage\n",
            "{\"v\":1,\"command\":5}\n",
            "{\"v\":2,\"command\":\"show\",\"args\":[\"toolbar\"]}\n",
            "{\"v\":1,\"command\":\"show\",\"args\":[7]}\n",
            QByteArray(70000, 'x'),
            QByteArray(70000, ' ') + "{\"v\":1,\"command\":\"show\"}\n",
        };
        for (const QByteArray& bytes : closedByServer) {
            QLocalSocket* socket = connectClient();
            QCOMPARE(socket->state(), QLocalSocket::ConnectedState);
            socket->write(bytes);
            QTRY_COMPARE_WITH_TIMEOUT(socket->state(), QLocalSocket::UnconnectedState, 3000);
            QVERIFY(!socket->canReadLine());
        }
        QLocalSocket* half = connectClient();
        half->write("{\"v\":1,\"command\":\"sh");
        half->flush();
        QTest::qWait(50);
        half->disconnectFromServer();
        // A client that never sends its request does not keep its connection.
        server.SetReadTimeout(300);
        QLocalSocket* silent = connectClient();
        QCOMPARE(silent->state(), QLocalSocket::ConnectedState);
        QTRY_COMPARE(silent->state(), QLocalSocket::UnconnectedState);
        QCOMPARE(calls, 0);

        QLocalSocket* good = connectClient();
        good->write("{\"v\":1,\"command\":\"show\",\"args\":[\"toolbar\"]}\n");
        QTRY_VERIFY(good->canReadLine());
        QCOMPARE(good->readLine(), QByteArray("{\"err\":\"\",\"out\":\"shown\",\"status\":0}\n"));
        QCOMPARE(calls, 1);
    }

    void sendGivesUpInTimeOnASilentOrMissingServer()
    {
        TestFolder dir;
        SingleInstance client(dir.Path());
        SingleInstance::Reply reply;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!client.Send({"show", {"toolbar"}}, &reply, 300));
        QVERIFY2(clock.elapsed() < 600, qPrintable(QString::number(clock.elapsed())));

        // A server that takes the connection and never answers.
        QLocalServer mute;
        QVERIFY(mute.listen(client.ServerPath()));
        clock.restart();
        QVERIFY(!client.Send({"show", {"toolbar"}}, &reply, 300));
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
