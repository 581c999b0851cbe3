#include "ui/app/DataFileWatch.h"

#include "core/files/ConflictCopies.h"

#include <QFileInfo>

namespace {
constexpr int kSettleMs = 50;
}

DataFileWatch::DataFileWatch(QObject* parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &DataFileWatch::Check);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_settle.start(); });
}

void DataFileWatch::Watch(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path = path;
    m_copiesSeen.clear();
    if (!path.isEmpty())
        m_watcher.addPath(folder);
    Remember();
}

void DataFileWatch::Remember() { m_seen = StampOfFile(m_path); }

void DataFileWatch::Check()
{
    if (m_path.isEmpty())
        return;
    const FileStamp now = StampOfFile(m_path);
    // A file taken away is no new book: the table stays, and the next save
    // writes it back.
    if (ChangedOnDisk(m_seen, m_path) && now.exists) {
        m_seen = now;
        emit replaced();
    }
    // The winner first, then the version that lost.
    CheckConflictCopies();
}

void DataFileWatch::CheckConflictCopies()
{
    if (m_path.isEmpty())
        return;
    const QStringList copies = ConflictCopiesOf(m_path);
    // A copy that went away (moved into backups/) may come back under its
    // name with other content: it is announced then.
    for (auto it = m_copiesSeen.begin(); it != m_copiesSeen.end();)
        it = copies.contains(it.key()) ? std::next(it) : m_copiesSeen.erase(it);
    for (const QString& copy : copies) {
        const auto seen = m_copiesSeen.constFind(copy);
        if (seen != m_copiesSeen.cend() && !ChangedOnDisk(seen.value(), copy))
            continue;
        // Remembered before it is announced: a message shown while it is
        // merged runs the event loop, and a check then must not take it again.
        m_copiesSeen.insert(copy, StampOfFile(copy));
        emit conflictCopyFound(copy);
    }
}
