#include "support/ContactsFixture.h"

#include "ui/app/frmRestore.h"
#include "ui/app/frmToolbar1.h"
#include "ui/contacts/frmChatContactList.h"
#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"

#include <QApplication>
#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString ContactLine(const QByteArray& chatName)
{
    QString line;
    for (int i = 0; i < ContactField::Count; ++i) {
        if (i == ContactField::ChatName)
            line += QString::fromLatin1(chatName);
        line += ContactDelimiter;
    }
    return line;
}

// A contact file as an older installation or a hand edit leaves it: blank
// and space-only lines between the contacts, a bare CR as a line end, and a
// name in Windows-1252. Three contacts.
QByteArray HandWrittenBook()
{
    return ContactLine("Alpha").toLatin1() + "\r\n\r\n   \r\n" + ContactLine("Bravo").toLatin1() +
           "\r" + ContactLine("Caf\xe9").toLatin1() + "\n";
}

void AddUnsavedContact(ContactStore& book, const QString& chatName)
{
    QVERIFY(book.AddContact());
    book.Contacts[book.ContactCount].SetField(ContactField::ChatName, chatName);
}

} // namespace

class TestRestore : public QObject {
    Q_OBJECT
    ContactsFixture fx;
    QByteArray m_original;

    QString File() const { return fx.book->ContactFilePath; }
    frmRestore& OpenFromToolbarMenu()
    {
        App().Toolbar().mnuRestore->trigger();
        return App().RestoreWindow();
    }
    QStringList Listed(const frmRestore& w)
    {
        QStringList rows;
        for (int i = 0; i < w.lstVersions->count(); ++i)
            rows << w.lstVersions->item(i)->text();
        return rows;
    }

private slots:
    void initTestCase()
    {
        KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
    }
    void cleanupTestCase() { SetPreviousVersionKeeper(nullptr); }

    // The hand-written book, then two saves: versions of 3 and 4 contacts
    // are kept and the file holds 5.
    void init()
    {
        fx.Start();
        m_original = HandWrittenBook();
        fx.folder->Write(u"chatcontacts.lis"_s, m_original);
        fx.book->LoadContacts();
        QCOMPARE(fx.book->ContactCount, int16_t(3));
        fx.fake->now = QDateTime(QDate(2026, 12, 9), QTime(1, 30, 12));
        AddUnsavedContact(*fx.book, u"Delta"_s);
        QVERIFY(fx.book->SaveContacts());
        fx.fake->now = QDateTime(QDate(2026, 12, 9), QTime(1, 45, 0));
        AddUnsavedContact(*fx.book, u"Echo"_s);
        QVERIFY(fx.book->SaveContacts());
        fx.fake->now = QDateTime(QDate(2026, 12, 9), QTime(2, 0, 0));
        fx.fake->Reset();
    }
    void cleanup() { fx.Stop(); }

    // An unsaved contact is saved before the oldest version goes back; the
    // file, the table and the open list then hold that version, and the
    // content it replaced is a kept version itself.
    void restoringTheOldestVersion()
    {
        App().ShowContactList();
        frmRestore& w = OpenFromToolbarMenu();
        QCOMPARE(Listed(w), QStringList({u"9 Dec 2026 01:45:00   4 contacts"_s,
                                         u"9 Dec 2026 01:30:12   3 contacts"_s}));
        QVERIFY(w.cmdRestore->isEnabled());

        AddUnsavedContact(*fx.book, u"Foxtrot"_s);
        w.lstVersions->setCurrentRow(1);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);

        QCOMPARE(fx.fake->Messages(),
                 QStringList(u"The contacts were restored from the version of 9 Dec 2026 "
                             "01:30:12 (3 contacts)."_s));
        QCOMPARE(fx.folder->Read(u"chatcontacts.lis"_s), m_original);
        QCOMPARE(fx.book->ContactCount, int16_t(3));
        QVERIFY(!fx.book->ContactTableUnsaved());
        QCOMPARE(fx.book->Contacts[3].Field(ContactField::ChatName), u"Caf\u00e9"_s);
        frmChatContactList& list = App().ChatContactList();
        QCOMPARE(list.lstNames->count(), 3);
        QVERIFY(list.lstNames->item(2)->text().contains(u"Caf\u00e9"_s));

        // Foxtrot was saved first (the 01:45 file replaced at 02:00), and the
        // six-contact file the restore replaced is the newest version.
        const QList<BackupVersion> kept = ListBackups(File());
        QCOMPARE(kept.size(), 4);
        const QString replaced = QString::fromUtf8(fx.folder->Read(
            QDir(fx.folder->Path()).relativeFilePath(kept[0].path)));
        QVERIFY(replaced.contains(u"Foxtrot"_s));
        QCOMPARE(Listed(w).first(), u"9 Dec 2026 02:00:00   6 contacts"_s);
        QCOMPARE(w.lstVersions->count(), 4);
    }

    // The oldest of eleven versions, two months old, is the one the save of
    // the unsaved contact thins out; it is restored all the same.
    void theVersionOutlivesTheSaveBeforeIt()
    {
        const QString folder = BackupFolderFor(File());
        for (int day = 1; day <= 9; ++day) {
            const QDateTime replacedAt(QDate(2026, 10, day), QTime(9, 0));
            const QString name = BackupFileName(File(), replacedAt);
            fx.folder->Write(QDir(fx.folder->Path()).relativeFilePath(folder + u'/' + name),
                             ContactLine("October" + QByteArray::number(day)).toUtf8() + "\r\n");
        }
        frmRestore& w = OpenFromToolbarMenu();
        QCOMPARE(w.lstVersions->count(), 11);
        AddUnsavedContact(*fx.book, u"Foxtrot"_s);
        w.lstVersions->setCurrentRow(10);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);

        QCOMPARE(fx.fake->Messages(),
                 QStringList(u"The contacts were restored from the version of 1 Oct 2026 "
                             "09:00:00 (1 contact)."_s));
        QCOMPARE(fx.book->ContactCount, int16_t(1));
        QCOMPARE(fx.book->Contacts[1].Field(ContactField::ChatName), u"October1"_s);
    }

    // When what the program holds cannot be saved first, nothing is
    // restored: the file, the versions and the unsaved table stay.
    void aFailedSaveFirstRefusesTheRestore()
    {
        frmRestore& w = OpenFromToolbarMenu();
        AddUnsavedContact(*fx.book, u"Foxtrot"_s);
        const QByteArray before = fx.folder->Read(u"chatcontacts.lis"_s);
        w.lstVersions->setCurrentRow(1);
        SimulateFullDisk(true);
        QTest::mouseClick(w.cmdRestore, Qt::LeftButton);
        SimulateFullDisk(false);

        const QStringList messages = fx.fake->Messages();
        QCOMPARE(messages.size(), 2);  // the failed save, then the refusal
        QVERIFY(messages[1].startsWith(u"The contacts were not restored"_s));
        QCOMPARE(fx.folder->Read(u"chatcontacts.lis"_s), before);
        QCOMPARE(ListBackups(File()).size(), 2);
        QCOMPARE(fx.book->ContactCount, int16_t(6));
        QVERIFY(fx.book->ContactTableUnsaved());
    }
};

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
