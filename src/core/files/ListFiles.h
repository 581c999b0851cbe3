#pragma once

#include "core/files/ErrorLog.h"
#include "core/platform/AtomicFile.h"

#include <QString>
#include <QStringList>

class QByteArray;
class QFile;

// List files keep one item per line, each line ended by CR LF, as UTF-8.
// Reading also accepts lines ended by a bare CR or LF and lines in
// Windows-1252. Empty lines carry no item; a line of blanks is an item.

// Counts and positions of list items are 16-bit.
constexpr int kMaxListItems = 32767;
// The longest item a list holds (the input box's limit too).
constexpr int kMaxListItemLength = 32767;
// Bytes read from one list file at most.
constexpr qint64 kMaxListFileBytes = 64 * 1024 * 1024;

// Reads from `file` until `bytes` holds `limit` bytes or the file ends.
// False (with the reason) when a read failed; `bytes` then holds what was
// read before the failure.
bool ReadAtMost(QFile& file, qint64 limit, QByteArray& bytes, QString* error);

enum class ListLoad {
    NoFileName,  // nothing done, the list unchanged
    Missing,     // no such file: the list unchanged
    Complete,    // the list holds every item of the file
    Incomplete,  // the list holds only the part that could be read
};

// A file is present when its path names an existing ordinary file (a
// symbolic link to one counts); folders and device files count as missing.
bool IsListFilePresent(const QString& fileName);

// Splits the bytes of a list file into its items (no more than maxItems).
// `complete` is set false when the bytes hold more than the items returned
// or an item had to be cut to kMaxListItemLength.
QStringList ParseListFile(const QByteArray& bytes, bool* complete, int maxItems = kMaxListItems);

// Reads the items of a list file. A missing file leaves `items` unchanged; a
// file that cannot be read completely leaves in `items` what could be read,
// so the caller must not save it over the file. In both cases `problem`
// receives what to tell the user and log (without one, the failure is only
// logged).
ListLoad LoadListFile(const QString& fileName, QStringList& items, Problem* problem = nullptr);

// Replaces the file with the items, atomically: a failed save leaves the old
// file as it was, and `problem` receives what to tell the user and log
// (without one, the failure is only logged). Returns true when saved. An
// empty file name is only logged.
bool SaveListFile(const QStringList& items, const QString& fileName, Problem* problem = nullptr);

// The bytes of a list file holding these items.
QByteArray ListFileBytes(const QStringList& items);

// Replaces (or creates) a list file with these items, atomically. On failure
// the old file is untouched and `error` tells why.
// The version it replaces is kept in backups/ unless told otherwise.
bool WriteListFile(const QString& fileName, const QStringList& items, OsError* error = nullptr,
                   PreviousVersion previous = PreviousVersion::Keep);
