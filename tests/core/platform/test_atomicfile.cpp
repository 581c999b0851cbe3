#include "core/contacts/ContactStore.h"
#include "core/exchange/Exchange.h"
#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/SystemPlatform.h"

#include "support/FakeSystem.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

mode_t ModeOf(const QString& path) { return Lstat(path).st_mode & 07777; }

QStringList Entries(const TestFolder& dir)
{
    return QDir(dir.Path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                          QDir::NoDotAndDotDot,
                                      QDir::Name);
}

} // namespace

class TestAtomicFile : public QObject {
    Q_OBJECT

private slots:
    // A pipe, or a link to one, in an export's or a data file's place is
    // refused and stays what it was; a link to a regular file elsewhere is
    // written through, its target replaced in its own folder, and stays a
    // link. The command-line exports return the failure (exit status 1).
    void onlyARegularFileIsReplacedAndALinkIsWrittenThrough()
    {
        FakeSystem fake;
        TestFolder dir, elsewhere;
        const QString pipe = dir.File(u"pipe.vcf"_s), farPipe = elsewhere.File(u"pipe"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QCOMPARE(::mkfifo(QFile::encodeName(farPipe).constData(), 0600), 0);
        QVERIFY(QFile::link(farPipe, dir.File(u"linked.txt"_s)));

        OsError error;
        QVERIFY(!WriteFileAtomically(pipe, "x", &error));
        QCOMPARE(error.description, pipe + u" is not a regular file"_s);
        ContactStore book;
        const ExchangeResult exported = ExportContacts(book, pipe);
        QCOMPARE(exported.status, ExchangeResult::Failed);
        QVERIFY(exported.error.contains(u"is not a regular file"_s));
        const ExchangeResult phrases = ExportPhrases(dir.File(u"linked.txt"_s), u""_s);
        QCOMPARE(phrases.status, ExchangeResult::Failed);
        QVERIFY2(phrases.error.contains(farPipe + u" is not a regular file"_s),
                 qPrintable(phrases.error));
        QVERIFY(S_ISFIFO(Lstat(pipe).st_mode) && S_ISFIFO(Lstat(farPipe).st_mode));
        QVERIFY(S_ISLNK(Lstat(dir.File(u"linked.txt"_s)).st_mode));

        // A relative link, as a user makes one to a synced folder.
        elsewhere.Write(u"book.lis"_s, "old");
        const QString link = dir.File(u"chatcontacts.lis"_s);
        const QByteArray target =
            QFile::encodeName(QDir(dir.Path()).relativeFilePath(elsewhere.File(u"book.lis"_s)));
        QCOMPARE(::symlink(target.constData(), QFile::encodeName(link).constData()), 0);
        QVERIFY(WriteFileAtomically(link, "new", &error));
        QCOMPARE(elsewhere.Read(u"book.lis"_s), QByteArray("new"));
        QVERIFY(S_ISLNK(Lstat(link).st_mode));
        QCOMPARE(Entries(dir), QStringList({u"chatcontacts.lis"_s, u"linked.txt"_s, u"pipe.vcf"_s}));
        QCOMPARE(Entries(elsewhere), QStringList({u"book.lis"_s, u"pipe"_s}));
    }

    // Whatever the umask, a file or folder the program creates is its
    // user's alone; a file that exists keeps the mode its user gave it.
    void whatTheProgramCreatesIsTheUsersAlone()
    {
        const mode_t oldMask = ::umask(022);
        FakeSystem fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        QVERIFY(WriteFileAtomically(dir.File(u"chatcontacts.lis"_s), "x"));
        QCOMPARE(ModeOf(dir.File(u"chatcontacts.lis"_s)), mode_t(0600));
        dir.Write(u"shared.txt"_s, "a");
        QVERIFY(QFile::setPermissions(dir.File(u"shared.txt"_s),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::ReadOther));
        QVERIFY(WriteFileAtomically(dir.File(u"shared.txt"_s), "b"));
        QCOMPARE(dir.Read(u"shared.txt"_s), QByteArray("b"));
        QCOMPARE(ModeOf(dir.File(u"shared.txt"_s)), mode_t(0644));

        QVERIFY(!KeepBackup(dir.File(u"chatcontacts.lis"_s), fake.now).isEmpty());
        QCOMPARE(ModeOf(dir.File(u"backups"_s)), mode_t(0700));
        LogError(u"a line"_s);
        QCOMPARE(ModeOf(dir.File(u"banterly.log"_s)), mode_t(0600));
        const QString userFolder = dir.File(u"share/Banterly"_s);
        QCOMPARE(ChooseProgramFolder(dir.File(u"no/such/folder"_s), userFolder), userFolder);
        QCOMPARE(ModeOf(userFolder), mode_t(0700));
        ::umask(oldMask);
    }
};

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "test_atomicfile.moc"
