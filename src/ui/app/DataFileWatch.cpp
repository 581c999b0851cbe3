#include "ui/app/DataFileWatch.h"

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
    if (!path.isEmpty())
        m_watcher.addPath(folder);
    Remember();
}

void DataFileWatch::Remember() { m_seen = StampOfFile(m_path); }

void DataFileWatch::Check()
{
    if (m_path.isEmpty() || !ChangedOnDisk(m_seen, m_path))
        return;
    const FileStamp now = StampOfFile(m_path);
    // A file taken away is no new book: the table stays, and the next save
    // writes it back.
    if (!now.exists)
        return;
    m_seen = now;
    emit replaced();
}
