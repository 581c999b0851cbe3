#include "core/contacts/ContactIdentity.h"
#include "core/contacts/ContactStore.h"
#include "core/files/Backups.h"
#include "core/files/FileStamp.h"
#include "support/FakeSystem.h"
#include "support/TestFolder.h"
#include "ui/app/DataFileWatch.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

namespace F = ContactField;

namespace {

// One running copy of the program as far as the contact file goes: its
// book and the watch on the file, connected as the controller connects
// them. Two on one file are two copies of the program (two program folders
// whose settings name the same contact file).
struct RunningCopy {
    ContactStore book;
    DataFileWatch watch;
    int writes = 0;

    explicit RunningCopy(const QString& path)
    {
        QObject::connect(&book, &ContactStore::saved, &watch, &DataFileWatch::Remember);
        QObject::connect(&book, &ContactStore::contactsReloaded, &watch, &DataFileWatch::Remember);
        QObject::connect(&watch, &DataFileWatch::replaced, &book, &ContactStore::TakeOutsideChange);
        QObject::connect(&watch, &DataFileWatch::conflictCopyFound, &book,
                         &ContactStore::TakeConflictCopy);
        QObject::connect(&book, &ContactStore::saved, [this] { ++writes; });
        book.ContactFilePath = path;
        book.LoadContacts();
        watch.Watch(path);
        watch.CheckConflictCopies();
    }
    int Find(const QString& chatName) const
    {
        for (int i = 1; i <= book.ContactCount; ++i)
            if (book.Contacts[i].Field(F::ChatName) == chatName)
                return i;
        return 0;
    }
    void Change(const QString& chatName, int field, const QString& text, const QDateTime& at)
    {
        ContactRecord& r = book.Contacts[Find(chatName)];
        r.SetField(field, text);
        r.SetField(F::ChangedAt, ChangeStamp(at));
    }
};

} // namespace

class TestSettling : public QObject {
    Q_OBJECT

    // Lets every watch see the folder and act, long enough for a ping-pong
    // to show.
    static void Settle() { QTest::qWait(600); }

private slots:
    // Two copies on one file, and a sync program's conflict copy beside
    // it: each change is written once, by one copy, and then nothing moves.
    void twoCopiesOnOneFileSettle()
    {
        FakeSystem fake;
        TestFolder folder;
        const QString path = folder.File("chatcontacts.lis");
        QDateTime clock = fake.now;
        {
            ContactStore seed;
            seed.ContactFilePath = path;
            seed.LoadContacts();  // the sample contact
            for (const char* name : {"Ann", "Bob", "Cy"}) {
                seed.AddContact();
                seed.Contacts[seed.CurrentContact].SetField(F::ChatName, name);
            }
            QVERIFY(seed.SaveContacts());
        }
        RunningCopy a(path), b(path);
        QCOMPARE(a.book.ContactCount, int16_t(4));

        // A saves; B reads it and writes nothing.
        clock = clock.addSecs(60);
        a.Change("Bob", F::Email, "bob@a", clock);
        QVERIFY(a.book.SaveContacts());
        QTRY_VERIFY(b.Find("Bob") &&
                    b.book.Contacts[b.Find("Bob")].Field(F::Email) == QStringLiteral("bob@a"));
        Settle();
        QCOMPARE(a.writes, 1);
        QCOMPARE(b.writes, 0);

        // B holds an unsaved contact while A saves again: B merges and
        // writes once, A reads the merge and writes nothing.
        QVERIFY(b.book.AddContact());
        b.book.Contacts[b.book.CurrentContact].SetField(F::ChatName, "Dee");
        clock = clock.addSecs(60);
        a.Change("Cy", F::Notes, "from a", clock);
        QVERIFY(a.book.SaveContacts());
        QTRY_VERIFY(a.Find("Dee") != 0);
        Settle();
        QCOMPARE(a.writes, 2);
        QCOMPARE(b.writes, 1);
        QVERIFY(!b.book.ContactTableUnsaved());
        QCOMPARE(b.book.Contacts[b.Find("Cy")].Field(F::Notes), QStringLiteral("from a"));

        // The other machine's book arrives as a conflict copy: it deleted
        // Ann (unchanged here) and added Eve after the two parted.
        std::vector<ContactRecord> other(a.book.Contacts.begin() + 1,
                                         a.book.Contacts.begin() + 1 + a.book.ContactCount);
        other.erase(other.begin() + (a.Find("Ann") - 1));
        ContactRecord eve;
        eve.SetField(F::Identity, NewContactIdentity());
        eve.SetField(F::ChangedAt, ChangeStamp(clock.addSecs(30)));
        eve.SetField(F::ChatName, "Eve");
        other.push_back(eve);
        QByteArray bytes;
        for (const ContactRecord& r : other) {
            r.AppendUtf8Line(bytes, char(31));
            bytes.append("\r\n");
        }
        const QString copy = "chatcontacts.sync-conflict-20261207-221000-ABCDEF7.lis";
        folder.Write(".incoming.tmp", bytes);
        QVERIFY(QFile::rename(folder.File(".incoming.tmp"), folder.File(copy)));
        QTRY_VERIFY(!folder.Exists(copy));
        Settle();
        QCOMPARE(a.writes + b.writes, 4);  // the merge, written once
        for (const RunningCopy* c : {&a, &b}) {
            QVERIFY(c->Find("Eve") && c->Find("Dee") && !c->Find("Ann"));
            QVERIFY(!c->book.ContactTableUnsaved());
        }
        const QString file = QString::fromUtf8(folder.Read("chatcontacts.lis"));
        QVERIFY(file.contains("Eve") && file.contains("Dee") && !file.contains("Ann"));
        // Ann is kept: in the copy, moved into backups/ and not thinned.
        QFile moved(QDir(BackupFolderFor(path)).filePath(copy));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), bytes);

        // The merged book comes back from the sync program as the same
        // bytes under a new inode: read by both, written by neither.
        folder.Write(".incoming.tmp", folder.Read("chatcontacts.lis"));
        QVERIFY(::rename(qPrintable(folder.File(".incoming.tmp")), qPrintable(path)) == 0);
        const FileStamp arrived = StampOfFile(path);
        Settle();
        QCOMPARE(a.writes + b.writes, 4);
        QVERIFY(!ChangedOnDisk(arrived, path));  // nothing written over it
    }
};

QTEST_GUILESS_MAIN(TestSettling)
#include "test_settling.moc"
