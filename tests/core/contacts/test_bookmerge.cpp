#include "core/contacts/BookMerge.h"
#include "core/contacts/ContactStore.h"
#include "core/files/Backups.h"
#include "core/files/ConflictCopies.h"
#include "core/files/FileStamp.h"
#include "core/phrases/PhraseList.h"
#include "core/phrases/PhraseMerge.h"
#include "core/platform/AtomicFile.h"
#include "support/FakeSystem.h"
#include "support/TestFolder.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <map>

namespace {

namespace F = ContactField;

ContactRecord Contact(const char* identity, const char* changedAt,
                      const std::map<int, QString>& fields)
{
    ContactRecord r;
    r.SetField(F::Identity, QString::fromLatin1(identity));
    r.SetField(F::ChangedAt, QString::fromLatin1(changedAt));
    for (const auto& [field, text] : fields)
        r.SetField(field, text);
    return r;
}

// A change made on one side at a time.
void Edit(ContactRecord& r, int field, const QString& text, const char* at)
{
    r.SetField(field, text);
    r.SetField(F::ChangedAt, QString::fromLatin1(at));
}

// The chat names of a merged book, in order.
QStringList Names(const MergedBook& merged)
{
    QStringList names;
    for (const ContactRecord& r : merged.contacts)
        names.append(r.Field(F::ChatName));
    return names;
}

const ContactRecord* Find(const MergedBook& merged, const QString& chatName)
{
    for (const ContactRecord& r : merged.contacts)
        if (r.Field(F::ChatName) == chatName)
            return &r;
    return nullptr;
}

const char* T0 = "2026-12-01T10:00:00.000Z";
const char* T1 = "2026-12-02T10:00:00.000Z";
const char* T2 = "2026-12-03T10:00:00.000Z";
const char* T3 = "2026-12-04T10:00:00.000Z";

// A conflict copy merged as the program merges one: the base from the
// change times (and the kept versions), then the three-way merge.
MergedBook MergeCopy(const std::vector<ContactRecord>& mine, const std::vector<ContactRecord>& theirs,
                     const std::vector<std::vector<ContactRecord>>& kept = {})
{
    return MergeBooks(BaseFromChangeTimes(mine, theirs, kept), mine, theirs);
}

} // namespace

// Each rule with a base book and two books changed apart from it: this
// machine's ("mine") and the other's ("theirs").
class TestBookMerge : public QObject {
    Q_OBJECT

    std::vector<ContactRecord> base;

private slots:
    void init()
    {
        base = {Contact("a", T0, {{F::ChatName, "Ann"}, {F::Email, "ann@x"}}),
                Contact("b", T0, {{F::ChatName, "Bob"}, {F::Email, "bob@x"}}),
                Contact("c", T0, {{F::ChatName, "Cy"}})};
    }

    void contactsAddedOnEitherSideAreKeptOnce()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        mine.push_back(Contact("m", T1, {{F::ChatName, "Mo"}}));
        theirs.push_back(Contact("t", T1, {{F::ChatName, "Tia"}}));
        // The same new contact reached both sides (an import of one export).
        const ContactRecord both = Contact("n", T1, {{F::ChatName, "Nell"}});
        mine.push_back(both);
        theirs.insert(theirs.begin(), both);

        const MergedBook merged = MergeBooks(base, mine, theirs);
        QCOMPARE(Names(merged), (QStringList{"Ann", "Bob", "Cy", "Mo", "Nell", "Tia"}));
        QVERIFY(merged.conflicts.isEmpty());
        QVERIFY(!merged.sameAsMine);
    }

    void editsToDifferentFieldsAreBothKept()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        Edit(mine[1], F::Email, "bob@home", T1);
        Edit(theirs[1], F::Notes, "met twice", T2);

        const MergedBook merged = MergeBooks(base, mine, theirs);
        QCOMPARE(merged.contacts.size(), size_t(3));
        const ContactRecord& bob = merged.contacts[1];
        QCOMPARE(bob.Field(F::Email), QStringLiteral("bob@home"));
        QCOMPARE(bob.Field(F::Notes), QStringLiteral("met twice"));
        QCOMPARE(bob.Field(F::ChangedAt), QString::fromLatin1(T2));
        QVERIFY(merged.conflicts.isEmpty());
    }

    void oneFieldChangedOnBothSidesKeepsTheLaterAndReportsTheOther()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        Edit(mine[1], F::Email, "bob@work", T2);
        Edit(theirs[1], F::Email, "bob@home", T1);

        const MergedBook merged = MergeBooks(base, mine, theirs);
        QCOMPARE(merged.contacts[1].Field(F::Email), QStringLiteral("bob@work"));
        QCOMPARE(merged.conflicts.size(), 1);
        QCOMPARE(ConflictMessage(merged.conflicts, "mine-time", "09.12.2026 22:05"),
                 QStringLiteral("Bob's e-mail was changed on both machines; kept \"bob@work\"; "
                                "the other value \"bob@home\" is in the version of "
                                "09.12.2026 22:05."));

        // The other machine, merging the same two books the other way round,
        // keeps the same value: the two settle.
        const MergedBook there = MergeBooks(base, theirs, mine);
        QCOMPARE(there.contacts[1].Field(F::Email), QStringLiteral("bob@work"));
        QVERIFY(there.contacts[1].SameContent(merged.contacts[1]));
        QVERIFY(there.conflicts.at(0).otherIsMine);
    }

    void deletedOnOneSideAndUnchangedOnTheOtherStaysDeleted()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        mine.erase(mine.begin() + 2);    // Cy deleted here
        theirs.erase(theirs.begin());    // Ann deleted there
        const MergedBook merged = MergeBooks(base, mine, theirs);
        QCOMPARE(Names(merged), QStringList{"Bob"});
    }

    void deletedOnOneSideAndChangedOnTheOtherComesBackWithTheChange()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        mine.erase(mine.begin() + 1);    // Bob deleted here...
        Edit(theirs[1], F::Website, "bob.example", T1);  // ...and changed there
        theirs.erase(theirs.begin() + 2);               // Cy deleted there...
        Edit(mine[1], F::Age, "44", T1);                 // ...and changed here

        const MergedBook merged = MergeBooks(base, mine, theirs);
        QCOMPARE(Names(merged), (QStringList{"Ann", "Cy", "Bob"}));
        QCOMPARE(Find(merged, "Bob")->Field(F::Website), QStringLiteral("bob.example"));
        QCOMPARE(Find(merged, "Cy")->Field(F::Age), QStringLiteral("44"));
    }

    void aBookMergedWithItselfNeedsNoWrite()
    {
        std::vector<ContactRecord> mine = base;
        Edit(mine[0], F::Notes, "x", T1);
        // The merged book comes back: the same contacts, the IDs renumbered
        // by the other machine's save.
        std::vector<ContactRecord> back = mine;
        back[2].SetField(F::ContactID, "CHAT129003");
        const MergedBook merged = MergeBooks(base, mine, back);
        QVERIFY(merged.sameAsMine);
        QVERIFY(merged.conflicts.isEmpty());
    }

    // The other machine's book lands while this copy holds an unsaved
    // change: both machines' changes end in the file, written once, and the
    // card's contact stays the same one although it moved.
    void aBookReplacedFromOutsideIsMergedWithTheUnsavedTable()
    {
        FakeSystem fake;
        TestFolder folder;
        const QString path = folder.File(QStringLiteral("chatcontacts.lis"));
        const auto write = [&](const std::vector<ContactRecord>& book) {
            QByteArray bytes;
            for (const ContactRecord& r : book) {
                r.AppendUtf8Line(bytes, char(31));
                bytes.append("\r\n");
            }
            folder.Write(QStringLiteral("chatcontacts.lis"), bytes);
        };
        write(base);
        ContactStore book;
        book.ContactFilePath = path;
        book.LoadContacts();
        QSignalSpy problems(&book, &ContactStore::problem);
        QSignalSpy saves(&book, &ContactStore::saved);

        // Here: Bob's e-mail (later) and Cy's age; Cy is on the card.
        Edit(book.Contacts[2], F::Email, "bob@work", T2);
        Edit(book.Contacts[3], F::Age, "44", T1);
        book.CurrentContact = 3;
        book.AddContact();  // marks the table unsaved, as a card edit does
        book.Contacts[4].SetField(F::ChatName, "Dee");
        book.CurrentContact = 3;
        // There: Ann deleted, Bob's e-mail (earlier) and notes.
        std::vector<ContactRecord> theirs = base;
        theirs.erase(theirs.begin());
        Edit(theirs[0], F::Email, "bob@home", T1);
        Edit(theirs[0], F::Notes, "met twice", T1);
        write(theirs);

        book.TakeOutsideChange();
        QCOMPARE(saves.size(), 1);
        QVERIFY(!book.ContactTableUnsaved());
        QCOMPARE(book.ContactCount, int16_t(3));
        QCOMPARE(book.Contacts[1].Field(F::Email), QStringLiteral("bob@work"));
        QCOMPARE(book.Contacts[1].Field(F::Notes), QStringLiteral("met twice"));
        QCOMPARE(book.Contacts[2].Field(F::Age), QStringLiteral("44"));
        QCOMPARE(book.Contacts[3].Field(F::ChatName), QStringLiteral("Dee"));
        QCOMPARE(book.CurrentContact, int16_t(2));  // still Cy
        const QString file = QString::fromUtf8(folder.Read(QStringLiteral("chatcontacts.lis")));
        QVERIFY(file.contains("bob@work") && file.contains("met twice") && file.contains("Dee"));
        QVERIFY(!file.contains("Ann"));
        // The other machine's e-mail is told of and kept in a version.
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems[0][0].toString().startsWith("Bob's e-mail was changed on both machines"));
        bool kept = false;
        for (const BackupVersion& v : ListBackups(path)) {
            QFile f(v.path);
            kept |= f.open(QIODevice::ReadOnly) && f.readAll().contains("bob@home");
        }
        QVERIFY(kept);

        // The merged book comes back from the other machine unchanged but
        // for the IDs: read, never written again.
        const QByteArray merged = folder.Read(QStringLiteral("chatcontacts.lis"));
        folder.Write(QStringLiteral("chatcontacts.lis"),
                     QByteArray(merged).replace("CHAT127", "CHAT128"));
        book.TakeOutsideChange();
        QCOMPARE(saves.size(), 1);
        QCOMPARE(book.CurrentContact, int16_t(2));
        QCOMPARE(book.Contacts[2].Field(F::ContactID), QStringLiteral("CHAT128002"));
    }

    // A conflict copy: the two sides last agreed at T1 (Cy, changed then,
    // is the same on both); there is no book both are known to have held.
    void copyDeletedThereStaysDeleted()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        Edit(mine[2], F::Age, "30", T1);
        Edit(theirs[2], F::Age, "30", T1);
        theirs.erase(theirs.begin() + 1);  // Bob deleted there
        mine.erase(mine.begin());          // Ann deleted here
        QCOMPARE(Names(MergeCopy(mine, theirs)), QStringList{"Cy"});
        QCOMPARE(Names(MergeCopy(theirs, mine)), QStringList{"Cy"});
    }

    void copyAddedAfterPartingIsKept()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        mine.push_back(Contact("m", T2, {{F::ChatName, "Mo"}}));
        theirs.push_back(Contact("t", T2, {{F::ChatName, "Tia"}}));
        theirs.push_back(Contact("u", "", {{F::ChatName, "Una"}}));  // an older program's
        const MergedBook merged = MergeCopy(mine, theirs);
        QCOMPARE(Names(merged), (QStringList{"Ann", "Bob", "Cy", "Mo", "Tia", "Una"}));
        QVERIFY(merged.conflicts.isEmpty());
    }

    // Bob changed on both sides after the parting: the kept version that
    // holds him as he was then tells which side changed which field.
    void copyDifferentFieldsChangedOnBothAreBothKept()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        Edit(mine[1], F::Email, "bob@home", T2);
        Edit(theirs[1], F::Notes, "met twice", T3);
        std::vector<ContactRecord> newer = base;
        Edit(newer[1], F::Email, "bob@newer", T2);  // changed after T: no base
        const std::vector<std::vector<ContactRecord>> kept = {
            {Contact("b", "2026-11-30T10:00:00.000Z", {{F::ChatName, "Bob"}, {F::Email, "bob@old"}})},
            base, newer};
        QVERIFY(BaseWantsKeptVersions(mine, theirs));
        const MergedBook merged = MergeCopy(mine, theirs, kept);
        QVERIFY(merged.conflicts.isEmpty());
        const ContactRecord* bob = Find(merged, "Bob");
        QCOMPARE(bob->Field(F::Email), QStringLiteral("bob@home"));
        QCOMPARE(bob->Field(F::Notes), QStringLiteral("met twice"));

        // Without the version each field that differs is a conflict: the
        // later change wins, the other value is listed.
        const MergedBook blind = MergeCopy(mine, theirs);
        QCOMPARE(blind.conflicts.size(), 2);
        QCOMPARE(Find(blind, "Bob")->Field(F::Email), QStringLiteral("bob@x"));

        // One side unchanged since the parting is the base by itself.
        std::vector<ContactRecord> unchanged = base;
        QVERIFY(!BaseWantsKeptVersions(unchanged, theirs));
        const MergedBook oneSide = MergeCopy(unchanged, theirs);
        QVERIFY(oneSide.conflicts.isEmpty());
        QCOMPARE(Find(oneSide, "Bob")->Field(F::Notes), QStringLiteral("met twice"));
    }

    void copySameFieldChangedOnBothKeepsTheLaterAndListsTheOther()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        Edit(mine[1], F::Email, "bob@work", T2);
        Edit(theirs[1], F::Email, "bob@home", T3);
        const MergedBook merged = MergeCopy(mine, theirs, {base});
        QCOMPARE(Find(merged, "Bob")->Field(F::Email), QStringLiteral("bob@home"));
        QCOMPARE(merged.conflicts.size(), 1);
        QCOMPARE(merged.conflicts[0].other, QStringLiteral("bob@work"));
        QVERIFY(merged.conflicts[0].otherIsMine);
    }

    void copyDeletedThereButChangedHereComesBack()
    {
        std::vector<ContactRecord> mine = base, theirs = base;
        theirs.erase(theirs.begin() + 1);
        Edit(mine[1], F::Website, "bob.example", T2);
        const MergedBook merged = MergeCopy(mine, theirs);
        QCOMPARE(Names(merged), (QStringList{"Ann", "Bob", "Cy"}));
        QCOMPARE(Find(merged, "Bob")->Field(F::Website), QStringLiteral("bob.example"));
        QVERIFY(merged.conflicts.isEmpty());
    }

    // Two books with no contact alike: nothing is known to be older than
    // the parting, so nothing counts as deleted.
    void copyWithNoIdenticalContactDeletesNothing()
    {
        std::vector<ContactRecord> mine = {base[0], base[1]};
        std::vector<ContactRecord> theirs = {base[2]};
        Edit(theirs[0], F::Notes, "x", T1);
        Edit(mine[1], F::Notes, "y", T1);
        theirs.push_back(mine[1]);
        Edit(theirs[1], F::Notes, "z", T2);
        QVERIFY(BaseFromChangeTimes(mine, theirs).empty());
        const MergedBook merged = MergeCopy(mine, theirs);
        QCOMPARE(Names(merged), (QStringList{"Ann", "Bob", "Cy"}));
        QCOMPARE(merged.conflicts.size(), 1);  // Bob's notes, with no base
    }

    // A conflict copy is merged only when read whole, and is never lost:
    // when it cannot be moved into backups/ it stays where it was.
    void aConflictCopyIsMergedOnlyWholeAndNeverLost()
    {
        FakeSystem fake;
        TestFolder folder;
        const QString path = folder.File(QStringLiteral("chatcontacts.lis"));
        const auto write = [&](const QString& name, const std::vector<ContactRecord>& book) {
            QByteArray bytes;
            for (const ContactRecord& r : book) {
                r.AppendUtf8Line(bytes, char(31));
                bytes.append("\r\n");
            }
            folder.Write(name, bytes);
        };
        write("chatcontacts.lis", base);
        ContactStore book;
        book.ContactFilePath = path;
        book.LoadContacts();
        QSignalSpy problems(&book, &ContactStore::problem);
        QSignalSpy saves(&book, &ContactStore::saved);
        const QByteArray before = folder.Read("chatcontacts.lis");

        std::vector<ContactRecord> theirs = base;
        theirs.push_back(Contact("t", T2, {{F::ChatName, "Tia"}}));
        theirs.push_back(Contact("u", T2, {{F::Notes, QString(40000, u'x')}}));  // too long
        const QString cut = "chatcontacts (conflicted copy 2026-12-10 013012).lis";
        write(cut, theirs);
        QVERIFY(!book.TakeConflictCopy(folder.File(cut)));
        QCOMPARE(problems.size(), 1);
        QCOMPARE(saves.size(), 0);
        QCOMPARE(book.ContactCount, int16_t(3));
        QCOMPARE(folder.Read("chatcontacts.lis"), before);
        QVERIFY(folder.Exists(cut));

        theirs.pop_back();
        const QString whole = "chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis";
        write(whole, theirs);
        folder.Write("backups", "a file where the folder would be");
        {
            // Another copy of the program on the same file is taking it.
            const ConflictCopyClaim elsewhere(folder.File(whole));
            QVERIFY(elsewhere.Held());
            QVERIFY(!book.TakeConflictCopy(folder.File(whole)));
            QCOMPARE(saves.size(), 0);
            QCOMPARE(problems.size(), 1);
        }
        QVERIFY(book.TakeConflictCopy(folder.File(whole)));
        QCOMPARE(saves.size(), 1);
        QCOMPARE(Names(MergedBook{{book.Contacts.begin() + 1, book.Contacts.end() - 1}, {}}),
                 (QStringList{"Ann", "Bob", "Cy", "Tia"}));
        QVERIFY(folder.Read("chatcontacts.lis").contains("Tia"));
        QVERIFY(folder.Exists(whole));
        QCOMPARE(problems.size(), 2);
        QVERIFY(problems[1][0].toString().contains("could not be moved"));
        // Taken again (the next start): the book holds it all, nothing is
        // written.
        QVERIFY(book.TakeConflictCopy(folder.File(whole)));
        QCOMPARE(saves.size(), 1);
    }

    // A phrase list whose save failed meets its file replaced by another
    // program: merged and written once, or not at all when the merge is
    // that file.
    void aPhraseListWhoseSaveFailedIsMergedWithItsReplacedFile()
    {
        FakeSystem fake;
        TestFolder folder;
        folder.Write("phrases.txt", "hi\r\nbrb\r\n");
        PhraseList list;
        list.Load(folder.File("phrases.txt"));
        QSignalSpy saves(&list, &PhraseList::saved);
        const auto addUnsaved = [&](const QString& phrase) {
            RefuseWrites(QStringLiteral("disk full"));
            list.Add(phrase);
            RefuseWrites(QString());
            QVERIFY(list.Unsaved());
        };
        addUnsaved("gtg");
        folder.Write("phrases.txt", "hi\r\nthx\r\n");  // brb removed there, thx added
        list.TakeOutsideChange();
        QCOMPARE(list.Phrases(), (QStringList{"hi", "gtg", "thx"}));
        QCOMPARE(folder.Read("phrases.txt"), QByteArray("hi\r\ngtg\r\nthx\r\n"));
        QCOMPARE(saves.size(), 1);
        QVERIFY(!list.Unsaved());

        addUnsaved("np");
        folder.Write("phrases.txt", "hi\r\ngtg\r\nthx\r\nnp\r\n");  // the same phrase there
        const FileStamp arrived = StampOfFile(folder.File("phrases.txt"));
        list.TakeOutsideChange();
        QVERIFY(!list.Unsaved());
        QCOMPARE(saves.size(), 1);
        QVERIFY(!ChangedOnDisk(arrived, folder.File("phrases.txt")));
    }

    void phrasesAddedKeptOnceRemovedRemovedThisSidesOrderFirst()
    {
        const QStringList phrasesBase{"hi", "brb", "lol", "bye"};
        const QStringList mine{"bye", "hi", "lol", "gtg", "np"};      // brb removed; two added
        const QStringList theirs{"hi", "brb", "bye", "np", "thx"};    // lol removed; two added
        QCOMPARE(MergePhrases(phrasesBase, mine, theirs),
                 (QStringList{"bye", "hi", "gtg", "np", "thx"}));
        // A phrase kept twice on purpose keeps both copies; one removal
        // removes one copy.
        QCOMPARE(MergePhrases({"a", "a", "b"}, {"a", "a", "b"}, {"a", "b"}),
                 (QStringList{"a", "b"}));
    }
};

QTEST_APPLESS_MAIN(TestBookMerge)
#include "test_bookmerge.moc"
