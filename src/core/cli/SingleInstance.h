#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

// One running copy per data folder. The copy that claims the folder (an
// flock() on banterly.lock in it) listens on a Unix-domain socket in a folder
// private to the user; a later start on the same folder hands its command to
// that copy and ends.
//
// Protocol, one command per connection, each message a compact JSON object
// on one line of at most 64 KiB:
//   client: {"v":1,"command":"show","args":["toolbar"]}
//   server: {"busy":"a message is open in Banterly"}   (any number, while it waits)
//   server: {"ready":true}                             (it will run the command now)
//   client: {"go":true}                                (the client still waits for it)
//   server: {"status":0,"out":"one summary line","err":""}
// A command runs only after the client's "go": a client that gave up before
// it (and said so) never has its command run later. A connection that sends
// anything else, too much, or nothing in time is closed without an answer.
//
// Qt Core only (the socket is watched with QSocketNotifier): a start that
// hands over needs neither a display nor an application object.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    struct Request {
        QString command;
        QStringList args;
    };
    struct Reply {
        int status = 0;
        QString out, err;
    };
    using Handler = std::function<Reply(const Request&)>;
    // Why commands must wait now (empty: they may run).
    using BusyReason = std::function<QString()>;

    static constexpr qsizetype kMaxMessageBytes = 64 * 1024;
    // Connections held at once; past it the oldest still sending its request
    // is dropped.
    static constexpr int kMaxConnections = 32;

    // The folder must exist.
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this process holds the claim on the folder (the lock), for the
    // rest of its run. False: another live process holds it, or no claim can
    // be had (ClaimProblem() then says why: another user's copy runs on the
    // folder, or the lock file cannot be made or locked). A copy that died,
    // however it died, holds nothing; a lock file another user left, which
    // no one holds, is replaced by one of this user's.
    bool Claim();
    QString ClaimProblem() const { return m_claimProblem; }

    // Opens the socket (after Claim()). Connections made from now on wait in
    // the system's queue until Serve(); none is lost. False (logged) when no
    // socket can be had: the copy then runs without taking commands.
    bool Listen();
    // Starts answering, from the event loop of the calling thread.
    void Serve();

    // Receives every well-formed command; without one, commands are answered
    // with status 2. Commands wait while the handler runs, while a modal
    // window runs its own event loop, and while BusyReason says so.
    void SetHandler(Handler handler);
    void SetBusyReason(BusyReason busy);

    // The outcome of handing a command over.
    enum class Sent {
        Answered,  // the running copy ran it; *reply holds its answer
        NotTaken,  // no copy took it in time: it was not run, and never will be
        Gone,      // the copy ended (or had no socket) before taking it: claim again
    };
    // Sends a command to the running copy and waits: for the copy to take it
    // up to limitMs, then for its answer for as long as it runs. `waiting`
    // is called with the copy's reason whenever it says it is busy, and with
    // an empty text when it has not answered for a second. Blocks the
    // calling thread; needs no event loop.
    Sent Send(const Request& request, Reply* reply, int limitMs,
              const std::function<void(const QString&)>& waiting = {});

    // The socket's path: in $XDG_RUNTIME_DIR when it is private to the user,
    // else in a folder of the user's own (banterly-<uid> in the temporary
    // folder, mode 0700, checked); the name carries a hash of the canonical
    // data folder. Empty when no private folder can be had.
    QString ServerPath() const { return m_serverPath; }
    QString LockPath() const;

    // How long the server waits for a client's request line (and for its
    // "go" after "ready").
    void SetReadTimeout(int ms) { m_readTimeoutMs = ms; }
    int ConnectionCount() const { return int(m_connections.size()); }

private:
    struct Connection;
    bool TakeOverLockFile(const QByteArray& path);
    void OnAcceptable();
    void OnReadable(Connection* connection);
    void Drop(Connection* connection);
    void Sweep();
    void ProcessQueue();
    QString CurrentBusyReason() const;

    QString m_folder;
    QString m_serverPath;
    QString m_claimProblem;
    int m_lockFd = -1;   // the open, locked banterly.lock
    int m_listenFd = -1;
    QSocketNotifier* m_acceptNotifier = nullptr;
    QTimer* m_sweep = nullptr;
    Handler m_handler;
    BusyReason m_busy;
    int m_readTimeoutMs = 3000;
    bool m_inHandler = false;
    // In the order they came; a command waits its turn.
    std::vector<std::unique_ptr<Connection>> m_connections;
};

// The socket path for a data folder (see ServerPath()).
QString SingleInstanceServerPath(const QString& dataFolder);

// Hands a command to the copy that holds the data folder, waiting (and
// saying so on standard error) up to limitMs for a busy copy, and prints its
// answer. Claims the folder instead when the copy ends meanwhile: *claimed is
// then true and the caller runs the command itself. Returns the exit status
// for this start.
int HandOverToRunningCopy(SingleInstance& instance, const SingleInstance::Request& request,
                          bool* claimed, int limitMs = 30000);
