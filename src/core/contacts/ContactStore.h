#pragma once

#include "core/contacts/CardLayout.h"
#include "core/contacts/ContactRecord.h"
#include "core/files/Backups.h"

#include <QChar>
#include <QDate>
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

class AtomicWriter;
class QFile;

// The file delimiter, written after every field.
inline constexpr QChar ContactDelimiter = QChar(31);

// The most contacts and the longest line (in characters: all 82 fields and
// their delimiters) that a contact file may hold and still be read whole and
// kept editable. The program never writes a book beyond them.
constexpr int16_t MaxContacts = 32699;
constexpr int MaxContactLineLength = 32767;
// Bytes of a contact file read at most; a larger file opens read-only.
constexpr qint64 MaxContactFileBytes = qint64(128) << 20;


QString ContactToLine(const ContactRecord& record, QChar delimiter);
void ParseContactLine(ContactRecord& record, QStringView line, QChar delimiter);
// The ID a contact at a position gets when saved on a date.
QString ContactIdFor(int position, const QDate& date);
// The message for a card the table refused as too long.
QString CardTooLongMessage();
// Characters as a contact line counts them: a surrogate pair is one.
qsizetype CharacterCount(QStringView text);
// The text without characters of code 0 to 31.
QString StripControlChars(const QString& text);

// What adding a batch of contacts (an import) did.
struct AddedContacts {
    bool saved = false;    // the batch is in the table and in the file
    int added = 0;
    int duplicates = 0;    // already in the book (or twice in the batch)
    int tooLong = 0;       // would make a line the loader refuses
    bool replacedSample = false; // the first start's sample contact gave way
    QString failure;       // why nothing changed, when saved is false
};

// The twelve card texts of a contact, in the order of ContactField::CardFields.
using CardTexts = std::array<QString, 12>;
enum class CardWrite {
    Written,    // the contact holds the texts now; the table is unsaved
    Unchanged,  // the contact held these texts already
    Gone,       // no contact with that serial is in the table: nothing written
    TooLong,    // the line would be too long to load again: nothing written
};

// The address book: the contact table in memory and the file it lives in.
// It tells nobody directly of a failure; it emits saveFailed or problem with
// the message for the user, and whoever created the book reports it.
//
// Slots 1 to ContactCount of Contacts hold the contacts in list order; slot 0
// never holds a contact; there is always at least one spare slot above
// ContactCount.
class ContactStore : public QObject {
    Q_OBJECT
public:
    explicit ContactStore(QObject* parent = nullptr);

    std::vector<ContactRecord> Contacts = std::vector<ContactRecord>(2);
    int16_t ContactCount = 0;
    int16_t CurrentContact = 0;     // 1-based position shown on the card; 0 = none
    QString ContactFilePath;
    // Set when the contact file could not be read completely: the file is
    // then never written over until the next start.
    bool ReadOnly = false;
    QString ReadOnlyReason;

    // Loads the table from ContactFilePath, creating the one-line sample file
    // when no file exists. A file that cannot be read completely is reported,
    // and the book is then read-only. The table then matches the file.
    void LoadContacts();
    // Writes the whole table (renumbering IDs of positions 1 to 999) and
    // replaces the file atomically. On failure the old file stays whole,
    // saveFailed is emitted, the table stays unsaved so the next save tries
    // again, and false is returned. A read-only book is never written, nor a
    // table the loader would refuse; each attempt says why.
    bool SaveContacts();
    // Whether the table in memory differs from the file: set by every change
    // to the table and by a failed save; cleared only by a successful save or
    // a load.
    bool ContactTableUnsaved() const { return m_unsaved; }
    // Saves when the table is unsaved; true when it is saved now (or was).
    bool SaveUnsavedContacts();
    // Position of the first contact from first to last whose text contains
    // the search text (letter case ignored); it becomes current. 0 and a beep
    // when none matches.
    int16_t FindContact(int first, int last, const QString& text);
    // Removes a contact and saves the file. The deletion stands in memory
    // even when the save fails (reported; the table stays unsaved and the
    // next save writes it); CurrentContact then names the contact now at that
    // position, or the last one. Returns false, changing nothing, for a
    // position that holds no contact and for a read-only book (which says
    // why).
    bool DeleteContact(int position);
    // Appends an empty contact and makes it current. Returns false (with a
    // message) when the table is full.
    bool AddContact();
    void ClearCurrentContact();
    // Adds the contacts that are not already in the book (same chat name,
    // real name and e-mail, letter case ignored) at its end, as one change,
    // and saves. When the book cannot take them all, or the save fails, the
    // table is left as it was and nothing is added. A book that holds only
    // the untouched sample contact of the first start gives it up for a
    // batch that would not fit beside it.
    AddedContacts AddContacts(std::vector<ContactRecord> records);
    // The position of the contact with this serial number; 0 when it is no
    // longer in the table.
    int PositionOfContact(quint64 serial) const;
    // Writes a card's texts, without control characters, into the contact
    // with this serial number (never into another one).
    CardWrite WriteCardToContact(quint64 serial, const CardTexts& texts);
    // How many characters the twelve card texts of the contact with this
    // serial number may hold together so that its line stays loadable (for a
    // contact not in the table: a contact whose other fields are empty).
    qsizetype CardTextRoom(quint64 serial) const;
    // The list line of the contact at a position ("3. Blue   ( Fred )").
    QString ContactListLine(int position) const;
    // Makes the contact at a position (0: none) the current one.
    void SetCurrentContact(int position);
    // The file was replaced by another program (a sync program bringing the
    // other machine's book). With nothing unsaved the table is read anew.
    // Otherwise the new file and this table are merged (MergeBooks; the base
    // is the book as this copy last read or wrote it) and the merged table
    // is saved once, unless it is the new file as it stands. The current
    // contact stays the same contact, by identity (when it is gone, the one
    // now at its position, as after a deletion). A
    // field set differently on both sides is told through problem(); the
    // value not kept stays in a version in backups/.
    void TakeOutsideChange();
    // A sync program left the other machine's book beside the file as a
    // conflict copy. It is merged into the table (the base built from the
    // change times: BaseFromChangeTimes), the merged table is saved once
    // (not at all when it is this table), the conflicts are told in one
    // message, and the copy is moved into backups/, where it keeps the
    // values and contacts the merge did not. A copy not read completely is
    // not merged, and stays, as it does when the save fails. False when
    // the copy was not merged (told through problem()).
    bool TakeConflictCopy(const QString& copyPath);

signals:
    // The whole table is new: loaded from the file, or a batch added at its end.
    void contactsReloaded();
    void contactAdded(int position);
    // A card was written into the contact at this position.
    void contactChanged(int position);
    // The contact at this position was removed; the ones above moved down
    // one place, and CurrentContact names the contact now at that position,
    // or the last one.
    void contactRemoved(int position);
    void currentContactChanged(int position);
    void saved();
    // A save that failed; the table stays unsaved.
    void saveFailed(const QString& message);
    // Any other failure the user must be told of.
    void problem(const QString& message);

private:
    void MakeReadOnly(const QString& reason);
    QString ReadError(const QString& reason) const;
    QString Unloadable() const;
    QString WriteTable(AtomicWriter& file) const;
    void ReadContactFile(QFile& file, std::vector<ContactRecord>& table);
    // The same, telling `incomplete` why when the file was not read whole.
    void ReadContactFile(QFile& file, std::vector<ContactRecord>& table,
                         const std::function<void(const QString&)>& incomplete);
    std::vector<std::vector<ContactRecord>> ReadKeptVersions();
    bool KeepTableAsVersion(std::span<const ContactRecord> table, VersionKind kind);

    // LoadContacts without announcing it.
    void ReadTable();
    void RememberAgreed();
    void CurrentByIdentity(const QString& identity, int oldPosition);
    void TakeMergedTable(std::vector<ContactRecord> merged, const QString& current, int position);
    bool MarkSaved();

    bool m_unsaved = false;
    // The contacts as this copy last read or wrote the file: what both
    // copies of a synced book last agreed on.
    std::vector<ContactRecord> m_agreed;
};
