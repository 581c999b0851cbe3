#include "contacts/ContactTransfer.h"

#include "contacts/ContactStore.h"
#include "contacts/frmContactDetails.h"
#include "platform/Platform.h"

#include <QListWidget>

namespace {
// Card controls and the record fields behind them, in transfer order:
// txtField 0 to 10, then the notes box (index 11).
constexpr int kCardField[12] = {
    ContactField::ChatName, ContactField::RealName, ContactField::MetAt,  ContactField::Email,
    ContactField::Website,  ContactField::Age,      ContactField::Sex,    ContactField::Height,
    ContactField::Weight,   ContactField::Hair,     ContactField::Eyes,   ContactField::Notes};

bool CurrentIsValid()
{
    const int c = ContactStore.CurrentContact;
    return c >= 0 && size_t(c) < ContactStore.Contacts.size();
}
} // namespace

QString ContactListLine(int position)
{
    const ContactRecord& r = ContactStore.Contacts[position];
    QString line = QString::number(position) + QStringLiteral(". ");
    const QString& chat = r.Field(ContactField::ChatName);
    const QString& real = r.Field(ContactField::RealName);
    if (!chat.isEmpty())
        line += chat;
    if (!real.isEmpty())
        line += QStringLiteral("   ( ") + real + QStringLiteral(" )");
    return line;
}

void FillContactList(QListWidget& list)
{
    Platform& p = platform();
    ContactStore.FillingContactList = true;
    p.DoEvents();
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
    p.DoEvents();
    ContactStore.ContactsChanged = false;
    ContactStore.FillingContactList = false;
}

void ShowContactOnCard(frmContactDetails& card)
{
    if (CurrentIsValid()) {
        const ContactRecord& r = ContactStore.Contacts[ContactStore.CurrentContact];
        for (int i = 0; i < 12; ++i)
            card.Box(i)->setPlainText(r.Field(kCardField[i]));
    }
    card.lblID->setText(QStringLiteral(" %1 of  %2")
                            .arg(ContactStore.CurrentContact)
                            .arg(ContactStore.ContactCount));
    card.lblID->adjustSize();
    // An edit is what the user types after this, not the change of contact.
    card.ResetEditBaseline();
    ContactStore.ContactsChanged = false;
}

void ReadContactFromCard(frmContactDetails& card)
{
    if (!CurrentIsValid())
        return;
    ContactRecord& r = ContactStore.Contacts[ContactStore.CurrentContact];
    for (int i = 0; i < 12; ++i)
        r.SetField(kCardField[i], StripControlChars(card.Box(i)->toPlainText()));
}

QString StripControlChars(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (c.unicode() >= 32)
            out += c;
    return out;
}
