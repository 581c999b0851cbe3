#pragma once

#include "core/contacts/ContactStore.h"

class QListWidget;

// One line per contact ("3. Blue   ( Fred )"), selecting the current one.
// The contact card's own transfer steps are ShowContactOnCard and
// ReadContactFromCard (contacts/frmContactDetails.h).
void FillContactList(QListWidget& list);
