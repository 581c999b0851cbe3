#pragma once

#include "core/contacts/ContactRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// Kinds of data an address book holds that a contact has no field for.
enum class LeftOut : int {
    PhoneNumbers,
    Addresses,
    Birthdays,
    Organisations,
    Photos,
    MessengerNames,
    MoreEmails,
    Count
};

// What reading an address-book file (vCard or CSV) gave.
struct ContactImport {
    // The cards or rows read, in file order; their ID (field 0) is empty.
    std::vector<ContactRecord> contacts;
    // One entry per card or row skipped, "line 40: <why>".
    QStringList unreadable;
    // Lines inside a card that were not properties and were passed over
    // (the card itself was read), and one note for each ("line 12: <why>"),
    // the notes bounded like the skip notes.
    int skippedLines = 0;
    QStringList skippedLineNotes;
    // For each kind of LeftOut: how many of the contacts read held such data.
    std::array<int, int(LeftOut::Count)> leftOut{};
};

// The rule for duplicates on import: the same chat name, real name and
// e-mail address, letter case ignored.
bool SameContact(const ContactRecord& a, const ContactRecord& b);

// Shared by the vCard and CSV readers.
namespace ContactImportDetail {

// A field never holds a character below code 32: a line break (CR LF, CR or
// LF) becomes one blank and every other control character is dropped, and so
// is U+FEFF (a byte-order mark, which decoding drops only at a value's start).
QString CleanText(QStringView text);

// Longest text a contact may hold: the contact file's lines are at most
// 32767 characters, 82 of them delimiters.
constexpr qsizetype kMaxContactChars = 32767 - ContactField::Count;
// A value of more bytes than this can never fit into a contact, however it is
// encoded (up to 4 bytes a character in UTF-8, tripled by quoted-printable),
// so it is not decoded at all.
constexpr qsizetype kMaxValueBytes = kMaxContactChars * 12;

// Byte-order marks: a UTF-8 one is dropped; UTF-16 text is turned into UTF-8.
QByteArray WithoutByteOrderMark(const QByteArray& bytes);

// Collects what a reader makes of a file, keeping memory bounded whatever the
// input: at most MaxContacts contacts and a few hundred skip notes.
class Sink {
public:
    explicit Sink(ContactImport& out) : m_out(out) {}
    // Adds a contact made of `fields` (field 0 is ignored); `leftOut` has bit
    // k set when the card or row held data of LeftOut kind k. A contact that
    // holds none of the fields, or more text than a contact can hold, is
    // listed as skipped instead. Returns false when the table is full: the
    // reader stops there.
    bool Add(std::array<QString, ContactField::Count>& fields, qsizetype line,
             const char* what, unsigned leftOut = 0);
    // The same for 82 fields of printable 7-bit text, each followed by the
    // byte 31, field 0 empty.
    bool AddAscii(QByteArrayView fields, qsizetype line, const char* what, unsigned leftOut);
    // The same for 82 fields of UTF-8 text, each followed by the byte 31
    // (which no field holds), field 0 empty; `chars` and `identityChars`
    // are the length of all fields and of the identity in UTF-16 units.
    bool AddUtf8(QByteArrayView fields, qsizetype chars, qsizetype identityChars, qsizetype line,
                 const char* what, unsigned leftOut);
    void Skip(qsizetype line, const QString& why);
    // A line inside a card that was passed over while the card was read;
    // with no `why` it is only counted.
    void SkipLine(qsizetype line, const QString& why);
    // The contacts added so far.
    size_t Count() const { return m_out.contacts.size(); }
    // Whether a skip note would still be kept (not only counted): callers
    // skip building costly notes otherwise.
    bool Noting() const;
    // Adds the count of skip notes left out. Call once at the end.
    void Finish();

private:
    // False, noting why once, when the table is full.
    bool Room(qsizetype line, const char* what);
    // False, noting why, for a contact of no text or of too much.
    bool Fits(qsizetype chars, qsizetype identityChars, qsizetype line, const char* what);
    void CountLeftOut(unsigned leftOut);

    ContactImport& m_out;
    qsizetype m_leftOut = 0;
    bool m_full = false;
};

} // namespace ContactImportDetail
