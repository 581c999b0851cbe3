#include "core/platform/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_fullDisk{false};
std::atomic<bool> g_failedSync{false};

QString& WriteRefusal()
{
    static QString reason;
    return reason;
}
PreviousVersionKeeper* g_keeper = nullptr;

// A file the program creates is readable by its user only.
constexpr mode_t kNewFileMode = 0600;
constexpr int kMaxLinks = 40;  // as the system follows them

OsError SystemError(int number) { return {number, QString::fromLocal8Bit(std::strerror(number))}; }

OsError NotRegular(const QString& path, mode_t mode)
{
    if (S_ISDIR(mode))
        return SystemError(EISDIR);
    return {EINVAL, QDir::toNativeSeparators(path) + QStringLiteral(" is not a regular file")};
}

// What lies at the path now: nothing (a file to create) and a regular file
// are fine, anything else is named in `error`.
bool RegularOrAbsent(const QString& path, OsError* error)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        *error = SystemError(errno);
        return false;
    }
    if (S_ISREG(st.st_mode))
        return true;
    *error = NotRegular(path, st.st_mode);
    return false;
}

OsError ErrorAfterFailure(int savedErrno, const QSaveFile& file, const QString& fileName)
{
    if (savedErrno == 0 && QFileInfo(fileName).isDir())
        savedErrno = EISDIR;  // refused by the file layer before any system call
    if (savedErrno != 0)
        return SystemError(savedErrno);
    // No system error to show: the file layer's own text is the cause.
    const QString reason = file.errorString();
    return {EIO, reason.isEmpty() || reason == QStringLiteral("Unknown error")
                     ? QStringLiteral("the disk took only part of the file")
                     : reason};
}

} // namespace

void SimulateFullDisk(bool full) { g_fullDisk = full; }
void SimulateFailedSync(bool failed) { g_failedSync = failed; }

QString FileToReplace(const QString& fileName, OsError* error)
{
    if (fileName.isEmpty()) {
        *error = SystemError(ENOENT);
        return {};
    }
    QString path = fileName;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        const QByteArray name = QFile::encodeName(path);
        struct stat st;
        if (::lstat(name.constData(), &st) != 0) {
            if (errno == ENOENT)
                return path;  // created there (also at the end of a dangling link)
            *error = SystemError(errno);
            return {};
        }
        if (S_ISREG(st.st_mode))
            return path;
        if (!S_ISLNK(st.st_mode)) {
            *error = NotRegular(path, st.st_mode);
            return {};
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(name.constData(), target, sizeof target);
        if (length < 0 || length == ssize_t(sizeof target)) {
            *error = SystemError(length < 0 ? errno : ENAMETOOLONG);
            return {};
        }
        const QString next = QFile::decodeName(QByteArray(target, length));
        path = next.startsWith(QLatin1Char('/'))
                   ? next
                   : QFileInfo(path).path() + QLatin1Char('/') + next;
    }
    *error = SystemError(ELOOP);
    return {};
}

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
    return Fail(ErrorAfterFailure(savedErrno, *m_file, m_file->fileName()));
}

bool AtomicWriter::Fail(const OsError& error)
{
    m_error = error;
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
    // The temporary file goes beside the file the rename will replace: the
    // target of a link, whose own folder may be elsewhere.
    OsError refused;
    const QString target = FileToReplace(m_fileName, &refused);
    if (target.isEmpty())
        return Fail(refused);
    m_file->setFileName(target);
    struct stat existing;
    const mode_t mode = ::stat(QFile::encodeName(target).constData(), &existing) == 0
                            ? existing.st_mode & 0777
                            : kNewFileMode;
    errno = 0;
    // Unbuffered: a buffered write that the disk takes only in part is not
    // reported, and the file would be committed short.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return Fail(errno);
    if (::fchmod(m_file->handle(), mode) != 0)
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
    if (g_failedSync)
        return Fail(EIO);
    if (::fdatasync(m_file->handle()) != 0)
        return Fail(errno);
    // The old version is kept (a hard link: nearly free) just before the
    // rename replaces it; when it must be kept and cannot, nothing is replaced.
    PreviousVersionKeeper* keeper = m_previous != PreviousVersion::Drop ? g_keeper : nullptr;
    OsError refused;
    if (keeper && !keeper->BeforeReplace(m_fileName, m_previous == PreviousVersion::Require,
                                         &refused))
        return Fail(refused);
    // Another program may have put something else in the file's place since
    // it was opened.
    if (!RegularOrAbsent(m_file->fileName(), &refused))
        return Fail(refused);
    errno = 0;
    if (!m_file->commit()) {
        m_failed = true;
        m_error = ErrorAfterFailure(errno, *m_file, m_file->fileName());
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
