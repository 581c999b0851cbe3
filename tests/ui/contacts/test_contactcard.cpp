#include "support/ContactsFixture.h"

#include "ui/app/frmToolbar1.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"

#include <QApplication>
#include <QTest>
#include <QTextCursor>

namespace {
const QColor kPaleYellow(255, 255, 192);
const QColor kOlive(192, 192, 0);

QColor Background(const QPlainTextEdit* box) { return box->palette().color(QPalette::Base); }
QColor TextColour(const QLabel* l) { return l->palette().color(QPalette::WindowText); }
} // namespace

class TestContactCard : public QObject {
    Q_OBJECT
    ContactsFixture fx;

    // The card showing contact `current`, active, with the focus in its first field.
    frmContactDetails& ActiveCard(int current = 1)
    {
        fx.book->CurrentContact = static_cast<int16_t>(current);
        frmContactDetails& card = App().ContactDetails();
        ShowContactOnCard(card);
        card.activateWindow();
        if (!QTest::qWaitForWindowActive(&card))
            qWarning("card not active");
        card.txtField[0]->setFocus(Qt::MouseFocusReason);
        return card;
    }
    QString Field(int contact, int field) { return fx.book->Contacts[contact].Field(field); }

private slots:
    void init()
    {
        fx.Start();
        fx.Seed({{"Blue", "Fred"}, {"Green", "Gina"}});
    }
    void cleanup() { fx.Stop(); }

    void layoutFollowsTheDesign()
    {
        frmContactDetails& card = App().ContactDetails();
        QCOMPARE(card.windowTitle(), QStringLiteral("Banterly - Address Book"));
        QCOMPARE(card.size(), QSize(318, 210));
        QCOMPARE(card.txtField[0]->geometry(), QRect(66, 18, 175, 19));
        QCOMPARE(card.txtField[0]->font().family(), QStringLiteral("Comic Sans MS"));
        QCOMPARE(card.txtField[0]->font().pointSizeF(), 9.75);
        QCOMPARE(card.txtField[4]->font().family(), QStringLiteral("Arial Narrow"));
        QCOMPARE(card.lbl[0]->geometry(), QRect(-6, 18, 67, 19));
        QCOMPARE(card.lbl[7]->text(), QStringLiteral("Hgt"));
        QCOMPARE(card.txtNotes->geometry(), QRect(66, 108, 175, 43));
        QCOMPARE(card.cmdOK->geometry(), QRect(135, 174, 49, 25));
        QCOMPARE(card.cmdOK->text(), QStringLiteral("Ok"));
        QVERIFY(card.lbl[3]->alignment() & Qt::AlignRight);
        QCOMPARE(TextColour(card.lbl[3]), QColor(255, 255, 0));
        QCOMPARE(card.txtNotes->toPlainText().left(20), QStringLiteral("Jot down other notes"));
        for (int i = 0; i < 11; ++i)
            QVERIFY(card.txtField[i]->toPlainText().isEmpty());
        QVERIFY(card.isVisible());  // creating the card shows it
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        QCOMPARE(QApplication::focusWidget(), card.txtField[0]);
        QCOMPARE(Background(card.txtField[0]), kPaleYellow);
        QVERIFY(card.lbl[0]->font().bold());
    }

    // A value too wide for its box can be read in the box's tooltip, and the
    // tooltip never shows the contact the card showed before.
    void aHiddenValueIsTheTooltipOfItsOwnContactOnly()
    {
        const QString jane = QStringLiteral("https://www.instagram.com/jane.doe.1987/<b>");
        fx.book->Contacts[1].SetField(ContactField::Website, jane);
        fx.book->Contacts[2].SetField(ContactField::Website, QStringLiteral("http://m.x/"));
        frmContactDetails& card = ActiveCard(1);
        QVERIFY(card.txtField[4]->toolTip().contains(jane.toHtmlEscaped()));
        fx.book->CurrentContact = 2;
        ShowContactOnCard(card);
        QVERIFY(card.txtField[4]->toolTip().isEmpty());
    }

    void statFieldsFollowTheSettingAndTheFocusOrderSkipsThem()
    {
        App().AppSettings().ShowStatFields = 0;
        frmContactDetails& card = ActiveCard();
        for (int i = 5; i <= 10; ++i)
            QVERIFY(!card.txtField[i]->isVisible() && !card.lbl[i]->isVisible());
        card.txtField[4]->setFocus(Qt::TabFocusReason);
        QTest::keyClick(card.txtField[4], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.cmdOK);
        QTest::keyClick(card.cmdOK, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.txtNotes);
        QTest::keyClick(card.txtNotes, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.txtField[0]);

        App().AppSettings().ShowStatFields = 1;
        App().ApplySettings();
        QVERIFY(card.txtField[5]->isVisible() && card.lbl[10]->isVisible());
        card.txtField[4]->setFocus(Qt::TabFocusReason);
        QTest::keyClick(card.txtField[4], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.txtField[5]);
    }

    void focusColoursTheBoxAndItsLabel()
    {
        frmContactDetails& card = ActiveCard();
        card.txtField[1]->setPlainText(QStringLiteral("Fred"));
        QTest::keyClick(card.txtField[0], Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.txtField[1]);
        QCOMPARE(Background(card.txtField[0]), kOlive);
        QCOMPARE(Background(card.txtField[1]), kPaleYellow);
        QCOMPARE(card.txtField[1]->textCursor().position(), 4);
        QVERIFY(!card.txtField[1]->textCursor().hasSelection());
        QCOMPARE(TextColour(card.lbl[1]), QColor(Qt::white));
        QVERIFY(card.lbl[1]->font().bold());
        for (int i : {0, 2, 5, 11}) {
            QCOMPARE(TextColour(card.lbl[i]), QColor(255, 255, 0));
            QVERIFY(!card.lbl[i]->font().bold());
        }
        QCOMPARE(TextColour(card.lblID), QColor(255, 255, 0));
        QCOMPARE(card.FieldTextOnFocus(), QStringLiteral("Fred"));

        QTest::mouseClick(card.txtNotes->viewport(), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), card.txtNotes);
        QCOMPARE(Background(card.txtNotes), kPaleYellow);
        QCOMPARE(Background(card.txtField[1]), kOlive);
        QVERIFY(card.lbl[11]->font().bold());
        QVERIFY(!card.lbl[1]->font().bold());
    }

    // While another window has the keyboard no box looks focused; back on
    // the card the focused box is drawn again, its caret where it was.
    void aBoxLooksFocusedOnlyWhileTheCardIsActive()
    {
        frmContactDetails& card = ActiveCard();  // "Blue" in the first box
        QTextCursor caret = card.txtField[0]->textCursor();
        caret.setPosition(2);
        card.txtField[0]->setTextCursor(caret);
        frmChatContactList& list = App().ChatContactList();
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QTRY_COMPARE(Background(card.txtField[0]), kOlive);
        QVERIFY(!card.lbl[0]->font().bold());

        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        QTRY_COMPARE(Background(card.txtField[0]), kPaleYellow);
        QVERIFY(card.lbl[0]->font().bold());
        QCOMPARE(Background(card.txtField[1]), kOlive);
        QCOMPARE(card.txtField[0]->textCursor().position(), 2);
    }

    void ctrlEnterMovesOnOnlyAtTheEndOfAField()
    {
        frmContactDetails& card = ActiveCard();
        card.txtField[0]->setPlainText(QStringLiteral("Blue"));
        card.txtField[0]->moveCursor(QTextCursor::End);
        fx.fake->Reset();
        QTest::keyClick(card.txtField[0], Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("Blue"));
        QCOMPARE(fx.fake->Count("PostTab"), 1);
        QVERIFY(card.isVisible());  // not taken for OK

        card.txtField[0]->moveCursor(QTextCursor::Start);
        QTest::keyClick(card.txtField[0], Qt::Key_Right);
        QTest::keyClick(card.txtField[0], Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("B\nlue"));
        QCOMPARE(fx.fake->Count("PostTab"), 1);

        // In the notes box Ctrl+Enter simply starts a new line.
        card.txtNotes->setFocus(Qt::TabFocusReason);
        card.txtNotes->setPlainText(QStringLiteral("x"));
        card.txtNotes->moveCursor(QTextCursor::End);
        QTest::keyClick(card.txtNotes, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(card.txtNotes->toPlainText(), QStringLiteral("x\n"));
        QCOMPARE(fx.fake->Count("PostTab"), 1);
    }

    void postedTabAfterWebsiteReachesOkWithStatFieldsHidden()
    {
        App().AppSettings().ShowStatFields = 0;
        frmContactDetails& card = ActiveCard();
        card.txtField[4]->setFocus(Qt::TabFocusReason);
        QTest::keyClick(card.txtField[4], Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(fx.fake->Count("PostTab"), 1);
        // What the posted Tab does once it arrives:
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), card.cmdOK);
    }

    // The list follows the book, so an OK that changes nothing leaves it
    // showing the table with the card's contact selected.
    void okWithoutAnEditSavesNothingAndHides()
    {
        QListWidget* list = App().ChatContactList().lstNames;
        frmContactDetails& card = ActiveCard(2);
        fx.book->SetCurrentContact(2);
        QTest::mouseClick(card.cmdOK, Qt::LeftButton);
        QVERIFY(!fx.Saved());
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(!card.isVisible());
    }

    void okAfterAMouseEditSaves()
    {
        frmContactDetails& card = ActiveCard(2);
        QTest::keyClicks(card.txtField[0], QStringLiteral("er"));
        QTest::mouseClick(card.cmdOK, Qt::LeftButton);
        QCOMPARE(Field(2, ContactField::ChatName), QStringLiteral("Greener"));
        QVERIFY(fx.SavedFile().contains(QStringLiteral("Greener")));
        QVERIFY(!card.ContactsChanged());
        QVERIFY(!card.isVisible());
    }

    void enterSavesTheEditOfTheFocusedBox()
    {
        frmContactDetails& card = ActiveCard(1);
        QTest::keyClicks(card.txtField[0], QStringLiteral("bird"));
        QTest::keyClick(card.txtField[0], Qt::Key_Return);
        QVERIFY(fx.SavedFile().contains(QStringLiteral("Bluebird")));
        QVERIFY(!card.isVisible());
        QVERIFY(!card.ContactsChanged());
    }

    void anEditIsMeasuredFromTheContactShownNotTheOneBefore()
    {
        frmContactDetails& card = ActiveCard(1);  // focus in the chat name: "Blue"
        fx.book->CurrentContact = 2;
        ShowContactOnCard(card);                  // "Green", the box keeps the focus
        // Renaming Green to the old contact's name is still an edit.
        card.txtField[0]->setPlainText(QStringLiteral("Blue"));
        card.txtField[1]->setFocus(Qt::MouseFocusReason);
        QVERIFY(card.ContactsChanged());

        // And a change of contact alone is not an edit.
        fx.book->CurrentContact = 1;
        ShowContactOnCard(card);
        card.txtField[0]->setFocus(Qt::MouseFocusReason);
        QVERIFY(!card.ContactsChanged());
    }

    void deactivationSavesOnlyForAnotherWindowOfTheProgram()
    {
        frmContactDetails& card = ActiveCard(1);
        card.txtField[1]->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(card.txtField[1], QStringLiteral("dy"));
        // Switching to another application: nothing is saved.
        card.OnFocusWindowChanged(nullptr);
        QVERIFY(!fx.Saved());

        frmChatContactList& list = App().ChatContactList();
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QTRY_VERIFY(fx.Saved());
        QCOMPARE(Field(1, ContactField::RealName), QStringLiteral("Freddy"));
        QVERIFY(fx.SavedFile().contains(QStringLiteral("Freddy")));
        QVERIFY(card.isVisible());
        QVERIFY(!card.ContactsChanged());
    }

    void aFailedSaveOnDeactivationIsShownOnce()
    {
        frmContactDetails& card = ActiveCard(1);
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("no/such/dir/file.lis"));
        QTest::keyClicks(card.txtField[0], QStringLiteral("Y"));
        frmChatContactList& list = App().ChatContactList();
        list.lstNames->clear();
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QTRY_COMPARE(fx.fake->Count("MessageBox"), 1);
        QTest::qWait(20);
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        QVERIFY(fx.book->ContactTableUnsaved());
        QCOMPARE(list.lstNames->count(), 0);  // not refilled
        QVERIFY(card.isVisible());
    }

    void aFailedSaveIsNotRetriedOnEveryWindowChange()
    {
        frmContactDetails& card = ActiveCard(1);
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("no/such/dir/file.lis"));
        QTest::keyClicks(card.txtField[0], QStringLiteral("Y"));
        card.Form_Deactivate();
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        // Moving between windows again tries nothing and shows nothing more.
        card.Form_Deactivate();
        card.Form_Deactivate();
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        QVERIFY(fx.book->ContactTableUnsaved());
        // New typing is worth one more attempt, and OK always tries.
        QTest::keyClicks(card.txtField[0], QStringLiteral("Z"));
        card.Form_Deactivate();
        QCOMPARE(fx.fake->Count("MessageBox"), 2);
        card.cmdOK_Click();
        QCOMPARE(fx.fake->Count("MessageBox"), 3);
        // Once the folder is there the kept edit is saved.
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("file.lis"));
        card.cmdOK_Click();
        QCOMPARE(fx.fake->Count("MessageBox"), 3);
        QVERIFY(!fx.book->ContactTableUnsaved());
        QVERIFY(fx.folder->Read(QStringLiteral("file.lis")).contains("BlueYZ"));
    }

    void deactivationWithoutAnEditSavesNothing()
    {
        ActiveCard(1);
        frmChatContactList& list = App().ChatContactList();
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        QTest::qWait(20);
        QVERIFY(!fx.Saved());
    }

    void closingHidesAndKeepsTheMarkForTheNextOk()
    {
        frmContactDetails& card = ActiveCard(1);
        card.txtField[2]->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(card.txtField[2], QStringLiteral("the pub"));
        card.txtField[3]->setFocus(Qt::MouseFocusReason);
        QVERIFY(card.ContactsChanged());
        card.close();
        QVERIFY(!card.isVisible());
        QVERIFY(App().IsContactDetailsLoaded());
        QVERIFY(!fx.Saved());
        QVERIFY(card.ContactsChanged());
        card.cmdOK_Click();
        QCOMPARE(Field(1, ContactField::MetAt), QStringLiteral("the pub"));
    }

    void aFailedSaveLeavesTheCardUpWithItsEdit()
    {
        frmContactDetails& card = ActiveCard(1);
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("no/such/dir/file.lis"));
        QTest::keyClicks(card.txtField[0], QStringLiteral("X"));
        QTest::mouseClick(card.cmdOK, Qt::LeftButton);
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        QVERIFY(card.isVisible());
        QVERIFY(fx.book->ContactTableUnsaved());
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("BlueX"));
        // The next try, once the file can be written, saves it.
        fx.book->ContactFilePath = App().AppSettings().ContactFilePath;
        card.cmdOK_Click();
        QVERIFY(fx.SavedFile().contains(QStringLiteral("BlueX")));
    }

    // Pasting more than a contact line can hold is cut with a message, so
    // the saved book still loads read-write.
    void textBeyondTheLineLimitIsCutBeforeItReachesTheBook()
    {
        frmContactDetails& card = ActiveCard(1);
        card.txtNotes->setFocus(Qt::MouseFocusReason);
        card.txtNotes->insertPlainText(QString(40000, QLatin1Char('n')));
        QTRY_COMPARE(fx.fake->Count("MessageBox"), 1);
        QTest::mouseClick(card.cmdOK, Qt::LeftButton);
        QVERIFY(fx.Saved() && !fx.book->ContactTableUnsaved());
        fx.book->LoadContacts();
        QVERIFY(!fx.book->ReadOnly);
        QVERIFY(Field(1, ContactField::Notes).size() > 30000);
    }

    void closingTheProgramAfterAFailedSaveStaysOpenOnce()
    {
        frmContactDetails& card = ActiveCard(1);
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("no/such/dir/file.lis"));
        QTest::keyClicks(card.txtField[0], QStringLiteral("berry"));
        // The save fails: the user is told and the program stays open.
        QVERIFY(!App().Toolbar().close());
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        QVERIFY(fx.book->ContactTableUnsaved());
        // Closing again ends it even though the save fails once more.
        QVERIFY(App().Toolbar().close());
        QCOMPARE(fx.fake->Count("MessageBox"), 2);
    }

    void closingTheProgramSavesAMarkedOrPendingEdit()
    {
        frmContactDetails& card = ActiveCard(1);
        QTest::keyClicks(card.txtField[0], QStringLiteral("berry"));
        App().Toolbar().close();
        QVERIFY(fx.SavedFile().contains(QStringLiteral("Blueberry")));
    }

    void closingTheProgramWithoutAnEditSavesNothing()
    {
        ActiveCard(1);
        App().Toolbar().close();
        QVERIFY(!fx.Saved());
    }

    void labelClicksStepNumbersAndCycleLists()
    {
        frmContactDetails& card = ActiveCard(1);
        auto* age = card.txtField[5];
        card.lbl_MouseDown(5, Qt::RightButton);
        QCOMPARE(age->toPlainText(), QStringLiteral(" 1"));
        card.lbl_MouseDown(5, Qt::LeftButton);
        QCOMPARE(age->toPlainText(), QStringLiteral(" 0"));
        card.lbl_MouseDown(5, Qt::MiddleButton);
        QCOMPARE(age->toPlainText(), QStringLiteral("-1"));
        age->setPlainText(QStringLiteral("25 years"));
        QTest::mouseClick(card.lbl[5], Qt::RightButton);
        QCOMPARE(age->toPlainText(), QStringLiteral(" 26"));

        QStringList sexes;
        for (int k = 0; k < 4; ++k) {
            card.lbl_MouseDown(6, k % 2 ? Qt::RightButton : Qt::LeftButton);
            sexes << card.txtField[6]->toPlainText();
        }
        QCOMPARE(sexes, QStringList({"M", "F", "?", ""}));

        card.txtField[9]->setPlainText(QStringLiteral("red"));
        card.lbl_MouseDown(9, Qt::LeftButton);
        QCOMPARE(card.txtField[9]->toPlainText(), QStringLiteral(""));
        card.txtField[10]->setPlainText(QStringLiteral("Blue"));
        card.lbl_MouseDown(10, Qt::RightButton);
        QCOMPARE(card.txtField[10]->toPlainText(), QStringLiteral("Blue"));
        card.txtField[10]->setPlainText(QStringLiteral("hazel"));
        card.lbl_MouseDown(10, Qt::RightButton);
        QCOMPARE(card.txtField[10]->toPlainText(), QStringLiteral("brown"));

        const QString chat = card.txtField[0]->toPlainText();
        card.lbl_MouseDown(0, Qt::LeftButton);
        card.lbl_MouseDown(11, Qt::RightButton);
        QCOMPARE(card.txtField[0]->toPlainText(), chat);
    }

    void toggleOptionsWithSixValuesWrapsToTheFirst()
    {
        frmContactDetails& card = App().ContactDetails();
        auto* box = card.txtField[0];
        box->setPlainText(QStringLiteral("f"));
        card.ToggleOptions(box, "a", "b", "c", "d", "e", "f");
        QCOMPARE(box->toPlainText(), QStringLiteral("a"));
        box->setPlainText(QString());
        card.ToggleOptions(box, "a", "b", "c", "d", "e", "f");
        QCOMPARE(box->toPlainText(), QStringLiteral("a"));
    }

    void aLabelClickThatChangesAFieldMarksTheContact()
    {
        frmContactDetails& card = ActiveCard(1);
        QVERIFY(!card.ContactsChanged());
        card.txtField[10]->setPlainText(QStringLiteral("Blue"));  // outside the list
        card.lbl_MouseDown(10, Qt::LeftButton);
        QVERIFY(!card.ContactsChanged());
        card.lbl_MouseDown(6, Qt::LeftButton);
        QVERIFY(card.ContactsChanged());
        card.close();
        card.cmdOK_Click();
        QCOMPARE(Field(1, ContactField::Sex), QStringLiteral("M"));
    }

    void numbersAreReadAndWrittenInTheStatFieldStyle()
    {
        QCOMPARE(ReadLeadingNumber(QStringLiteral("  25 years")), 25.0);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("1 2.5x")), 12.5);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("-.5")), -0.5);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("1e3")), 1000.0);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("6ft")), 6.0);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("3,5")), 3.0);
        QCOMPARE(ReadLeadingNumber(QStringLiteral("tall")), 0.0);
        QCOMPARE(ReadLeadingNumber(QString()), 0.0);

        QCOMPARE(FormatStatNumber(0.5), QStringLiteral(" .5"));
        QCOMPARE(FormatStatNumber(-0.5), QStringLiteral("-.5"));
        QCOMPARE(FormatStatNumber(0), QStringLiteral(" 0"));
        QCOMPARE(FormatStatNumber(-0.0), QStringLiteral(" 0"));
        QCOMPARE(FormatStatNumber(1234567), QStringLiteral(" 1234567"));
        QCOMPARE(FormatStatNumber(0.1 + 0.2), QStringLiteral(" .3"));
        QCOMPARE(FormatStatNumber(1.0 / 3), QStringLiteral(" .333333333333333"));

        // A number too large to step is left as it is.
        frmContactDetails& card = App().ContactDetails();
        card.txtField[7]->setPlainText(QStringLiteral("1e999"));
        card.ToggleChatField(7, 1);
        QCOMPARE(card.txtField[7]->toPlainText(), QStringLiteral("1e999"));
    }
};

QTEST_MAIN(TestContactCard)
#include "test_contactcard.moc"
