#pragma once

#include "core/files/FileStamp.h"

#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

// Watches the folder of a data file and announces when another program has
// put a different file there (a sync program renames the file it received
// over the old one, so the folder is watched, not the file). The program's
// own saves and loads are remembered with Remember() and never announced.
// It also announces each conflict copy of the file (ConflictCopies) once.
class DataFileWatch : public QObject {
    Q_OBJECT
public:
    explicit DataFileWatch(QObject* parent = nullptr);

    // Watches this file from now on, as it is on disk now.
    void Watch(const QString& path);
    // The file on disk is the one the program has just read or written.
    void Remember();

    // Announces the conflict copies beside the file not announced yet (a
    // copy is announced again only when another file lies under its name).
    void CheckConflictCopies();

signals:
    // Another file lies at the path now; it is remembered as seen.
    void replaced();
    // A sync program's conflict copy of the file lies beside it.
    void conflictCopyFound(const QString& copyPath);

private:
    void Check();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;  // a sync program's steps come in quick succession
    QString m_path;
    FileStamp m_seen;
    QHash<QString, FileStamp> m_copiesSeen;
};
