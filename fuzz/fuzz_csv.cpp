// Feeds arbitrary bytes to the CSV contact reader and checks what it makes of
// them:
// - no field holds a character below code 32, and only the twelve card
//   fields are ever set;
// - the contacts and skip notes stay within their bounds;
// - writing the contacts read as CSV and reading that again gives the same
//   contacts, with nothing skipped.
#include "core/contacts/ContactCsv.h"
#include "core/contacts/ContactStore.h"

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

bool OnCard(int field)
{
    return std::find(ContactField::CardFields.begin(), ContactField::CardFields.end(), field) !=
           ContactField::CardFields.end();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ContactImport in;
    QString error;
    const bool ok = ReadContactCsv(bytes, in, &error);
    Check(ok || (in.contacts.empty() && in.unreadable.isEmpty() && !error.isEmpty()),
          "a refused file leaves nothing read and says why");
    Check(in.contacts.size() <= size_t(MaxContacts), "at most MaxContacts contacts");
    Check(in.unreadable.size() <= 502, "skip notes bounded");
    for (const ContactRecord& r : in.contacts)
        for (int i = 0; i < ContactField::Count; ++i) {
            const QString f = r.Field(i);
            Check(OnCard(i) || f.isEmpty(), "only card fields set");
            for (QChar c : f)
                Check(c.unicode() >= 32, "no control characters in fields");
        }
    if (in.contacts.empty())
        return 0;

    ContactImport again;
    Check(ReadContactCsv(ContactsToCsv(in.contacts), again, &error), "own export is read");
    Check(again.unreadable.isEmpty(), "own export has no unreadable row");
    Check(again.contacts.size() == in.contacts.size(), "same number of contacts");
    for (size_t k = 0; k < in.contacts.size(); ++k)
        Check(again.contacts[k] == in.contacts[k], "same contact after export and import");
    return 0;
}
