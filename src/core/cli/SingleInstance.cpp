#include "core/cli/SingleInstance.h"

#include <QCryptographicHash>
#include <QScopeGuard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Longest socket path the kernel takes (sun_path holds 108 bytes with its
// terminating zero).
constexpr qsizetype kMaxSocketPath = qsizetype(sizeof(sockaddr_un::sun_path)) - 1;
constexpr int kBacklog = 64;

// A folder no other user can reach into: a real folder (not a link), owned
// by this user, with no rights for group or others.
bool IsPrivateFolder(const QByteArray& path)
{
    struct stat st {};
    return path.startsWith('/') && ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// A folder of this user's own for the socket when the session has no private
// runtime folder: made 0700 when missing, put right when it is this user's
// but open to others, and refused when anyone else holds the name.
bool MakePrivateFolder(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        (st.st_mode & 077) != 0)
        ::chmod(path.constData(), 0700);
    return IsPrivateFolder(path);
}

QString PrivateSocketPath(const QString& name)
{
    const auto fits = [](const QByteArray& folder, const QString& file) {
        return QFile::encodeName(file).size() + folder.size() + 1 <= kMaxSocketPath;
    };
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (IsPrivateFolder(runtime) && fits(runtime, name))
        return QFile::decodeName(runtime) + QLatin1Char('/') + name;
    const QString own = QStringLiteral("/banterly-%1").arg(::getuid());
    for (const QString& base : {QDir::tempPath(), QStringLiteral("/tmp")}) {
        const QByteArray folder = QFile::encodeName(base + own);
        if (fits(folder, name) && MakePrivateFolder(folder))
            return QFile::decodeName(folder) + QLatin1Char('/') + name;
    }
    return QString();
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

const QByteArray kGo = EncodeLine({{QLatin1String("go"), true}});
const QByteArray kReady = EncodeLine({{QLatin1String("ready"), true}});

// Whether the process at the other end of a connected socket runs as this
// user. The private folder already keeps other users out; this holds where
// a file system ignores modes.
bool PeerIsThisUser(int fd)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == ::getuid();
}

// Writes all of `bytes` to a non-blocking socket, waiting up to timeoutMs
// for room. Never raises SIGPIPE.
bool WriteAll(int fd, const QByteArray& bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done),
                                 MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const qint64 left = timeoutMs - clock.elapsed();
        pollfd p{fd, POLLOUT, 0};
        if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
            return false;
    }
    return true;
}

bool FillAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() > kMaxSocketPath)
        return false;
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    return true;
}

// Whether any process, of any user, holds a lock on the file with this
// device and inode (/proc/locks lists them all). When that cannot be read,
// the file counts as held.
bool AnyoneLocks(dev_t device, ino_t inode)
{
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return true;
    const QByteArray file = QString::asprintf("%02x:%02x:%llu", major(device), minor(device),
                                              static_cast<unsigned long long>(inode))
                                .toLatin1();
    for (const QByteArray& line : locks.readAll().split('\n')) {
        if (line.simplified().split(' ').contains(file))
            return true;
    }
    return false;
}

} // namespace

QString SingleInstanceServerPath(const QString& dataFolder)
{
    QString canonical = QFileInfo(dataFolder).canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QFileInfo(dataFolder).absoluteFilePath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    return PrivateSocketPath(QStringLiteral("banterly-") + hash + QStringLiteral(".sock"));
}

struct SingleInstance::Connection {
    enum State { Reading, Queued, Offered, Running };
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    QByteArray buffer;
    State state = Reading;
    QElapsedTimer since;  // since it came, or since it was offered its turn
    Request request;
    QString toldBusy;
    ~Connection()
    {
        // It may be dropped from its own notifier's signal.
        notifier->setEnabled(false);
        notifier.release()->deleteLater();
        ::close(fd);
    }
};

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_folder(dataFolder), m_serverPath(SingleInstanceServerPath(dataFolder))
{
}

SingleInstance::~SingleInstance()
{
    // The socket goes first, so no client connects to a copy that has let go
    // of its folder; its file goes while the claim still says it is ours.
    m_connections.clear();
    delete m_acceptNotifier;
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(QFile::encodeName(m_serverPath).constData());
    }
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
    m_claimProblem.clear();
    // The claim is a lock on banterly.lock held for the whole run. The system
    // lets go of it when the process ends in any way (SIGKILL included, and a
    // power loss leaves no lock at all), so there is no stale lock to detect
    // and no process id to trust. The file stays after the run: removing it
    // could let two copies lock two different files. It is this user's
    // alone: no one else can open it to hold the lock.
    const QByteArray path = QFile::encodeName(LockPath());
    const auto cannot = [this](int error) {
        m_claimProblem = QStringLiteral("cannot lock %1 (%2)")
                             .arg(QDir::toNativeSeparators(LockPath()),
                                  QString::fromLocal8Bit(std::strerror(error)));
        return false;
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && (errno == EACCES || errno == EPERM)) {
            // Another user's lock file: taken over when no one holds it.
            if (!TakeOverLockFile(path))
                return false;
            continue;
        }
        if (fd < 0)
            return cannot(errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            return error == EWOULDBLOCK ? false : cannot(error);
        }
        // Only a lock on the file the name holds now is the claim (another
        // user may have just replaced a lock file no one held).
        struct stat held {}, named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.constData(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        if (held.st_uid == ::getuid() && (held.st_mode & 077) != 0)
            ::fchmod(fd, 0600);
        // Who holds it, for a person looking; not synced, nothing reads it.
        const QByteArray owner = QByteArray::number(qint64(::getpid())) + '\n';
        [[maybe_unused]] const bool recorded =
            ::ftruncate(fd, 0) == 0 && ::write(fd, owner.constData(), size_t(owner.size())) > 0;
        m_lockFd = fd;
        return true;
    }
    m_claimProblem = QStringLiteral("%1 keeps being replaced").arg(QDir::toNativeSeparators(LockPath()));
    return false;
}

bool SingleInstance::TakeOverLockFile(const QByteArray& path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid == ::getuid()) {
        m_claimProblem = QStringLiteral("cannot lock %1 (%2)")
                             .arg(QDir::toNativeSeparators(LockPath()),
                                  QString::fromLocal8Bit(std::strerror(EACCES)));
        return false;
    }
    if (AnyoneLocks(st.st_dev, st.st_ino)) {
        m_claimProblem = QStringLiteral("another user (user id %1) runs Banterly on this folder")
                             .arg(st.st_uid);
        return false;
    }
    // Left by another user's run that has ended. A user who can write the
    // folder puts a lock file of its own in its place, in one rename.
    const QByteArray mine = path + '.' + QByteArray::number(qint64(::getpid()));
    const int fd = ::open(mine.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || ::close(fd) != 0 || ::rename(mine.constData(), path.constData()) != 0) {
        const int error = errno;
        ::unlink(mine.constData());
        m_claimProblem = QStringLiteral("cannot replace %1, left by user id %2 (%3)")
                             .arg(QDir::toNativeSeparators(LockPath()))
                             .arg(st.st_uid)
                             .arg(QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    return true;
}

bool SingleInstance::Listen()
{
    if (m_listenFd >= 0)
        return true;
    sockaddr_un address{};
    if (m_lockFd < 0 || !FillAddress(m_serverPath, address)) {
        std::fprintf(stderr, "Banterly: no private folder for the socket; later starts cannot hand over\n");
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    // A socket file left by a copy that died; the claim says it is not in use.
    ::unlink(address.sun_path);
    const mode_t mask = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd, kBacklog) != 0) {
        std::fprintf(stderr, "Banterly: cannot listen on %s: %s\n", address.sun_path,
                     std::strerror(errno));
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    return true;
}

void SingleInstance::Serve()
{
    if (m_acceptNotifier || m_listenFd < 0)
        return;
    m_acceptNotifier = new QSocketNotifier(qintptr(m_listenFd), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &SingleInstance::OnAcceptable);
    m_sweep = new QTimer(this);
    m_sweep->setInterval(100);
    connect(m_sweep, &QTimer::timeout, this, &SingleInstance::Sweep);
    // Connections made before now wait in the system's queue.
    OnAcceptable();
}

void SingleInstance::SetHandler(Handler handler) { m_handler = std::move(handler); }
void SingleInstance::SetBusyReason(BusyReason busy) { m_busy = std::move(busy); }

QString SingleInstance::CurrentBusyReason() const
{
    if (m_busy) {
        const QString reason = m_busy();
        if (!reason.isEmpty())
            return reason;
    }
    // A message box or a modal dialog runs its own event loop: a command
    // carried out inside it would act under whatever asked the question.
    if (QThread::currentThread()->loopLevel() > 1)
        return QStringLiteral("a message or dialog is open in Banterly");
    return QString();
}

void SingleInstance::OnAcceptable()
{
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the server stays, and tries again soon.
                m_acceptNotifier->setEnabled(false);
                QTimer::singleShot(200, this, [this] {
                    m_acceptNotifier->setEnabled(true);
                    OnAcceptable();
                });
            }
            break;
        }
        if (!PeerIsThisUser(fd)) {
            ::close(fd);
            continue;
        }
        if (int(m_connections.size()) >= kMaxConnections) {
            // The oldest that has not sent its command yet makes room; when
            // every one waits with a command, the newcomer is turned away
            // (its start tries again).
            auto idle = std::find_if(m_connections.begin(), m_connections.end(),
                                     [](const auto& c) { return c->state == Connection::Reading; });
            if (idle == m_connections.end()) {
                ::close(fd);
                continue;
            }
            m_connections.erase(idle);
        }
        auto connection = std::make_unique<Connection>();
        Connection* c = connection.get();
        c->fd = fd;
        c->since.start();
        c->notifier = std::make_unique<QSocketNotifier>(qintptr(fd), QSocketNotifier::Read);
        connect(c->notifier.get(), &QSocketNotifier::activated, this, [this, c] { OnReadable(c); });
        m_connections.push_back(std::move(connection));
        if (!m_sweep->isActive())
            m_sweep->start();
    }
}

void SingleInstance::Drop(Connection* connection)
{
    std::erase_if(m_connections, [connection](const auto& c) { return c.get() == connection; });
}

void SingleInstance::OnReadable(Connection* c)
{
    char chunk[4096];
    bool ended = false;
    for (;;) {
        const ssize_t n = ::recv(c->fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            c->buffer.append(chunk, n);
            if (c->buffer.size() > kMaxMessageBytes)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ended = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    if (c->state == Connection::Running) {
        // Its command is being carried out; the answer goes out (or is lost
        // with the client) when it is done.
        c->notifier->setEnabled(false);
        return;
    }
    const qsizetype newline = c->buffer.indexOf('\n');
    if (c->buffer.size() > kMaxMessageBytes || (newline >= 0 && newline + 1 != c->buffer.size())) {
        Drop(c);  // too long, or more than one message at once
        return;
    }
    if (newline < 0) {
        if (ended)
            Drop(c);  // the client left (a client that gave up is never answered)
        return;
    }
    const QByteArray line = c->buffer.left(newline);
    c->buffer.clear();
    if (c->state == Connection::Reading) {
        const std::optional<Request> request = ParseRequest(line);
        if (!request || ended) {
            Drop(c);
            return;
        }
        c->request = *request;
        c->state = Connection::Queued;
        ProcessQueue();
        return;
    }
    if (c->state != Connection::Offered || line + '\n' != kGo || ended) {
        Drop(c);  // nothing may come before its turn, and nothing but "go" then
        ProcessQueue();
        return;
    }
    c->state = Connection::Running;
    Reply reply{2, QString(), QStringLiteral("Banterly is still starting")};
    if (m_handler) {
        m_inHandler = true;
        try {
            reply = m_handler(c->request);
        } catch (const std::exception& e) {
            reply = {2, QString(), QString::fromLocal8Bit(e.what())};
        } catch (...) {
            reply = {2, QString(), QStringLiteral("unknown error")};
        }
        m_inHandler = false;
    }
    WriteAll(c->fd, EncodeReply(reply), 1000);
    Drop(c);
    ProcessQueue();
}

void SingleInstance::Sweep()
{
    // A client that does not send its command in time, or does not take its
    // turn, is dropped.
    std::erase_if(m_connections, [this](const auto& c) {
        return (c->state == Connection::Reading || c->state == Connection::Offered) &&
               c->since.elapsed() > m_readTimeoutMs;
    });
    ProcessQueue();
    if (m_connections.empty())
        m_sweep->stop();
}

void SingleInstance::ProcessQueue()
{
    if (m_inHandler)
        return;
    for (const auto& c : m_connections) {
        if (c->state == Connection::Offered || c->state == Connection::Running)
            return;  // one command at a time
    }
    const QString busy = CurrentBusyReason();
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        Connection* c = it->get();
        if (c->state != Connection::Queued) {
            ++it;
            continue;
        }
        if (!busy.isEmpty()) {
            // Every waiting client hears why, once per reason.
            if (c->toldBusy != busy) {
                c->toldBusy = busy;
                if (!WriteAll(c->fd, EncodeLine({{QLatin1String("busy"), busy}}), 100)) {
                    it = m_connections.erase(it);
                    continue;
                }
            }
            ++it;
            continue;
        }
        if (!WriteAll(c->fd, kReady, 100)) {
            it = m_connections.erase(it);
            continue;
        }
        c->state = Connection::Offered;
        c->since.restart();
        return;
    }
}

SingleInstance::Sent SingleInstance::Send(const Request& request, Reply* reply, int limitMs,
                                          const std::function<void(const QString&)>& waiting)
{
    Reply dummy;
    Reply& out = reply ? *reply : dummy;
    out = Reply{};
    const auto fail = [&out](Sent how, const QString& why) {
        out.status = 2;
        out.err = why;
        return how;
    };
    const QByteArray line =
        EncodeLine({{QLatin1String("v"), 1},
                    {QLatin1String("command"), request.command},
                    {QLatin1String("args"), QJsonArray::fromStringList(request.args)}});
    if (line.size() > kMaxMessageBytes)
        return fail(Sent::NotTaken, QStringLiteral("the command is too long"));

    QElapsedTimer clock;
    clock.start();
    sockaddr_un address{};
    struct stat st {};
    // Only a socket of this user's, in a folder of this user's, is trusted
    // with the command.
    if (!FillAddress(m_serverPath, address) || ::lstat(address.sun_path, &st) != 0 ||
        !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid())
        return fail(Sent::Gone, QStringLiteral("no socket to hand over to"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(Sent::Gone, QString::fromLocal8Bit(std::strerror(errno)));
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    // A full queue (EAGAIN) or a socket nobody listens on: the caller tries
    // again.
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !PeerIsThisUser(fd))
        return fail(Sent::Gone, QString::fromLocal8Bit(std::strerror(errno)));
    if (!WriteAll(fd, line, qMax(1, int(limitMs - clock.elapsed()))))
        return fail(Sent::Gone, QStringLiteral("the running copy did not take the command"));

    bool committed = false;  // "go" sent: the command runs, and the answer is awaited
    bool toldSlow = false;
    QByteArray buffer;
    for (;;) {
        qsizetype newline;
        while ((newline = buffer.indexOf('\n')) >= 0) {
            const std::optional<QJsonObject> object = ParseLine(buffer.left(newline));
            buffer.remove(0, newline + 1);
            if (!object)
                return fail(committed ? Sent::Answered : Sent::NotTaken,
                            QStringLiteral("the running copy's answer is not understood"));
            if (!committed && object->value(QLatin1String("busy")).isString()) {
                if (waiting)
                    waiting(object->value(QLatin1String("busy")).toString());
                continue;
            }
            if (!committed && object->value(QLatin1String("ready")).toBool()) {
                if (!WriteAll(fd, kGo, 1000))
                    return fail(Sent::Gone, QStringLiteral("the running copy went away"));
                committed = true;
                continue;
            }
            const QJsonValue status = object->value(QLatin1String("status"));
            if (!committed || !status.isDouble())
                return fail(committed ? Sent::Answered : Sent::NotTaken,
                            QStringLiteral("the running copy's answer is not understood"));
            out.status = status.toInt(2);
            out.out = object->value(QLatin1String("out")).toString();
            out.err = object->value(QLatin1String("err")).toString();
            return Sent::Answered;
        }
        if (buffer.size() > kMaxMessageBytes)
            return fail(committed ? Sent::Answered : Sent::NotTaken,
                        QStringLiteral("the running copy's answer is too long"));
        // Until the copy takes the command the limit holds; once it runs,
        // its answer is waited for as long as it takes.
        const qint64 left = limitMs - clock.elapsed();
        if (!committed && left <= 0)
            return fail(Sent::NotTaken, QStringLiteral("it did not take the command in time"));
        int wait = committed ? 1000 : int(qMin<qint64>(left, 1000));
        if (!committed && !toldSlow && clock.elapsed() < 1000)
            wait = int(qMin<qint64>(wait, 1000 - clock.elapsed()));
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, qMax(wait, 1));
        if (ready < 0 && errno != EINTR)
            return fail(committed ? Sent::Answered : Sent::Gone,
                        QString::fromLocal8Bit(std::strerror(errno)));
        if (ready <= 0) {
            if (!committed && !toldSlow && clock.elapsed() >= 1000) {
                toldSlow = true;
                if (waiting)
                    waiting(QString());
            }
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            buffer.append(chunk, n);
            continue;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        // The copy ended: before taking the command nothing was done (the
        // caller claims the folder or tries again); after, no one can say.
        if (committed) {
            out.status = 1;
            out.err = QStringLiteral("Banterly ended while carrying out the command; "
                                     "it may or may not have been done");
            return Sent::Answered;
        }
        return fail(Sent::Gone, QStringLiteral("the running copy ended"));
    }
}

int HandOverToRunningCopy(SingleInstance& instance, const SingleInstance::Request& request,
                          bool* claimed, int limitMs)
{
    *claimed = false;
    QElapsedTimer clock;
    clock.start();
    QString told;
    const auto say = [&told, limitMs](const QString& reason) {
        const QString text =
            reason.isEmpty() ? QStringLiteral("Banterly is running for this folder but has not answered yet")
                             : QStringLiteral("Banterly is busy: ") + reason;
        if (text == told)
            return;
        told = text;
        std::fprintf(stderr, "%s; waiting up to %d seconds...\n", qPrintable(text), limitMs / 1000);
    };
    for (;;) {
        SingleInstance::Reply reply;
        const int left = int(qMax<qint64>(1, limitMs - clock.elapsed()));
        const SingleInstance::Sent sent = instance.Send(request, &reply, left, say);
        if (sent == SingleInstance::Sent::Answered) {
            if (!reply.out.isEmpty())
                std::printf("%s\n", qPrintable(reply.out));
            if (!reply.err.isEmpty())
                std::fprintf(stderr, "%s\n", qPrintable(reply.err));
            return reply.status;
        }
        // The copy ended, or is busy without a socket (an import without
        // windows): the folder may be free now.
        if (sent == SingleInstance::Sent::Gone && instance.Claim()) {
            *claimed = true;
            return 0;
        }
        if (sent == SingleInstance::Sent::NotTaken || clock.elapsed() >= limitMs) {
            std::fprintf(stderr,
                         "Banterly is already running for this folder but does not answer (%s); "
                         "nothing was done.\n",
                         qPrintable(reply.err));
            return 1;
        }
        if (clock.elapsed() >= 1000)
            say(QString());
        QThread::msleep(50);
    }
}
