#include "core/platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<bool> g_fullDisk{false};

QString& WriteRefusal()
{
    static QString reason;
    return reason;
}
PreviousVersionKeeper* g_keeper = nullptr;

OsError ErrorAfterFailure(int savedErrno, const QSaveFile& file, const QString& fileName)
{
    if (savedErrno == 0 && QFileInfo(fileName).isDir())
        savedErrno = EISDIR;  // refused by the file layer before any system call
    if (savedErrno != 0)
        return {savedErrno, QString::fromLocal8Bit(std::strerror(savedErrno))};
    // No system error to show: the file layer's own text is the cause.
    const QString reason = file.errorString();
    return {EIO, reason.isEmpty() || reason == QStringLiteral("Unknown error")
                     ? QStringLiteral("the disk took only part of the file")
                     : reason};
}

} // namespace

void SimulateFullDisk(bool full) { g_fullDisk = full; }

void RefuseWrites(const QString& reason) { WriteRefusal() = reason; }

PreviousVersionKeeper* SetPreviousVersionKeeper(PreviousVersionKeeper* keeper)
{
    PreviousVersionKeeper* previous = g_keeper;
    g_keeper = keeper;
    return previous;
}

AtomicWriter::AtomicWriter(const QString& fileName, PreviousVersion previous)
    : m_fileName(fileName), m_previous(previous),
      m_file(std::make_unique<QSaveFile>(fileName))
{
}

AtomicWriter::~AtomicWriter()
{
    if (m_file->isOpen())
        m_file->cancelWriting();
}

// The system's errno is read straight after the call that failed, before
// anything else can overwrite it.
bool AtomicWriter::Fail(int savedErrno)
{
    m_error = ErrorAfterFailure(savedErrno, *m_file, m_fileName);
    m_failed = true;
    if (m_file->isOpen())
        m_file->cancelWriting();
    return false;
}

bool AtomicWriter::Open()
{
    if (!WriteRefusal().isEmpty()) {
        m_error = {EROFS, WriteRefusal()};
        m_failed = true;
        return false;
    }
    if (g_fullDisk)
        return Fail(ENOSPC);
    errno = 0;
    // Unbuffered: a buffered write that the disk takes only in part is not
    // reported, and the file would be committed short.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(errno);
    return true;
}

bool AtomicWriter::Write(QByteArrayView bytes)
{
    if (m_failed || !m_file->isOpen())
        return false;
    while (!bytes.isEmpty()) {
        errno = 0;
        const qint64 written = m_file->write(bytes.data(), bytes.size());
        if (written <= 0)
            return Fail(errno);
        bytes = bytes.sliced(written);
    }
    return true;
}

bool AtomicWriter::Commit()
{
    if (m_failed || !m_file->isOpen())
        return false;
    // The data reach the disk before the new file replaces the old one;
    // commit() syncs as well but ignores a failure.
    errno = 0;
    if (::fdatasync(m_file->handle()) != 0)
        return Fail(errno);
    // The old version is kept (a hard link: nearly free) just before the
    // rename replaces it.
    PreviousVersionKeeper* keeper = m_previous == PreviousVersion::Keep ? g_keeper : nullptr;
    if (keeper)
        keeper->BeforeReplace(m_fileName);
    errno = 0;
    if (!m_file->commit()) {
        m_failed = true;
        m_error = ErrorAfterFailure(errno, *m_file, m_fileName);
        return false;
    }
    if (keeper)
        keeper->AfterReplace(m_fileName);
    return true;
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, OsError* error,
                         PreviousVersion previous)
{
    AtomicWriter writer(fileName, previous);
    const bool ok = writer.Open() && writer.Write(bytes) && writer.Commit();
    if (!ok && error)
        *error = writer.Error();
    return ok;
}
