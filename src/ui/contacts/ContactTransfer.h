#pragma once

class ContactStore;
class QListWidget;

// One line per contact of the book ("3. Blue   ( Fred )"), selecting the
// current one (or the first). The list's own signals are blocked meanwhile, so nothing takes
// the refill for the user's choice of a line. The contact card's own transfer
// steps are ShowContactOnCard and ReadContactFromCard
// (contacts/frmContactDetails.h).
void FillContactList(QListWidget& list, const ContactStore& book);
// Selects the current contact's line (the first line when no contact is
// current), blocking the list's signals the same way.
void SelectCurrentContact(QListWidget& list, const ContactStore& book);
