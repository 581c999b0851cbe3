#pragma once

#include <QList>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class QLocalServer;

// One running copy per data folder. The copy that claims the folder (a lock
// file in it) listens on a local socket private to the user; a later start on
// the same folder hands its command to that copy and ends.
//
// Protocol: one request and one reply per connection, each a compact JSON
// object on one line of at most 64 KiB:
//   {"v":1,"command":"show","args":["toolbar"]}
//   {"status":0,"out":"one summary line","err":""}
// A connection that sends anything else, too much, or nothing in time is
// closed without an answer.
//
// Uses Qt Core and Qt Network only.
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

    static constexpr qsizetype kMaxMessageBytes = 64 * 1024;

    // The folder must exist.
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True: this process is the running copy for the folder (the lock is
    // taken and, unless that failed with a warning, the server listens).
    // False: a live copy holds the folder. A copy that died, however it
    // died, holds nothing.
    bool Claim();

    // Sends a request to the running copy and waits for its reply; false
    // when none answered within timeoutMs (reply->err then says why).
    // Blocks the calling thread.
    bool Send(const Request& request, Reply* reply, int timeoutMs = 800);

    // Receives every well-formed request; without one, requests are answered
    // with status 2. Requests that come in while the handler runs (it may
    // show a modal window) wait for it to return.
    void SetHandler(Handler handler);

    // The socket's path: in $XDG_RUNTIME_DIR, else in the temporary folder
    // with the user id in its name; the name carries a hash of the canonical
    // data folder.
    QString ServerPath() const { return m_serverPath; }
    QString LockPath() const;

    // How long the server waits for a client's request line.
    void SetReadTimeout(int ms) { m_readTimeoutMs = ms; }

private:
    struct Incoming;
    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket, Incoming& incoming);
    void ProcessQueue();
    bool Listen();

    QString m_folder;
    QString m_serverPath;
    int m_lockFd = -1; // the open, locked banterly.lock
    QLocalServer* m_server = nullptr;
    Handler m_handler;
    int m_readTimeoutMs = 3000;
    bool m_inHandler = false;
    // Complete requests not yet answered, oldest first (the socket is null
    // once its client has gone).
    QList<std::pair<QPointer<QLocalSocket>, Request>> m_queue;
};

// The socket path for a data folder (see ServerPath()).
QString SingleInstanceServerPath(const QString& dataFolder);
