#include "core/exchange/Restore.h"
#include "core/files/Backups.h"
#include "core/files/FileStamp.h"
#include "core/files/PreviousVersions.h"

#include "support/FakeSystem.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

void SetMtime(const QString& path, qint64 ns)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {ns / 1000000000, ns % 1000000000}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

class TestBackups : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");  // a year with two clock changes
        ::tzset();
    }

    // Pruning after every save of a year keeps exactly what the rule keeps
    // when applied to the whole history at once; a rule whose buckets move
    // with the clock would thin the versions further at every save.
    void aYearOfIrregularSavesKeepsWhatTheRuleSays()
    {
        QRandomGenerator random(20261209);
        QDateTime now(QDate(2026, 1, 1), QTime(8, 0));
        QList<QDateTime> history, kept;  // newest first
        while (now.date().year() == 2026) {
            const int kind = random.bounded(10);
            now = now.addSecs(kind < 4   ? random.bounded(2)
                              : kind < 7 ? random.bounded(60, 1800)
                              : kind < 9 ? random.bounded(3600, 6 * 3600)
                                         : random.bounded(86400, 3 * 86400));
            history.prepend(now);
            kept.prepend(now);
            const QList<int> remove = VersionsToRemove(kept, now);
            for (qsizetype i = remove.size() - 1; i >= 0; --i)
                kept.removeAt(remove[i]);

            QList<QDateTime> expected;
            QSet<qint64> hours;
            QSet<QDate> days;
            for (const QDateTime& t : history) {
                const qint64 age = t.secsTo(now);
                const bool newestOfHour = !hours.contains(t.toSecsSinceEpoch() / 3600);
                const bool newestOfDay = !days.contains(t.date());
                hours.insert(t.toSecsSinceEpoch() / 3600);
                days.insert(t.date());
                if (expected.size() < 10 || age <= 3600 || (newestOfHour && age <= 86400)
                    || (newestOfDay && age <= 30 * 86400))
                    expected.append(t);
            }
            QCOMPARE(kept, expected);
            QVERIFY(kept.size() >= qMin<qsizetype>(10, history.size()));
        }
        QVERIFY(history.size() > 1000 && kept.size() < history.size() / 20);
    }

    // Each replaced version stays readable under its own name after the new
    // file has been renamed over the old one; only real versions are listed
    // and pruned.
    void keptVersionsSurviveTheRenameAndOnlyThemAreListedAndPruned()
    {
        TestFolder dir;
        const QString file = dir.File(u"chatcontacts.lis"_s), folder = dir.File(u"backups"_s);
        const QDateTime now(QDate(2026, 12, 9), QTime(1, 30, 12));
        dir.Write(u"chatcontacts.lis"_s, "v0");
        QStringList made;
        for (int v = 1; v <= 4; ++v) {  // four saves within one second
            OsError error;
            made.append(KeepBackup(file, now, &error));
            QCOMPARE(error.number, 0);
            QCOMPARE(Lstat(made.last()).st_ino, Lstat(file).st_ino);  // a link, not a copy
            QVERIFY(WriteFileAtomically(file, "v" + QByteArray::number(v)));
        }
        QCOMPARE(made, QStringList({folder + u"/chatcontacts.2026-12-09_01-30-12.lis"_s,
                                    folder + u"/chatcontacts.2026-12-09_01-30-12_2.lis"_s,
                                    folder + u"/chatcontacts.2026-12-09_01-30-12_3.lis"_s,
                                    folder + u"/chatcontacts.2026-12-09_01-30-12_4.lis"_s}));
        for (int v = 0; v < 4; ++v)
            QCOMPARE(dir.Read(u"backups/"_s + QFileInfo(made[v]).fileName()),
                     "v" + QByteArray::number(v));

        // Twelve versions forty days old, and names that are no versions of this file.
        for (int v = 0; v < 12; ++v)
            QVERIFY(!KeepBackup(file, now.addDays(-40).addSecs(60 * v)).isEmpty());
        const QStringList foreign = {u"chatcontacts.2026-12-09_01-30-12.lis.tmp"_s,
                                     u"chatcontacts.2026-13-09_01-30-12.lis"_s,
                                     u"chatcontacts.2026-12-09_99-99-99.lis"_s,
                                     u"chatcontacts.2026-10-09_01-30-12_ 5.lis"_s,
                                     u"phrases.2026-12-09_01-30-11.txt"_s};
        for (const QString& name : foreign)
            dir.Write(u"backups/"_s + name, "x");
        QVERIFY(QDir(folder).mkdir(u"chatcontacts.2026-12-09_01-30-13.lis"_s));
        QList<BackupVersion> versions = ListBackups(file);
        QCOMPARE(versions.size(), 16);
        QCOMPARE(versions[0].path, made[3]);
        QCOMPARE(versions[3].path, made[0]);
        QCOMPARE(versions[4].replacedAt, now.addDays(-40).addSecs(660));
        QCOMPARE(versions[0].size, 2);

        QCOMPARE(PruneBackups(file, now), QString());
        versions = ListBackups(file);
        // The two oldest went; the ten made last stay whatever their names say.
        QCOMPARE(versions.size(), 14);
        QCOMPARE(versions.last().replacedAt, now.addDays(-40).addSecs(120));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 20);

        // A link in the file's place is followed to the file it names, as
        // the writer writes through it; a link to a pipe is not.
        const QString link = dir.File(u"notes.lis"_s), pipeLink = dir.File(u"pipe.lis"_s);
        QVERIFY(QFile::link(file, link));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.File(u"pipe"_s)).constData(), 0600), 0);
        QVERIFY(QFile::link(dir.File(u"pipe"_s), pipeLink));
        OsError error;
        QCOMPARE(Lstat(KeepBackup(link, now, &error)).st_ino, Lstat(file).st_ino);
        QVERIFY(KeepBackup(pipeLink, now, &error).isEmpty() && error.number != 0);
        QVERIFY(ListBackups(pipeLink).isEmpty());
    }

    // After the clock was set back, the versions made since carry older
    // names than the ones made before; the ten made last are kept all the
    // same.
    void theVersionsMadeLastOutliveAClockSetBack()
    {
        TestFolder dir;
        const QString file = dir.File(u"chatcontacts.lis"_s);
        const QDateTime before(QDate(2026, 12, 9), QTime(12, 0));
        auto save = [&](const QDateTime& at) {
            QTest::qSleep(10);  // a later change time than the version before
            const QString version = KeepBackup(file, at);
            [&] { QVERIFY(WriteFileAtomically(file, at.toString().toUtf8())); }();
            return version;
        };
        dir.Write(u"chatcontacts.lis"_s, "first");
        for (int v = 0; v < 10; ++v)
            QVERIFY(!save(before.addSecs(60 * v)).isEmpty());
        QStringList madeSince;
        const QDateTime back = before.addDays(-2);
        for (int v = 0; v < 10; ++v)  // a save every half hour for five hours
            madeSince.append(save(back.addSecs(1800 * v)));
        QCOMPARE(PruneBackups(file, back.addSecs(1800 * 9)), QString());
        for (const QString& version : madeSince)
            QVERIFY2(QFileInfo::exists(version), qPrintable(version));
    }

    // A restore replaces what the user has now: when that cannot be kept
    // first, nothing is replaced.
    void aRestoreThatCannotKeepTheCurrentFileReplacesNothing()
    {
        FakeSystem fake;
        KeepPreviousVersions(nullptr);
        TestFolder dir;
        dir.Write(u"phrases.txt"_s, "current\r\n");
        dir.Write(u"an old version.txt"_s, "old\r\n");
        dir.Write(u"backups"_s, "a file in the folder's place");
        QString error;
        QVERIFY(!RestoreVersion(dir.File(u"phrases.txt"_s), dir.File(u"an old version.txt"_s),
                                &error));
        SetPreviousVersionKeeper(nullptr);
        QVERIFY2(error.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))), qPrintable(error));
        QCOMPARE(dir.Read(u"phrases.txt"_s), QByteArray("current\r\n"));
    }

    // A backups folder on another file system gets a whole copy, written
    // under a temporary name first.
    void aFolderOnAnotherFileSystemGetsACopy()
    {
        QTemporaryDir elsewhere(u"/dev/shm/banterly-XXXXXX"_s);
        TestFolder dir;
        if (!elsewhere.isValid() || Lstat(elsewhere.path()).st_dev == Lstat(dir.Path()).st_dev)
            QSKIP("no second file system at /dev/shm");
        QVERIFY(QFile::link(elsewhere.path(), dir.File(u"backups"_s)));
        QByteArray bytes(3'000'000, 'c');
        bytes[1234567] = 'x';
        dir.Write(u"banterly.ini"_s, bytes);
        OsError error;
        const QString copy = KeepBackup(dir.File(u"banterly.ini"_s),
                                        QDateTime(QDate(2026, 3, 29), QTime(3, 0)), &error);
        QCOMPARE(error.number, 0);
        QCOMPARE(QFileInfo(copy).fileName(), u"banterly.2026-03-29_03-00-00.ini"_s);
        QCOMPARE(dir.Read(u"backups/banterly.2026-03-29_03-00-00.ini"_s), bytes);
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void aFolderThatCannotBeWrittenFailsAndLeavesTheFileAlone()
    {
        TestFolder dir;
        const QString file = dir.File(u"phrases.txt"_s);
        dir.Write(u"phrases.txt"_s, "hello\r\n");
        const ino_t inode = Lstat(file).st_ino;
        dir.Write(u"backups"_s, "a file in the folder's place");
        OsError error;
        QVERIFY(KeepBackup(file, QDateTime::currentDateTime(), &error).isEmpty());
        QCOMPARE(error.number, ENOTDIR);

        // A folder that cannot be written (immutable, as root ignores modes):
        // the link fails, then the copy, and nothing is left behind.
        QVERIFY(QFile::remove(dir.File(u"backups"_s)) && QDir(dir.Path()).mkdir(u"backups"_s));
        const int fd = ::open(QFile::encodeName(dir.File(u"backups"_s)).constData(), O_RDONLY);
        int flags = FS_IMMUTABLE_FL;
        const bool immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        const QString made = KeepBackup(file, QDateTime::currentDateTime(), &error);
        flags = 0;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        if (immutable) {
            QVERIFY(made.isEmpty() && error.number != 0 && !error.description.isEmpty());
            QVERIFY(QDir(dir.File(u"backups"_s))
                        .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        }
        QCOMPARE(dir.Read(u"phrases.txt"_s), QByteArray("hello\r\n"));
        QCOMPARE(Lstat(file).st_ino, inode);
    }

    // Pruning in the background: a listing right after it never shows a
    // version being removed, and a removal that failed on the removing
    // thread is handed back by the next call, not lost.
    void aBackgroundPruneIsWaitedForAndItsFailuresAreReportedNextTime()
    {
        TestFolder dir;
        const QString file = dir.File(u"chatcontacts.lis"_s);
        dir.Write(u"chatcontacts.lis"_s, "x");
        const QDateTime now(QDate(2026, 12, 9), QTime(1, 30, 12));
        for (int v = 0; v < 12; ++v)  // forty days old: the two oldest are due
            QVERIFY(!KeepBackup(file, now.addDays(-40).addSecs(60 * v)).isEmpty());
        const QString oldest = ListBackups(file).last().path;

        const int fd = ::open(QFile::encodeName(dir.File(u"backups"_s)).constData(), O_RDONLY);
        int flags = FS_IMMUTABLE_FL;
        if (::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0) {
            ::close(fd);
            QSKIP("this file system cannot make a folder immutable");
        }
        const QString none = PruneBackupsInBackground(file, now);
        const qsizetype listedWhileRefused = ListBackups(file).size();
        flags = 0;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
        QCOMPARE(none, QString());
        QCOMPARE(listedWhileRefused, 12);

        const QString failures = PruneBackupsInBackground(file, now);
        QCOMPARE(failures.count(u'\n'), 1);
        QVERIFY(failures.contains(oldest));
        QCOMPARE(ListBackups(file).size(), 10);
        QCOMPARE(PruneBackupsInBackground(file, now), QString());
    }

    void changedOnDiskSeesAReplacedOrEditedFileOfTheSameSizeAndTime()
    {
        TestFolder dir;
        const QString file = dir.File(u"banterly.ini"_s), other = dir.File(u"other"_s);
        QVERIFY(WriteFileAtomically(file, "[a]\r\nb=1\r\n"));
        FileStamp stamp = StampOfBytes(file, "[a]\r\nb=1\r\n");
        QVERIFY(!ChangedOnDisk(stamp, file));

        // Another program saves the same size and sets the old time.
        dir.Write(u"other"_s, "[a]\r\nb=2\r\n");
        SetMtime(other, stamp.mtimeNs);
        QCOMPARE(
            ::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()), 0);
        QCOMPARE(StampOfFile(file).mtimeNs, stamp.mtimeNs);
        QVERIFY(ChangedOnDisk(stamp, file));

        // An edit in place of the same size, later.
        stamp = StampOfFile(file);
        dir.Write(u"banterly.ini"_s, "[a]\r\nb=3\r\n");
        SetMtime(file, stamp.mtimeNs + 1000000000);
        QCOMPARE(StampOfFile(file).inode, stamp.inode);
        QVERIFY(ChangedOnDisk(stamp, file));

        QVERIFY(QFile::remove(file));
        QVERIFY(ChangedOnDisk(stamp, file));
        QVERIFY(!ChangedOnDisk(FileStamp{}, file));
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "test_backups.moc"
