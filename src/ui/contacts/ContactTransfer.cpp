#include "ui/contacts/ContactTransfer.h"

#include "ui/desktop/Desktop.h"

#include <QListWidget>

void FillContactList(QListWidget& list)
{
    Desktop& d = desktop();
    ContactStore.FillingContactList = true;
    d.DoEvents();
    // Hiding the list takes the focus from it; it gets the focus back after.
    const bool hadFocus = list.window()->focusWidget() == &list;
    list.hide();
    list.clear();
    QStringList lines;
    lines.reserve(ContactStore.ContactCount);
    for (int i = 1; i <= ContactStore.ContactCount; ++i)
        lines.append(ContactListLine(i));
    list.addItems(lines);
    list.show();
    if (hadFocus)
        list.setFocus(Qt::OtherFocusReason);
    if (ContactStore.CurrentContact > 0)
        list.setCurrentRow(ContactStore.CurrentContact - 1);
    d.DoEvents();
    // A card edit not yet in the table stays marked: only the card's own
    // save (or the change to another contact) takes it into the table.
    ContactStore.FillingContactList = false;
}
