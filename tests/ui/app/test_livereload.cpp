#include "support/ContactsFixture.h"

#include "core/contacts/ContactIdentity.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/phrases/frmPhrases.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

namespace F = ContactField;

// The book in a synced folder: the other machine's book is renamed over the
// file while the program runs, and the windows follow within a second.
class TestLiveReload : public QObject {
    Q_OBJECT
    ContactsFixture fx;

    // The other machine: a copy of the file, changed by its own book, then
    // renamed into place as a sync program does.
    void OtherMachine(const std::function<void(ContactStore&)>& change)
    {
        const QString copy = fx.folder->File(QStringLiteral("incoming.lis"));
        QFile::remove(copy);
        QVERIFY(QFile::copy(fx.book->ContactFilePath, copy));
        ContactStore other;
        other.ContactFilePath = copy;
        other.LoadContacts();
        change(other);
        QVERIFY(other.SaveContacts());
        QVERIFY(::rename(qPrintable(copy), qPrintable(fx.book->ContactFilePath)) == 0);
    }
    static int Find(const ContactStore& book, const QString& chatName)
    {
        for (int i = 1; i <= book.ContactCount; ++i)
            if (book.Contacts[i].Field(F::ChatName) == chatName)
                return i;
        return 0;
    }
    static void SetField(ContactStore& book, const QString& chatName, int field, const QString& text)
    {
        const int i = Find(book, chatName);
        book.Contacts[i].SetField(field, text);
        book.Contacts[i].SetField(F::ChangedAt, ChangeStamp(QDateTime::currentDateTime()));
    }

private slots:
    void init()
    {
        fx.Start();
        fx.Seed({{"Ann", "A"}, {"Bob", "B"}, {"Cy", "C"}});
        QVERIFY(fx.book->SaveContacts());
        App().Start();  // reads the file and watches its folder once shown
        QTRY_VERIFY(App().Ready());
        QCOMPARE(fx.book->ContactCount, int16_t(3));
        // Bob on the list and on the card.
        App().ShowContactList();
        fx.book->SetCurrentContact(2);
        frmContactDetails& card = App().ContactDetails();
        card.show();
        ShowContactOnCard(card);
    }
    void cleanup() { fx.Stop(); }

    void theWindowsFollowABookReplacedFromOutside()
    {
        const QString bob = fx.book->Contacts[2].Field(F::Identity);
        OtherMachine([](ContactStore& other) {
            other.DeleteContact(1);
            SetField(other, "Bob", F::Email, "bob@home");
        });
        QTRY_COMPARE_WITH_TIMEOUT(fx.book->ContactCount, int16_t(2), 1000);
        QVERIFY(!fx.book->ContactTableUnsaved());
        // Bob moved up one place; the card and the list stay on him.
        QCOMPARE(fx.book->CurrentContact, int16_t(1));
        QCOMPARE(fx.book->Contacts[1].Field(F::Identity), bob);
        frmContactDetails& card = App().ContactDetails();
        QCOMPARE(card.BoxText(0), QStringLiteral("Bob"));
        QCOMPARE(card.BoxText(3), QStringLiteral("bob@home"));
        QCOMPARE(App().ChatContactList().lstNames->count(), 2);
        QCOMPARE(App().ChatContactList().lstNames->currentRow(), 0);
    }

    void anEditOnTheCardIsMergedWithTheOtherMachinesBook()
    {
        frmContactDetails& card = App().ContactDetails();
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        card.txtNotes->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(card.txtNotes, "typed here");
        // The other machine deleted Bob and added Dee meanwhile.
        OtherMachine([](ContactStore& other) {
            other.DeleteContact(2);
            other.AddContact();
            other.Contacts[3].SetField(F::ChatName, QStringLiteral("Dee"));
        });
        QTRY_VERIFY_WITH_TIMEOUT(Find(*fx.book, "Dee") != 0, 1000);
        // Bob comes back with what was typed, and the merged book is saved.
        QVERIFY(Find(*fx.book, "Bob") != 0);
        QCOMPARE(fx.book->Contacts[Find(*fx.book, "Bob")].Field(F::Notes),
                 QStringLiteral("typed here"));
        QVERIFY(!fx.book->ContactTableUnsaved());
        const QString file = fx.SavedFile();
        QVERIFY(file.contains("typed here") && file.contains("Dee") && file.contains("Ann"));
        QCOMPARE(card.BoxText(0), QStringLiteral("Bob"));
        QCOMPARE(card.txtNotes->toPlainText(), QStringLiteral("typed here"));
    }

    // The phrase file in the same folder: a list another program put in
    // place is shown with the selected phrase still selected, and a
    // conflict copy's phrases are added and the copy moved into backups/.
    void thePhraseWindowFollowsItsFileReplacedFromOutside()
    {
        const QString path = App().AppSettings().PhraseListFile;
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(fx.book->ContactFilePath).absolutePath());
        App().ShowPhrases();
        frmPhrases& window = App().Phrases();
        PhraseList& list = App().PhraseModel();
        list.Add("brb");
        list.Add("lol");
        window.lstPhrases->setCurrentRow(2);
        QCOMPARE(window.txtPhrase->text(), QStringLiteral("brb"));

        const auto arrive = [&](const QString& name, const QByteArray& bytes) {
            fx.folder->Write(".incoming", bytes);
            QVERIFY(::rename(qPrintable(fx.folder->File(".incoming")),
                             qPrintable(fx.folder->File(name))) == 0);
        };
        arrive("phrases.txt", list.At(1).toUtf8() + "\r\ngtg\r\nlol\r\nbrb\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(window.lstPhrases->item(1)->text(), QStringLiteral("gtg"), 1000);
        QCOMPARE(window.lstPhrases->count(), 4);
        QCOMPARE(window.lstPhrases->currentRow(), 3);  // brb, where it is now
        QCOMPARE(window.txtPhrase->text(), QStringLiteral("brb"));
        QVERIFY(!list.Unsaved());

        const QString copy = "phrases.sync-conflict-20261210-013012-ABCDEF7.txt";
        arrive(copy, "thx\r\nbrb\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(list.Count(), 5, 1000);
        QCOMPARE(list.At(4), QStringLiteral("thx"));
        QCOMPARE(window.lstPhrases->count(), 5);
        QVERIFY(fx.folder->Read("phrases.txt").endsWith("brb\r\nthx\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!fx.folder->Exists(copy), 1000);
        QVERIFY(QFileInfo::exists(QDir(fx.folder->File("backups")).filePath(copy)));
    }
};

QTEST_MAIN(TestLiveReload)
#include "test_livereload.moc"
