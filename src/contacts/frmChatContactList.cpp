#include "contacts/frmChatContactList.h"

#include "contacts/ContactTransfer.h"
#include "platform/Twips.h"

frmChatContactList::frmChatContactList()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Chat Contacts"));
    setFixedSize(TwipsToPixels(2445), TwipsToPixels(3615));
    const char* captions[3] = {"Add", "Find", "Delete"};
    for (int i = 0; i < 3; ++i)
        cmdToolbar[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
    lstNames = new QListWidget(this);
}

void frmChatContactList::Load() { FillContactList(*lstNames); }
