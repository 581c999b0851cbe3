#pragma once

#include "core/platform/AtomicFile.h"

#include <QDateTime>
#include <QList>
#include <QString>

// Earlier versions of a data file, kept in a folder "backups" beside it.
// A version is named after the file and the local time it was replaced, so a
// user finds it by hand:
//   backups/chatcontacts.2026-12-09_01-30-12.lis
//   backups/chatcontacts.2026-12-09_01-30-12_2.lis   (a second one that second)
// A file without an extension gets the time as its last part
// ("notes.2026-12-09_01-30-12").

// The folder the versions of this file go into.
QString BackupFolderFor(const QString& filePath);

// The name a version of this file replaced at `replacedAt` gets; `sequence`
// 1 is the first of that second, 2 and up get "_2", "_3" … before the
// extension.
QString BackupFileName(const QString& filePath, const QDateTime& replacedAt, int sequence = 1);

// Keeps the current file as a version, to be called just before the new
// file is renamed over it. A hard link (nearly free, and the old content
// stays in it once the rename has replaced the file) when the file system
// allows one, otherwise a copy written under a temporary name, synced and
// renamed, so a half copy never looks like a version. Creates the backups
// folder when needed. Returns the version's path.
// Returns an empty path with error->number == 0 when there is no file to
// keep, and an empty path with the reason in `error` when the file is not a
// regular file (a link, a folder, a device: never followed) or the version
// could not be made. Never changes the file itself.
QString KeepBackup(const QString& filePath, const QDateTime& now, OsError* error = nullptr);

struct BackupVersion {
    QString path;
    QDateTime replacedAt;  // local time, from the name
    int sequence = 1;      // 1, or the "_N" of the name
    qint64 size = 0;
};

// Every kept version of the file, newest first. Only regular files named as
// above count; anything else in the folder is left out (and left alone).
QList<BackupVersion> ListBackups(const QString& filePath);

// The retention rule. Given the times of the kept versions (ordered newest
// first where times are equal, as ListBackups gives them) and the current
// time, returns the indexes of the versions to remove, ascending. Kept are:
//   - the newest 10, always;
//   - every version at most an hour old;
//   - for each clock hour of the last 24 hours, its newest version;
//   - for each local calendar day of the last 30 days, its newest version.
// The buckets are fixed hours and days, not windows that move with `now`:
// a version kept once as the newest of its hour or day stays so until it
// ages out, so pruning after every save keeps the same versions as pruning
// once at the end would.
QList<int> VersionsToRemove(const QList<QDateTime>& times, const QDateTime& now);

// Applies VersionsToRemove to the versions of the file. To be called after a
// successful save. Returns an empty text, or a line per version that could
// not be removed; a failure here never fails a save, the caller logs it.
QString PruneBackups(const QString& filePath, const QDateTime& now);

// The same for a save that should not wait while the file system frees the
// versions due (a 13 MB version takes about 4 ms, as long as a save without
// backups spends freeing the file it replaces): the versions due are chosen
// here, and removed on a thread of their own. Returns the failures of the
// removals started by the previous call (empty when there were none).
// ListBackups, this function and WaitForBackupRemovals first wait for that
// thread, so the versions listed never include one being removed. To be
// called from one thread only.
QString PruneBackupsInBackground(const QString& filePath, const QDateTime& now);
void WaitForBackupRemovals();
