#include "core/contacts/ContactStore.h"
#include "core/exchange/DataFolder.h"
#include "core/settings/Settings.h"
#include "support/FakeSystem.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTest>

namespace {

// A contact file line: identity, change time, chat name, e-mail.
QByteArray Contact(const char* identity, const char* changedAt, const char* chatName,
                   const char* email)
{
    ContactRecord r;
    r.SetField(ContactField::Identity, QString::fromLatin1(identity));
    r.SetField(ContactField::ChangedAt, QString::fromLatin1(changedAt));
    r.SetField(ContactField::ChatName, QString::fromLatin1(chatName));
    r.SetField(ContactField::Email, QString::fromLatin1(email));
    QByteArray line;
    r.AppendUtf8Line(line, char(31));
    return line + "\r\n";
}

// Every file under a folder by its relative path, with its bytes; a folder
// is listed as "<folder>". The log is left out.
QMap<QString, QByteArray> Tree(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(root).relativeFilePath(path);
        if (name.endsWith(QStringLiteral(".log")))
            continue;
        QFile file(path);
        tree.insert(name, it.fileInfo().isDir() || !file.open(QIODevice::ReadOnly)
                              ? QByteArray("<folder>")
                              : file.readAll());
    }
    return tree;
}

// The platform with a banterly.ini that cannot be written.
class IniRefused : public FakeSystem {
public:
    bool refuse = false;
    bool WriteProfileStrings(const QString& file, const QList<IniEdit>& edits) override
    {
        return !refuse && FakeSystem::WriteProfileStrings(file, edits);
    }
};

const QByteArray kMine = Contact("11111111-0000-4000-8000-000000000001", "2026-12-01T10:00:00.000Z",
                                 "Alpha", "alpha@example.org") +
                         Contact("11111111-0000-4000-8000-000000000003", "2026-12-05T10:00:00.000Z",
                                 "Shared", "new@example.org");
const QByteArray kTheirs = Contact("11111111-0000-4000-8000-000000000003",
                                   "2026-12-02T10:00:00.000Z", "Shared", "old@example.org") +
                           Contact("11111111-0000-4000-8000-000000000002",
                                   "2026-12-03T10:00:00.000Z", "Bravo", "bravo@example.org");
const QString kVersion = QStringLiteral("backups/chatcontacts.2026-12-01_09-00-00.lis");
const QString kPinned = QStringLiteral("backups/chatcontacts.2026-12-02_09-00-00.kept.lis");

} // namespace

class TestDataFolder : public QObject {
    Q_OBJECT

    IniRefused* fake = nullptr;
    TestFolder* program = nullptr;
    TestFolder* synced = nullptr;
    Settings* settings = nullptr;
    ContactStore* book = nullptr;

private slots:
    // A program folder with a book, phrases and two kept versions; a synced
    // folder that holds another machine's book and phrases.
    void init()
    {
        fake = new IniRefused;
        program = new TestFolder;
        synced = new TestFolder;
        fake->programFolder = program->Path();
        QDir(program->Path()).mkdir(QStringLiteral("backups"));
        program->Write(QStringLiteral("chatcontacts.lis"), kMine);
        program->Write(QStringLiteral("phrases.txt"), "hello\r\nbye\r\n");
        program->Write(kVersion, Contact("x", "2026-11-30T10:00:00.000Z", "Gone", "g@example.org"));
        program->Write(kPinned, "pinned\r\n");
        synced->Write(QStringLiteral("chatcontacts.lis"), kTheirs);
        synced->Write(QStringLiteral("phrases.txt"), "hello\r\nsee you\r\n");
        settings = new Settings;
        settings->LoadSettings();
        book = new ContactStore;
        book->ContactFilePath = settings->ContactFilePath;
        book->LoadContacts();
        QCOMPARE(book->ContactCount, 2);
    }
    void cleanup()
    {
        delete book;
        delete settings;
        delete synced;
        delete program;
        delete fake;
    }

    // A move that fails half-way (the phrase file cannot be written in the
    // folder after the merged book was; banterly.ini cannot be written after
    // every copy was made) loses nothing: the program folder is as it was,
    // banterly.ini names the old files, the other machine's book is back as
    // it was, and nothing the move copied stays in the synced folder.
    void failureHalfWayLeavesEverythingAsItWas_data()
    {
        QTest::addColumn<bool>("phraseFileBlocked");
        QTest::newRow("phrase file cannot be written") << true;
        QTest::newRow("banterly.ini cannot be written") << false;
    }
    void failureHalfWayLeavesEverythingAsItWas()
    {
        QFETCH(bool, phraseFileBlocked);
        if (phraseFileBlocked) {
            QFile::remove(synced->File(QStringLiteral("phrases.txt")));
            QDir(synced->Path()).mkdir(QStringLiteral("phrases.txt"));
        } else {
            QFile::remove(synced->File(QStringLiteral("phrases.txt")));
            fake->refuse = true;
        }
        const QMap<QString, QByteArray> programBefore = Tree(program->Path());
        const QMap<QString, QByteArray> syncedBefore = Tree(synced->Path());
        const QString oldContacts = settings->ContactFilePath;
        bool taken = false;

        const ExchangeResult r = MoveDataFiles(*book, *settings, synced->Path(),
                                               [&taken](const DataFiles&) { taken = true; });

        QCOMPARE(r.status, ExchangeResult::Failed);
        QVERIFY(!r.error.isEmpty());
        QVERIFY(!taken);
        QCOMPARE(settings->ContactFilePath, oldContacts);
        QCOMPARE(Tree(program->Path()), programBefore);
        // What the synced folder holds now: what it held, and at most the
        // version of its own book kept before the merge replaced it.
        QMap<QString, QByteArray> syncedAfter = Tree(synced->Path());
        for (auto it = syncedBefore.cbegin(); it != syncedBefore.cend(); ++it)
            QCOMPARE(syncedAfter.take(it.key()), it.value());
        syncedAfter.remove(QStringLiteral("backups"));
        for (auto it = syncedAfter.cbegin(); it != syncedAfter.cend(); ++it)
            QVERIFY2(it.value() == kTheirs, qPrintable(it.key()));
    }

    // Moving into a folder that holds another machine's book keeps every
    // contact of both; a field changed on both keeps the later change and
    // names the other value; both books stay as versions in the folder, the
    // kept versions move along, and banterly.ini names the new files.
    void moveIntoAnotherBookKeepsBoth()
    {
        DataFiles taken;
        const ExchangeResult r = MoveDataFiles(*book, *settings, synced->Path(),
                                               [&taken](const DataFiles& f) { taken = f; });
        QCOMPARE(r.status, ExchangeResult::Done);
        QVERIFY2(r.summary.contains(QStringLiteral("old@example.org")), qPrintable(r.summary));

        const QString contacts = synced->File(QStringLiteral("chatcontacts.lis"));
        QCOMPARE(taken.contactFile, contacts);
        QCOMPARE(ReadIni(settings->IniFile, QStringLiteral("contacts"), QStringLiteral("dataFile")),
                 contacts);
        QCOMPARE(ReadIni(settings->IniFile, QStringLiteral("phrases"), QStringLiteral("PhraseList")),
                 synced->File(QStringLiteral("phrases.txt")));

        ContactStore moved;
        moved.ContactFilePath = contacts;
        moved.LoadContacts();
        QMap<QString, QString> emails;
        for (int i = 1; i <= moved.ContactCount; ++i)
            emails.insert(moved.Contacts[i].Field(ContactField::ChatName),
                          moved.Contacts[i].Field(ContactField::Email));
        const QMap<QString, QString> expected = {{QStringLiteral("Alpha"), QStringLiteral("alpha@example.org")},
                                                 {QStringLiteral("Bravo"), QStringLiteral("bravo@example.org")},
                                                 {QStringLiteral("Shared"), QStringLiteral("new@example.org")}};
        QCOMPARE(emails, expected);

        QCOMPARE(synced->Read(QStringLiteral("phrases.txt")), QByteArray("hello\r\nbye\r\nsee you\r\n"));
        // The versions moved; both books before the merge are versions too.
        QCOMPARE(synced->Read(kPinned), QByteArray("pinned\r\n"));
        QVERIFY(synced->Exists(kVersion));
        const QList<QByteArray> versions = Tree(synced->File(QStringLiteral("backups"))).values();
        QVERIFY(versions.contains(kMine));
        QVERIFY(versions.contains(kTheirs));
        // The originals are gone; the settings stay in the program folder.
        QVERIFY(!program->Exists(QStringLiteral("chatcontacts.lis")));
        QVERIFY(!program->Exists(QStringLiteral("phrases.txt")));
        QVERIFY(!program->Exists(kVersion));
        QVERIFY(!program->Exists(kPinned));
        QVERIFY(program->Exists(QStringLiteral("banterly.ini")));
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "test_datafolder.moc"
