#include "ui/app/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace {

// Longest socket path the kernel takes (sun_path holds 108 bytes).
constexpr qsizetype kMaxSocketPath = 100;

bool IsPrivateFolder(const QString& path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isAbsolute() && info.isDir() && info.isWritable() &&
           info.ownerId() == uint(::getuid());
}

QByteArray EncodeLine(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Parses one line (without its newline) as a JSON object; empty when it is
// not one.
std::optional<QJsonObject> ParseLine(const QByteArray& line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}

std::optional<SingleInstance::Request> ParseRequest(const QByteArray& line)
{
    const std::optional<QJsonObject> object = ParseLine(line);
    if (!object)
        return std::nullopt;
    const QJsonValue version = object->value(QLatin1String("v"));
    const QJsonValue command = object->value(QLatin1String("command"));
    const QJsonValue args = object->value(QLatin1String("args"));
    if (!version.isDouble() || version.toDouble() != 1 || !command.isString() ||
        command.toString().isEmpty() || !(args.isArray() || args.isUndefined()))
        return std::nullopt;
    SingleInstance::Request request;
    request.command = command.toString();
    for (const QJsonValue arg : args.toArray()) {
        if (!arg.isString())
            return std::nullopt;
        request.args << arg.toString();
    }
    return request;
}

QByteArray EncodeReply(const SingleInstance::Reply& reply)
{
    QByteArray line = EncodeLine({{QLatin1String("status"), reply.status},
                                  {QLatin1String("out"), reply.out},
                                  {QLatin1String("err"), reply.err}});
    if (line.size() > SingleInstance::kMaxMessageBytes)
        line = EncodeLine({{QLatin1String("status"), reply.status},
                           {QLatin1String("out"), QString()},
                           {QLatin1String("err"), QStringLiteral("reply too long")}});
    return line;
}

// Whether the peer of a connected local socket runs as this user. The
// socket file's mode already keeps other users out; this holds where the
// file system ignores that mode.
bool PeerIsThisUser([[maybe_unused]] qintptr descriptor)
{
#ifdef Q_OS_LINUX
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return false;
    return credentials.uid == ::getuid();
#else
    return true;
#endif
}

} // namespace

QString SingleInstanceServerPath(const QString& dataFolder)
{
    QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QFileInfo(dataFolder).absoluteFilePath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (IsPrivateFolder(runtime)) {
        const QString path =
            runtime + QStringLiteral("/banterly-") + hash + QStringLiteral(".sock");
        if (QFile::encodeName(path).size() <= kMaxSocketPath)
            return path;
    }
    const QString name = QStringLiteral("/banterly-%1-%2.sock").arg(::getuid()).arg(hash);
    const QString path = QDir::tempPath() + name;
    return QFile::encodeName(path).size() <= kMaxSocketPath ? path : QStringLiteral("/tmp") + name;
}

struct SingleInstance::Incoming {
    QByteArray buffer;
    bool complete = false;
};

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_folder(dataFolder), m_serverPath(SingleInstanceServerPath(dataFolder))
{
}

SingleInstance::~SingleInstance()
{
    // The server goes first, so no client connects to a copy that has let
    // go of its folder.
    delete m_server;
    m_server = nullptr;
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString SingleInstance::LockPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("banterly.lock"));
}

bool SingleInstance::Claim()
{
    if (m_lockFd >= 0)
        return true;
    // The claim is a lock on banterly.lock held for the whole run. The system
    // lets go of it when the process ends in any way (SIGKILL included, and a
    // power loss leaves no lock at all), so there is no stale lock to detect
    // and no process id to trust. The file itself stays: removing it could
    // let two copies lock two different files.
    const QByteArray path = QFile::encodeName(LockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Who holds it, for a person looking; not synced, nothing reads it.
        const QByteArray owner = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
        [[maybe_unused]] const bool recorded =
            ::ftruncate(fd, 0) == 0 && ::write(fd, owner.constData(), size_t(owner.size())) > 0;
        m_lockFd = fd;
        Listen();
        return true;
    }
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (error == EWOULDBLOCK)
        return false;
    // No lock can be had here; refusing to start would be worse. A copy that
    // answers on the socket still counts as running.
    qWarning("Banterly: cannot lock %s (%s); not checking for another copy by its lock",
             qPrintable(QDir::toNativeSeparators(LockPath())), std::strerror(error));
    QLocalSocket probe;
    probe.connectToServer(m_serverPath);
    if (probe.waitForConnected(100))
        return false;
    Listen();
    return true;
}

bool SingleInstance::Listen()
{
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a copy that died; the claim says it is not in use.
    QLocalServer::removeServer(m_serverPath);
    if (!m_server->listen(m_serverPath)) {
        qWarning("Banterly: cannot listen on %s: %s", qPrintable(m_serverPath),
                 qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::SetHandler(Handler handler)
{
    m_handler = std::move(handler);
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            continue;
        }
        auto incoming = std::make_shared<Incoming>();
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, incoming] { OnReadyRead(socket, *incoming); });
        // A client that does not finish its request in time is dropped.
        QTimer::singleShot(m_readTimeoutMs, socket, [socket, incoming] {
            if (!incoming->complete)
                socket->abort();
        });
        if (socket->bytesAvailable() > 0)
            OnReadyRead(socket, *incoming);
    }
}

void SingleInstance::OnReadyRead(QLocalSocket* socket, Incoming& incoming)
{
    if (incoming.complete)
        return;
    incoming.buffer += socket->read(kMaxMessageBytes - incoming.buffer.size());
    const qsizetype newline = incoming.buffer.indexOf('\n');
    if (newline < 0) {
        if (incoming.buffer.size() >= kMaxMessageBytes)
            socket->abort();
        return;
    }
    incoming.complete = true;
    const std::optional<Request> request = ParseRequest(incoming.buffer.left(newline));
    incoming.buffer.clear();
    if (!request) {
        socket->abort();
        return;
    }
    m_queue.append({QPointer<QLocalSocket>(socket), *request});
    ProcessQueue();
}

void SingleInstance::ProcessQueue()
{
    // A handler that shows a modal window runs a nested event loop, in which
    // more requests can arrive; they are answered after it returns.
    if (m_inHandler)
        return;
    while (!m_queue.isEmpty()) {
        auto [socket, request] = m_queue.takeFirst();
        if (!socket)
            continue;
        Reply reply{2, QString(), QStringLiteral("Banterly is still starting")};
        if (m_handler) {
            m_inHandler = true;
            try {
                reply = m_handler(request);
            } catch (const std::exception& e) {
                reply = {2, QString(), QString::fromLocal8Bit(e.what())};
            } catch (...) {
                reply = {2, QString(), QStringLiteral("unknown error")};
            }
            m_inHandler = false;
        }
        if (socket && socket->state() == QLocalSocket::ConnectedState) {
            socket->write(EncodeReply(reply));
            socket->disconnectFromServer();
        }
    }
}

bool SingleInstance::Send(const Request& request, Reply* reply, int timeoutMs)
{
    Reply dummy;
    Reply& out = reply ? *reply : dummy;
    out = Reply{};
    auto fail = [&out](const QString& why) {
        out.status = 2;
        out.err = why;
        return false;
    };
    const QByteArray line =
        EncodeLine({{QLatin1String("v"), 1},
                    {QLatin1String("command"), request.command},
                    {QLatin1String("args"), QJsonArray::fromStringList(request.args)}});
    if (line.size() > kMaxMessageBytes)
        return fail(QStringLiteral("request too long"));

    QElapsedTimer clock;
    clock.start();
    auto remaining = [&] { return int(qMax<qint64>(0, timeoutMs - clock.elapsed())); };
    QLocalSocket socket;
    // The running copy may have taken its claim a moment ago and not be
    // listening yet: try again until the time is up.
    for (;;) {
        // Only a socket of this user is trusted with the request.
        const QFileInfo file(m_serverPath);
        if (file.exists() && file.ownerId() == uint(::getuid())) {
            socket.connectToServer(m_serverPath);
            if (socket.waitForConnected(remaining()))
                break;
            socket.abort();
        }
        if (remaining() <= 20)
            return fail(QStringLiteral("no running copy answered"));
        QThread::msleep(20);
    }
    socket.write(line);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining()))
            return fail(QStringLiteral("the running copy did not take the request"));
    }
    QByteArray buffer;
    qsizetype newline = -1;
    while (newline < 0) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(remaining()))
            return fail(QStringLiteral("the running copy did not answer in time"));
        buffer += socket.read(kMaxMessageBytes - buffer.size());
        newline = buffer.indexOf('\n');
        if (newline < 0 && buffer.size() >= kMaxMessageBytes)
            return fail(QStringLiteral("the running copy's answer is too long"));
    }
    const std::optional<QJsonObject> object = ParseLine(buffer.left(newline));
    const QJsonValue status = object ? object->value(QLatin1String("status")) : QJsonValue();
    if (!status.isDouble())
        return fail(QStringLiteral("the running copy's answer is not understood"));
    out.status = status.toInt(2);
    out.out = object->value(QLatin1String("out")).toString();
    out.err = object->value(QLatin1String("err")).toString();
    return true;
}
