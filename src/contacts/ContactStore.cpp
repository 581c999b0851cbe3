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

ContactStoreValues ContactStore;

namespace {

constexpr int kMaxLineLength = 32767;
constexpr int kMaxLines = 32699;

void Report(const QString& message)
{
    LogError(message);
    platform().MessageBox(message);
}

void MakeReadOnly(const QString& reason)
{
    ContactStore.ReadOnly = true;
    ContactStore.ReadOnlyReason = reason;
    Report(reason);
}

bool IsBlankLine(QStringView line)
{
    for (QChar c : line)
        if (c != u' ')
            return false;
    return true;
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
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(EncodeLine(ContactToLine(sample, ContactDelimiter)) + "\r\n");
    return file.commit();
}

} // namespace

QString ContactToLine(const ContactRecord& record, QChar delimiter)
{
    QString line;
    for (int i = 0; i < ContactField::Count; ++i) {
        line += record.Field(i);
        line += delimiter;
    }
    return line;
}

void ParseContactLine(ContactRecord& record, QStringView line, QChar delimiter)
{
    qsizetype start = 0;
    for (int i = 0; i < ContactField::Count; ++i) {
        if (start > line.size()) {
            record.SetField(i, QString());
            continue;
        }
        qsizetype end = line.indexOf(delimiter, start);
        if (end < 0)
            end = line.size();
        record.SetField(i, line.sliced(start, end - start).toString());
        start = end + 1;
    }
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
    ContactStore.Contacts.assign(101, ContactRecord());
    ContactStore.ReadOnly = false;
    ContactStore.ReadOnlyReason.clear();
    const QString& path = ContactStore.ContactFilePath;
    int n = 0;
    auto finish = [&n] {
        ContactStore.Contacts.resize(n + 2);
        ContactStore.ContactCount = static_cast<int16_t>(n);
        ContactStore.ContactsChanged = false;
    };

    if (path.isEmpty()) {
        MakeReadOnly(QStringLiteral("No contact file is named in the settings."));
        finish();
        return;
    }
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        if (!WriteSample(path)) {
            Report(QStringLiteral("Could not create the contact file ") + path);
            finish();
            return;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        MakeReadOnly(QStringLiteral("Could not read the contacts from ") + path + QStringLiteral(": ") +
                     file.errorString());
        finish();
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        MakeReadOnly(QStringLiteral("Could not read the contacts from ") + path + QStringLiteral(": ") +
                     file.errorString());
        finish();
        return;
    }
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const QString line = DecodeLine(QByteArrayView(bytes).sliced(pos, end - pos));
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n')
            ++pos;
        if (line.isEmpty() || IsBlankLine(line))
            continue;
        if (line.size() > kMaxLineLength || n >= kMaxLines) {
            MakeReadOnly(QStringLiteral("The contact file ") + path +
                         QStringLiteral(" is larger than Banterly can hold; it is opened read-only "
                                        "and will not be changed."));
            break;
        }
        ++n;
        if (size_t(n) >= ContactStore.Contacts.size())
            ContactStore.Contacts.resize(n + 100);
        ParseContactLine(ContactStore.Contacts[n], line, ContactDelimiter);
    }
    finish();
}

bool SaveContacts()
{
    const QString& path = ContactStore.ContactFilePath;
    if (ContactStore.ReadOnly) {
        Report(QStringLiteral("The contacts were not saved: ") + ContactStore.ReadOnlyReason);
        return false;
    }
    const QDate today = platform().Now().date();
    QByteArray out;
    for (int i = 1; i <= ContactStore.ContactCount; ++i) {
        ContactRecord& r = ContactStore.Contacts[i];
        if (i <= 999)
            r.SetField(ContactField::ContactID, ContactIdFor(i, today));
        out += EncodeLine(ContactToLine(r, ContactDelimiter));
        out += "\r\n";
    }
    QSaveFile file(path);
    QString reason;
    if (!file.open(QIODevice::WriteOnly))
        reason = file.errorString();
    else if (file.write(out) != out.size())
        reason = file.errorString();
    else if (!file.commit())
        reason = file.errorString();
    if (!reason.isEmpty()) {
        file.cancelWriting();
        Report(QStringLiteral("Could not save the contacts to ") + path + QStringLiteral(": ") + reason);
        return false;
    }
    return true;
}

int16_t FindContact(int first, int last, const QString& text)
{
    const QString needle = text.toUpper();
    if (first < 1)
        first = 1;
    last = qMin(last, int(ContactStore.ContactCount));
    for (int i = first; i <= last; ++i) {
        if (ContactToLine(ContactStore.Contacts[i], QChar(u' ')).toUpper().contains(needle)) {
            ContactStore.CurrentContact = static_cast<int16_t>(i);
            return static_cast<int16_t>(i);
        }
    }
    platform().Beep();
    return 0;
}

bool DeleteContact(int position)
{
    Platform& p = platform();
    p.SetBusyPointer(true);
    auto& c = ContactStore.Contacts;
    for (int j = position; j < ContactStore.ContactCount; ++j)
        c[j] = c[j + 1];
    ContactStore.ContactCount--;
    if (ContactStore.CurrentContact > ContactStore.ContactCount)
        ContactStore.CurrentContact = ContactStore.ContactCount;
    const bool saved = SaveContacts();
    FillContactList(*ChatContactList().lstNames);
    p.SetBusyPointer(false);
    return saved;
}

bool AddContact()
{
    if (ContactStore.ContactCount >= MaxContacts) {
        platform().MessageBox(QStringLiteral("The address book is full (32766 contacts)."));
        return false;
    }
    ContactStore.ContactCount++;
    ContactStore.CurrentContact = ContactStore.ContactCount;
    if (ContactStore.Contacts.size() < size_t(ContactStore.ContactCount) + 2)
        ContactStore.Contacts.resize(ContactStore.ContactCount + 2);
    ContactStore.Contacts[ContactStore.CurrentContact].Clear();
    ClearCurrentContact();
    return true;
}

void ClearCurrentContact()
{
    ContactRecord& r = ContactStore.Contacts[ContactStore.CurrentContact];
    for (int f : ContactField::CardFields)
        r.SetField(f, QString());
}
