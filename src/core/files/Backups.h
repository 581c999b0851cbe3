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
// A pinned version, one the user was told about, is never thinned out: it
// stays until the user deletes it.
//   backups/chatcontacts.2026-12-09_01-30-12.kept.lis
// Only names written exactly so are versions; thinning never touches
// anything else in the folder.

enum class VersionKind { Ordinary, Pinned };

// The folder the versions of this file go into.
QString BackupFolderFor(const QString& filePath);

// The name a version of this file replaced at `replacedAt` gets; `sequence`
// 1 is the first of that second, 2 and up get "_2", "_3" … before the
// extension.
QString BackupFileName(const QString& filePath, const QDateTime& replacedAt, int sequence = 1,
                       VersionKind kind = VersionKind::Ordinary);

// Keeps the current file as a version, to be called just before the new
// file is renamed over it. A hard link (nearly free, and the old content
// stays in it once the rename has replaced the file) when the file system
// allows one, otherwise a copy written under a temporary name, synced and
// renamed, so a half copy never looks like a version. Creates the backups
// folder when needed. Returns the version's path.
// Returns an empty path with error->number == 0 when there is no file to
// keep, and an empty path with the reason in `error` when the file is not a
// regular file (a folder, a device, a link to one) or the version could not
// be made. A link to a regular file is followed: its target's content is
// kept, as the atomic writer replaces the target. Never changes the file
// itself.
QString KeepBackup(const QString& filePath, const QDateTime& now, OsError* error = nullptr,
                   VersionKind kind = VersionKind::Ordinary);

struct BackupVersion {
    QString path;
    QDateTime replacedAt;  // local time, from the name
    int sequence = 1;      // 1, or the "_N" of the name
    qint64 size = 0;
    VersionKind kind = VersionKind::Ordinary;
    // When the version was made, by the file system's clock (its inode's
    // change time, set by the link or copy that made it): the program's
    // clock may have gone back since.
    qint64 madeNs = 0;
};

// Every kept version of the file, pinned ones among them, newest (by name)
// first. Only regular files named as above count; anything else in the
// folder is left out (and left alone).
QList<BackupVersion> ListBackups(const QString& filePath);

// The retention rule. Given the times of the kept versions (ordered newest
// first where times are equal, as ListBackups gives them) and the current
// time, returns the indexes of the versions to remove, ascending. `madeNs`
// (empty, or one per version) says when each was made. Kept are:
//   - the newest 10 by name, and the 10 made last, always;
//   - every version at most an hour old;
//   - for each clock hour of the last 24 hours, its newest version;
//   - for each local calendar day of the last 30 days, its newest version.
// The buckets are fixed hours and days, not windows that move with `now`:
// a version kept once as the newest of its hour or day stays so until it
// ages out, so pruning after every save keeps the same versions as pruning
// once at the end would.
QList<int> VersionsToRemove(const QList<QDateTime>& times, const QDateTime& now,
                            const QList<qint64>& madeNs = {});

// Applies VersionsToRemove to the ordinary versions of the file (a pinned one
// is never removed). To be called after a
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
