#pragma once

#include "core/files/FileStamp.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Watches the folder of a data file and announces when another program has
// put a different file there (a sync program renames the file it received
// over the old one, so the folder is watched, not the file). The program's
// own saves and loads are remembered with Remember() and never announced.
class DataFileWatch : public QObject {
    Q_OBJECT
public:
    explicit DataFileWatch(QObject* parent = nullptr);

    // Watches this file from now on, as it is on disk now.
    void Watch(const QString& path);
    // The file on disk is the one the program has just read or written.
    void Remember();

signals:
    // Another file lies at the path now; it is remembered as seen.
    void replaced();

private:
    void Check();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;  // a sync program's steps come in quick succession
    QString m_path;
    FileStamp m_seen;
};
