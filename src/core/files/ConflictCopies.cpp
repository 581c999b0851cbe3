#include "core/files/ConflictCopies.h"

#include "core/files/Backups.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ValidDate(const QString& digits, const QString& format)
{
    return QDate::fromString(digits, format).isValid();
}

bool ValidTime(const QString& digits) { return QTime::fromString(digits, QStringLiteral("HHmmss")).isValid(); }

} // namespace

bool IsConflictCopyName(const QString& name, const QString& fileName)
{
    const QFileInfo file(fileName);
    const QString base = file.fileName();
    const qsizetype dot = base.lastIndexOf(u'.');
    // "notes" has no extension; ".profile" is a stem, not an extension.
    const bool hasExtension = dot > 0;
    const QString plainStem = hasExtension ? base.left(dot) : base;
    if (!name.startsWith(plainStem) || name.size() <= base.size())
        return false;  // most names in the folder; no pattern built for them
    const QString stem = QRegularExpression::escape(plainStem);
    const QString ext =
        hasExtension ? QStringLiteral("\\.") + QRegularExpression::escape(base.mid(dot + 1))
                     : QString();
    static const QString kDate = QStringLiteral("(\\d{4}-\\d{2}-\\d{2})");
    const QRegularExpression syncthing(QStringLiteral("\\A") + stem +
                                       QStringLiteral("\\.sync-conflict-(\\d{8})-(\\d{6})-[A-Z2-7]{7}") +
                                       ext + QStringLiteral("\\z"));
    const QRegularExpression copy(QStringLiteral("\\A") + stem +
                                  QStringLiteral(" \\(conflicted copy ") + kDate +
                                  QStringLiteral(" (\\d{6})\\)") + ext + QStringLiteral("\\z"));
    const QRegularExpression hostCopy(QStringLiteral("\\A") + stem +
                                      QStringLiteral(" \\([^/()]+'s conflicted copy ") + kDate +
                                      QStringLiteral("\\)") + ext + QStringLiteral("\\z"));
    static const QString kIsoDate = QStringLiteral("yyyy-MM-dd");
    if (const auto m = syncthing.match(name); m.hasMatch())
        return ValidDate(m.captured(1), QStringLiteral("yyyyMMdd")) && ValidTime(m.captured(2));
    if (const auto m = copy.match(name); m.hasMatch())
        return ValidDate(m.captured(1), kIsoDate) && ValidTime(m.captured(2));
    if (const auto m = hostCopy.match(name); m.hasMatch())
        return ValidDate(m.captured(1), kIsoDate);
    return false;
}

QStringList ConflictCopiesOf(const QString& filePath)
{
    const QFileInfo file(filePath);
    if (filePath.isEmpty())
        return {};
    QStringList copies;
    const QDir folder = file.absoluteDir();
    const QString name = file.fileName();
    // Every name is listed: a name filter would treat the brackets in a
    // copy's name as a pattern.
    for (const QFileInfo& entry :
         folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name))
        if (IsConflictCopyName(entry.fileName(), name))
            copies.append(entry.filePath());
    return copies;
}

ConflictCopyClaim::ConflictCopyClaim(const QString& copyPath)
{
    const QByteArray path = QFile::encodeName(copyPath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        m_elsewhere = errno == ENOENT;
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_elsewhere = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    // Locked only after the other copy of the program moved it away.
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) != 0 || ::stat(path.constData(), &named) != 0 ||
        locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
        m_elsewhere = true;
        ::close(fd);
        return;
    }
    m_fd = fd;
}

ConflictCopyClaim::~ConflictCopyClaim()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString MoveConflictCopyToBackups(const QString& copyPath, const QString& filePath, QString* error)
{
    const QString folder = BackupFolderFor(filePath);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("the folder ") + folder + QStringLiteral(" could not be made");
        return {};
    }
    const QFileInfo copy(copyPath);
    const QString name = copy.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1; n < 1000; ++n) {
        const QString target = QDir(folder).filePath(
            n == 1 ? name : stem + QStringLiteral(" (%1)").arg(n) + ext);
        // A hard link never replaces a file already there; the copy's own
        // name goes once the link stands. (A file system without hard links
        // has no rename that refuses to replace either: the name is checked
        // first there.)
        const QByteArray from = QFile::encodeName(copyPath);
        const QByteArray to = QFile::encodeName(target);
        if (::link(from.constData(), to.constData()) == 0) {
            if (::unlink(from.constData()) == 0)
                return target;
            const int e = errno;
            ::unlink(to.constData());
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(e));
            return {};
        }
        const int e = errno;
        if (e == EEXIST)
            continue;
        if (e == EPERM || e == EOPNOTSUPP || e == EXDEV || e == EMLINK) {
            if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
                continue;
            if (::rename(from.constData(), to.constData()) == 0)
                return target;
        }
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    if (error)
        *error = QStringLiteral("no free name in ") + folder;
    return {};
}
