#include "files/Backups.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kAlwaysKept = 10;
constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kEveryVersionMs = kHourMs;
constexpr qint64 kHourlyMs = 24 * kHourMs;
constexpr qint64 kDailyMs = 30 * 24 * kHourMs;
constexpr int kMaxSequence = 9999;

OsError SystemError(int number)
{
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}

// "chatcontacts.lis" -> {"chatcontacts", ".lis"}; a leading dot does not
// start an extension.
std::pair<QString, QString> SplitName(const QString& filePath)
{
    const QString name = QFileInfo(filePath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

// The link cannot be made here, but a copy can.
bool LinkNotPossible(int number)
{
    return number == EXDEV || number == EPERM || number == EMLINK || number == ENOTSUP
        || number == EOPNOTSUPP || number == ENOSYS;
}

// The backups folder exists (created when missing). A link to a folder is
// accepted: the user may keep the versions on another disk that way.
bool EnsureFolder(const QString& folder, OsError* error)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        *error = SystemError(ENOTDIR);
        return false;
    }
    if (errno != ENOENT) {
        *error = SystemError(errno);
        return false;
    }
    if (::mkdir(path.constData(), 0777) == 0)
        return true;
    const int failure = errno;
    if (failure == EEXIST && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    *error = SystemError(failure);
    return false;
}

bool Exists(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

// The copy fallback: reads the file (refusing anything but the regular file
// stat'ed before) and writes the copy atomically under a free name.
QString CopyVersion(const QString& filePath, const struct stat& original, const QDateTime& now,
                    int firstSequence, OsError* error)
{
    const int fd = ::open(QFile::encodeName(filePath).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        *error = SystemError(errno);
        return {};
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_ino != original.st_ino
        || st.st_dev != original.st_dev) {
        ::close(fd);
        *error = {EAGAIN, QStringLiteral("The file changed while its backup was made")};
        return {};
    }
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = {EIO, in.errorString()};
        return {};
    }
    errno = 0;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError || bytes.size() != st.st_size) {
        *error = errno ? SystemError(errno) : OsError{EIO, in.errorString()};
        return {};
    }
    in.close();
    const QString folder = BackupFolderFor(filePath);
    for (int sequence = firstSequence; sequence <= kMaxSequence; ++sequence) {
        const QString target = folder + QLatin1Char('/') + BackupFileName(filePath, now, sequence);
        if (Exists(target))
            continue;
        if (!WriteFileAtomically(target, bytes, error))
            return {};
        return target;
    }
    *error = SystemError(EEXIST);
    return {};
}

} // namespace

QString BackupFolderFor(const QString& filePath)
{
    return QFileInfo(filePath).dir().filePath(QStringLiteral("backups"));
}

QString BackupFileName(const QString& filePath, const QDateTime& replacedAt, int sequence)
{
    const auto [base, extension] = SplitName(filePath);
    const QDateTime local = replacedAt.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    QString name = base
        + QString::asprintf(".%04d-%02d-%02d_%02d-%02d-%02d", d.year(), d.month(), d.day(),
                            t.hour(), t.minute(), t.second());
    if (sequence > 1)
        name += QLatin1Char('_') + QString::number(sequence);
    return name + extension;
}

QString KeepBackup(const QString& filePath, const QDateTime& now, OsError* error)
{
    OsError ignored;
    OsError& err = error ? *error : ignored;
    err = {};
    const QByteArray source = QFile::encodeName(filePath);
    struct stat st;
    if (::lstat(source.constData(), &st) != 0) {
        if (errno != ENOENT)
            err = SystemError(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        err = {EINVAL, QStringLiteral("Not a regular file")};
        return {};
    }
    const QString folder = BackupFolderFor(filePath);
    if (!EnsureFolder(folder, &err))
        return {};
    for (int sequence = 1; sequence <= kMaxSequence; ++sequence) {
        const QString target = folder + QLatin1Char('/') + BackupFileName(filePath, now, sequence);
        const QByteArray targetName = QFile::encodeName(target);
        // Flags 0: a link in the file's place would be linked itself, not
        // followed; the check below then takes it back.
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, targetName.constData(), 0) == 0) {
            struct stat made;
            if (::lstat(targetName.constData(), &made) == 0 && S_ISREG(made.st_mode))
                return target;
            ::unlink(targetName.constData());
            err = {EINVAL, QStringLiteral("Not a regular file")};
            return {};
        }
        const int failure = errno;
        if (failure == EEXIST)
            continue;
        if (LinkNotPossible(failure))
            return CopyVersion(filePath, st, now, sequence, &err);
        err = SystemError(failure);
        return {};
    }
    err = SystemError(EEXIST);
    return {};
}

QList<BackupVersion> ListBackups(const QString& filePath)
{
    const auto [base, extension] = SplitName(filePath);
    static const QString timePattern = QStringLiteral(
        "\\.(\\d{4})-(\\d{2})-(\\d{2})_(\\d{2})-(\\d{2})-(\\d{2})(?:_([1-9]\\d{0,3}))?");
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(base) + timePattern + QRegularExpression::escape(extension)));
    const QString folder = BackupFolderFor(filePath);
    QList<BackupVersion> versions;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        const QRegularExpressionMatch m = pattern.match(name);
        if (!m.hasMatch())
            continue;
        auto n = [&](int i) { return m.capturedView(i).toInt(); };
        const QDateTime when(QDate(n(1), n(2), n(3)), QTime(n(4), n(5), n(6)));
        if (!when.isValid())
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        versions.append({path, when, m.hasCaptured(7) ? n(7) : 1, qint64(st.st_size)});
    }
    std::sort(versions.begin(), versions.end(), [](const BackupVersion& a, const BackupVersion& b) {
        if (a.replacedAt != b.replacedAt)
            return a.replacedAt > b.replacedAt;
        return a.sequence > b.sequence;
    });
    return versions;
}

QList<int> VersionsToRemove(const QList<QDateTime>& times, const QDateTime& now)
{
    QList<int> newestFirst(times.size());
    std::iota(newestFirst.begin(), newestFirst.end(), 0);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [&](int a, int b) { return times[a] > times[b]; });
    QSet<qint64> hoursSeen;
    QSet<QDate> daysSeen;
    QList<int> remove;
    for (int rank = 0; rank < newestFirst.size(); ++rank) {
        const QDateTime& t = times[newestFirst[rank]];
        const qint64 ms = t.toMSecsSinceEpoch();
        const qint64 age = now.toMSecsSinceEpoch() - ms;
        const qint64 hour = ms >= 0 ? ms / kHourMs : (ms - kHourMs + 1) / kHourMs;
        const QDate day = t.toLocalTime().date();
        // The first one met of an hour or a day is its newest.
        const bool newestOfHour = !hoursSeen.contains(hour);
        const bool newestOfDay = !daysSeen.contains(day);
        hoursSeen.insert(hour);
        daysSeen.insert(day);
        const bool keep = rank < kAlwaysKept || age <= kEveryVersionMs
            || (newestOfHour && age <= kHourlyMs) || (newestOfDay && age <= kDailyMs);
        if (!keep)
            remove.append(newestFirst[rank]);
    }
    std::sort(remove.begin(), remove.end());
    return remove;
}

QString PruneBackups(const QString& filePath, const QDateTime& now)
{
    const QList<BackupVersion> versions = ListBackups(filePath);
    QList<QDateTime> times;
    times.reserve(versions.size());
    for (const BackupVersion& v : versions)
        times.append(v.replacedAt);
    QStringList failures;
    for (int i : VersionsToRemove(times, now)) {
        if (::unlink(QFile::encodeName(versions[i].path).constData()) == 0 || errno == ENOENT)
            continue;
        const OsError failure = SystemError(errno);
        failures.append(QStringLiteral("Could not remove the old version %1: %2")
                            .arg(versions[i].path, failure.description));
    }
    return failures.join(QLatin1Char('\n'));
}
