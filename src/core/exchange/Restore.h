#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Putting a kept version of a data file (see Backups.h) back in its place.

// What a kept version holds, as the program would load it.
struct VersionContent {
    // False when the version is not a regular file (a link, a folder, a pipe:
    // never read) or could not be read; `error` says why.
    bool readable = false;
    bool regularFile = false;
    // The contacts or phrases the program would load from it.
    int count = 0;
    // False when it holds more than the program loads: more lines or bytes
    // than a list or contact file may have, or a phrase longer than a list
    // item may be. `count` is then what would be loaded.
    bool complete = true;
    QString error;
};

// Counts the contacts of a contact file as the contact loader does (every
// line that is neither empty nor made of blanks, up to the most contacts the
// loader takes), reading at most as many bytes as it does.
VersionContent CountContactsInVersion(const QString& versionPath);
// Counts the items of a list file (the phrases) as ParseListFile splits them,
// reading at most kMaxListFileBytes.
VersionContent CountPhrasesInVersion(const QString& versionPath);

// "12 contacts", "1 phrase", "32699 contacts (more that are not read)",
// "cannot be read: …"; `one` and `many` name the things counted.
QString DescribeVersionContent(const VersionContent& content, const QString& one,
                               const QString& many);

// The time a version was replaced, as the user reads it: "9 Dec 2026 01:30:12".
QString VersionTimeText(const QDateTime& time);

// Larger versions are not restored: no loader reads more.
constexpr qint64 kMaxRestoreBytes = qint64(128) << 20;

// Reads a kept version whole. It must be a regular file (a link is not
// followed) of at most kMaxRestoreBytes that does not change while it is read.
bool ReadVersion(const QString& versionPath, QByteArray* bytes, QString* error);

// Writes the bytes of a version over the file, atomically and with the
// file's current content kept as a version itself first (the atomic writer's
// keeper): when it cannot be kept, the file is not replaced. On failure the
// file is as it was and `error` says why.
bool WriteRestoredVersion(const QString& filePath, const QByteArray& bytes, QString* error);

// Both: puts a kept version back in the file's place.
bool RestoreVersion(const QString& filePath, const QString& versionPath, QString* error);
