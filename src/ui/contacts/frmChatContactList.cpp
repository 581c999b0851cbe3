#include "ui/contacts/frmChatContactList.h"

#include "core/contacts/ContactStore.h"
#include "core/platform/Platform.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/desktop/Desktop.h"
#include "ui/desktop/Twips.h"
#include "ui/desktop/WindowControl.h"
#include "ui/widgets/TypeAheadList.h"

#include <QAction>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QSignalBlocker>

namespace {
const QColor kDarkBlue(0, 0, 128);
const QColor kLightGrey(192, 192, 192);

void SetColour(QWidget* w, QPalette::ColorRole role, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(role, c);
    w->setPalette(p);
}
} // namespace

frmChatContactList::frmChatContactList(ContactStore& book) : m_book(book)
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
    names->matchText = [this](int row) {
        const int position = row + 1;
        if (position < 1 || position > m_book.ContactCount ||
            position >= static_cast<int>(m_book.Contacts.size()))
            return QString();
        const ContactRecord& r = m_book.Contacts[position];
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
    // the list's click and opens the line at once; the program's own
    // selection changes (FillContactList, SelectCurrentContact) block the
    // list's signals and never count. A press changes the selection before
    // it reports itself, so the selection change it causes is left to the
    // press. (The selection, not the current row: a list that gets the focus
    // without a current line makes its first line current, unselected.) A
    // line found by typing its name is a keyboard selection like any other.
    connect(lstNames, &QListWidget::itemSelectionChanged, this, [this] {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            return;
        const QList<QListWidgetItem*> selected = lstNames->selectedItems();
        if (!selected.isEmpty())
            OpenLine(lstNames->row(selected.first()));
    });
    connect(lstNames, &QListWidget::itemPressed, this, [this](QListWidgetItem* item) {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            OpenLine(lstNames->row(item));
    });

    // The lines follow the book.
    connect(&m_book, &ContactStore::contactsReloaded, this, &frmChatContactList::Refill);
    connect(&m_book, &ContactStore::contactAdded, this, &frmChatContactList::Refill);
    connect(&m_book, &ContactStore::contactRemoved, this, &frmChatContactList::Refill);
    connect(&m_book, &ContactStore::contactChanged, this, &frmChatContactList::UpdateLine);
    connect(&m_book, &ContactStore::currentContactChanged, this,
            [this] { SelectCurrentContact(*lstNames, m_book); });

    // F3, and "Find Next" on the list's right-click menu, find the next
    // contact with the text of the last Find.
    auto* findNext = new QAction(QStringLiteral("Find Next"), this);
    findNext->setObjectName(QStringLiteral("mnuFindNext"));
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    connect(findNext, &QAction::triggered, this, [this] {
        emit aboutToChange();
        FindNextClicked();
    });
    addAction(findNext);
    lstNames->addAction(findNext);
    lstNames->setContextMenuPolicy(Qt::ActionsContextMenu);

    setTabOrder(lstNames, cmdToolbar[0]);
    setTabOrder(cmdToolbar[0], cmdToolbar[1]);
    setTabOrder(cmdToolbar[1], cmdToolbar[2]);
    lstNames->setFocus();
}

void frmChatContactList::Load() { Refill(); }

void frmChatContactList::Refill() { FillContactList(*lstNames, m_book); }

void frmChatContactList::UpdateLine(int position)
{
    if (QListWidgetItem* line = lstNames->item(position - 1))
        line->setText(m_book.ContactListLine(position));
}

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
                    OpenLine(lstNames->row(selected.first()));
                return;
            }
            break;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void frmChatContactList::lstNames_Click() { OpenLine(lstNames->currentRow()); }

void frmChatContactList::OpenLine(int row)
{
    if (row < 0 || row >= lstNames->count())
        return;
    emit aboutToChange();
    // The card's save may have changed this list's lines; the line chosen stays.
    if (lstNames->currentRow() != row) {
        const QSignalBlocker quiet(lstNames);
        lstNames->setCurrentRow(row);
    }
    m_book.SetCurrentContact(row + 1);
    emit contactOpened();
}

void frmChatContactList::cmdToolbar_Click(int index)
{
    emit aboutToChange();
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
    // The book's new line is in the list (and selected) already.
    if (m_book.AddContact())
        emit newContactAdded();
}

void frmChatContactList::FindClicked()
{
    const QString text = desktop().InputBox(QStringLiteral("Enter any text to search for"),
                                             QStringLiteral("Finding Chatroom Contact"), QString(),
                                             WindowLeft(*this), WindowTop(*this));
    m_findText = text;
    // The search starts at the selected contact itself, so the same text
    // finds the same contact again; there is no wrap-around.
    FindFrom(lstNames->currentRow() + 1, text);
}

void frmChatContactList::FindNextClicked()
{
    if (!m_findText) {
        FindClicked();
        return;
    }
    // From the contact after the selected one: each press finds the next
    // match, up to the last contact.
    FindFrom(lstNames->currentRow() + 2, *m_findText);
}

void frmChatContactList::FindFrom(int start, const QString& text)
{
    // A contact found is current, and its line selected.
    if (m_book.FindContact(start, m_book.ContactCount, text) > 0) {
        emit cardWanted();
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
    if (m_book.CurrentContact <= 0)
        return;
    // A failed save has been told; the deletion stands in memory all the
    // same, so the list and the card follow the table as it now is (the card
    // shows the contact now current, or hides when none is), and the next
    // save writes it.
    const BusyPointer busy;
    m_book.DeleteContact(m_book.CurrentContact);
}
