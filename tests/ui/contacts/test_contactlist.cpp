#include "support/ContactsFixture.h"
#include "support/ListTestSupport.h"

#include "core/platform/AtomicFile.h"
#include "ui/app/Reporter.h"
#include "ui/desktop/WindowControl.h"
#include "ui/app/frmToolbar1.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"

#include <QApplication>
#include <QTest>

class TestContactList : public QObject {
    Q_OBJECT
    ContactsFixture fx;

    frmChatContactList& OpenList()
    {
        App().ShowContactList();
        return App().ChatContactList();
    }
    QString CardChatName() { return App().ContactDetails().txtField[0]->toPlainText(); }
    // Selects a line as the keyboard or a click would, and lets the list's
    // click run.
    void Select(frmChatContactList& list, int row)
    {
        if (list.lstNames->currentRow() == row)
            list.lstNames_Click();  // a click on the line already selected
        list.lstNames->setCurrentRow(row);
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        fx.Start();
        fx.Seed({{"Blue", "Fred"}, {"Green", ""}, {"Red", "Rita"}, {"Amber", "note: FISH"}});
    }
    void cleanup() { fx.Stop(); }

    void layoutAndLinesOnLoad()
    {
        fx.book->CurrentContact = 2;
        frmChatContactList& list = OpenList();
        QCOMPARE(list.windowTitle(), QStringLiteral("Chat Contacts"));
        QCOMPARE(list.size(), QSize(163, 241));
        QCOMPARE(list.cmdToolbar[1]->geometry(), QRect(54, 0, 55, 25));
        QCOMPARE(list.cmdToolbar[2]->text(), QStringLiteral("Delete"));
        QCOMPARE(list.Frame1->geometry(), QRect(6, 24, 151, 211));
        QCOMPARE(list.lstNames->geometry(), QRect(6, 12, 139, 191));
        QCOMPARE(list.lstNames->font().family(), QStringLiteral("Comic Sans MS"));
        QCOMPARE(list.lstNames->palette().color(QPalette::Base), QColor(192, 192, 192));
        QCOMPARE(list.lstNames->palette().color(QPalette::Text), QColor(0, 0, 128));
        QCOMPARE(list.lstNames->count(), 4);
        QCOMPARE(list.lstNames->item(0)->text(), QStringLiteral("1. Blue   ( Fred )"));
        QCOMPARE(list.lstNames->currentRow(), 1);
        QCoreApplication::processEvents();
        QVERIFY(!App().IsContactDetailsLoaded());  // the load's selection opens nothing
        QStringList order;
        QWidget* w = list.lstNames;
        do {
            if (w->focusPolicy() & Qt::TabFocus)
                order << w->objectName();
            w = w->nextInFocusChain();
        } while (w != list.lstNames);
        QCOMPARE(order, QStringList({"lstNames", "cmdToolbar0", "cmdToolbar1", "cmdToolbar2"}));
    }

    void selectingALineOpensThatContact()
    {
        frmChatContactList& list = OpenList();
        Select(list, 2);
        QCOMPARE(fx.book->CurrentContact, int16_t(3));
        QVERIFY(App().ContactDetails().isVisible());
        QCOMPARE(CardChatName(), QStringLiteral("Red"));
        QCOMPARE(App().ContactDetails().lblID->text(), QStringLiteral(" 3 of  4"));

        // Keyboard: one line down.
        list.lstNames->setFocus();
        QTest::keyClick(list.lstNames, Qt::Key_Down);
        QCoreApplication::processEvents();
        QCOMPARE(CardChatName(), QStringLiteral("Amber"));

        // A hidden card comes back on a click of the selected line.
        App().ContactDetails().hide();
        const QRect line = list.lstNames->visualItemRect(list.lstNames->item(3));
        QTest::mouseClick(list.lstNames->viewport(), Qt::LeftButton, {}, line.center());
        QCoreApplication::processEvents();
        QVERIFY(App().ContactDetails().isVisible());
    }

    void typingANameOpensItsContactAndNoKeyDeletes()
    {
        // Line numbers start with other digits than the chat name "2Late";
        // "Rita" has a real name only.
        fx.Seed({{"Blue", "Fred"}, {"Rob", "Ann"}, {"2Late", "Tom"}, {"", "Rita"}});
        frmChatContactList& list = OpenList();
        list.lstNames->setFocus();
        // "r" finds Rob; "ri", typed at once, goes on to Rita.
        QTest::keyClicks(list.lstNames, QStringLiteral("rI"));
        QCoreApplication::processEvents();
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QVERIFY(App().ContactDetails().isVisible());
        QCOMPARE(App().ContactDetails().txtField[1]->toPlainText(), QStringLiteral("Rita"));
        QCOMPARE(list.lstNames->item(3)->text(), QStringLiteral("4.    ( Rita )"));

        // After a pause a new search starts after the current line and wraps.
        QTest::qWait(QApplication::keyboardInputInterval() + 100);
        QTest::keyClick(list.lstNames, Qt::Key_2);
        QCoreApplication::processEvents();
        QCOMPARE(list.lstNames->currentRow(), 2);
        QCOMPARE(CardChatName(), QStringLiteral("2Late"));

        // Enter brings a hidden card back; Delete and Backspace do nothing;
        // Escape closes the list.
        App().ContactDetails().hide();
        QTest::keyClick(list.lstNames, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(App().ContactDetails().isVisible());
        QTest::keyClick(list.lstNames, Qt::Key_Delete);
        QTest::keyClick(list.lstNames, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        QCOMPARE(fx.book->ContactCount, int16_t(4));
        QCOMPARE(list.lstNames->count(), 4);
        QCOMPARE(fx.fake->Count("MessageBox"), 0);
        QTest::keyClick(list.lstNames, Qt::Key_Escape);
        QTRY_VERIFY(!list.isVisible());
        QVERIFY(!fx.Saved());
    }

    void anEditOnTheCardIsSavedBeforeAnotherLineOpens()
    {
        frmChatContactList& list = OpenList();
        Select(list, 0);
        frmContactDetails& card = App().ContactDetails();
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        card.txtField[1]->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(card.txtField[1], QStringLiteral("dy"));
        // The click on line 3 reaches the list before its window is active.
        Select(list, 2);
        QCOMPARE(fx.book->Contacts[1].Field(ContactField::RealName), QStringLiteral("Freddy"));
        QVERIFY(fx.SavedFile().contains(QStringLiteral("Freddy")));
        QCOMPARE(CardChatName(), QStringLiteral("Red"));
        QCOMPARE(list.lstNames->currentRow(), 2);

        // The window system then activates the list window.
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));

        // The other order: the list window becomes active (the card saves
        // and refills the list), then the line is selected.
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        card.txtField[1]->setFocus(Qt::MouseFocusReason);
        card.txtField[1]->moveCursor(QTextCursor::End);
        QTest::keyClicks(card.txtField[1], QStringLiteral("!"));
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        Select(list, 1);
        QCOMPARE(fx.book->Contacts[3].Field(ContactField::RealName), QStringLiteral("Rita!"));
        QCOMPARE(CardChatName(), QStringLiteral("Green"));
        QCOMPARE(list.lstNames->currentRow(), 1);
    }

    void focusingTheListWithoutASelectionOpensNothing()
    {
        frmChatContactList& list = OpenList();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list));
        list.cmdToolbar[0]->setFocus(Qt::TabFocusReason);
        list.lstNames->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(!App().IsContactDetailsLoaded());
        QCOMPARE(fx.book->CurrentContact, int16_t(0));
    }

    void aRefillNeverReopensTheCard()
    {
        frmChatContactList& list = OpenList();
        Select(list, 0);
        App().ContactDetails().hide();
        fx.book->CurrentContact = 3;
        FillContactList(*list.lstNames, *fx.book);
        QCoreApplication::processEvents();
        QVERIFY(!App().ContactDetails().isVisible());
        QCOMPARE(list.lstNames->currentRow(), 2);
        QCOMPARE(CardChatName(), QStringLiteral("Blue"));
    }

    void addTwiceGivesTwoEmptyContactsEachWithALine()
    {
        frmChatContactList& list = OpenList();
        list.cmdToolbar_Click(0);
        list.cmdToolbar_Click(0);
        QCOMPARE(fx.book->ContactCount, int16_t(6));
        QCOMPARE(list.lstNames->count(), 6);
        QCOMPARE(list.lstNames->item(4)->text(), QStringLiteral("5. "));
        QCOMPARE(list.lstNames->currentRow(), 5);
        QCOMPARE(App().ContactDetails().lblID->text(), QStringLiteral(" 6 of  6"));
        QVERIFY(CardChatName().isEmpty());
        QVERIFY(fx.book->ContactTableUnsaved());  // the new contact waits for the card's save
    }

    void findStartsAtTheSelectedContactAndDoesNotWrap()
    {
        frmChatContactList& list = OpenList();
        list.move(120, 90);
        Select(list, 0);
        fx.fake->Reset();
        fx.fake->inputAnswers = QStringList({"fish", "fish", "blue"});
        list.cmdToolbar_Click(1);
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QCOMPARE(list.lstNames->currentRow(), 3);
        QCOMPARE(CardChatName(), QStringLiteral("Amber"));
        const auto input = fx.fake->calls.at(0);
        QCOMPARE(input.name, QStringLiteral("InputBox"));
        QCOMPARE(input.args, QStringList({"Enter any text to search for", "Finding Chatroom Contact",
                                          "", QString::number(WindowLeft(list)),
                                          QString::number(WindowTop(list))}));

        list.cmdToolbar_Click(1);  // the same text finds the same contact
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QCOMPARE(fx.fake->Count("Beep"), 0);

        list.cmdToolbar_Click(1);  // "blue" lies above: two beeps, nothing changes
        QCOMPARE(fx.fake->Count("Beep"), 2);
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QCOMPARE(list.lstNames->currentRow(), 3);
        QCOMPARE(CardChatName(), QStringLiteral("Amber"));
    }

    void findWithEmptyTextReopensTheSelectedContact()
    {
        frmChatContactList& list = OpenList();
        Select(list, 1);
        App().ContactDetails().txtField[3]->setPlainText(QStringLiteral("scribble"));
        list.cmdToolbar_Click(1);  // cancelled: empty text
        QCOMPARE(fx.book->CurrentContact, int16_t(2));
        QCOMPARE(CardChatName(), QStringLiteral("Green"));
        QCOMPARE(App().ContactDetails().txtField[3]->toPlainText(), QString());
        QCOMPARE(fx.fake->Count("Beep"), 0);
    }

    // With no contact current the list opens with its first line selected,
    // so Enter opens it at once; Find searches from the first contact, and
    // Delete, with no contact chosen yet, removes none.
    void aListOpenedWithNoCurrentContactSelectsItsFirstLine()
    {
        frmChatContactList& list = OpenList();
        QCOMPARE(list.lstNames->selectedItems().size(), 1);
        QCOMPARE(list.lstNames->currentRow(), 0);
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.book->ContactCount, int16_t(4));
        fx.fake->inputAnswers = QStringList({"FRED"});
        list.cmdToolbar_Click(1);
        QCOMPARE(fx.book->CurrentContact, int16_t(1));
        QVERIFY(App().ContactDetails().isVisible());  // created by the find, thereby shown
    }

    // F3 goes on from the contact after the selected one, so each press
    // finds the next match; past the last it beeps and changes nothing.
    void findNextReachesEachFurtherMatch()
    {
        fx.Seed({{"Blue", "fish"}, {"Green", ""}, {"Red", "fish"}, {"Amber", "FISH"}});
        frmChatContactList& list = OpenList();
        fx.fake->inputAnswers = QStringList({"fish"});
        list.cmdToolbar_Click(1);
        QCOMPARE(fx.book->CurrentContact, int16_t(1));
        list.findChild<QAction*>(QStringLiteral("mnuFindNext"))->trigger();
        QCOMPARE(fx.book->CurrentContact, int16_t(3));
        QCOMPARE(CardChatName(), QStringLiteral("Red"));
        list.findChild<QAction*>(QStringLiteral("mnuFindNext"))->trigger();
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        fx.fake->Reset();
        list.findChild<QAction*>(QStringLiteral("mnuFindNext"))->trigger();
        QCOMPARE(fx.book->CurrentContact, int16_t(4));
        QCOMPARE(list.lstNames->currentRow(), 3);
        QCOMPARE(fx.fake->Count("Beep"), 2);
        QCOMPARE(fx.fake->Count("InputBox"), 0);  // asked once, by Find
    }

    void deleteWithoutSelectionOnlyComplains()
    {
        frmChatContactList& list = OpenList();
        list.lstNames->setCurrentRow(-1);  // a Ctrl+click takes the selection away
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.fake->Messages(),
                 QStringList({"BUG? - you shouldnt be able to delete a contact if none selected"}));
        QCOMPARE(fx.book->ContactCount, int16_t(4));
        QVERIFY(!fx.Saved());
    }

    void deleteRemovesTheCurrentContactAndShowsTheNext()
    {
        frmChatContactList& list = OpenList();
        Select(list, 1);
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.book->ContactCount, int16_t(3));
        QCOMPARE(fx.book->CurrentContact, int16_t(2));
        QCOMPARE(CardChatName(), QStringLiteral("Red"));
        QCOMPARE(list.lstNames->currentRow(), 1);
        QCOMPARE(list.lstNames->item(1)->text(), QStringLiteral("2. Red   ( Rita )"));
        QVERIFY(!fx.SavedFile().contains(QStringLiteral("Green")));

        // The last one: the new last contact becomes current; a hidden card
        // is refilled but stays hidden.
        Select(list, 2);
        App().ContactDetails().hide();
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.book->CurrentContact, int16_t(2));
        QCOMPARE(CardChatName(), QStringLiteral("Red"));
        QVERIFY(!App().ContactDetails().isVisible());
    }

    void deletingTheOnlyContactEmptiesTheListAndHidesTheCard()
    {
        fx.Seed({{"Solo", ""}});
        frmChatContactList& list = OpenList();
        Select(list, 0);
        QVERIFY(App().ContactDetails().isVisible());
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.book->ContactCount, int16_t(0));
        QCOMPARE(list.lstNames->count(), 0);
        QVERIFY(!App().ContactDetails().isVisible());
        QCOMPARE(fx.SavedFile(), QString());
        // Brought up again, the card shows no contact and takes no typing
        // that would go nowhere.
        frmContactDetails& card = App().ContactDetails();
        card.show();
        QVERIFY(card.txtField[0]->toPlainText().isEmpty());
        QVERIFY(card.txtField[0]->isReadOnly());
    }

    void aFailedDeleteStandsAndTheCardShowsTheNextContact()
    {
        frmChatContactList& list = OpenList();
        Select(list, 0);
        const QString path = fx.book->ContactFilePath;
        fx.book->ContactFilePath = fx.folder->File(QStringLiteral("no/such/dir/file.lis"));
        fx.fake->Reset();
        list.cmdToolbar_Click(2);
        QCOMPARE(fx.fake->Count("MessageBox"), 1);
        // The table, the list and the card agree: the contact is gone.
        QCOMPARE(fx.book->ContactCount, int16_t(3));
        QCOMPARE(list.lstNames->count(), 3);
        QVERIFY(App().ContactDetails().isVisible());
        QCOMPARE(CardChatName(), fx.book->Contacts[1].Field(ContactField::ChatName));
        QVERIFY(CardChatName() != QStringLiteral("Blue"));
        // OK once the file can be written saves the deletion, and no card
        // lands on another contact.
        fx.book->ContactFilePath = path;
        App().ContactDetails().cmdOK_Click();
        QVERIFY(!fx.book->ContactTableUnsaved());
        QVERIFY(!fx.SavedFile().contains(QStringLiteral("Blue")));
        QCOMPARE(fx.SavedFile().count(QStringLiteral("\r\n")), 3);
    }

    void toolbarButtonsOpenTheCardAndTheListUnderTheToolbar()
    {
        frmToolbar1& t = App().Toolbar();
        t.move(400, 0);
        t.show();
        t.cmdButton_Click(0);
        frmContactDetails& card = App().ContactDetails();
        QVERIFY(card.isVisible());
        QCOMPARE(fx.book->ContactCount, int16_t(5));
        QCOMPARE(card.lblID->text(), QStringLiteral(" 5 of  5"));
        t.cmdButton_Click(1);
        frmChatContactList& list = App().ChatContactList();
        QVERIFY(list.isVisible());
        const double seam = WindowLeft(t) + 360;
        QCOMPARE(WindowLeft(list), seam);
        QCOMPARE(WindowLeft(card) + WindowWidth(card), seam);
        QCOMPARE(WindowTop(list), WindowTop(t) + WindowHeight(t));
        QCOMPARE(WindowTop(card), WindowTop(t) + WindowHeight(t));
    }

    // A list and a card made for one book follow its signals alone: after a
    // load, an add, a card's edit, a delete whose save fails and a reload
    // they show the table as it is, no edit lands on another contact, and
    // the failed save is told once.
    void aListAndACardFollowTheirBook()
    {
        ContactStore book;
        ReportProblems(book);
        book.ContactFilePath = fx.folder->File(QStringLiteral("own.lis"));
        frmChatContactList list(book);
        frmContactDetails card(book);

        book.LoadContacts();  // no file yet: the sample contact
        QCOMPARE(ItemsOf(*list.lstNames), QStringList{"1. Programmer   ( Sam )"});

        QVERIFY(book.AddContact());
        QCOMPARE(list.lstNames->count(), 2);
        QCOMPARE(list.lstNames->currentRow(), 1);
        ShowContactOnCard(card);
        card.txtField[0]->setPlainText(QStringLiteral("Zed"));
        card.SetContactsChanged(true);
        QVERIFY(ReadContactFromCard(card));
        QCOMPARE(list.lstNames->item(1)->text(), QStringLiteral("2. Zed"));
        QVERIFY(book.SaveContacts());

        // The card shows the sample; its delete cannot be saved.
        book.SetCurrentContact(1);
        ShowContactOnCard(card);
        QCOMPARE(list.lstNames->currentRow(), 0);
        fx.fake->Reset();
        SimulateFullDisk(true);
        QVERIFY(book.DeleteContact(1));
        SimulateFullDisk(false);
        QCOMPARE(fx.fake->Messages().size(), 1);
        QVERIFY(fx.fake->Messages().first().startsWith(QStringLiteral("Could not save the contacts")));
        QCOMPARE(LogMessages(*fx.folder).filter(QStringLiteral("Could not save the contacts")).size(), 1);
        QCOMPARE(ItemsOf(*list.lstNames), QStringList{"1. Zed"});
        QCOMPARE(list.lstNames->currentRow(), 0);
        QCOMPARE(card.ShownContact(), book.Contacts[1].Serial());
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("Zed"));

        // An edit still on the card when the file is read again belongs to
        // a table that is gone: it lands on no contact of the new one.
        card.txtField[0]->setPlainText(QStringLiteral("Crossed"));
        card.SetContactsChanged(true);
        book.LoadContacts();  // the file still holds both
        QCOMPARE(ItemsOf(*list.lstNames), QStringList({"1. Programmer   ( Sam )", "2. Zed"}));
        QCOMPARE(list.lstNames->currentRow(), 0);
        QCOMPARE(card.ShownContact(), book.Contacts[1].Serial());
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("Programmer"));
        QVERIFY(!card.ContactsChanged());
        QVERIFY(!book.ContactTableUnsaved());
        QCOMPARE(fx.fake->Messages().size(), 1);
    }
};

QTEST_MAIN(TestContactList)
#include "test_contactlist.moc"
