#include "contacts/ContactStore.h"

#include "app/Windows.h"
#include "contacts/ContactTransfer.h"
#include "contacts/frmChatContactList.h"
#include "files/ErrorLog.h"
#include "platform/Platform.h"
#include "platform/TextCodec.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

ContactStoreValues ContactStore;

namespace {

// The table's positions and a line's character positions were 16-bit
// numbers in the file's first home; files beyond those limits are read but
// never written over.
constexpr int kMaxLineLength = 32767;
constexpr int kMaxLines = 32699;
// No honest address book comes near this; anything larger is not read into
// memory whole.
constexpr qint64 kMaxFileBytes = qint64(128) << 20;
constexpr qint64 kReadChunk = qint64(4) << 20;
constexpr qsizetype kWriteChunk = qsizetype(1) << 20;
constexpr char kFileDelimiter = char(31);

void Report(const QString& message)
{
    LogError(message);
    platform().MessageBox(message);
}

QString ReadError(const QString& reason)
{
    return QStringLiteral("Could not read the contacts from ") + ContactStore.ContactFilePath +
           QStringLiteral(": ") + reason;
}

// Keeps the file as it is for the rest of the run; the first reason counts.
void MakeReadOnly(const QString& reason)
{
    if (ContactStore.ReadOnly)
        return;
    ContactStore.ReadOnly = true;
    ContactStore.ReadOnlyReason = reason;
    Report(reason + QStringLiteral(".\nThe contact file will not be changed until Banterly is "
                                   "started again."));
}

void RefuseSave(const QString& what)
{
    Report(what + ContactStore.ReadOnlyReason);
}

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

// Characters, not UTF-16 units: a surrogate pair is one character.
qsizetype CharacterCount(QStringView text)
{
    qsizetype n = text.size();
    for (QChar c : text)
        n -= c.isLowSurrogate();
    return n;
}

// Turns the bytes of the contact file into table rows. Lines end with CR LF,
// LF or CR; empty and space-only lines are skipped.
class ContactFileReader {
public:
    explicit ContactFileReader(std::vector<ContactRecord>& table) : m_table(table) {}

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
            MakeReadOnly(QStringLiteral("The contact file ") + ContactStore.ContactFilePath +
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
            MakeReadOnly(QStringLiteral("Line %1 of the contact file ").arg(Count()) +
                         ContactStore.ContactFilePath +
                         QStringLiteral(" is longer than %1 characters").arg(kMaxLineLength));
        return true;
    }

    int Count() const { return int(m_table.size()) - 1; }

    std::vector<ContactRecord>& m_table;
};

// Reads the file block by block, each block ending at a line end, so only
// a few megabytes of raw bytes are held at any time.
void ReadContactFile(QFile& file, std::vector<ContactRecord>& table)
{
    ContactFileReader reader(table);
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
            MakeReadOnly(ReadError(file.errorString()));
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
            MakeReadOnly(QStringLiteral("The contact file ") + ContactStore.ContactFilePath +
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

// Opens a save file for writing without Qt's buffer: a buffered write that
// the disk takes only in part (disk full, file size limit) is not reported
// and would be committed short, while an unbuffered one returns the count.
bool OpenForSaving(QSaveFile& file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool WriteAll(QSaveFile& file, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

QString WriteFailure(const QSaveFile& file)
{
    const QString reason = file.errorString();
    return reason.isEmpty() || reason == QStringLiteral("Unknown error")
               ? QStringLiteral("the disk took only part of the file")
               : reason;
}

bool WriteSample(const QString& path)
{
    ContactRecord sample;
    sample.SetField(ContactField::ContactID, QStringLiteral("CHAT0000001"));
    sample.SetField(ContactField::ChatName, QStringLiteral("Programmer"));
    sample.SetField(ContactField::RealName, QStringLiteral("Sam"));
    sample.SetField(ContactField::Email, QStringLiteral("sam@example.org"));
    sample.SetField(ContactField::Website, QStringLiteral("http://www.example.org/"));
    sample.SetField(ContactField::MetAt, QStringLiteral("http://chat.example.org/"));
    QSaveFile file(path);
    if (!OpenForSaving(file) ||
        !WriteAll(file, EncodeLine(ContactToLine(sample, ContactDelimiter)) + "\r\n")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Writes the table into an opened save file; the empty text on success,
// otherwise the reason.
QString WriteTable(QSaveFile& file)
{
    const int count = std::min<int>(ContactStore.ContactCount, int(ContactStore.Contacts.size()) - 1);
    QByteArray block;
    block.reserve(kWriteChunk + 64 * 1024);
    for (int i = 1; i <= count; ++i) {
        ContactStore.Contacts[i].AppendText(block);
        block.append("\r\n", 2);
        if (block.size() >= kWriteChunk || i == count) {
            ContactRecord::EndsToDelimiter(block.data(), block.size(), kFileDelimiter);
            if (!WriteAll(file, block))
                return WriteFailure(file);
            block.resize(0);
        }
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

} // namespace

QString ContactToLine(const ContactRecord& record, QChar delimiter)
{
    if (delimiter.unicode() < 0x80) {
        QByteArray line;
        record.AppendUtf8Line(line, char(delimiter.unicode()));
        return QString::fromUtf8(line);
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

void LoadContacts()
{
    ContactStore.ReadOnly = false;
    ContactStore.ReadOnlyReason.clear();
    const QString path = ContactStore.ContactFilePath;
    std::vector<ContactRecord> table(1);
    try {
        if (path.isEmpty()) {
            MakeReadOnly(QStringLiteral("No contact file is named in the settings"));
        } else if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink() && !WriteSample(path)) {
            // Nothing is lost: there was no file. Later saves try again.
            Report(QStringLiteral("Could not create the contact file ") + path);
        } else {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                MakeReadOnly(ReadError(file.errorString()));
            else
                ReadContactFile(file, table);
        }
    } catch (const std::exception&) {
        MakeReadOnly(ReadError(OutOfMemory()));
    }
    table.emplace_back(); // the spare slot
    ContactStore.Contacts = std::move(table);
    ContactStore.ContactCount = static_cast<int16_t>(ContactStore.Contacts.size() - 2);
    ContactStore.CurrentContact = std::min(ContactStore.CurrentContact, ContactStore.ContactCount);
    ContactStore.ContactsChanged = false;
}

bool SaveContacts()
{
    if (ContactStore.ReadOnly) {
        RefuseSave(QStringLiteral("The contacts were not saved: "));
        ContactStore.ContactsChanged = true;
        return false;
    }
    const QString& path = ContactStore.ContactFilePath;
    QString reason;
    {
        QSaveFile file(path);
        try {
            const QDate today = platform().Now().date();
            const int numbered = std::min<int>({ContactStore.ContactCount, 999,
                                                int(ContactStore.Contacts.size()) - 1});
            for (int i = 1; i <= numbered; ++i)
                ContactStore.Contacts[i].SetField(ContactField::ContactID, ContactIdFor(i, today));
            if (!OpenForSaving(file))
                reason = file.errorString();
            else
                reason = WriteTable(file);
        } catch (const std::exception&) {
            reason = OutOfMemory();
        }
        if (!reason.isEmpty())
            file.cancelWriting();
    }
    if (reason.isEmpty())
        return true;
    Report(QStringLiteral("Could not save the contacts to ") + path + QStringLiteral(": ") + reason);
    ContactStore.ContactsChanged = true;
    return false;
}

int16_t FindContact(int first, int last, const QString& text)
{
    const QByteArray needle = text.toUpper().toUtf8();
    first = std::max(first, 1);
    last = std::min({last, int(ContactStore.ContactCount), int(ContactStore.Contacts.size()) - 1});
    const bool sevenBit = std::all_of(needle.begin(), needle.end(),
                                      [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const auto& contacts = ContactStore.Contacts;
    for (int i = first; i <= last; ++i) {
        if (needle.isEmpty() || contacts[i].SearchLineContains(needle, sevenBit)) {
            ContactStore.CurrentContact = static_cast<int16_t>(i);
            return static_cast<int16_t>(i);
        }
    }
    platform().Beep();
    return 0;
}

bool DeleteContact(int position)
{
    if (ContactStore.ReadOnly) {
        RefuseSave(QStringLiteral("The contact was not deleted: "));
        return false;
    }
    const int count = ContactStore.ContactCount;
    if (position < 1 || position > count || size_t(count) >= ContactStore.Contacts.size())
        return false;
    Platform& p = platform();
    p.SetBusyPointer(true);
    auto& c = ContactStore.Contacts;
    std::move(c.begin() + position + 1, c.begin() + count + 1, c.begin() + position);
    // The vacated slot keeps no hidden copy of a contact.
    c[count].Clear();
    ContactStore.ContactCount--;
    if (ContactStore.CurrentContact > ContactStore.ContactCount)
        ContactStore.CurrentContact = ContactStore.ContactCount;
    const bool saved = SaveContacts();
    FillContactList(*ChatContactList().lstNames);
    if (!saved)
        ContactStore.ContactsChanged = true; // the next save tries again
    p.SetBusyPointer(false);
    return saved;
}

bool AddContact()
{
    if (ContactStore.ContactCount >= MaxContacts) {
        Report(QStringLiteral("The address book is full (32766 contacts)."));
        return false;
    }
    try {
        // The new contact and, above it, the spare slot.
        ContactStore.Contacts.resize(size_t(ContactStore.ContactCount) + 3);
    } catch (const std::exception&) {
        Report(QStringLiteral("The contact could not be added: ") + OutOfMemory());
        return false;
    }
    ContactStore.ContactCount++;
    ContactStore.CurrentContact = ContactStore.ContactCount;
    ContactStore.Contacts[ContactStore.CurrentContact].Clear();
    ClearCurrentContact();
    return true;
}

void ClearCurrentContact()
{
    const int current = ContactStore.CurrentContact;
    if (current < 0 || size_t(current) >= ContactStore.Contacts.size())
        return;
    ContactRecord& r = ContactStore.Contacts[current];
    for (int f : ContactField::CardFields)
        r.SetField(f, QString());
}
