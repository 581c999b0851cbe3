#include "ui/contacts/frmChatContactList.h"

#include "ui/desktop/WindowControl.h"
#include "ui/app/Windows.h"
#include "core/contacts/ContactStore.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/widgets/TypeAheadList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/desktop/Desktop.h"
#include "core/platform/Platform.h"
#include "ui/desktop/Twips.h"

#include <QGuiApplication>
#include <QKeyEvent>

namespace {
const QColor kDarkBlue(0, 0, 128);
const QColor kLightGrey(192, 192, 192);

void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}

// The card, shown before it is filled (creating it shows it too).
frmContactDetails& ShownCard()
{
    frmContactDetails& card = ContactDetails();
    card.show();
    return card;
}
} // namespace

frmChatContactList::frmChatContactList()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Chat Contacts"));
    setFixedSize(TwipsToPixels(2445), TwipsToPixels(3615));
    setAutoFillBackground(true);
    SetColour(this, QPalette::Window, kDarkBlue);

    const char* captions[3] = {"Add", "Find", "Delete"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setObjectName(QStringLiteral("cmdToolbar%1").arg(i));
        b->setGeometry(TwipsRect(810 * i, 0, 825, 375));
        connect(b, &QPushButton::clicked, this, [this, i] { cmdToolbar_Click(i); });
        cmdToolbar[i] = b;
    }

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setGeometry(TwipsRect(90, 360, 2265, 3165));
    Frame1->setAutoFillBackground(true);
    SetColour(Frame1, QPalette::Window, kDarkBlue);

    auto* names = new TypeAheadList(Frame1);
    // Typing finds a contact by its chat name, or by its real name when it
    // has no chat name; never by the number its line starts with.
    names->matchText = [](int row) {
        const int position = row + 1;
        if (position < 1 || position > ContactStore.ContactCount ||
            position >= static_cast<int>(ContactStore.Contacts.size()))
            return QString();
        const ContactRecord& r = ContactStore.Contacts[position];
        const QString& chat = r.Field(ContactField::ChatName);
        return chat.isEmpty() ? r.Field(ContactField::RealName) : chat;
    };
    lstNames = names;
    lstNames->setObjectName(QStringLiteral("lstNames"));
    lstNames->setGeometry(TwipsRect(90, 180, 2085, 2865));
    lstNames->setSelectionMode(QAbstractItemView::SingleSelection);
    lstNames->setSortingEnabled(false);
    // Every line has the same height: the list then never measures each of
    // thousands of lines when it is first shown.
    lstNames->setUniformItemSizes(true);
    QFont font(QStringLiteral("Comic Sans MS"));
    font.setPointSizeF(9);
    lstNames->setFont(font);
    SetColour(lstNames, QPalette::Base, kLightGrey);
    SetColour(lstNames, QPalette::Text, kDarkBlue);
    // A press on a line, and any change of the selection by the keyboard, is
    // the list's click; selection changes made by a refill are not. The line
    // is opened once the list's own event is over, since opening a contact
    // may refill this very list. A press always counts, even when it arrives
    // while a refill lets events run (the card saving because this click
    // took the focus from it).
    // (The selection, not the current row: a list that gets the focus
    // without a current line makes its first line current, unselected.)
    // A line found by typing its name is a keyboard selection like any other.
    connect(lstNames, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = lstNames->selectedItems();
        if (!ContactStore.FillingContactList && !selected.isEmpty())
            QueueOpenLine(lstNames->row(selected.first()));
    });
    connect(lstNames, &QListWidget::itemPressed, this, [this](QListWidgetItem* item) {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            QueueOpenLine(lstNames->row(item));
    });

    setTabOrder(lstNames, cmdToolbar[0]);
    setTabOrder(cmdToolbar[0], cmdToolbar[1]);
    setTabOrder(cmdToolbar[1], cmdToolbar[2]);
    lstNames->setFocus();
}

void frmChatContactList::Load() { FillContactList(*lstNames); }

void frmChatContactList::keyPressEvent(QKeyEvent* event)
{
    // The list and the buttons pass on the keys they do not use.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Escape:
            close();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Enter opens the selected line again, as a click on it does.
            if (focusWidget() == lstNames) {
                const QList<QListWidgetItem*> selected = lstNames->selectedItems();
                if (!selected.isEmpty())
                    QueueOpenLine(lstNames->row(selected.first()));
                return;
            }
            break;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void frmChatContactList::lstNames_Click()
{
    if (ContactStore.FillingContactList)
        return;
    OpenLine(lstNames->currentRow());
}

void frmChatContactList::QueueOpenLine(int row)
{
    m_pendingRow = row;
    if (m_openPending)
        return;
    m_openPending = true;
    QMetaObject::invokeMethod(this, &frmChatContactList::RunPendingOpen, Qt::QueuedConnection);
}

void frmChatContactList::RunPendingOpen()
{
    // The user's choice waits for a refill that is under way (for example the
    // card's save when it lost the focus to this click) to end.
    if (ContactStore.FillingContactList) {
        QMetaObject::invokeMethod(this, &frmChatContactList::RunPendingOpen,
                                  Qt::QueuedConnection);
        return;
    }
    m_openPending = false;
    OpenLine(m_pendingRow);
}

void frmChatContactList::OpenLine(int row)
{
    if (row < 0 || row >= lstNames->count())
        return;
    if (IsContactDetailsLoaded())
        ContactDetails().CatchUpDeactivation();
    // The card's save may have refilled this list; the line chosen stays.
    if (lstNames->currentRow() != row) {
        ContactStore.FillingContactList = true;
        lstNames->setCurrentRow(row);
        ContactStore.FillingContactList = false;
    }
    ContactStore.CurrentContact = static_cast<int16_t>(row + 1);
    ShowContactOnCard(ShownCard());
}

void frmChatContactList::cmdToolbar_Click(int index)
{
    if (IsContactDetailsLoaded())
        ContactDetails().CatchUpDeactivation();
    switch (index) {
    case 0:
        AddClicked();
        break;
    case 1:
        FindClicked();
        break;
    case 2:
        DeleteClicked();
        break;
    default:
        break;
    }
}

void frmChatContactList::AddClicked()
{
    if (!AddContact())
        return;
    ShowContactDetails();
    ShowContactOnCard(ContactDetails());
    FillContactList(*lstNames);
    ContactDetails().StartTyping();
}

void frmChatContactList::FindClicked()
{
    const QString text = desktop().InputBox(QStringLiteral("Enter any text to search for"),
                                             QStringLiteral("Finding Chatroom Contact"), QString(),
                                             WindowLeft(*this), WindowTop(*this));
    // The search starts at the selected contact itself, so the same text
    // finds the same contact again; there is no wrap-around.
    const int start = lstNames->currentRow() + 1;
    const int found = FindContact(start, ContactStore.ContactCount, text);
    if (found > 0) {
        ContactStore.CurrentContact = static_cast<int16_t>(found);
        ShowContactOnCard(ContactDetails());
        FillContactList(*lstNames);
    } else {
        platform().Beep();
    }
}

void frmChatContactList::DeleteClicked()
{
    if (lstNames->currentRow() == -1) {
        platform().MessageBox(
            QStringLiteral("BUG? - you shouldnt be able to delete a contact if none selected"));
        return;
    }
    if (ContactStore.CurrentContact <= 0)
        return;
    {
        const BusyPointer busy;
        // A failed save has been reported; the deletion stands in memory all
        // the same, so the list and the card show the table as it now is,
        // and the next save writes it.
        if (!DeleteContact(ContactStore.CurrentContact))
            return;
        FillContactList(*lstNames);
    }
    if (ContactStore.CurrentContact == 0) {
        // The card lets the deleted contact go: it shows none until the
        // next one is opened.
        if (IsContactDetailsLoaded()) {
            ShowContactOnCard(ContactDetails());
            ContactDetails().hide();
        }
    } else {
        ShowContactOnCard(ContactDetails());
    }
}
