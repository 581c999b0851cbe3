#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

OsError ErrorAfterFailure(int savedErrno, const QSaveFile& file, const QString& fileName)
{
    if (savedErrno == 0 && QFileInfo(fileName).isDir())
        savedErrno = EISDIR;  // refused by the file layer before any system call
    if (savedErrno != 0)
        return {savedErrno, QString::fromLocal8Bit(std::strerror(savedErrno))};
    // No system error to show: the file layer's own text is the cause.
    return {EIO, file.errorString()};
}

} // namespace

// The system's errno is read straight after the call that failed, before
// anything else can overwrite it.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, OsError* error)
{
    QSaveFile file(fileName);
    auto fail = [&](int savedErrno) {
        if (error)
            *error = ErrorAfterFailure(savedErrno, file, fileName);
        file.cancelWriting();
        return false;
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return fail(errno);
    // A short write (disk full, file size limit) shows either in the count
    // or in the flush; commit() alone would not tell.
    errno = 0;
    if (file.write(bytes) != bytes.size())
        return fail(errno);
    errno = 0;
    if (!file.flush())
        return fail(errno);
    // The data reach the disk before the new file replaces the old one;
    // commit() syncs as well but ignores a failure.
    errno = 0;
    if (::fdatasync(file.handle()) != 0)
        return fail(errno);
    errno = 0;
    if (!file.commit())
        return fail(errno);
    return true;
}

