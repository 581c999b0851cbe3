#pragma once

#include <QString>

class ContactStore;

// Contacts and phrases to and from files of other programs. The contact
// format follows the file name: ".vcf" (or ".vcard") vCard, ".csv" CSV;
// phrases are plain text, one a line, UTF-8. The same code serves the
// toolbar's menu and the command line. Contacts are taken from and added to
// the loaded table (an import is one change and one save); phrases from and
// to the phrase file.
struct ExchangeResult {
    enum Status { Done = 0, Failed = 1, BadRequest = 2 };
    Status status = Done;
    QString summary;  // one line for the user, on success
    QString error;    // why not, otherwise (nothing was changed)
};

ExchangeResult ExportContacts(const ContactStore& book, const QString& fileName);
ExchangeResult ImportContacts(ContactStore& book, const QString& fileName);
// The phrases go from and to the phrase file `phraseListFile`.
ExchangeResult ExportPhrases(const QString& fileName, const QString& phraseListFile);
ExchangeResult ImportPhrases(const QString& fileName, const QString& phraseListFile);

// One of the above by its command-line name ("import-contacts",
// "export-contacts", "import-phrases", "export-phrases").
ExchangeResult RunExchange(ContactStore& book, const QString& command, const QString& fileName,
                           const QString& phraseListFile);

// Whether the file name has a suffix the contact import and export know.
bool IsContactExchangeFile(const QString& fileName);
