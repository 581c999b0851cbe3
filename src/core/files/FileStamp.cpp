#include "core/files/FileStamp.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

FileStamp StampOfFile(const QString& path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    return stamp;
}

FileStamp StampOfBytes(const QString& path, QByteArrayView bytesJustWrittenOrRead)
{
    FileStamp stamp = StampOfFile(path);
    stamp.hash = ContentHash(bytesJustWrittenOrRead);
    return stamp;
}

// qHash with a fixed seed runs at several GB/s, four to five times faster
// than MD5 or SHA-1 here; a 64-bit hash is plenty to tell two versions of
// one file apart.
QByteArray ContentHash(QByteArrayView bytes)
{
    const quint64 h = qHash(bytes, size_t(0));
    QByteArray out(sizeof h, Qt::Uninitialized);
    for (int i = 0; i < int(sizeof h); ++i)
        out[i] = char(h >> (8 * i));
    return out;
}

bool ChangedOnDisk(const FileStamp& remembered, const QString& path)
{
    const FileStamp now = StampOfFile(path);
    if (now.exists != remembered.exists)
        return true;
    if (!now.exists)
        return false;
    return now.size != remembered.size || now.mtimeNs != remembered.mtimeNs
        || now.device != remembered.device || now.inode != remembered.inode;
}
