#pragma once

#include <QString>

class QListWidget;
class frmContactDetails;

// One line per contact ("3. Blue   ( Fred )"), selecting the current one.
void FillContactList(QListWidget& list);
// Copies the current contact into the card and sets its position caption.
void ShowContactOnCard(frmContactDetails& card);
// Copies the card back into the current contact, without control characters.
void ReadContactFromCard(frmContactDetails& card);
// The text without characters of code 0 to 31.
QString StripControlChars(const QString& text);
// The list line of the contact at a position.
QString ContactListLine(int position);
