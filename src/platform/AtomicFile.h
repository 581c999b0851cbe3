#pragma once

#include <QByteArray>
#include <QString>

// A failure of the file system: the system's error number and its text.
struct OsError {
    int number = 0;
    QString description;
};

// Replaces (or creates) a file with these bytes atomically: the bytes go to
// a temporary file beside it, are flushed and synced, and only then is it
// renamed over the old file. On failure the old file is untouched and
// `error` tells why. A short write (disk full, file-size limit) counts as a
// failure.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         OsError* error = nullptr);
