#include "ui/contacts/ContactTransfer.h"

#include "core/contacts/ContactStore.h"

#include <QListWidget>
#include <QSignalBlocker>

void FillContactList(QListWidget& list, const ContactStore& book)
{
    const QSignalBlocker quiet(list);
    // Hiding the list takes the focus from it; it gets the focus back after.
    const bool hadFocus = list.window()->focusWidget() == &list;
    list.hide();
    list.clear();
    QStringList lines;
    lines.reserve(book.ContactCount);
    for (int i = 1; i <= book.ContactCount; ++i)
        lines.append(book.ContactListLine(i));
    list.addItems(lines);
    list.show();
    if (hadFocus)
        list.setFocus(Qt::OtherFocusReason);
    SelectCurrentContact(list, book);
}

void SelectCurrentContact(QListWidget& list, const ContactStore& book)
{
    const QSignalBlocker quiet(list);
    // A list with lines always has one selected, so the arrows and Enter
    // work at once: the current contact's, else the first.
    int row = book.CurrentContact - 1;
    if (row < 0 || row >= list.count())
        row = list.count() > 0 ? 0 : -1;
    if (row >= 0)
        list.setCurrentRow(row);
}
