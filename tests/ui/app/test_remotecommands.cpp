#include "support/ContactsFixture.h"

#include "ui/app/RemoteCommands.h"
#include "ui/app/frmToolbar1.h"
#include "ui/contacts/frmContactDetails.h"

#include <QTest>

// A later start hands its request to the running copy while the user is
// typing on the card: no focus has left the box, so the card has not marked
// the edit yet. Faults caught: the import reloading the card over the typed
// text (the edit lost without a word), an empty new contact saved in place of
// the one being typed, or saved or exported while nothing is typed in it, an
// export that leaves out what the card shows.
class TestRemoteCommands : public QObject {
    Q_OBJECT
    ContactsFixture fx;

    // Contact `current` on the active card (0: a new contact from the
    // toolbar), `text` typed at the end of its chat name.
    frmContactDetails& TypeOnCard(int current, const QString& text)
    {
        if (current == 0) {
            App().Toolbar().cmdButton_Click(0);
        } else {
            fx.book->CurrentContact = static_cast<int16_t>(current);
            ShowContactOnCard(App().ContactDetails());
        }
        frmContactDetails& card = App().ContactDetails();
        card.activateWindow();
        if (!QTest::qWaitForWindowActive(&card))
            qWarning("card not active");
        card.txtField[0]->setFocus(Qt::MouseFocusReason);
        card.txtField[0]->moveCursor(QTextCursor::End);
        QTest::keyClicks(card.txtField[0], text);
        return card;
    }
    SingleInstance::Reply HandOver(const QString& command, const QString& file)
    {
        return RunRemoteCommand(App(), {command, {fx.folder->File(file)}});
    }

private slots:
    void init()
    {
        fx.Start();
        fx.Seed({{"Alpha", "Ann"}, {"Bravo", "Bob"}});
        fx.folder->Write(QStringLiteral("three.vcf"),
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Cedar\r\nNICKNAME:Charlie\r\n"
                         "END:VCARD\r\n");
    }
    void cleanup() { fx.Stop(); }

    void aHandedOverImportKeepsWhatIsBeingTyped_data()
    {
        QTest::addColumn<bool>("newContact");
        QTest::newRow("an edit of Alpha") << false;
        QTest::newRow("a new contact") << true;
    }
    void aHandedOverImportKeepsWhatIsBeingTyped()
    {
        QFETCH(bool, newContact);
        frmContactDetails& card = TypeOnCard(newContact ? 0 : 1, QStringLiteral("X"));
        const QString typed = newContact ? QStringLiteral("X") : QStringLiteral("AlphaX");

        const SingleInstance::Reply reply = HandOver(QStringLiteral("import-contacts"),
                                                     QStringLiteral("three.vcf"));
        QCOMPARE(reply.status, 0);
        QCOMPARE(card.txtField[0]->toPlainText(), typed);
        const int position = newContact ? 3 : 1;
        QCOMPARE(fx.book->Contacts[position].Field(ContactField::ChatName), typed);
        QVERIFY(!fx.book->ContactTableUnsaved());
        const QStringList lines = fx.SavedFile().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), newContact ? 4 : 3);
        QCOMPARE(lines[position - 1].section(ContactDelimiter, ContactField::ChatName,
                                             ContactField::ChatName),
                 typed);
        QVERIFY(lines.last().contains(QStringLiteral("Charlie")));
        // The caret is still in the box: nothing is marked twice or lost later.
        QVERIFY(!card.ContactsChanged());
    }

    // Nothing typed yet on a new contact: neither the import's save nor an
    // export holds an empty contact, and the card stays on a new contact,
    // now after the imported one.
    void aNewContactNotTypedYetIsNeitherSavedNorExported()
    {
        frmContactDetails& card = TypeOnCard(0, QString());
        QCOMPARE(HandOver(QStringLiteral("import-contacts"), QStringLiteral("three.vcf")).status, 0);
        const QStringList lines = fx.SavedFile().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.last().contains(QStringLiteral("Charlie")));
        QCOMPARE(fx.book->ContactCount, int16_t(4));
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QCOMPARE(fx.book->PositionOfContact(card.ShownContact()), 4);
        QVERIFY(fx.book->Contacts[4].Field(ContactField::ChatName).isEmpty());

        QCOMPARE(HandOver(QStringLiteral("export-contacts"), QStringLiteral("out.vcf")).status, 0);
        QCOMPARE(fx.folder->Read(QStringLiteral("out.vcf")).count("BEGIN:VCARD"), 3);
        QCOMPARE(fx.book->PositionOfContact(card.ShownContact()), 4);
    }

    void aHandedOverExportHoldsWhatTheCardShows()
    {
        TypeOnCard(2, QStringLiteral("Y"));
        QCOMPARE(HandOver(QStringLiteral("export-contacts"), QStringLiteral("out.vcf")).status, 0);
        QVERIFY(fx.folder->Read(QStringLiteral("out.vcf")).contains("BravoY"));
        // Written into Bravo, and saved when the card is left as any edit is.
        QCOMPARE(fx.book->Contacts[2].Field(ContactField::ChatName), QStringLiteral("BravoY"));
        QVERIFY(App().Toolbar().close());
        QVERIFY(fx.SavedFile().contains(QStringLiteral("BravoY")));
    }
};

QTEST_MAIN(TestRemoteCommands)
#include "test_remotecommands.moc"
