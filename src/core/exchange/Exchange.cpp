#include "core/exchange/Exchange.h"

#include "core/contacts/ContactCsv.h"
#include "core/contacts/ContactStore.h"
#include "core/contacts/VCard.h"
#include "core/files/ErrorLog.h"
#include "core/files/ListFiles.h"
#include "core/platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

// Address books of honest size are far smaller; anything larger is refused
// rather than read into memory.
constexpr qint64 kMaxImportBytes = qint64(128) << 20;

enum class Format { Unknown, VCard, Csv };

Format FormatOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QStringLiteral("vcf") || suffix == QStringLiteral("vcard"))
        return Format::VCard;
    if (suffix == QStringLiteral("csv"))
        return Format::Csv;
    return Format::Unknown;
}

ExchangeResult Fail(ExchangeResult::Status status, const QString& error)
{
    ExchangeResult r;
    r.status = status;
    r.error = error;
    return r;
}

ExchangeResult Done(const QString& summary)
{
    ExchangeResult r;
    r.summary = summary;
    return r;
}

QString Shown(const QString& fileName) { return QDir::toNativeSeparators(fileName); }

// Reads a whole file to import. Only a regular file (or a link to one) is
// opened, so a pipe or a device can never make the program wait.
bool ReadImportFile(const QString& fileName, QByteArray& bytes, QString& error)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        error = QStringLiteral("there is no file ") + Shown(fileName);
        return false;
    }
    if (!info.isFile()) {
        error = Shown(fileName) + QStringLiteral(" is not a file");
        return false;
    }
    if (info.size() > kMaxImportBytes) {
        error = Shown(fileName) + QStringLiteral(" is larger than %1 MB").arg(kMaxImportBytes >> 20);
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("could not read ") + Shown(fileName) + QStringLiteral(": ") +
                file.errorString();
        return false;
    }
    bytes = file.read(kMaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxImportBytes) {
        error = QStringLiteral("could not read all of ") + Shown(fileName);
        return false;
    }
    return true;
}

ExchangeResult WriteExport(const QString& fileName, const QByteArray& bytes, const QString& summary)
{
    OsError error;
    if (!WriteFileAtomically(fileName, bytes, &error))
        return Fail(ExchangeResult::Failed, QStringLiteral("could not write ") + Shown(fileName) +
                                                QStringLiteral(": ") + error.description);
    return Done(summary);
}

QString Count(int n, const char* one, const char* many)
{
    return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(n == 1 ? one : many);
}

// "phone numbers of 3 contacts and addresses of 1 were not kept: ..." for
// the kinds of data the contacts read held and the book has no field for.
QString LeftOutText(const std::array<int, int(LeftOut::Count)>& counts)
{
    static const char* const kinds[] = {"phone numbers", "addresses", "birthdays",
                                        "organisations", "photos", "messenger names",
                                        "further e-mail addresses"};
    static_assert(std::size(kinds) == size_t(LeftOut::Count));
    QStringList parts;
    for (int k = 0; k < int(LeftOut::Count); ++k) {
        if (counts[k] == 0)
            continue;
        parts.append(QString::fromLatin1(kinds[k]) + QStringLiteral(" of ") +
                     (parts.isEmpty() ? Count(counts[k], "contact", "contacts")
                                      : QString::number(counts[k])));
    }
    if (parts.isEmpty())
        return QString();
    QString text = parts.takeLast();
    if (!parts.isEmpty())
        text = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + text;
    return text + QStringLiteral(" were not kept: the book has no place for them");
}

// The log names every card and line an import passed over.
void LogPassedOver(const QString& fileName, const ContactImport& read)
{
    const QString head = QStringLiteral("Import of ") + Shown(fileName) + QStringLiteral(": ");
    for (const QString& note : read.unreadable)
        LogError(head + QStringLiteral("not read, ") + note);
    for (const QString& note : read.skippedLineNotes)
        LogError(head + QStringLiteral("skipped ") + note);
    if (read.skippedLines > read.skippedLineNotes.size())
        LogError(head + QStringLiteral("%1 more lines skipped")
                            .arg(read.skippedLines - read.skippedLineNotes.size()));
}

} // namespace

bool IsContactExchangeFile(const QString& fileName) { return FormatOf(fileName) != Format::Unknown; }

ExchangeResult RunExchange(ContactStore& book, const QString& command, const QString& fileName,
                           const QString& phraseListFile)
{
    if (command == QStringLiteral("import-contacts"))
        return ImportContacts(book, fileName);
    if (command == QStringLiteral("export-contacts"))
        return ExportContacts(book, fileName);
    if (command == QStringLiteral("import-phrases"))
        return ImportPhrases(fileName, phraseListFile);
    if (command == QStringLiteral("export-phrases"))
        return ExportPhrases(fileName, phraseListFile);
    return Fail(ExchangeResult::BadRequest, QStringLiteral("unknown command: ") + command);
}

ExchangeResult ExportContacts(const ContactStore& book, const QString& fileName)
{
    const Format format = FormatOf(fileName);
    if (format == Format::Unknown)
        return Fail(ExchangeResult::BadRequest,
                    QStringLiteral("the file name must end in .vcf (vCard) or .csv (CSV): ") +
                        Shown(fileName));
    const int count = std::min<int>(book.ContactCount, int(book.Contacts.size()) - 1);
    const std::span<const ContactRecord> contacts(book.Contacts.data() + 1, size_t(std::max(count, 0)));
    const QByteArray bytes = format == Format::VCard ? ContactsToVCard(contacts) : ContactsToCsv(contacts);
    return WriteExport(fileName, bytes,
                       QStringLiteral("Exported ") + Count(count, "contact", "contacts") +
                           QStringLiteral(" to ") + Shown(fileName) + QLatin1Char('.'));
}

ExchangeResult ImportContacts(ContactStore& book, const QString& fileName)
{
    const Format format = FormatOf(fileName);
    if (format == Format::Unknown)
        return Fail(ExchangeResult::BadRequest,
                    QStringLiteral("the file name must end in .vcf (vCard) or .csv (CSV): ") +
                        Shown(fileName));
    QByteArray bytes;
    QString error;
    if (!ReadImportFile(fileName, bytes, error))
        return Fail(ExchangeResult::Failed, error);
    ContactImport read;
    const bool any = format == Format::VCard ? ReadVCards(bytes, read, &error)
                                             : ReadContactCsv(bytes, read, &error);
    bytes.clear();
    if (!any)
        return Fail(ExchangeResult::Failed, Shown(fileName) +
                                                QStringLiteral(" holds no address book: ") + error);
    const int unreadable = int(read.unreadable.size());
    LogPassedOver(fileName, read);
    const AddedContacts added = book.AddContacts(std::move(read.contacts));
    if (!added.saved)
        return Fail(ExchangeResult::Failed, QStringLiteral("nothing was imported: ") + added.failure);
    QString unread;
    if (unreadable > 0) {
        const bool cards = format == Format::VCard;
        unread = QStringLiteral("%1 not be read: ")
                     .arg(Count(unreadable, cards ? "card" : "row", cards ? "cards" : "rows") +
                          QStringLiteral(" could"));
        unread += read.unreadable.first();
        if (unreadable > 1)
            unread += QStringLiteral("; …");
    }
    // Every card broken and nothing taken: the import failed.
    if (added.added == 0 && unreadable > 0)
        return Fail(ExchangeResult::Failed, QStringLiteral("nothing was imported: ") + unread);
    QString summary = QStringLiteral("Imported ") + Count(added.added, "contact", "contacts");
    if (added.replacedSample)
        summary += QStringLiteral(" in place of the sample contact");
    if (added.duplicates > 0)
        summary += QStringLiteral(", skipped %1 already in the book").arg(added.duplicates);
    if (added.tooLong > 0)
        summary += QStringLiteral(", skipped %1 too long for a contact").arg(added.tooLong);
    if (!unread.isEmpty())
        summary += QStringLiteral(", ") + unread;
    if (read.skippedLines > 0)
        summary += QStringLiteral(", ") + Count(read.skippedLines, "line was", "lines were") +
                   QStringLiteral(" skipped");
    const QString leftOut = LeftOutText(read.leftOut);
    if (!leftOut.isEmpty())
        summary += QStringLiteral("; ") + leftOut;
    return Done(summary + QLatin1Char('.'));
}

ExchangeResult ExportPhrases(const QString& fileName, const QString& phraseListFile)
{
    QStringList phrases;
    // No phrase file yet: nothing to export, an empty list.
    if (IsListFilePresent(phraseListFile) &&
        LoadListFile(phraseListFile, phrases) != ListLoad::Complete)
        return Fail(ExchangeResult::Failed,
                    QStringLiteral("the phrase file could not be read completely: ") +
                        Shown(phraseListFile));
    OsError error;
    if (!WriteListFile(fileName, phrases, &error, PreviousVersion::Drop))
        return Fail(ExchangeResult::Failed, QStringLiteral("could not write ") + Shown(fileName) +
                                                QStringLiteral(": ") + error.description);
    return Done(QStringLiteral("Exported ") + Count(int(phrases.size()), "phrase", "phrases") +
                QStringLiteral(" to ") + Shown(fileName) + QLatin1Char('.'));
}

ExchangeResult ImportPhrases(const QString& fileName, const QString& phraseListFile)
{
    QByteArray bytes;
    QString error;
    if (!ReadImportFile(fileName, bytes, error))
        return Fail(ExchangeResult::Failed, error);
    bool complete = true;
    const QStringList incoming = ParseListFile(bytes, &complete);
    if (!complete)
        return Fail(ExchangeResult::Failed, Shown(fileName) +
                                                QStringLiteral(" holds more or longer lines than a "
                                                               "phrase list can hold"));
    const QString& path = phraseListFile;
    QStringList phrases;
    if (IsListFilePresent(path) && LoadListFile(path, phrases) != ListLoad::Complete)
        return Fail(ExchangeResult::Failed,
                    QStringLiteral("the phrase file could not be read completely: ") + Shown(path));
    QSet<QString> known(phrases.cbegin(), phrases.cend());
    int added = 0, skipped = 0;
    for (const QString& phrase : incoming) {
        if (known.contains(phrase)) {
            ++skipped;
            continue;
        }
        known.insert(phrase);
        phrases.append(phrase);
        ++added;
    }
    if (phrases.size() > kMaxListItems)
        return Fail(ExchangeResult::Failed,
                    QStringLiteral("the phrase list would hold more than %1 phrases").arg(kMaxListItems));
    if (added > 0) {
        OsError failure;
        if (!WriteListFile(path, phrases, &failure))
            return Fail(ExchangeResult::Failed, QStringLiteral("could not save ") + Shown(path) +
                                                    QStringLiteral(": ") + failure.description);
    }
    QString summary = QStringLiteral("Imported ") + Count(added, "phrase", "phrases");
    if (skipped > 0)
        summary += QStringLiteral(", skipped %1 already in the list").arg(skipped);
    return Done(summary + QLatin1Char('.'));
}
