#include "files/Backups.h"
#include "files/FileStamp.h"

#include "support/TestFolder.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct stat Lstat(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// Root ignores permissions but not the immutable flag (where the file
// system has one). Returns false when the folder stays writable.
bool SetUnwritable(const QString& folder, bool on)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0)
        ::close(fd);
    ::chmod(QFile::encodeName(folder).constData(), on ? 0555 : 0755);
    return !on || ::access(QFile::encodeName(folder).constData(), W_OK) != 0;
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
        for (int save = 0; now.date().year() == 2026; ++save) {
            const int kind = random.bounded(10);
            now = now.addSecs(kind < 4 ? random.bounded(2) : kind < 7 ? random.bounded(60, 1800)
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
        // Two months later one save: the newest ten stay, however old.
        now = now.addDays(60);
        kept.prepend(now);
        QCOMPARE(VersionsToRemove(kept, now).first(), 10);
        QCOMPARE(VersionsToRemove(kept, now).size(), kept.size() - 10);
    }

    // Each replaced version stays readable under its own name after the new
    // file has been renamed over the old one; only real versions are listed
    // and pruned.
    void keptVersionsSurviveTheRenameAndOnlyThemAreListedAndPruned()
    {
        TestFolder dir;
        const QString file = dir.File(QStringLiteral("chatcontacts.lis"));
        const QDateTime now(QDate(2026, 12, 9), QTime(1, 30, 12));
        dir.Write(QStringLiteral("chatcontacts.lis"), "v0");
        QStringList made;
        for (int v = 1; v <= 4; ++v) {  // four saves within one second
            OsError error;
            made.append(KeepBackup(file, now, &error));
            QCOMPARE(error.number, 0);
            QCOMPARE(Lstat(made.last()).st_ino, Lstat(file).st_ino);  // a link, not a copy
            QVERIFY(WriteFileAtomically(file, "v" + QByteArray::number(v)));
        }
        const QString folder = dir.File(QStringLiteral("backups"));
        QCOMPARE(made, QStringList({folder + "/chatcontacts.2026-12-09_01-30-12.lis",
                                    folder + "/chatcontacts.2026-12-09_01-30-12_2.lis",
                                    folder + "/chatcontacts.2026-12-09_01-30-12_3.lis",
                                    folder + "/chatcontacts.2026-12-09_01-30-12_4.lis"}));
        for (int v = 0; v < 4; ++v)
            QCOMPARE(dir.Read("backups/" + QFileInfo(made[v]).fileName()), "v" + QByteArray::number(v));

        // Twelve older versions, forty days back, and things that are no versions.
        for (int v = 0; v < 12; ++v)
            QVERIFY(!KeepBackup(file, now.addDays(-40).addSecs(60 * v)).isEmpty());
        const QStringList foreign = {"notes.txt", "chatcontacts.2026-12-09_01-30-12.lis.tmp",
                                     "chatcontacts.2026-13-09_01-30-12.lis",
                                     "phrases.2026-12-09_01-30-11.txt",
                                     "chatcontacts.2026-12-09_01-30-13.lis",  // a folder
                                     "chatcontacts.2026-12-09_01-30-14.lis"};  // a link
        for (int i = 0; i < 4; ++i)
            dir.Write("backups/" + foreign[i], "x");
        QVERIFY(QDir(folder).mkdir(foreign[4]));
        QVERIFY(QFile::link(file, folder + "/" + foreign[5]));
        QList<BackupVersion> versions = ListBackups(file);
        QCOMPARE(versions.size(), 16);
        QCOMPARE(versions[0].path, made[3]);
        QCOMPARE(versions[3].path, made[0]);
        QCOMPARE(versions[4].replacedAt, now.addDays(-40).addSecs(660));
        QCOMPARE(versions[0].size, 2);

        QCOMPARE(PruneBackups(file, now), QString());
        versions = ListBackups(file);
        QCOMPARE(versions.size(), 10);  // the six oldest went
        QCOMPARE(versions.last().replacedAt, now.addDays(-40).addSecs(360));
        for (const QString& name : foreign)
            QVERIFY2(QFileInfo::exists(folder + "/" + name), qPrintable(name));

        // A link in the file's place is neither followed nor kept.
        const QString link = dir.File(QStringLiteral("notes.lis"));
        QVERIFY(QFile::link(file, link));
        OsError error;
        QVERIFY(KeepBackup(link, now, &error).isEmpty());
        QVERIFY(error.number != 0);
        QVERIFY(ListBackups(link).isEmpty());
    }

    // A backups folder on another file system gets a whole copy, written
    // under a temporary name first.
    void aFolderOnAnotherFileSystemGetsACopy()
    {
        QTemporaryDir elsewhere(QStringLiteral("/dev/shm/banterly-XXXXXX"));
        TestFolder dir;
        if (!elsewhere.isValid() || Lstat(elsewhere.path()).st_dev == Lstat(dir.Path()).st_dev)
            QSKIP("no second file system at /dev/shm");
        QVERIFY(QFile::link(elsewhere.path(), dir.File(QStringLiteral("backups"))));
        QByteArray bytes(3'000'000, 'c');
        bytes[1234567] = 'x';
        dir.Write(QStringLiteral("banterly.ini"), bytes);
        OsError error;
        const QString copy = KeepBackup(dir.File(QStringLiteral("banterly.ini")),
                                        QDateTime(QDate(2026, 3, 29), QTime(3, 0)), &error);
        QCOMPARE(error.number, 0);
        QCOMPARE(QFileInfo(copy).fileName(), QStringLiteral("banterly.2026-03-29_03-00-00.ini"));
        QCOMPARE(dir.Read(QStringLiteral("backups/banterly.2026-03-29_03-00-00.ini")), bytes);
        QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void aFolderThatCannotBeWrittenFailsAndLeavesTheFileAlone()
    {
        TestFolder dir;
        const QString file = dir.File(QStringLiteral("phrases.txt"));
        dir.Write(QStringLiteral("phrases.txt"), "hello\r\n");
        const struct stat before = Lstat(file);
        dir.Write(QStringLiteral("backups"), "a file in the folder's place");
        OsError error;
        QVERIFY(KeepBackup(file, QDateTime::currentDateTime(), &error).isEmpty());
        QCOMPARE(error.number, ENOTDIR);

        QVERIFY(QFile::remove(dir.File(QStringLiteral("backups"))));
        QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("backups")));
        const bool unwritable = SetUnwritable(dir.File(QStringLiteral("backups")), true);
        const QString made = KeepBackup(file, QDateTime::currentDateTime(), &error);
        SetUnwritable(dir.File(QStringLiteral("backups")), false);
        if (unwritable) {
            QVERIFY(made.isEmpty());
            QVERIFY(error.number != 0 && !error.description.isEmpty());
            QVERIFY(QDir(dir.File(QStringLiteral("backups")))
                        .isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        }
        QCOMPARE(dir.Read(QStringLiteral("phrases.txt")), QByteArray("hello\r\n"));
        QCOMPARE(Lstat(file).st_ino, before.st_ino);
        QCOMPARE(Lstat(file).st_nlink, before.st_nlink);
    }

    void changedOnDiskSeesAReplacedOrEditedFileOfTheSameSizeAndTime()
    {
        TestFolder dir;
        const QString file = dir.File(QStringLiteral("banterly.ini"));
        QVERIFY(WriteFileAtomically(file, "[a]\r\nb=1\r\n"));
        FileStamp stamp = StampOfBytes(file, "[a]\r\nb=1\r\n");
        QCOMPARE(stamp.hash, ContentHash("[a]\r\nb=1\r\n"));
        QVERIFY(!ChangedOnDisk(stamp, file));

        // Another program saves the same size and sets the old time.
        const QString other = dir.File(QStringLiteral("other"));
        dir.Write(QStringLiteral("other"), "[a]\r\nb=2\r\n");
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {stamp.mtimeNs / 1000000000, stamp.mtimeNs % 1000000000}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0), 0);
        QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()), 0);
        QCOMPARE(StampOfFile(file).mtimeNs, stamp.mtimeNs);
        QVERIFY(ChangedOnDisk(stamp, file));

        // An edit in place of the same size, later.
        stamp = StampOfFile(file);
        dir.Write(QStringLiteral("banterly.ini"), "[a]\r\nb=3\r\n");
        const timespec later[2] = {{0, UTIME_OMIT}, {stamp.mtimeNs / 1000000000 + 1, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(file).constData(), later, 0), 0);
        QCOMPARE(StampOfFile(file).inode, stamp.inode);
        QVERIFY(ChangedOnDisk(stamp, file));

        stamp = StampOfFile(file);
        QVERIFY(QFile::remove(file));
        QVERIFY(ChangedOnDisk(stamp, file));
        QVERIFY(!ChangedOnDisk(FileStamp{}, file));
        dir.Write(QStringLiteral("banterly.ini"), "");
        QVERIFY(ChangedOnDisk(FileStamp{}, file));
    }
};

QTEST_GUILESS_MAIN(TestBackups)
#include "test_backups.moc"
