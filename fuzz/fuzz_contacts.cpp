// Feeds arbitrary bytes to the contact line parser and to the whole-file
// loader, and checks what they make of them against a plain reading of the
// same bytes: every non-blank line is one contact, parsed field by field, and
// a table that was read completely saves and reads back unchanged.
#include "core/contacts/ContactStore.h"
#include "QuietPlatform.h"
#include "core/platform/Platform.h"
#include "core/platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// In memory where possible: every save ends with a sync to the disk.
QTemporaryDir& Folder()
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/banterly-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/banterly-fuzz-XXXXXX"));
    return dir;
}

QuietPlatform& Quiet()
{
    static QuietPlatform p;
    p.folder = Folder().path();
    return p;
}

bool IsBlank(const QString& line)
{
    for (QChar c : line)
        if (c != u' ')
            return false;
    return true;
}

// The contacts the bytes hold, read the plain way.
std::vector<ContactRecord> ReadPlainly(QByteArrayView bytes)
{
    std::vector<ContactRecord> out;
    qsizetype start = 0;
    auto take = [&](qsizetype end) {
        const QString line = DecodeLine(bytes.sliced(start, end - start));
        if (!line.isEmpty() && !IsBlank(line)) {
            ContactRecord r;
            ParseContactLine(r, line, ContactDelimiter);
            out.push_back(r);
        }
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            take(i);
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < bytes.size())
        take(bytes.size());
    return out;
}

void CheckLine(QByteArrayView bytes)
{
    const QString line = DecodeLine(bytes);
    ContactRecord r;
    ParseContactLine(r, line, ContactDelimiter);
    const QString written = ContactToLine(r, ContactDelimiter);
    Check(written.count(ContactDelimiter) == 82, "a written line has every delimiter");
    ContactRecord again;
    ParseContactLine(again, written, ContactDelimiter);
    Check(again == r, "a written line reads back the same");
    for (int i = 0; i < ContactField::Count; ++i)
        Check(again.Field(i) == r.Field(i), "every field reads back the same");
    // The search agrees with upper-casing the whole search line, for a piece
    // of that line, for the input's start and for the input itself.
    // The identity and the change stamp are not searched.
    QString searched = r.Field(ContactField::ContactID) + QChar(u' ');
    for (int i = ContactField::ChangedAt + 1; i < ContactField::Count; ++i)
        searched += r.Field(i) + QChar(u' ');
    const QByteArray search = searched.toUpper().toUtf8();
    const qsizetype from = bytes.isEmpty() ? 0 : qsizetype(uint8_t(bytes[0])) % search.size();
    const QByteArray needles[] = {search.mid(from, 1 + bytes.size() % 9),
                                  line.left(4).toUpper().toUtf8(), line.toUpper().toUtf8(),
                                  search.right(3)};
    for (const QByteArray& needle : needles) {
        if (needle.isEmpty())
            continue;
        const bool sevenBit = std::all_of(needle.begin(), needle.end(),
                                          [](char c) { return uint8_t(c) < 0x80; });
        Check(r.SearchLineContains(needle, sevenBit) == search.contains(needle),
              "the search finds what the upper-cased line holds");
    }

    ContactRecord ascii;
    if (ascii.AssignAsciiLine(bytes, char(31)))
        Check(ascii == r, "the 7-bit reader agrees with the general one");
    // Other delimiters, as the search line and callers may use.
    ParseContactLine(again, line, QChar(u' '));
    Check(ContactToLine(again, QChar(u' ')).count(QChar(u' ')) == 82, "space delimiter");
    ParseContactLine(again, line, QChar(0x00e9));
    Check(ContactToLine(again, QChar(0x00e9)).count(QChar(0x00e9)) == 82, "non-ASCII delimiter");
}

void CheckFile(QByteArrayView bytes)
{
    const QString path = Folder().filePath(QStringLiteral("chatcontacts.lis"));
    {
        QFile f(path);
        Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "temp file opens");
        Check(f.write(bytes.data(), bytes.size()) == bytes.size(), "temp file written");
    }
    ContactStore book;
    book.ContactFilePath = path;
    int told = 0;
    QObject::connect(&book, &ContactStore::problem, [&told] { ++told; });
    QObject::connect(&book, &ContactStore::saveFailed, [&told] { ++told; });
    book.LoadContacts();

    const std::vector<ContactRecord> plain = ReadPlainly(bytes);
    const int count = book.ContactCount;
    Check(count <= 32699, "at most 32699 contacts");
    Check(book.Contacts.size() == size_t(count) + 2, "one spare slot");
    Check(count == int(std::min<size_t>(plain.size(), 32699)), "every non-blank line is a contact");
    // A contact without an identity of its own (none, or one an earlier
    // contact holds) is given one in memory; everything else is as read.
    QSet<QString> identities;
    for (int i = 1; i <= count; ++i) {
        ContactRecord expected = plain[i - 1];
        const QString identity = expected.Field(ContactField::Identity);
        if (identity.isEmpty() || identities.contains(identity))
            expected.SetField(ContactField::Identity, book.Contacts[i].Field(ContactField::Identity));
        identities.insert(book.Contacts[i].Field(ContactField::Identity));
        Check(book.Contacts[i] == expected, "contacts as read plainly");
    }
    Check(book.ReadOnly == (told == 1), "read-only exactly when reported");
    if (plain.size() > 32699)
        Check(book.ReadOnly, "too many lines make the store read-only");

    const QByteArray before = QByteArray(bytes.data(), bytes.size());
    book.FindContact(0, count, QStringLiteral("\u00e9a"));
    if (book.ReadOnly) {
        Check(!book.SaveContacts(), "a read-only store is not saved");
        QFile f(path);
        Check(f.open(QIODevice::ReadOnly) && f.readAll() == before, "the file stays as it was");
        return;
    }
    Check(book.SaveContacts(), "a complete table saves");
    const std::vector<ContactRecord> saved(book.Contacts.begin() + 1,
                                           book.Contacts.begin() + 1 + count);
    book.LoadContacts();
    Check(book.ContactCount == count, "the saved file holds every contact");
    for (int i = 1; i <= count; ++i)
        Check(book.Contacts[i] == saved[i - 1], "the saved file reads back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetPlatform(&Quiet());
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckLine(bytes);
    CheckFile(bytes);
    QFile::remove(Folder().filePath(QStringLiteral("banterly.log")));
    return 0;
}
