#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What the program last read or wrote of a file, to tell later whether
// someone else has changed it since.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 mtimeNs = 0;  // modification time, nanoseconds since 1970
    quint64 device = 0;
    quint64 inode = 0;
    QByteArray hash;     // ContentHash of the bytes, when stamped with them
};

// The file as it is now (stat: a link is followed to the file the program
// reads through it). No hash. A file that cannot be stat'ed counts as
// missing.
FileStamp StampOfFile(const QString& path);

// The same, with the hash of the bytes the caller has just written to or
// read from the file (the file itself is not read again).
FileStamp StampOfBytes(const QString& path, QByteArrayView bytesJustWrittenOrRead);

// A quick 64-bit hash of the bytes (not cryptographic, fixed within a run),
// to compare content the caller holds with a stamp's.
QByteArray ContentHash(QByteArrayView bytes);

// True when the file on disk is no longer the one stamped: replaced (another
// device or inode, even with the same size and time), edited in place (size
// or modification time), removed or created.
bool ChangedOnDisk(const FileStamp& remembered, const QString& path);
