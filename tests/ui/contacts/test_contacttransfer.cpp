#include "support/ContactsFixture.h"

#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"

#include <QListWidget>
#include <QTest>

class TestContactTransfer : public QObject {
    Q_OBJECT
    ContactsFixture fx;

    QStringList Lines(const QListWidget& list)
    {
        QStringList out;
        for (int i = 0; i < list.count(); ++i)
            out << list.item(i)->text();
        return out;
    }

private slots:
    void init() { fx.Start(); }
    void cleanup() { fx.Stop(); }

    void listLinesJoinNumberChatNameAndRealName()
    {
        fx.Seed({{"Ann", ""}, {"", "Bob Smith"}, {"Blue", "Fred"}, {"", ""}});
        QListWidget list;
        FillContactList(list, *fx.book);
        QCOMPARE(Lines(list), QStringList({"1. Ann", "2.    ( Bob Smith )", "3. Blue   ( Fred )",
                                           "4. "}));
    }

    void fillSelectsTheCurrentContactsLineOrTheFirst()
    {
        fx.Seed({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}, {"e", ""}});
        QListWidget list;
        fx.book->CurrentContact = 4;
        frmContactDetails& card = App().ContactDetails();
        card.SetContactsChanged(true);
        FillContactList(list, *fx.book);
        QCOMPARE(list.currentRow(), 3);
        QVERIFY(list.item(3)->isSelected());
        // An edit still on the card is not forgotten by a refill.
        QVERIFY(card.ContactsChanged());

        // No contact current: the first line, so the keys work at once.
        fx.book->CurrentContact = 0;
        FillContactList(list, *fx.book);
        QCOMPARE(list.count(), 5);
        QCOMPARE(list.selectedItems(), QList<QListWidgetItem*>{list.item(0)});

        fx.Seed({});
        FillContactList(list, *fx.book);
        QCOMPARE(list.count(), 0);
        QVERIFY(list.selectedItems().isEmpty());
    }

    void aRefillKeepsTheFocusOnTheList()
    {
        fx.Seed({{"a", ""}, {"b", ""}});
        QWidget window;
        auto* list = new QListWidget(&window);
        auto* other = new QListWidget(&window);
        other->move(0, 120);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        list->setFocus();
        FillContactList(*list, *fx.book);
        QCOMPARE(window.focusWidget(), list);
        other->setFocus();
        FillContactList(*list, *fx.book);
        QCOMPARE(window.focusWidget(), other);
    }

    // The list window takes a selection change for the user's click: a
    // refill's own selection must not reach it.
    void aRefillsSelectionIsNeverTakenForAClick()
    {
        fx.Seed({{"a", ""}, {"b", ""}});
        fx.book->CurrentContact = 2;
        QListWidget list;
        int heard = 0;
        connect(&list, &QListWidget::currentRowChanged, [&] { ++heard; });
        connect(&list, &QListWidget::itemSelectionChanged, [&] { ++heard; });
        FillContactList(list, *fx.book);
        fx.book->CurrentContact = 1;
        SelectCurrentContact(list, *fx.book);
        QCOMPARE(list.currentRow(), 0);
        QCOMPARE(heard, 0);
    }

    void cardRoundTripOfTheTwelveFieldsLeavesOtherFieldsAlone()
    {
        fx.Seed({{"x", ""}, {"y", ""}});
        ContactRecord& r = fx.book->Contacts[2];
        for (int f = 0; f < ContactField::Count; ++f)
            r.SetField(f, QStringLiteral("f%1").arg(f));
        fx.book->CurrentContact = 2;
        frmContactDetails& card = App().ContactDetails();
        ShowContactOnCard(card);
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("f24"));
        QCOMPARE(card.txtField[5]->toPlainText(), QStringLiteral("f79"));
        QCOMPARE(card.txtNotes->toPlainText(), QStringLiteral("f18"));
        QCOMPARE(card.lblID->text(), QStringLiteral(" 2 of  2"));

        const int order[12] = {24, 26, 55, 40, 41, 79, 25, 42, 60, 59, 61, 18};
        for (int i = 0; i < 12; ++i)
            card.Box(i)->setPlainText(QStringLiteral("new%1").arg(i));
        ReadContactFromCard(card);
        for (int i = 0; i < 12; ++i)
            QCOMPARE(r.Field(order[i]), QStringLiteral("new%1").arg(i));
        // The change time says when the card was written.
        for (int f = 0; f < ContactField::Count; ++f) {
            if (std::find(std::begin(order), std::end(order), f) == std::end(order) &&
                f != ContactField::ChangedAt)
                QCOMPARE(r.Field(f), QStringLiteral("f%1").arg(f));
        }
        QCOMPARE(fx.book->Contacts[1].Field(ContactField::ChatName), QStringLiteral("x"));
    }

    void readingBackRemovesControlCharactersOnly()
    {
        fx.Seed({{"x", ""}});
        fx.book->CurrentContact = 1;
        frmContactDetails& card = App().ContactDetails();
        ShowContactOnCard(card);
        // A no-break space, common in chat names, is kept as it is.
        card.txtField[0]->setPlainText(QStringLiteral("Blue\u00a0Moon"));
        card.txtNotes->setPlainText(QStringLiteral("line one\nline two\ttabbed"));
        card.txtField[3]->setPlainText(QStringLiteral("a") + QChar(31) + QStringLiteral("b\u00e9\u20ac"));
        ReadContactFromCard(card);
        const ContactRecord& r = fx.book->Contacts[1];
        QCOMPARE(r.Field(ContactField::Notes), QStringLiteral("line oneline twotabbed"));
        QCOMPARE(r.Field(ContactField::ChatName), QStringLiteral("Blue\u00a0Moon"));
        QCOMPARE(r.Field(ContactField::Email), QStringLiteral("ab\u00e9\u20ac"));
        QCOMPARE(ContactToLine(r, ContactDelimiter).count(ContactDelimiter), ContactField::Count);

        QCOMPARE(StripControlChars(QStringLiteral("\r\n\t") + QChar(0) + QChar(31) + QStringLiteral(" ~")),
                 QStringLiteral(" ~"));
    }

    void captionCarriesALeadingBlankOnEachNumber()
    {
        fx.Seed({{"a", ""}, {"b", ""}, {"c", ""}, {"d", ""}, {"e", ""},
                 {"f", ""}, {"g", ""}, {"h", ""}, {"i", ""}, {"j", ""}});
        fx.book->CurrentContact = 3;
        frmContactDetails& card = App().ContactDetails();
        QCOMPARE(card.lblID->text(), QStringLiteral("1 of 1"));
        card.SetContactsChanged(true);
        ShowContactOnCard(card);
        QCOMPARE(card.lblID->text(), QStringLiteral(" 3 of  10"));
        QVERIFY(!card.ContactsChanged());
    }
};

QTEST_MAIN(TestContactTransfer)
#include "test_contacttransfer.moc"
