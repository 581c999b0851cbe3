#include "core/contacts/ContactStore.h"
#include "core/contacts/VCard.h"
#include "core/exchange/Exchange.h"
#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"
#include "support/FakeSystem.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <map>
#include <sys/resource.h>

namespace {

const char D = char(31);

// One file line built by hand: the given fields, 82 delimiters, CR LF.
QByteArray Line(const std::map<int, QByteArray>& fields)
{
    QByteArray line;
    for (int i = 0; i < 82; ++i) {
        auto it = fields.find(i);
        if (it != fields.end())
            line += it->second;
        line += D;
    }
    return line + "\r\n";
}

QByteArray Lines(int n)
{
    QByteArray out;
    for (int i = 1; i <= n; ++i)
        out += Line({{0, "OLD" + QByteArray::number(i)}, {24, "name" + QByteArray::number(i)}});
    return out;
}

// Every field empty, but the identity and change time the book gives.
bool Empty(const ContactRecord& r)
{
    ContactRecord bare = r;
    bare.SetField(ContactField::Identity, QString());
    bare.SetField(ContactField::ChangedAt, QString());
    return bare == ContactRecord();
}

QList<QByteArray> FileLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Lets this process write files of at most `bytes` bytes; a larger write
// fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

class TestContactStore : public QObject {
    Q_OBJECT

    FakeSystem* fake = nullptr;
    TestFolder* folder = nullptr;
    ContactStore* book = nullptr;
    QSignalSpy* problems = nullptr;
    QSignalSpy* saveFailures = nullptr;
    QString path;

    // What the book asked to tell the user: its problems, then its failed saves.
    QStringList Told() const
    {
        QStringList told;
        for (const QList<QVariant>& args : *problems)
            told << args.at(0).toString();
        for (const QList<QVariant>& args : *saveFailures)
            told << args.at(0).toString();
        return told;
    }
    void ForgetTold()
    {
        problems->clear();
        saveFailures->clear();
    }

    void Load(const QByteArray& bytes)
    {
        folder->Write(QStringLiteral("chatcontacts.lis"), bytes);
        book->LoadContacts();
    }
    QByteArray FileBytes() const { return folder->Read(QStringLiteral("chatcontacts.lis")); }

private slots:
    void init()
    {
        fake = new FakeSystem;
        folder = new TestFolder;
        fake->programFolder = folder->Path();
        path = folder->File(QStringLiteral("chatcontacts.lis"));
        book = new ContactStore;
        book->ContactFilePath = path;
        problems = new QSignalSpy(book, &ContactStore::problem);
        saveFailures = new QSignalSpy(book, &ContactStore::saveFailed);
    }
    void cleanup()
    {
        SimulateFullDisk(false);
        SimulateFailedSync(false);
        delete saveFailures;
        delete problems;
        delete book;
        delete folder;
        delete fake;
    }

    // A card showing a contact: its serial and its twelve texts.
    CardTexts TextsOf(int position) const
    {
        CardTexts texts;
        for (int i = 0; i < 12; ++i)
            texts[i] = book->Contacts[position].Field(ContactField::CardFields[i]);
        return texts;
    }

    // A delete whose save fails must not leave a card that later lands on
    // the contact that moved into the deleted one's place.
    void aFailedDeleteNeverCrossesTwoContacts()
    {
        Load(Line({{24, "Alpha"}, {30, "alpha-hidden"}}) + Line({{24, "Bravo"}, {30, "bravo-hidden"}}) +
             Line({{24, "Charlie"}}));
        book->CurrentContact = 1;
        const quint64 shownOnCard = book->Contacts[1].Serial();
        CardTexts card = TextsOf(1);

        SimulateFullDisk(true);
        QVERIFY(book->DeleteContact(1));
        QCOMPARE(Told().size(), 1);
        QVERIFY(book->ContactTableUnsaved());
        QCOMPARE(book->ContactCount, int16_t(2));

        // The card, still holding Alpha, is written back: it finds no Alpha.
        card[0] = QStringLiteral("Alpha edited");
        QCOMPARE(book->WriteCardToContact(shownOnCard, card), CardWrite::Gone);

        SimulateFullDisk(false);
        QVERIFY(book->SaveUnsavedContacts());
        const QList<QByteArray> lines = FileLines(FileBytes());
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].contains("Bravo") && lines[0].contains("bravo-hidden"));
        QVERIFY(lines[1].contains("Charlie"));
        QVERIFY(!FileBytes().contains("Alpha"));
    }

    // The windows follow these signals: a wrong position updates the wrong
    // line, and a save announced when it failed hides the failure.
    void signalsNameWhatChanged()
    {
        Load(Lines(3));
        QSignalSpy changed(book, &ContactStore::contactChanged);
        QSignalSpy removed(book, &ContactStore::contactRemoved);
        QSignalSpy added(book, &ContactStore::contactAdded);
        QSignalSpy current(book, &ContactStore::currentContactChanged);
        QSignalSpy saves(book, &ContactStore::saved);
        QSignalSpy reloads(book, &ContactStore::contactsReloaded);

        CardTexts card = TextsOf(2);
        card[0] = QStringLiteral("edited");
        QCOMPARE(book->WriteCardToContact(book->Contacts[2].Serial(), card), CardWrite::Written);
        QCOMPARE(book->WriteCardToContact(book->Contacts[2].Serial(), card), CardWrite::Unchanged);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(0).toInt(), 2);

        QVERIFY(book->DeleteContact(1));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed.first().at(0).toInt(), 1);
        QCOMPARE(saves.size(), 1);

        QVERIFY(book->AddContact());
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toInt(), 3);

        QCOMPARE(book->FindContact(1, 3, QStringLiteral("edited")), int16_t(1));
        QCOMPARE(current.size(), 1);
        QCOMPARE(current.first().at(0).toInt(), 1);

        SimulateFullDisk(true);
        QVERIFY(!book->SaveContacts());
        QCOMPARE(saves.size(), 1);
        QCOMPARE(saveFailures->size(), 1);
        SimulateFullDisk(false);

        book->LoadContacts();
        QCOMPARE(reloads.size(), 1);
        QVERIFY(problems->isEmpty());
    }

    // An edit whose save failed stays unsaved whatever is shown next, and
    // the next save (closing the program) writes it.
    void aFailedSaveStaysUnsavedUntilASaveSucceeds()
    {
        Load(Line({{24, "Alpha"}}) + Line({{24, "Bravo"}}));
        CardTexts card = TextsOf(1);
        card[0] = QStringLiteral("Alpha\u00a0Edited");
        SimulateFullDisk(true);
        QCOMPARE(book->WriteCardToContact(book->Contacts[1].Serial(), card), CardWrite::Written);
        QVERIFY(!book->SaveContacts());
        QVERIFY(book->ContactTableUnsaved());
        // Showing another contact, finding one: nothing clears the mark.
        book->CurrentContact = 2;
        QCOMPARE(book->FindContact(1, 2, QStringLiteral("bravo")), int16_t(2));
        QVERIFY(book->ContactTableUnsaved());
        QVERIFY(!book->SaveUnsavedContacts());  // still no room: reported again, kept
        QCOMPARE(Told().size(), 2);
        SimulateFullDisk(false);
        QVERIFY(book->SaveUnsavedContacts());
        QVERIFY(!book->ContactTableUnsaved());
        QVERIFY(FileBytes().contains(QStringLiteral("Alpha\u00a0Edited").toUtf8()));
        QCOMPARE(Told().size(), 2);
    }

    // A contact file replaced from outside while the program runs is kept
    // as a previous version before the program's own table is saved over it,
    // and the user is told once where it is.
    void anOutsideChangeIsKeptAsABackupBeforeTheSave()
    {
        KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
        Load(Line({{24, "Alpha"}}));
        QTest::qWait(20);  // a later modification time, as a sync tool's copy has
        folder->Write(QStringLiteral("chatcontacts.lis.new"), Line({{24, "FromLaptop"}}));
        QVERIFY(QFile::rename(folder->File("chatcontacts.lis.new"), path) || (QFile::remove(path) && QFile::rename(folder->File("chatcontacts.lis.new"), path)));
        CardTexts card = TextsOf(1);
        card[0] = QStringLiteral("Alpha mine");
        QCOMPARE(book->WriteCardToContact(book->Contacts[1].Serial(), card), CardWrite::Written);
        QVERIFY(book->SaveContacts());
        QCOMPARE(fake->Count("MessageBox"), 1);
        QVERIFY(FileBytes().contains("Alpha mine"));
        const QList<BackupVersion> versions = ListBackups(path);
        QCOMPARE(versions.size(), 1);
        QVERIFY(fake->Messages().first().contains(QFileInfo(versions.first().path).fileName()));
        QFile kept(versions.first().path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll().contains("FromLaptop"));
        // The next save is an ordinary one: another version, no message.
        QVERIFY(book->SaveContacts());
        QCOMPARE(fake->Count("MessageBox"), 1);
        SetPreviousVersionKeeper(nullptr);
    }

    // What another program wrote exists nowhere else: while its version
    // cannot be kept the save is refused and the edit stays in memory; once
    // kept, that version is the one the user is told about, and no thinning
    // ever removes it.
    void anOutsideChangeIsNeverWrittenOverUnkeptNorThinnedAway()
    {
        KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
        Load(Line({{24, "Alpha"}}));
        QTest::qWait(20);
        folder->Write(QStringLiteral("chatcontacts.lis.new"), Line({{24, "FromLaptop"}}));
        QVERIFY(QFile::rename(folder->File("chatcontacts.lis.new"), path) ||
                (QFile::remove(path) && QFile::rename(folder->File("chatcontacts.lis.new"), path)));
        folder->Write(QStringLiteral("backups"), "a file in the folder's place");
        CardTexts card = TextsOf(1);
        card[0] = QStringLiteral("Alpha mine");
        QCOMPARE(book->WriteCardToContact(book->Contacts[1].Serial(), card), CardWrite::Written);
        QVERIFY(!book->SaveContacts());
        QVERIFY(FileBytes().contains("FromLaptop"));
        QVERIFY(book->ContactTableUnsaved());
        QCOMPARE(Told().size(), 1);
        QVERIFY2(Told()[0].contains("changed by another program") &&
                     Told()[0].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR))),
                 qPrintable(Told()[0]));

        QVERIFY(QFile::remove(folder->File("backups")));
        QVERIFY(book->SaveUnsavedContacts());
        QVERIFY(FileBytes().contains("Alpha mine"));
        const QList<BackupVersion> kept = ListBackups(path);
        QCOMPARE(kept.size(), 1);
        const QString toldAbout = kept.first().path;
        QCOMPARE(fake->Messages().size(), 1);
        QVERIFY(fake->Messages().first().contains(QFileInfo(toldAbout).fileName()));

        // Ten weeks of saves, a few a day: thinning runs after each.
        for (int save = 0; save < 200; ++save) {
            fake->now = fake->now.addSecs(8 * 3600);
            QVERIFY(book->SaveContacts());
        }
        WaitForBackupRemovals();
        const QList<BackupVersion> after = ListBackups(path);
        QVERIFY(after.size() < 60);
        QCOMPARE(after.last().path, toldAbout);
        QFile version(toldAbout);
        QVERIFY(version.open(QIODevice::ReadOnly) && version.readAll().contains("FromLaptop"));
        SetPreviousVersionKeeper(nullptr);
    }

    // A disk that takes every byte but fails the sync (a failing disk, a
    // network share) has not saved the file: reported, the old file whole,
    // the table still unsaved, nothing left beside it.
    void aFailedSyncIsAFailedSave()
    {
        Load(Line({{24, "Alpha"}}));
        const QByteArray before = FileBytes();
        QVERIFY(book->AddContact());
        SimulateFailedSync(true);
        QVERIFY(!book->SaveContacts());
        QCOMPARE(Told().size(), 1);
        QVERIFY(Told()[0].contains(QString::fromLocal8Bit(std::strerror(EIO))));
        QCOMPARE(FileBytes(), before);
        QCOMPARE(QDir(folder->Path()).entryList({QStringLiteral("chatcontacts*")},
                                                QDir::AllEntries | QDir::Hidden),
                 QStringList(QStringLiteral("chatcontacts.lis")));
        QVERIFY(book->ContactTableUnsaved());
        SimulateFailedSync(false);
        QVERIFY(book->SaveUnsavedContacts());
        QCOMPARE(FileLines(FileBytes()).size(), 2);
    }

    // What the program writes, it can read again: a full book and the
    // longest card both load read-write, and longer text never reaches the
    // table or the file.
    void everyBookTheProgramWritesLoadsReadWrite()
    {
        Load(QByteArray());
        while (book->AddContact()) {
        }
        QCOMPARE(book->ContactCount, MaxContacts);
        book->CurrentContact = 1;
        const quint64 first = book->Contacts[1].Serial();
        CardTexts card;
        card[11] = QString(book->CardTextRoom(first), QLatin1Char('n'));
        QCOMPARE(book->WriteCardToContact(first, card), CardWrite::Written);
        card[11] += QChar(u'\u00e9');
        QCOMPARE(book->WriteCardToContact(first, card), CardWrite::TooLong);
        QVERIFY(book->SaveContacts());
        book->LoadContacts();
        QVERIFY(!book->ReadOnly);
        QCOMPARE(book->ContactCount, MaxContacts);
        QCOMPARE(book->Contacts[1].Field(ContactField::Notes).size(), book->CardTextRoom(book->Contacts[1].Serial()));

        // The last guard: a table the loader would refuse is not written.
        ForgetTold();
        const QByteArray before = FileBytes();
        book->Contacts[2].SetField(30, QString(40000, QLatin1Char('x')));
        QVERIFY(!book->SaveContacts());
        QCOMPARE(Told().size(), 1);
        QCOMPARE(FileBytes(), before);
        QVERIFY(book->ContactTableUnsaved());
    }

    // The identity pairs a contact up across machines: a contact must never
    // lose it, share it or pass it on to another.
    void everyContactKeepsItsOwnIdentity()
    {
        namespace F = ContactField;
        // An older file: no identities, two identical lines.
        const QByteArray older = Line({{24, "Ann"}}) + Line({{24, "Bob"}}) + Line({{24, "Bob"}});
        Load(older);
        QStringList ids;
        for (int i = 1; i <= 3; ++i)
            ids.append(book->Contacts[i].Field(F::Identity));
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 3);
        QVERIFY(!ids.contains(QString()));
        QCOMPARE(FileBytes(), older);  // given at the next save, not at loading
        // The other machine reading the same older file gives the same ones.
        ContactStore other;
        other.ContactFilePath = path;
        other.LoadContacts();
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(other.Contacts[i].Field(F::Identity), ids[i - 1]);
        // A find never stops at the identity's letters and digits.
        QCOMPARE(book->FindContact(1, 3, ids[1].mid(9, 4)), int16_t(0));

        // Saved, read again, renumbered: the identities stay.
        QVERIFY(book->SaveContacts());
        book->LoadContacts();
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(book->Contacts[i].Field(F::Identity), ids[i - 1]);

        // A card edit stamps the change; an unchanged card does not.
        const QString before = book->Contacts[1].Field(F::ChangedAt);
        CardTexts texts = TextsOf(1);
        QCOMPARE(book->WriteCardToContact(book->Contacts[1].Serial(), texts), CardWrite::Unchanged);
        texts[0] = QStringLiteral("Anna");
        fake->now = fake->now.addSecs(60);
        QCOMPARE(book->WriteCardToContact(book->Contacts[1].Serial(), texts), CardWrite::Written);
        QVERIFY(book->Contacts[1].Field(F::ChangedAt) > before);

        // A contact added after a delete is new: nothing of the deleted one.
        QVERIFY(book->DeleteContact(3));
        QVERIFY(book->AddContact());
        const QString added = book->Contacts[3].Field(F::Identity);
        QVERIFY(!added.isEmpty());
        QVERIFY(!ids.contains(added));

        // Exported and imported again into a book that holds it already: a
        // new identity. Into an empty book (a new machine): the same one.
        const QByteArray vcard = ContactsToVCard(std::span(book->Contacts).subspan(1, 1));
        QVERIFY(vcard.contains("UID:" + ids[0].toUtf8() + "\r\n"));
        ContactImport read;
        QVERIFY(ReadVCards(vcard, read, nullptr));
        read.contacts[0].SetField(F::ChatName, QStringLiteral("Ann again"));
        QCOMPARE(book->AddContacts(read.contacts).added, 1);
        QVERIFY(book->Contacts[4].Field(F::Identity) != ids[0]);
        Load(QByteArray());
        QCOMPARE(book->AddContacts(read.contacts).added, 1);
        QCOMPARE(book->Contacts[1].Field(F::Identity), ids[0]);

        // An older contact with no room left for an identity goes without
        // one rather than make the book unsavable.
        Load(Line({{18, QByteArray(32767 - 82 - 11 - 20, 'n')}}));
        QVERIFY(!book->ReadOnly);
        QVERIFY(book->SaveContacts());
        QCOMPARE(book->Contacts[1].Field(F::Identity), QString());
    }

    void lineFormatRoundTripsEveryField()
    {
        ContactRecord r;
        for (int i = 0; i < 82; ++i)
            if (i % 5 != 3) // every fifth field stays empty
                r.SetField(i, QStringLiteral("f%1 ").arg(i));
        r.SetField(ContactField::RealName, QStringLiteral("Ren\u00e9e \u00d8ystein"));
        r.SetField(ContactField::Notes, QStringLiteral("\u4f60\u597d \U0001F600 \u0416"));
        r.SetField(81, QStringLiteral("last"));
        const QString line = ContactToLine(r, ContactDelimiter);
        QCOMPARE(line.count(ContactDelimiter), 82);
        QVERIFY(line.endsWith(QStringLiteral("last") + ContactDelimiter));

        ContactRecord back;
        ParseContactLine(back, line, ContactDelimiter);
        QVERIFY(back == r);
        for (int i = 0; i < 82; ++i)
            QCOMPARE(back.Field(i), r.Field(i));
        QCOMPARE(back.Field(ContactField::Notes), QStringLiteral("\u4f60\u597d \U0001F600 \u0416"));
        QCOMPARE(back.Field(3), QString());

        // And through the file.
        Load(QByteArray());
        book->AddContact();
        book->Contacts[1] = r;
        QVERIFY(book->SaveContacts());
        const QByteArray bytes = FileBytes();
        QVERIFY(bytes.contains("Ren\xc3\xa9" "e")); // written as UTF-8
        book->LoadContacts();
        QCOMPARE(book->ContactCount, int16_t(1));
        for (int i = 1; i < 82; ++i)
            QCOMPARE(book->Contacts[1].Field(i), r.Field(i));
        QCOMPARE(book->Contacts[1].Field(0), QStringLiteral("CHAT127001"));
    }

    void shortAndLongLinesKeepFieldsInPlace()
    {
        ContactRecord r;
        r.SetField(30, QStringLiteral("stale"));
        ParseContactLine(r, QStringLiteral("a\x1f" "b"), ContactDelimiter);
        QCOMPARE(r.Field(0), QStringLiteral("a"));
        QCOMPARE(r.Field(1), QStringLiteral("b"));
        for (int i = 2; i < 82; ++i)
            QCOMPARE(r.Field(i), QString());

        QString longLine;
        for (int i = 0; i < 85; ++i)
            longLine += QString::number(i) + ContactDelimiter;
        ParseContactLine(r, longLine, ContactDelimiter);
        QCOMPARE(r.Field(81), QStringLiteral("81"));
        QCOMPARE(r.Field(0), QStringLiteral("0"));
        QCOMPARE(ContactToLine(r, ContactDelimiter).count(ContactDelimiter), 82);

        // A delimiter other than the file's, as the search line uses.
        ParseContactLine(r, QStringLiteral("x y\u00e9"), QChar(u' '));
        QCOMPARE(r.Field(1), QStringLiteral("y\u00e9"));
        ParseContactLine(r, QStringLiteral("x\u00e9y\u00e9z"), QChar(u'\u00e9'));
        QCOMPARE(r.Field(2), QStringLiteral("z"));

        // Both kinds in a file, in UTF-8 and in plain ASCII.
        QByteArray extra = "one";
        for (int i = 0; i < 90; ++i)
            extra += D + QByteArray::number(i + 1);
        Load("Jos\xc3\xa9" + QByteArray(1, D) + "chat\r\n" + "solo\r\n" + extra + "\r\n");
        QCOMPARE(book->ContactCount, int16_t(3));
        QCOMPARE(book->Contacts[1].Field(0), QStringLiteral("Jos\u00e9"));
        QCOMPARE(book->Contacts[1].Field(1), QStringLiteral("chat"));
        QCOMPARE(book->Contacts[1].Field(2), QString());
        QCOMPARE(book->Contacts[2].Field(0), QStringLiteral("solo"));
        QCOMPARE(book->Contacts[3].Field(81), QStringLiteral("81"));
        QVERIFY(!book->ReadOnly);
        QCOMPARE(Told().size(), 0);
    }

    void missingFileBecomesTheSample()
    {
        book->LoadContacts();
        const QByteArray expected = Line({{0, "CHAT0000001"},
                                          {24, "Programmer"},
                                          {26, "Sam"},
                                          {40, "sam@example.org"},
                                          {41, "http://www.example.org/"},
                                          {55, "http://chat.example.org/"}});
        QCOMPARE(FileBytes(), expected);
        QCOMPARE(book->ContactCount, int16_t(1));
        QCOMPARE(book->Contacts.size(), size_t(3));
        QCOMPARE(book->Contacts[1].Field(ContactField::ChatName), QStringLiteral("Programmer"));
        QVERIFY(!book->ReadOnly);
        QCOMPARE(Told().size(), 0);
    }

    void emptyAndBlankLinesAreNoContacts()
    {
        Load(QByteArray());
        QCOMPARE(book->ContactCount, int16_t(0));
        QCOMPARE(book->Contacts.size(), size_t(2));
        QCOMPARE(FileBytes(), QByteArray()); // not replaced by the sample
        QVERIFY(!book->ReadOnly);

        // Blank lines in every line-end style, a line of delimiters only, a
        // last line without an end, and a name from an older installation.
        Load("   \r\n\r\n" + Line({{24, "a"}}) + "\n  \n" + QByteArray(82, D) + "\rb" + D + "\r\n\r\n" +
             "Ren\xe9" + D + "z");
        QCOMPARE(book->ContactCount, int16_t(4));
        QCOMPARE(book->Contacts[1].Field(24), QStringLiteral("a"));
        QVERIFY(Empty(book->Contacts[2]));
        QCOMPARE(book->Contacts[3].Field(0), QStringLiteral("b"));
        QCOMPARE(book->Contacts[4].Field(0), QStringLiteral("Ren\u00e9"));
        QCOMPARE(book->Contacts[4].Field(1), QStringLiteral("z"));
        QCOMPARE(Told().size(), 0);
    }

    void savingRenumbersIdsByDateAndPosition()
    {
        Load(Lines(1000));
        book->Contacts[1000].SetField(ContactField::ContactID, QStringLiteral("KEEP"));
        fake->now = QDateTime(QDate(2026, 12, 7), QTime(23, 0));
        QVERIFY(book->SaveContacts());
        QCOMPARE(book->Contacts[5].Field(0), QStringLiteral("CHAT127005"));
        QCOMPARE(book->Contacts[42].Field(0), QStringLiteral("CHAT127042"));
        QCOMPARE(book->Contacts[123].Field(0), QStringLiteral("CHAT127123"));
        QCOMPARE(book->Contacts[1000].Field(0), QStringLiteral("KEEP"));
        const QList<QByteArray> lines = FileLines(FileBytes());
        QCOMPARE(lines.size(), 1000);
        QVERIFY(lines[4].startsWith("CHAT127005" + QByteArray(1, D)));
        QVERIFY(lines[999].startsWith("KEEP" + QByteArray(1, D)));
        QVERIFY(lines[999].contains("name1000"));

        fake->now = QDateTime(QDate(2027, 3, 25), QTime(8, 0));
        QVERIFY(book->SaveContacts());
        QCOMPARE(book->Contacts[5].Field(0), QStringLiteral("CHAT325005"));
        QCOMPARE(book->Contacts[999].Field(0), QStringLiteral("CHAT325999"));
        QCOMPARE(book->Contacts[1000].Field(0), QStringLiteral("KEEP"));
        QVERIFY(FileLines(FileBytes())[4].startsWith("CHAT325005" + QByteArray(1, D)));
        QCOMPARE(Told().size(), 0);
    }

    void emptyTableSavesAsEmptyFile()
    {
        Load(Lines(2));
        book->ContactCount = 0;
        QVERIFY(book->SaveContacts());
        QCOMPARE(FileBytes(), QByteArray());
        QVERIFY(QFile::exists(path));
    }

    void findSearchesAllFieldsIgnoringCase()
    {
        Load(Line({{24, "Alpha"}, {25, "Beta"}}) + Line({{30, "zebra"}, {24, "Gamma"}}) +
             Line({{26, "Ren\xc3\xa9"}}) + Line({{81, "omega"}}));
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("alpha")), int16_t(1));
        QCOMPARE(book->CurrentContact, int16_t(1));
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("ZEBRA")), int16_t(2)); // a reserved field
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("pha be")), int16_t(1)); // across two fields
        QCOMPARE(book->FindContact(2, 3, QStringLiteral("a")), int16_t(2));      // starts at first
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("REN\u00c9")), int16_t(3));
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("ren\u00e9")), int16_t(3));
        QCOMPARE(book->FindContact(2, 3, QString()), int16_t(2)); // empty text: the first searched
        QCOMPARE(book->FindContact(0, 4, QStringLiteral("Ega ")), int16_t(4)); // the line's very end
        QCOMPARE(fake->Count("Beep"), 0);

        book->CurrentContact = 2;
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("nobody")), int16_t(0));
        QCOMPARE(book->CurrentContact, int16_t(2));
        QCOMPARE(fake->Count("Beep"), 1);
        // The range ends at last, and never beyond the table.
        QCOMPARE(book->FindContact(1, 2, QStringLiteral("ren\u00e9")), int16_t(0));
        QCOMPARE(book->FindContact(1, 99, QStringLiteral("ren\u00e9")), int16_t(3));

        // An edited field is found at once; its old text no longer is.
        book->Contacts[1].SetField(ContactField::Notes, QStringLiteral("Stra\u00dfe"));
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("strasse")), int16_t(1));
        book->Contacts[2].SetField(30, QString());
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("zebra")), int16_t(0));
    }

    void deleteClosesTheGapAndRewritesTheFile()
    {
        Load(Line({{24, "one"}}) + Line({{24, "two"}, {30, "hidden"}}) + Line({{24, "three"}}));
        book->CurrentContact = 3;
        QVERIFY(book->DeleteContact(2));
        QCOMPARE(book->ContactCount, int16_t(2));
        QCOMPARE(book->CurrentContact, int16_t(2));
        QCOMPARE(book->Contacts[2].Field(24), QStringLiteral("three"));
        QList<QByteArray> lines = FileLines(FileBytes());
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("CHAT127001" + QByteArray(1, D)));
        QVERIFY(lines[1].startsWith("CHAT127002" + QByteArray(1, D)));
        QVERIFY(lines[1].contains("three"));
        QVERIFY(!book->ContactTableUnsaved());

        // A new contact in the freed slots carries nothing of the deleted one.
        QVERIFY(book->AddContact());
        QVERIFY(Empty(book->Contacts[3]));
        QCOMPARE(book->FindContact(0, 3, QStringLiteral("hidden")), int16_t(0));

        // The last one, then the only one.
        book->CurrentContact = 3;
        QVERIFY(book->DeleteContact(3));
        QCOMPARE(book->CurrentContact, int16_t(2));
        QVERIFY(book->DeleteContact(2));
        QCOMPARE(FileLines(FileBytes()).size(), 1);
        QVERIFY(book->DeleteContact(1));
        QCOMPARE(book->ContactCount, int16_t(0));
        QCOMPARE(book->CurrentContact, int16_t(0));
        QCOMPARE(FileBytes(), QByteArray());
        QVERIFY(!book->DeleteContact(1)); // nothing left to delete
        QCOMPARE(Told().size(), 0);
    }

    void addGivesAnEmptyContactAndStopsAtTheLimit()
    {
        Load(Lines(3));
        QVERIFY(book->AddContact());
        QCOMPARE(book->ContactCount, int16_t(4));
        QCOMPARE(book->CurrentContact, int16_t(4));
        QCOMPARE(book->Contacts.size(), size_t(6));
        QVERIFY(Empty(book->Contacts[4]));
        QCOMPARE(FileLines(FileBytes()).size(), 3); // adding saves nothing

        book->Contacts.assign(32701, ContactRecord());
        book->ContactCount = 32699;
        book->CurrentContact = 7;
        QVERIFY(!book->AddContact());
        QCOMPARE(Told(), QStringList{"The address book is full (32699 contacts)."});
        QCOMPARE(book->ContactCount, int16_t(32699));
        QCOMPARE(book->CurrentContact, int16_t(7));
        QCOMPARE(book->Contacts.size(), size_t(32701));
    }

    // Before a change from outside only a contact that is new and empty is
    // taken out. Taking out an empty contact the file holds would delete it
    // from the other machine's book; one with a typed field would lose it.
    void onlyANewEmptyContactIsTakenOut()
    {
        Load(Line({}) + Line({{24, "Bravo"}}));  // an empty contact in the file
        QVERIFY(!book->TakeOutEmptyNewContact(book->Contacts[1].Serial()));
        QVERIFY(book->AddContact());
        book->Contacts[3].SetField(ContactField::Notes, QStringLiteral("typed"));
        QVERIFY(!book->TakeOutEmptyNewContact(book->Contacts[3].Serial()));
        QVERIFY(book->AddContact());
        book->Contacts[1].SetField(ContactField::Email, QStringLiteral("a@b"));
        // The second new contact goes, the rest keep their places and stay
        // unsaved; with nothing else changed the table is the file again.
        QSignalSpy removed(book, &ContactStore::contactRemoved);
        QVERIFY(book->TakeOutEmptyNewContact(book->Contacts[4].Serial()));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(book->ContactCount, int16_t(3));
        QCOMPARE(book->Contacts[3].Field(ContactField::Notes), QStringLiteral("typed"));
        QVERIFY(book->ContactTableUnsaved());
        QVERIFY(book->SaveContacts());
        QVERIFY(book->AddContact());
        QVERIFY(book->TakeOutEmptyNewContact(book->Contacts[4].Serial()));
        QVERIFY(!book->ContactTableUnsaved());
    }

    void failedSaveKeepsOldFileAndTable_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("disk full") << "full";
        QTest::newRow("folder gone") << "folder";
        QTest::newRow("path is a folder") << "dir";
    }
    void failedSaveKeepsOldFileAndTable()
    {
        QFETCH(QString, how);
        const QByteArray old = Lines(3);
        Load(old);
        QCOMPARE(book->ContactCount, int16_t(3));
        book->Contacts[2].SetField(ContactField::ChatName, QString(4000, QChar(u'x')));
        QString target = path;
        bool saved = true;
        if (how == "full") {
            FileSizeLimit limit(old.size() + 1000);
            saved = book->SaveContacts();
        } else if (how == "folder") {
            target = folder->File(QStringLiteral("gone/chatcontacts.lis"));
            book->ContactFilePath = target;
            saved = book->SaveContacts();
        } else {
            QDir(folder->Path()).mkdir(QStringLiteral("asdir"));
            target = folder->File(QStringLiteral("asdir"));
            book->ContactFilePath = target;
            saved = book->SaveContacts();
        }
        QVERIFY(!saved);
        QCOMPARE(FileBytes(), old);
        QCOMPARE(Told().size(), 1);
        QCOMPARE(saveFailures->size(), 1);
        const QString message = Told().first();
        QVERIFY2(message.startsWith("Could not save the contacts to " + target + ": "), qPrintable(message));
        QVERIFY(message.size() > QString("Could not save the contacts to " + target + ": ").size());
        QCOMPARE(book->Contacts[2].Field(ContactField::ChatName).size(), 4000);
        QCOMPARE(QDir(folder->Path()).entryList(QDir::Files | QDir::Hidden).filter("chatcontacts").size(),
                 1); // no temporary file left behind

        // The next save, once the disk is fine, writes the kept table.
        book->ContactFilePath = path;
        QVERIFY(book->SaveContacts());
        QVERIFY(FileBytes().contains(QByteArray(4000, 'x')));
    }

    void unreadableFileIsNeverWritten_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<QString>("reason");
        QTest::newRow("too many lines") << Lines(32700) << 32699 << "more than 32699 contacts";
        QByteArray longLine = Lines(2) + QByteArray(32768, 'x') + "\r\n" + Lines(1);
        QTest::newRow("long line") << longLine << 4 << "longer than 32767 characters";
        QTest::newRow("dangling link") << QByteArray() << 0 << "Could not read the contacts";
        QTest::newRow("a folder") << QByteArray() << 0 << "Could not read the contacts";
        // Opening a pipe for reading would wait for a writer for ever.
        QTest::newRow("a pipe") << QByteArray() << 0 << "not a regular file";
    }
    void unreadableFileIsNeverWritten()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, loaded);
        QFETCH(QString, reason);
        const QString tag = QTest::currentDataTag();
        if (tag == "dangling link")
            QVERIFY(QFile::link(folder->File("missing-target"), path));
        else if (tag == "a folder")
            QVERIFY(QDir(folder->Path()).mkdir("chatcontacts.lis"));
        else if (tag == "a pipe")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            folder->Write("chatcontacts.lis", bytes);
        book->LoadContacts();
        QVERIFY(book->ReadOnly);
        QCOMPARE(book->ContactCount, int16_t(loaded));
        QCOMPARE(Told().size(), 1);
        QVERIFY2(Told().first().contains(reason), qPrintable(Told().first()));

        // Every way of writing is refused, with the reason, and the file stays.
        const bool full = loaded >= MaxContacts;
        QCOMPARE(book->AddContact(), !full);
        ForgetTold();
        QVERIFY(!book->SaveContacts());
        if (loaded > 0)
            QVERIFY(!book->DeleteContact(1));
        QCOMPARE(Told().size(), loaded > 0 ? 2 : 1);
        for (const QString& m : Told())
            QVERIFY2(m.contains(book->ReadOnlyReason), qPrintable(m));
        QCOMPARE(book->ContactCount, int16_t(full ? loaded : loaded + 1));
        if (tag == "dangling link")
            QVERIFY(!QFile::exists(path));
        else if (tag == "a pipe")
            QVERIFY(QFileInfo(path).isSymLink() || !QFileInfo(path).isFile());
        else if (tag != "a folder")
            QCOMPARE(FileBytes(), bytes);
        QVERIFY(QDir(folder->Path()).entryList(QDir::Files | QDir::Hidden).filter(".lis.").isEmpty());
    }

    void largeFileIsReadWholeAcrossBlocks()
    {
        // About 9 MB in lines of changing length and line ends, so lines
        // straddle the reader's block boundaries.
        QByteArray bytes;
        int n = 0;
        while (bytes.size() < 9 * 1024 * 1024) {
            ++n;
            bytes += Line({{24, "name" + QByteArray::number(n)}, {18, QByteArray(n % 997, 'n')}});
            if (n % 3 == 0)
                bytes.chop(1); // CR alone
            else if (n % 3 == 1)
                bytes.remove(bytes.size() - 2, 1); // LF alone
        }
        Load(bytes);
        QCOMPARE(book->ContactCount, int16_t(n));
        for (int i = 1; i <= n; ++i) {
            const ContactRecord& r = book->Contacts[i];
            QCOMPARE(r.Field(24), "name" + QString::number(i));
            QCOMPARE(r.Field(18).size(), i % 997);
        }
        QVERIFY(!book->ReadOnly);
    }

    // A fresh install takes a full book: the sample contact of the first
    // start gives way to it, but only while nobody has touched the sample;
    // an edited sample is a contact like any other and the import is refused.
    void aFreshInstallTakesAFullBookButNeverAnEditedSample()
    {
        std::vector<ContactRecord> full(MaxContacts);
        for (int i = 0; i < MaxContacts; ++i)
            full[i].SetField(ContactField::ChatName, QStringLiteral("c%1").arg(i));
        folder->Write(QStringLiteral("full.vcf"), ContactsToVCard(full));
        const QString vcf = folder->File(QStringLiteral("full.vcf"));

        book->LoadContacts(); // the first start writes the sample
        book->SaveContacts(); // which a save renumbers, untouched
        book->Contacts[1].SetField(ContactField::Notes, QStringLiteral("my own note"));
        const QByteArray edited = ContactToLine(book->Contacts[1], ContactDelimiter).toUtf8();
        QVERIFY(book->SaveContacts());
        ExchangeResult r = ImportContacts(*book, vcf);
        QCOMPARE(r.status, ExchangeResult::Failed);
        QCOMPARE(book->ContactCount, int16_t(1));
        QCOMPARE(FileBytes(), edited + "\r\n");

        QFile::remove(path);
        book->LoadContacts();
        r = ImportContacts(*book, vcf);
        QCOMPARE(r.status, ExchangeResult::Done);
        QCOMPARE(r.summary, QStringLiteral("Imported 32699 contacts in place of the sample contact."));
        QCOMPARE(book->ContactCount, MaxContacts);
        QCOMPARE(book->Contacts[1].Field(ContactField::ChatName), QStringLiteral("c0"));
        QCOMPARE(FileLines(FileBytes()).size(), int(MaxContacts));
        QVERIFY(!FileBytes().contains("Programmer"));

        // A batch that fits beside the sample leaves it where it is.
        QFile::remove(path);
        book->LoadContacts();
        full.resize(10);
        folder->Write(QStringLiteral("ten.vcf"), ContactsToVCard(full));
        r = ImportContacts(*book, folder->File(QStringLiteral("ten.vcf")));
        QCOMPARE(r.summary, QStringLiteral("Imported 10 contacts."));
        QCOMPARE(book->Contacts[1].Field(ContactField::ChatName), QStringLiteral("Programmer"));
    }

    // What an import passed over is named: skipped lines in the summary and
    // each in the log, the kinds of data the book has no place for; a file
    // whose every card is broken is a failed import.
    void importSaysWhatItPassedOver()
    {
        Load(Lines(1));
        folder->Write(QStringLiteral("phone.vcf"),
                      "BEGIN:VCARD\r\r\nVERSION:2.1\r\r\nN:Berg;Anna\r\r\n"
                      "X-messaging/twitter-All:@anna\r\r\n# comment\r\r\n"
                      "TEL;CELL:+46 70 1\r\r\nADR;HOME:;;Gatan 1;Lund;;;\r\r\nEND:VCARD\r\r\n"
                      "BEGIN:VCARD\r\r\nVERSION:2.1\r\r\nFN:Bo\r\r\nTEL:1\r\r\nEND:VCARD\r\r\n");
        ExchangeResult r = ImportContacts(*book, folder->File(QStringLiteral("phone.vcf")));
        QCOMPARE(r.status, ExchangeResult::Done);
        QCOMPARE(r.summary, QStringLiteral("Imported 2 contacts, 2 lines were skipped; phone "
                                           "numbers of 2 contacts and addresses of 1 were not "
                                           "kept: the book has no place for them."));
        const QByteArray log = folder->Read(QStringLiteral("banterly.log"));
        QVERIFY2(log.contains("phone.vcf: skipped line 4: not a vCard property line: "
                              "\"X-messaging/twitter-All:@anna\""),
                 log.constData());
        QVERIFY(log.contains("phone.vcf: skipped line 5: "));

        const QByteArray before = FileBytes();
        folder->Write(QStringLiteral("broken.vcf"),
                      "BEGIN:VCARD\r\nVERSION:3.0\r\n# only this\r\nEND:VCARD\r\n"
                      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut off\r\n");
        r = ImportContacts(*book, folder->File(QStringLiteral("broken.vcf")));
        QCOMPARE(r.status, ExchangeResult::Failed);
        QVERIFY2(r.error.startsWith("nothing was imported: 2 cards could not be read: line 3: "),
                 qPrintable(r.error));
        QCOMPARE(FileBytes(), before);
    }

    void limitsCountCharactersNotBytes()
    {
        // 32767 characters, twice as many bytes in UTF-8.
        QByteArray line;
        for (int i = 0; i < 32767 - 82; ++i)
            line += "\xc3\xa9";
        line += QByteArray(82, D);
        Load(line + "\r\n");
        QVERIFY(!book->ReadOnly);
        QCOMPARE(book->Contacts[1].Field(0).size(), 32767 - 82);
        QCOMPARE(Told().size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestContactStore)
#include "test_contactstore.moc"
