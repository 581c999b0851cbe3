#pragma once

#include "contacts/ContactRecord.h"

#include <QChar>
#include <QDate>
#include <QString>
#include <cstdint>
#include <vector>

// The file delimiter, written after every field.
inline constexpr QChar ContactDelimiter = QChar(31);

// The in-memory contact table. Slots 1 to ContactCount hold the contacts in
// list order; slot 0 never holds a contact; there is always at least one
// spare slot above ContactCount.
struct ContactStoreValues {
    std::vector<ContactRecord> Contacts = std::vector<ContactRecord>(2);
    int16_t ContactCount = 0;
    int16_t CurrentContact = 0;     // 1-based position shown on the card; 0 = none
    bool ContactsChanged = false;   // a card field was edited since the last fill or save
    bool FillingContactList = false;
    QString ContactFilePath;
    // Set when the contact file could not be read completely: the file is
    // then never written over until the next start.
    bool ReadOnly = false;
    QString ReadOnlyReason;
};

extern ContactStoreValues ContactStore;

// The largest number of contacts the table holds.
constexpr int16_t MaxContacts = 32766;

// Loads the table from ContactFilePath, creating the one-line sample file when
// no file exists. A file that cannot be read completely is reported, and the
// store is then read-only.
void LoadContacts();
// Writes the whole table (renumbering IDs of positions 1 to 999) and replaces
// the file atomically. On failure the old file stays whole, the user is told,
// ContactsChanged is set so the next save tries again, and false is returned.
// A read-only store is never written; each attempt shows why.
bool SaveContacts();
QString ContactToLine(const ContactRecord& record, QChar delimiter);
void ParseContactLine(ContactRecord& record, QStringView line, QChar delimiter);
// Position of the first contact from first to last whose text contains the
// search text (letter case ignored); it becomes current. 0 and a beep when
// none matches.
int16_t FindContact(int first, int last, const QString& text);
// Removes a contact, saves the file and refills the list window. Returns
// false when the save failed (the table keeps the deletion and stays marked
// changed). A read-only store refuses, says why and changes nothing.
bool DeleteContact(int position);
// Appends an empty contact and makes it current. Returns false (with a
// message) when the table is full.
bool AddContact();
void ClearCurrentContact();
// The ID a contact at a position gets when saved on a date.
QString ContactIdFor(int position, const QDate& date);
