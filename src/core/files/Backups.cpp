#include "core/files/Backups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

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
    if (::mkdir(path.constData(), 0700) == 0)  // the user's data: theirs alone
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
                    int firstSequence, VersionKind kind, OsError* error)
{
    const int fd = ::open(QFile::encodeName(filePath).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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
        const QString target =
            folder + QLatin1Char('/') + BackupFileName(filePath, now, sequence, kind);
        if (Exists(target))
            continue;
        if (!WriteFileAtomically(target, bytes, error))
            return {};
        return target;
    }
    *error = SystemError(EEXIST);
    return {};
}

constexpr QStringView kPinMark = u".kept";

// "2026-12-09_01-30-12", "_2" … "_9999" for the second and later versions of
// that second, ".kept" for a version thinning leaves alone.
QString StampText(const QDateTime& local, int sequence, VersionKind kind)
{
    const QDate d = local.date();
    const QTime t = local.time();
    QString text = QString::asprintf("%04d-%02d-%02d_%02d-%02d-%02d", d.year(), d.month(), d.day(),
                                     t.hour(), t.minute(), t.second());
    if (sequence > 1)
        text += QLatin1Char('_') + QString::number(sequence);
    if (kind == VersionKind::Pinned)
        text += kPinMark;
    return text;
}

// Reads a stamp as StampText writes it, and only so: a name the program
// would not have given (an hour 24-99, a sequence with a blank or a sign, a
// time the local clock never shows) is not a version.
bool ParseStamp(QStringView text, QDateTime* when, int* sequence, VersionKind* kind)
{
    *kind = text.endsWith(kPinMark) ? VersionKind::Pinned : VersionKind::Ordinary;
    if (*kind == VersionKind::Pinned)
        text.chop(kPinMark.size());
    static constexpr char shape[] = "dddd-dd-dd_dd-dd-dd";
    if (text.size() < 19)
        return false;
    for (int i = 0; i < 19; ++i) {
        const bool digit = text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9');
        if (shape[i] == 'd' ? !digit : text[i] != QLatin1Char(shape[i]))
            return false;
    }
    *sequence = 1;
    if (text.size() > 19) {
        bool ok = false;
        *sequence = text[19] == QLatin1Char('_') ? text.sliced(20).toInt(&ok) : 0;
        if (!ok || *sequence < 2 || *sequence > kMaxSequence)
            return false;
    }
    auto n = [&](int at, int length) { return text.sliced(at, length).toInt(); };
    const QDate date(n(0, 4), n(5, 2), n(8, 2));
    const QTime time(n(11, 2), n(14, 2), n(17, 2));
    if (!date.isValid() || !time.isValid())
        return false;
    *when = QDateTime(date, time);
    return when->isValid() && StampText(*when, *sequence, VersionKind::Ordinary) == text;
}

} // namespace

QString BackupFolderFor(const QString& filePath)
{
    return QFileInfo(filePath).dir().filePath(QStringLiteral("backups"));
}

QString BackupFileName(const QString& filePath, const QDateTime& replacedAt, int sequence,
                       VersionKind kind)
{
    const auto [base, extension] = SplitName(filePath);
    return base + QLatin1Char('.') + StampText(replacedAt.toLocalTime(), sequence, kind) +
           extension;
}

QString KeepBackup(const QString& filePath, const QDateTime& now, OsError* error,
                   VersionKind kind)
{
    OsError ignored;
    OsError& err = error ? *error : ignored;
    err = {};
    const QByteArray source = QFile::encodeName(filePath);
    struct stat st;
    if (::stat(source.constData(), &st) != 0) {
        if (errno != ENOENT)
            err = SystemError(errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        err = {EINVAL, QStringLiteral("Not a regular file")};
        return {};
    }
    if (!now.isValid()) {  // would give a name no listing finds, never pruned
        err = {EINVAL, QStringLiteral("No valid time for the backup's name")};
        return {};
    }
    const QString folder = BackupFolderFor(filePath);
    if (!EnsureFolder(folder, &err))
        return {};
    for (int sequence = 1; sequence <= kMaxSequence; ++sequence) {
        const QString target =
            folder + QLatin1Char('/') + BackupFileName(filePath, now, sequence, kind);
        const QByteArray targetName = QFile::encodeName(target);
        // A link in the file's place is followed to the file the writer
        // replaces; the check below takes back anything else that was linked
        // (the link was changed in between).
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, targetName.constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            struct stat made;
            if (::lstat(targetName.constData(), &made) == 0 && S_ISREG(made.st_mode)
                && made.st_ino == st.st_ino && made.st_dev == st.st_dev)
                return target;
            ::unlink(targetName.constData());
            err = {EINVAL, QStringLiteral("Not a regular file")};
            return {};
        }
        const int failure = errno;
        if (failure == EEXIST)
            continue;
        if (LinkNotPossible(failure))
            return CopyVersion(filePath, st, now, sequence, kind, &err);
        err = SystemError(failure);
        return {};
    }
    err = SystemError(EEXIST);
    return {};
}

QList<BackupVersion> ListBackups(const QString& filePath)
{
    WaitForBackupRemovals();  // never lists a version about to go
    const auto [base, extension] = SplitName(filePath);
    const QString folder = BackupFolderFor(filePath);
    struct Found {
        BackupVersion version;
        qint64 ms;
    };
    std::vector<Found> found;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (name.size() < base.size() + 20 + extension.size() || !name.startsWith(base)
            || !name.endsWith(extension) || name[base.size()] != QLatin1Char('.'))
            continue;
        QDateTime when;
        int sequence = 1;
        VersionKind kind = VersionKind::Ordinary;
        const QStringView stamp = QStringView(name).sliced(
            base.size() + 1, name.size() - base.size() - 1 - extension.size());
        if (!ParseStamp(stamp, &when, &sequence, &kind))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        struct stat st;
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const qint64 madeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        found.push_back({{path, when, sequence, qint64(st.st_size), kind, madeNs},
                         when.toMSecsSinceEpoch()});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.ms != b.ms ? a.ms > b.ms : a.version.sequence > b.version.sequence;
    });
    QList<BackupVersion> versions;
    versions.reserve(found.size());
    for (Found& f : found)
        versions.append(std::move(f.version));
    return versions;
}

QList<int> VersionsToRemove(const QList<QDateTime>& times, const QDateTime& now,
                            const QList<qint64>& madeNs)
{
    // The newest made are kept whatever their names say: after the clock was
    // set back, the versions made since carry older times than those before.
    QSet<int> newestMade;
    if (madeNs.size() == times.size()) {
        QList<int> byMaking(times.size());
        std::iota(byMaking.begin(), byMaking.end(), 0);
        std::stable_sort(byMaking.begin(), byMaking.end(),
                         [&](int a, int b) { return madeNs[a] > madeNs[b]; });
        for (int rank = 0; rank < kAlwaysKept && rank < byMaking.size(); ++rank)
            newestMade.insert(byMaking[rank]);
    }
    std::vector<std::pair<qint64, int>> newestFirst;  // time, index
    newestFirst.reserve(times.size());
    for (int i = 0; i < times.size(); ++i)
        newestFirst.emplace_back(times[i].toMSecsSinceEpoch(), i);
    std::stable_sort(newestFirst.begin(), newestFirst.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    const qint64 nowMs = now.toMSecsSinceEpoch();
    QSet<qint64> hoursSeen;
    QSet<QDate> daysSeen;
    QList<int> remove;
    for (int rank = 0; rank < int(newestFirst.size()); ++rank) {
        const auto [ms, index] = newestFirst[rank];
        const qint64 age = nowMs - ms;
        // The first one met of an hour or a day is its newest.
        const qint64 hour = ms >= 0 ? ms / kHourMs : (ms - kHourMs + 1) / kHourMs;
        const bool newestOfHour = !hoursSeen.contains(hour);
        hoursSeen.insert(hour);
        bool newestOfDay = false;
        if (age <= kDailyMs) {  // older ones need no day
            const QDate day = times[index].toLocalTime().date();
            newestOfDay = !daysSeen.contains(day);
            daysSeen.insert(day);
        }
        const bool keep = rank < kAlwaysKept || newestMade.contains(index) || age <= kEveryVersionMs
            || (newestOfHour && age <= kHourlyMs) || newestOfDay;
        if (!keep)
            remove.append(index);
    }
    std::sort(remove.begin(), remove.end());
    return remove;
}

namespace {

// The paths of the versions of the file that the rule removes now.
std::vector<QByteArray> VersionsDue(const QString& filePath, const QDateTime& now)
{
    // A pinned version is not the rule's to remove.
    QList<BackupVersion> versions = ListBackups(filePath);
    versions.removeIf([](const BackupVersion& v) { return v.kind == VersionKind::Pinned; });
    QList<QDateTime> times;
    QList<qint64> made;
    times.reserve(versions.size());
    made.reserve(versions.size());
    for (const BackupVersion& v : versions) {
        times.append(v.replacedAt);
        made.append(v.madeNs);
    }
    std::vector<QByteArray> due;
    for (int i : VersionsToRemove(times, now, made))
        due.push_back(QFile::encodeName(versions[i].path));
    return due;
}

// Removes the versions; returns the error number of each that could not be
// removed (one already gone counts as removed). Touches nothing but its
// arguments, so it can run on a thread of its own.
std::vector<std::pair<QByteArray, int>> RemoveVersions(const std::vector<QByteArray>& paths)
{
    std::vector<std::pair<QByteArray, int>> failures;
    for (const QByteArray& path : paths)
        if (::unlink(path.constData()) != 0 && errno != ENOENT)
            failures.emplace_back(path, errno);
    return failures;
}

QString FailureLines(const std::vector<std::pair<QByteArray, int>>& failures)
{
    QStringList lines;
    for (const auto& [path, number] : failures)
        lines.append(QStringLiteral("Could not remove the old version %1: %2")
                         .arg(QFile::decodeName(path), SystemError(number).description));
    return lines.join(QLatin1Char('\n'));
}

// The one background removal running at a time. Only its owner's thread
// (the program's main thread) calls it; the removing thread writes only
// `failures`, read after the join.
class BackgroundRemoval {
public:
    ~BackgroundRemoval() { Wait(); }

    void Start(std::vector<QByteArray> paths)
    {
        Wait();
        if (paths.empty())
            return;
        try {
            m_thread = std::thread([this, paths] {  // a copy: kept for the fallback below
                m_failures = RemoveVersions(paths);
            });
        } catch (const std::system_error&) {  // no thread to be had: remove them here
            m_failures = RemoveVersions(paths);
        }
    }

    // Waits for the running removal; its failures are kept for Unreported.
    void Wait()
    {
        if (m_thread.joinable())
            m_thread.join();
        if (!m_failures.empty()) {
            const QString lines = FailureLines(m_failures);
            m_unreported = m_unreported.isEmpty() ? lines : m_unreported + QLatin1Char('\n') + lines;
            m_failures.clear();
        }
    }

    QString TakeUnreported() { return std::exchange(m_unreported, QString()); }

private:
    std::thread m_thread;
    std::vector<std::pair<QByteArray, int>> m_failures;
    QString m_unreported;
};

BackgroundRemoval& Removal()
{
    static BackgroundRemoval removal;
    return removal;
}

} // namespace

QString PruneBackups(const QString& filePath, const QDateTime& now)
{
    return FailureLines(RemoveVersions(VersionsDue(filePath, now)));
}

QString PruneBackupsInBackground(const QString& filePath, const QDateTime& now)
{
    Removal().Wait();
    Removal().Start(VersionsDue(filePath, now));
    return Removal().TakeUnreported();
}

void WaitForBackupRemovals() { Removal().Wait(); }
