#include "core/contacts/ContactStore.h"

#include "core/contacts/BookMerge.h"
#include "core/contacts/ContactIdentity.h"
#include "core/files/Backups.h"
#include "core/files/ConflictCopies.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Platform.h"
#include "core/platform/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <new>

namespace {

// The table's positions and a line's character positions were 16-bit
// numbers in the file's first home; files beyond those limits are read but
// never written over.
constexpr int kMaxLineLength = MaxContactLineLength;
constexpr int kMaxLines = MaxContacts;
// No honest address book comes near this; anything larger is not read into
// memory whole.
constexpr qint64 kMaxFileBytes = MaxContactFileBytes;
constexpr qint64 kReadChunk = qint64(4) << 20;
constexpr qsizetype kWriteChunk = qsizetype(1) << 20;
constexpr char kFileDelimiter = char(31);

QString OutOfMemory() { return QStringLiteral("not enough memory"); }

bool IsBlank(QByteArrayView line)
{
    for (char c : line)
        if (c != ' ')
            return false;
    return true;
}

bool IsBlank(QStringView line)
{
    for (QChar c : line)
        if (c != u' ')
            return false;
    return true;
}


// Turns the bytes of the contact file into table rows. Lines end with CR LF,
// LF or CR; empty and space-only lines are skipped.
class ContactFileReader {
public:
    using ReadOnlyStep = std::function<void(const QString& reason)>;
    ContactFileReader(std::vector<ContactRecord>& table, const QString& path,
                      ReadOnlyStep makeReadOnly)
        : m_table(table), m_path(path), m_makeReadOnly(std::move(makeReadOnly))
    {
    }

    // Reads every line of a block that ends at a line end (or the file's
    // end). Returns false once no more lines may be read.
    bool ReadBlock(QByteArrayView block)
    {
        const char* p = block.data();
        const char* end = p + block.size();
        while (p < end) {
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* lineEnd = lf ? lf : end;
            const char* next = lf ? lf + 1 : end;
            // A CR ends a line too; CR LF is one line end.
            while (const char* cr = static_cast<const char*>(std::memchr(p, '\r', lineEnd - p))) {
                if (!ReadLine(QByteArrayView(p, cr - p)))
                    return false;
                p = cr + 1;
            }
            if (!ReadLine(QByteArrayView(p, lineEnd - p)))
                return false;
            p = next;
        }
        return true;
    }

private:
    bool ReadLine(QByteArrayView bytes)
    {
        if (bytes.isEmpty() || (bytes.front() == ' ' && IsBlank(bytes)))
            return true;
        if (Count() == kMaxLines) {
            m_makeReadOnly(QStringLiteral("The contact file ") + m_path +
                         QStringLiteral(" holds more than %1 contacts; only the first %1 were read")
                             .arg(kMaxLines));
            return false;
        }
        ContactRecord& record = m_table.emplace_back();
        qsizetype length = bytes.size();
        if (!record.AssignAsciiLine(bytes, kFileDelimiter)) {
            const QString line = DecodeLine(bytes);
            if (IsBlank(QStringView(line))) {
                m_table.pop_back();
                return true;
            }
            length = CharacterCount(line);
            ParseContactLine(record, line, ContactDelimiter);
        }
        if (length > kMaxLineLength)
            m_makeReadOnly(QStringLiteral("Line %1 of the contact file ").arg(Count()) +
                           m_path +
                         QStringLiteral(" is longer than %1 characters").arg(kMaxLineLength));
        return true;
    }

    int Count() const { return int(m_table.size()) - 1; }

    std::vector<ContactRecord>& m_table;
    const QString& m_path;
    ReadOnlyStep m_makeReadOnly;
};

// The one contact a first start writes.
ContactRecord SampleContact()
{
    ContactRecord sample;
    sample.SetField(ContactField::ContactID, QStringLiteral("CHAT0000001"));
    sample.SetField(ContactField::ChatName, QStringLiteral("Programmer"));
    sample.SetField(ContactField::RealName, QStringLiteral("Sam"));
    sample.SetField(ContactField::Email, QStringLiteral("sam@example.org"));
    sample.SetField(ContactField::Website, QStringLiteral("http://www.example.org/"));
    sample.SetField(ContactField::MetAt, QStringLiteral("http://chat.example.org/"));
    return sample;
}

} // namespace

bool IsUntouchedSample(const ContactRecord& record)
{
    // The number, the identity and the change stamp are given to every
    // contact; the sample is untouched while the rest is as written.
    ContactRecord sample = SampleContact();
    for (int field : {ContactField::ContactID, ContactField::Identity, ContactField::ChangedAt})
        sample.SetField(field, record.Field(field));
    return record == sample;
}

namespace {

bool WriteSample(const QString& path)
{
    return WriteFileAtomically(path,
                               EncodeLine(ContactToLine(SampleContact(), ContactDelimiter)) + "\r\n");
}

// Whether a value of this side (or the other) was not kept.
bool Loses(const MergedBook& merged, bool mineSide)
{
    return std::any_of(merged.conflicts.begin(), merged.conflicts.end(),
                       [&](const FieldConflict& c) { return c.otherIsMine == mineSide; });
}

QString VersionTime(const QDateTime& t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

QString LineTooLong(int position)
{
    return QStringLiteral("contact %1 would be a line longer than %2 characters, which could "
                          "not be read again")
        .arg(position)
        .arg(kMaxLineLength);
}

} // namespace

QString ContactToLine(const ContactRecord& record, QChar delimiter)
{
    if (delimiter.unicode() < 0x80) {
        QByteArray line;
        record.AppendUtf8Line(line, char(delimiter.unicode()));
        return Utf8Text(line);
    }
    QString line;
    for (int i = 0; i < ContactField::Count; ++i)
        line.append(record.Field(i)).append(delimiter);
    return line;
}

void ParseContactLine(ContactRecord& record, QStringView line, QChar delimiter)
{
    record.AssignLine(line, delimiter);
}

QString ContactIdFor(int position, const QDate& date)
{
    return QStringLiteral("CHAT%1%2%3")
        .arg(date.month())
        .arg(date.day())
        .arg(position, 3, 10, QLatin1Char('0'));
}

ContactStore::ContactStore(QObject* parent) : QObject(parent) {}

QString ContactStore::ReadError(const QString& reason) const
{
    return QStringLiteral("Could not read the contacts from ") + ContactFilePath +
           QStringLiteral(": ") + reason;
}

// Keeps the file as it is for the rest of the run; the first reason counts.
void ContactStore::MakeReadOnly(const QString& reason)
{
    if (ReadOnly)
        return;
    ReadOnly = true;
    ReadOnlyReason = reason;
    emit problem(reason + QStringLiteral(".\nThe contact file will not be changed until Banterly "
                                         "is started again."));
}

// Reads the file block by block, each block ending at a line end, so only
// a few megabytes of raw bytes are held at any time.
void ContactStore::ReadContactFile(QFile& file, std::vector<ContactRecord>& table)
{
    ReadContactFile(file, table, [this](const QString& reason) { MakeReadOnly(reason); });
}

void ContactStore::ReadContactFile(QFile& file, std::vector<ContactRecord>& table,
                                   const std::function<void(const QString&)>& incomplete)
{
    const QString path = file.fileName();
    ContactFileReader reader(table, path, incomplete);
    const qint64 size = file.size();
    if (size > 0)
        table.reserve(size_t(std::min<qint64>(size / 128, kMaxLines)) + 2);
    // A small file is read in one go (the extra byte meets its end).
    const qint64 chunk = size > 0 ? std::clamp<qint64>(size + 1, 4096, kReadChunk) : 65536;
    QByteArray buffer;
    qsizetype held = 0;   // bytes of an unfinished line at the front of the buffer
    qint64 total = 0;
    for (;;) {
        if (buffer.size() < held + chunk)
            buffer.resize(held + chunk);
        const qint64 got = file.read(buffer.data() + held, chunk);
        if (got < 0) {
            incomplete(QStringLiteral("Could not read the contacts from ") + path +
                       QStringLiteral(": ") + file.errorString());
            return;
        }
        total += got;
        const bool tooLarge = total > kMaxFileBytes;
        const bool last = got == 0 || tooLarge;
        const qsizetype filled = held + got;
        qsizetype blockEnd = filled;
        if (!last) {
            // The held bytes hold no line end, so only the new ones are searched.
            const void* lf = memrchr(buffer.constData() + held, '\n', size_t(got));
            blockEnd = lf ? static_cast<const char*>(lf) - buffer.constData() + 1 : 0;
        }
        if (!reader.ReadBlock(QByteArrayView(buffer.constData(), blockEnd)))
            return;
        if (tooLarge) {
            incomplete(QStringLiteral("The contact file ") + path +
                         QStringLiteral(" is larger than %1 MB and was not read completely")
                             .arg(kMaxFileBytes >> 20));
            return;
        }
        if (last)
            return;
        held = filled - blockEnd;
        std::memmove(buffer.data(), buffer.constData() + blockEnd, size_t(held));
    }
}

// Why the loader would refuse the table, or the empty text.
QString ContactStore::Unloadable() const
{
    const int count = ContactCount;
    if (count > kMaxLines)
        return QStringLiteral("the address book holds %1 contacts, more than the %2 a contact "
                              "file can hold")
            .arg(count)
            .arg(kMaxLines);
    return QString();
}


// Writes the table through an opened writer; the empty text on success,
// otherwise the reason.
QString ContactStore::WriteTable(AtomicWriter& file) const
{
    const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    QByteArray block;
    block.reserve(kWriteChunk + 64 * 1024);
    for (int i = 1; i <= count; ++i) {
        const ContactRecord& record = Contacts[i];
        // A last guard: the program never writes a line the loader refuses.
        if (!record.LineFits(kMaxLineLength))
            return LineTooLong(i);
        record.AppendText(block);
        block.append("\r\n", 2);
        if (block.size() >= kWriteChunk || i == count) {
            ContactRecord::EndsToDelimiter(block.data(), block.size(), kFileDelimiter);
            if (!file.Write(block))
                return file.Error().description;
            block.resize(0);
        }
    }
    if (!file.Commit())
        return file.Error().description;
    return QString();
}

void ContactStore::LoadContacts()
{
    ReadTable();
    emit contactsReloaded();
}

void ContactStore::ReadTable()
{
    ReadOnly = false;
    ReadOnlyReason.clear();
    const QString path = ContactFilePath;
    std::vector<ContactRecord> table(1);
    try {
        if (path.isEmpty()) {
            MakeReadOnly(QStringLiteral("No contact file is named in the settings"));
        } else if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink() && !WriteSample(path)) {
            // Nothing is lost: there was no file. Later saves try again.
            emit problem(QStringLiteral("Could not create the contact file ") + path);
        } else if (const QFileInfo info(path); info.exists() && !info.isFile()) {
            // A folder, a pipe, a socket or a device: never opened, since
            // opening a pipe would wait for a writer, and never written over.
            MakeReadOnly(ReadError(QStringLiteral("it is not a regular file")));
        } else {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                MakeReadOnly(ReadError(file.errorString()));
            else
                ReadContactFile(file, table);
            RememberDataFile(path);
        }
    } catch (const std::exception&) {
        MakeReadOnly(ReadError(OutOfMemory()));
    }
    // Contacts of an older file get their identity in memory; the next save
    // writes it.
    GiveIdentities(std::span(table).subspan(1), kMaxLineLength);
    table.emplace_back(); // the spare slot
    Contacts = std::move(table);
    ContactCount = static_cast<int16_t>(Contacts.size() - 2);
    CurrentContact = std::min(CurrentContact, ContactCount);
    m_unsaved = false;
    RememberAgreed();
}

void ContactStore::RememberAgreed()
{
    const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    m_agreed.assign(Contacts.begin() + 1, Contacts.begin() + 1 + std::max(count, 0));
}

// The contact with this identity becomes current again; when it is gone,
// the contact now at its old position, or the last one, as after a deletion.
void ContactStore::CurrentByIdentity(const QString& identity, int oldPosition)
{
    const QByteArray wanted = identity.toUtf8();
    for (int i = 1; !identity.isEmpty() && i <= ContactCount; ++i)
        if (Contacts[i].FieldBytes(ContactField::Identity) == wanted) {
            CurrentContact = static_cast<int16_t>(i);
            return;
        }
    CurrentContact = static_cast<int16_t>(std::min<int>(oldPosition, ContactCount));
}

void ContactStore::TakeOutsideChange()
{
    const int position = CurrentContact;
    const QString current = position >= 1 && position <= ContactCount
                                ? Contacts[position].Field(ContactField::Identity)
                                : QString();
    if (!m_unsaved) {
        ReadTable();
        CurrentByIdentity(current, position);
        emit contactsReloaded();
        return;
    }
    std::vector<ContactRecord> theirs(1);
    QFile file(ContactFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        emit problem(ReadError(file.errorString()));
        return;
    }
    ReadContactFile(file, theirs);
    RememberDataFile(ContactFilePath);
    if (ReadOnly)
        return;  // told; this table stays unsaved, the file is never written over
    GiveIdentities(std::span(theirs).subspan(1), kMaxLineLength);
    const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    const std::span<const ContactRecord> mine(Contacts.data() + 1, size_t(std::max(count, 0)));
    MergedBook merged = MergeBooks(m_agreed, mine, std::span(theirs).subspan(1));
    if (merged.contacts.size() > size_t(kMaxLines)) {
        emit problem(QStringLiteral("The contacts changed by another program could not be merged "
                                    "with the ones changed here: together they are more than %1.")
                         .arg(kMaxLines));
        return;
    }
    // The values the merge did not keep stay in versions: this table's in
    // one written now, the new file's in the file itself, kept before the
    // save replaces it.
    const QDateTime now = platform().Now();
    if (Loses(merged, true) && !KeepTableAsVersion(mine, VersionKind::Ordinary))
        return;
    if (Loses(merged, false) && KeepBackup(ContactFilePath, now).isEmpty()) {
        emit problem(QStringLiteral("The contacts changed by another program were not merged "
                                    "with the ones changed here: the file could not be kept in ") +
                     BackupFolderFor(ContactFilePath));
        return;
    }
    TakeMergedTable(std::move(merged.contacts), current, position);
    // The merge that gives the new file as it stands writes nothing: a copy
    // of the program on the same file would take the write as a change again.
    const bool saved = merged.sameAsTheirs ? MarkSaved() : SaveContacts();
    if (saved && !merged.conflicts.isEmpty())
        emit problem(ConflictMessage(merged.conflicts, VersionTime(now), VersionTime(now)));
}

bool ContactStore::MarkSaved()
{
    m_unsaved = false;
    RememberAgreed();
    return true;
}

void ContactStore::TakeMergedTable(std::vector<ContactRecord> merged, const QString& current,
                                   int position)
{
    merged.insert(merged.begin(), ContactRecord());
    merged.emplace_back();
    Contacts = std::move(merged);
    ContactCount = static_cast<int16_t>(Contacts.size() - 2);
    CurrentByIdentity(current, position);
    emit contactsReloaded();
}

// Writes the contacts into a new version in backups/ (never over one);
// false, after problem(), when it could not be written.
bool ContactStore::KeepTableAsVersion(std::span<const ContactRecord> table, VersionKind kind)
{
    const QDateTime now = platform().Now();
    QByteArray bytes;
    for (const ContactRecord& r : table) {
        r.AppendUtf8Line(bytes, kFileDelimiter);
        bytes.append("\r\n");
    }
    QString versionPath;
    for (int sequence = 1; versionPath.isEmpty() || QFileInfo::exists(versionPath); ++sequence)
        versionPath = BackupFolderFor(ContactFilePath) + QLatin1Char('/') +
                      BackupFileName(ContactFilePath, now, sequence, kind);
    if (QDir().mkpath(BackupFolderFor(ContactFilePath)) && WriteFileAtomically(versionPath, bytes))
        return true;
    emit problem(QStringLiteral("The contacts here were not merged with the ones changed on "
                                "another machine: they could not be kept in ") +
                 versionPath);
    return false;
}

// Every kept version of the contact file that can be read whole.
std::vector<std::vector<ContactRecord>> ContactStore::ReadKeptVersions()
{
    std::vector<std::vector<ContactRecord>> versions;
    for (const BackupVersion& v : ListBackups(ContactFilePath)) {
        QFile file(v.path);
        std::vector<ContactRecord> table(1);
        bool whole = file.open(QIODevice::ReadOnly);
        if (whole)
            ReadContactFile(file, table, [&](const QString&) { whole = false; });
        if (!whole)
            continue;
        table.erase(table.begin());
        GiveIdentities(table, kMaxLineLength);
        versions.push_back(std::move(table));
    }
    return versions;
}

bool ContactStore::TakeConflictCopy(const QString& copyPath)
{
    const QString notMerged = QStringLiteral("The conflict copy ") + copyPath +
                              QStringLiteral(" that the sync program left was not merged into "
                                             "the contacts: ");
    if (ReadOnly) {
        emit problem(notMerged + ReadOnlyReason);
        return false;
    }
    // Held until the copy is moved: another copy of the program on this
    // file takes it, or took it, and this one leaves it to that one.
    const ConflictCopyClaim claim(copyPath);
    if (claim.TakenElsewhere())
        return false;
    std::vector<ContactRecord> theirs(1);
    QString unread;
    QFile file(copyPath);
    if (!file.open(QIODevice::ReadOnly))
        unread = file.errorString();
    else
        ReadContactFile(file, theirs, [&](const QString& reason) {
            if (unread.isEmpty())
                unread = reason;
        });
    if (!unread.isEmpty()) {
        emit problem(notMerged + QStringLiteral("it could not be read completely (") + unread +
                     QStringLiteral("). It stays where it is."));
        return false;
    }
    theirs.erase(theirs.begin());
    GiveIdentities(theirs, kMaxLineLength);
    const int position = CurrentContact;
    const QString current = position >= 1 && position <= ContactCount
                                ? Contacts[position].Field(ContactField::Identity)
                                : QString();
    const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    const std::span<const ContactRecord> mine(Contacts.data() + 1, size_t(std::max(count, 0)));
    const auto kept = BaseWantsKeptVersions(mine, theirs)
                          ? ReadKeptVersions()
                          : std::vector<std::vector<ContactRecord>>();
    MergedBook merged = MergeBooks(BaseFromChangeTimes(mine, theirs, kept), mine, theirs);
    if (merged.contacts.size() > size_t(kMaxLines)) {
        emit problem(notMerged + QStringLiteral("together the two books hold more than %1 "
                                                "contacts.").arg(kMaxLines));
        return false;
    }
    if (!merged.sameAsMine) {
        // What this table loses (a value, or a contact deleted on the other
        // machine) stays in a version that is never thinned out; what the
        // copy loses stays in the copy, moved into backups/ below.
        QSet<QByteArrayView> stays;
        stays.reserve(qsizetype(merged.contacts.size()));
        for (const ContactRecord& r : merged.contacts)
            stays.insert(r.FieldBytes(ContactField::Identity));
        const bool dropsMine = std::any_of(mine.begin(), mine.end(), [&](const ContactRecord& m) {
            return !stays.contains(m.FieldBytes(ContactField::Identity));
        });
        if ((dropsMine || Loses(merged, true)) && !KeepTableAsVersion(mine, VersionKind::Pinned))
            return false;
        TakeMergedTable(std::move(merged.contacts), current, position);
        if (!SaveContacts())
            return false;  // told; the copy stays, the next save writes the merged table
    }
    QString error;
    QString movedTo = MoveConflictCopyToBackups(copyPath, ContactFilePath, &error);
    if (movedTo.isEmpty() && QFileInfo::exists(copyPath)) {
        emit problem(QStringLiteral("The conflict copy ") + copyPath +
                     QStringLiteral(" was merged into the contacts but could not be moved into ") +
                     BackupFolderFor(ContactFilePath) + QStringLiteral(": ") + error +
                     QStringLiteral(". It stays where it is."));
        movedTo = copyPath;
    }
    if (!merged.conflicts.isEmpty())
        emit problem(ConflictMessage(merged.conflicts, VersionTime(platform().Now()),
                                     QFileInfo(movedTo.isEmpty() ? copyPath : movedTo).fileName()));
    return true;
}

bool ContactStore::SaveContacts()
{
    if (ReadOnly) {
        m_unsaved = true;
        emit problem(QStringLiteral("The contacts were not saved: ") + ReadOnlyReason);
        return false;
    }
    const QString& path = ContactFilePath;
    QString reason = Unloadable();
    if (reason.isEmpty()) {
        try {
            const QDate today = platform().Now().date();
            const int numbered = std::min<int>({ContactCount, 999,
                                                int(Contacts.size()) - 1});
            // ContactIdFor's text, its three digits written in place.
            QByteArray id = ContactIdFor(0, today).toLatin1();
            char* digits = id.data() + id.size() - 3;
            for (int i = 1; i <= numbered; ++i) {
                digits[0] = char('0' + i / 100);
                digits[1] = char('0' + i / 10 % 10);
                digits[2] = char('0' + i % 10);
                Contacts[i].SetFieldUtf8(ContactField::ContactID, id);
            }
            const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
            // Contacts put into the table by other means than the book's own
            // (which give one) get their identity now.
            const auto table = std::span(Contacts).subspan(1, size_t(std::max(count, 0)));
            if (std::any_of(table.begin(), table.end(), [](const ContactRecord& r) {
                    return r.FieldBytes(ContactField::Identity).isEmpty();
                }))
                GiveIdentities(table, kMaxLineLength);
            AtomicWriter file(path, PreviousVersion::Keep);
            reason = file.Open() ? WriteTable(file) : file.Error().description;
        } catch (const std::exception&) {
            reason = OutOfMemory();
        }
    }
    if (reason.isEmpty()) {
        m_unsaved = false;
        RememberAgreed();
        emit saved();
        return true;
    }
    m_unsaved = true;
    emit saveFailed(QStringLiteral("Could not save the contacts to ") + path + QStringLiteral(": ") +
                    reason);
    return false;
}

bool ContactStore::SaveUnsavedContacts() { return !ContactTableUnsaved() || SaveContacts(); }

int16_t ContactStore::FindContact(int first, int last, const QString& text)
{
    const QByteArray needle = text.toUpper().toUtf8();
    first = std::max(first, 1);
    last = std::min({last, int(ContactCount), int(Contacts.size()) - 1});
    const bool sevenBit = std::all_of(needle.begin(), needle.end(),
                                      [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const auto& contacts = Contacts;
    for (int i = first; i <= last; ++i) {
        if (needle.isEmpty() || contacts[i].SearchLineContains(needle, sevenBit)) {
            SetCurrentContact(i);
            return static_cast<int16_t>(i);
        }
    }
    platform().Beep();
    return 0;
}

bool ContactStore::DeleteContact(int position)
{
    if (ReadOnly) {
        emit problem(QStringLiteral("The contact was not deleted: ") + ReadOnlyReason);
        return false;
    }
    const int count = ContactCount;
    if (position < 1 || position > count || size_t(count) >= Contacts.size())
        return false;
    auto& c = Contacts;
    std::move(c.begin() + position + 1, c.begin() + count + 1, c.begin() + position);
    // The vacated slot keeps no hidden copy of a contact, nor its serial.
    c[count] = ContactRecord();
    ContactCount--;
    if (CurrentContact > ContactCount)
        CurrentContact = ContactCount;
    m_unsaved = true;
    SaveContacts();  // a failure has been told; the next save tries again
    emit contactRemoved(position);
    return true;
}

bool ContactStore::AddContact()
{
    if (ContactCount >= MaxContacts) {
        emit problem(QStringLiteral("The address book is full (%1 contacts).").arg(MaxContacts));
        return false;
    }
    try {
        // The new contact and, above it, the spare slot.
        Contacts.resize(size_t(ContactCount) + 3);
    } catch (const std::exception&) {
        emit problem(QStringLiteral("The contact could not be added: ") + OutOfMemory());
        return false;
    }
    ContactCount++;
    CurrentContact = ContactCount;
    // A new contact, not a leftover copy of a deleted one.
    Contacts[CurrentContact] = ContactRecord();
    ClearCurrentContact();
    Contacts[CurrentContact].SetField(ContactField::Identity, NewContactIdentity());
    Contacts[CurrentContact].SetField(ContactField::ChangedAt, ChangeStamp(platform().Now()));
    m_unsaved = true;
    emit contactAdded(CurrentContact);
    return true;
}

bool ContactStore::TakeOutEmptyNewContact(quint64 serial)
{
    const int position = PositionOfContact(serial);
    if (position == 0)
        return false;
    const ContactRecord& record = Contacts[position];
    for (int f = 0; f < ContactField::Count; ++f)
        if (f != ContactField::Identity && f != ContactField::ChangedAt &&
            !record.FieldBytes(f).isEmpty())
            return false;
    const QByteArrayView identity = record.FieldBytes(ContactField::Identity);
    if (std::any_of(m_agreed.begin(), m_agreed.end(), [&](const ContactRecord& r) {
            return r.FieldBytes(ContactField::Identity) == identity;
        }))
        return false;  // in the file already
    Contacts.erase(Contacts.begin() + position);
    ContactCount--;
    if (CurrentContact > position)
        CurrentContact--;  // the same contact, one place down
    else if (CurrentContact > ContactCount)
        CurrentContact = ContactCount;
    const int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    m_unsaved = !std::equal(Contacts.begin() + 1, Contacts.begin() + 1 + std::max(count, 0),
                            m_agreed.begin(), m_agreed.end());
    emit contactRemoved(position);
    return true;
}

void ContactStore::ClearCurrentContact()
{
    const int current = CurrentContact;
    if (current < 0 || size_t(current) >= Contacts.size())
        return;
    ContactRecord& r = Contacts[current];
    for (int f : ContactField::CardFields)
        r.SetField(f, QString());
}

namespace {
// The longest ID a save gives ("CHAT" + month + day + three digits).
constexpr qsizetype kLongestSavedId = 11;

// An identity the program gives and a change time, in characters.
constexpr qsizetype kIdentityLength = 36;
constexpr qsizetype kChangedAtLength = 24;

// Characters of UTF-8 text: every byte but a continuation byte starts one.
qsizetype Utf8CharacterCount(QByteArrayView utf8)
{
    qsizetype n = 0;
    for (char c : utf8)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// A record's line length once a save has renumbered its ID and the record
// holds an identity and a change time.
qsizetype SavedLineLength(const ContactRecord& record)
{
    const auto grown = [&](int field, qsizetype longest) {
        const qsizetype n = Utf8CharacterCount(record.FieldBytes(field));
        return std::max(n, longest) - n;
    };
    return record.LineLength() + grown(ContactField::ContactID, kLongestSavedId) +
           grown(ContactField::Identity, kIdentityLength) +
           grown(ContactField::ChangedAt, kChangedAtLength);
}
// What finds an imported contact already in the book: the chat name, the
// real name and the e-mail address, letter case folded, as UTF-8 (7-bit
// text folds to its lower case).
QByteArray DuplicateKey(const ContactRecord& record)
{
    QByteArray key;
    for (int field : {ContactField::ChatName, ContactField::RealName, ContactField::Email}) {
        const QByteArrayView bytes = record.FieldBytes(field);
        if (std::all_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            for (char c : bytes)
                key.append(c >= 'A' && c <= 'Z' ? char(c + 32) : c);
        } else {
            key.append(Utf8Text(bytes).toCaseFolded().toUtf8());
        }
        key.append(char(31));
    }
    return key;
}

} // namespace

AddedContacts ContactStore::AddContacts(std::vector<ContactRecord> records)
{
    AddedContacts result;
    if (ReadOnly) {
        result.failure = QStringLiteral("the contact file cannot be changed: ") +
                         ReadOnlyReason;
        return result;
    }
    int count = std::min<int>(ContactCount, int(Contacts.size()) - 1);
    // The records to add when the book keeps its first `kept` contacts.
    std::vector<size_t> take;
    const QByteArray stamp = ChangeStamp(platform().Now()).toUtf8();
    const auto choose = [&](int kept) {
        result.duplicates = result.tooLong = 0;
        take.clear();
        QSet<QByteArray> known;
        // Views of the identities of the book's contacts kept and of the
        // records taken (each record is changed only before its view is taken).
        QSet<QByteArrayView> identities;
        known.reserve(kept + qsizetype(records.size()));
        identities.reserve(kept + qsizetype(records.size()));
        for (int i = 1; i <= kept; ++i) {
            known.insert(DuplicateKey(Contacts[i]));
            identities.insert(Contacts[i].FieldBytes(ContactField::Identity));
        }
        for (size_t k = 0; k < records.size(); ++k) {
            ContactRecord& r = records[k];
            if (!r.FieldBytes(ContactField::ContactID).isEmpty()) // readers leave it empty
                r.SetField(ContactField::ContactID, QString());
            // An identity read back from an export is kept while no contact of
            // the book holds it; a contact is never given another's.
            const QByteArrayView identity = r.FieldBytes(ContactField::Identity);
            if (identity.isEmpty() || identities.contains(identity))
                r.SetField(ContactField::Identity, NewContactIdentity());
            r.SetFieldUtf8(ContactField::ChangedAt, stamp);
            if (SavedLineLength(r) > kMaxLineLength) {
                ++result.tooLong;
                continue;
            }
            QByteArray rk = DuplicateKey(r);
            if (known.contains(rk)) {
                ++result.duplicates;
                continue;
            }
            known.insert(std::move(rk));
            identities.insert(r.FieldBytes(ContactField::Identity));
            take.push_back(k);
        }
    };
    choose(count);
    // A fresh install takes a full book: the sample contact of the first
    // start, untouched, gives way to an import that would not fit beside it.
    if (count == 1 && count + qsizetype(take.size()) > kMaxLines && IsUntouchedSample(Contacts[1])) {
        choose(0);
        if (qsizetype(take.size()) <= kMaxLines) {
            result.replacedSample = true;
            count = 0;
        } else {
            choose(count);
        }
    }
    std::vector<ContactRecord> fresh;
    fresh.reserve(take.size());
    for (size_t k : take)
        fresh.push_back(std::move(records[k]));
    if (count + qsizetype(fresh.size()) > kMaxLines) {
        result.failure = QStringLiteral("the address book would hold %1 contacts, more than the "
                                        "%2 it can hold")
                             .arg(count + qsizetype(fresh.size()))
                             .arg(kMaxLines);
        return result;
    }
    if (fresh.empty()) {
        result.saved = true;
        return result;
    }
    const bool wasUnsaved = ContactTableUnsaved();
    const int16_t oldCount = ContactCount;
    const int16_t oldCurrent = CurrentContact;
    const ContactRecord sample = result.replacedSample ? Contacts[1] : ContactRecord();
    try {
        Contacts.resize(size_t(count) + fresh.size() + 2);
    } catch (const std::exception&) {
        result.failure = OutOfMemory();
        return result;
    }
    std::move(fresh.begin(), fresh.end(), Contacts.begin() + count + 1);
    ContactCount = static_cast<int16_t>(count + fresh.size());
    m_unsaved = true;
    if (result.replacedSample)
        CurrentContact = 0; // the contact it named is gone
    if (SaveContacts()) {
        result.saved = true;
        result.added = int(fresh.size());
        emit contactsReloaded();
        return result;
    }
    // Nothing changed: the table goes back to what it was.
    Contacts.resize(size_t(oldCount) + 2);
    Contacts[size_t(oldCount) + 1] = ContactRecord();
    if (result.replacedSample)
        Contacts[1] = sample;
    ContactCount = oldCount;
    CurrentContact = oldCurrent;
    result.replacedSample = false;
    m_unsaved = wasUnsaved;
    result.failure = QStringLiteral("the contact file could not be saved");
    return result;
}

int ContactStore::PositionOfContact(quint64 serial) const
{
    const auto& c = Contacts;
    const int count = std::min<int>(ContactCount, int(c.size()) - 1);
    const int current = CurrentContact;
    if (current >= 1 && current <= count && c[current].Serial() == serial)
        return current;
    for (int i = 1; i <= count; ++i)
        if (c[i].Serial() == serial)
            return i;
    return 0;
}

QString CardTooLongMessage()
{
    return QStringLiteral("This contact is too long to be kept: its line in the contact file "
                          "may hold at most %1 characters. Shorten the notes or another field, "
                          "then save again.")
        .arg(kMaxLineLength);
}

qsizetype ContactStore::CardTextRoom(quint64 serial) const
{
    ContactRecord others;
    if (const int position = PositionOfContact(serial)) {
        others = Contacts[position];
        for (int f : ContactField::CardFields)
            others.SetField(f, QString());
    }
    return std::max<qsizetype>(0, kMaxLineLength - SavedLineLength(others));
}

// Characters, not UTF-16 units: a surrogate pair is one character.
qsizetype CharacterCount(QStringView text)
{
    qsizetype n = text.size();
    for (QChar c : text)
        n -= c.isLowSurrogate();
    return n;
}

CardWrite ContactStore::WriteCardToContact(quint64 serial, const CardTexts& texts)
{
    const int position = PositionOfContact(serial);
    if (position == 0)
        return CardWrite::Gone;
    ContactRecord& record = Contacts[position];
    ContactRecord updated = record;
    for (size_t i = 0; i < texts.size(); ++i)
        updated.SetField(ContactField::CardFields[i], StripControlChars(texts[i]));
    if (updated == record)
        return CardWrite::Unchanged;
    updated.SetField(ContactField::ChangedAt, ChangeStamp(platform().Now()));
    if (SavedLineLength(updated) > kMaxLineLength)
        return CardWrite::TooLong;
    record = std::move(updated);
    m_unsaved = true;
    emit contactChanged(position);
    return CardWrite::Written;
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

QString ContactStore::ContactListLine(int position) const
{
    const ContactRecord& r = Contacts[position];
    QString line = QString::number(position) + QStringLiteral(". ");
    const QString& chat = r.Field(ContactField::ChatName);
    const QString& real = r.Field(ContactField::RealName);
    if (!chat.isEmpty())
        line += chat;
    if (!real.isEmpty())
        line += QStringLiteral("   ( ") + real + QStringLiteral(" )");
    return line;
}

void ContactStore::SetCurrentContact(int position)
{
    CurrentContact = static_cast<int16_t>(position);
    emit currentContactChanged(position);
}
