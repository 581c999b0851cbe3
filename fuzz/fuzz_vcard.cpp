// Feeds arbitrary bytes to the vCard reader and checks what it makes of them:
// - no field holds a character below code 32, and the ID is empty;
// - the contacts and skip notes stay within their bounds;
// - writing the contacts read as vCard and reading that again gives the
//   same contacts, field for field, with nothing skipped.
#include "core/contacts/ContactStore.h"
#include "core/contacts/VCard.h"

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

bool Clean(const ContactRecord& r)
{
    for (int i = 0; i < ContactField::Count; ++i)
        for (QChar c : r.Field(i))
            if (c.unicode() < 32)
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    ContactImport in;
    QString error;
    const bool ok = ReadVCards(bytes, in, &error);
    Check(ok || (in.contacts.empty() && in.unreadable.isEmpty() && !error.isEmpty()),
          "a refused file leaves nothing read and says why");
    Check(in.contacts.size() <= size_t(MaxContacts), "at most MaxContacts contacts");
    Check(in.unreadable.size() <= 502, "skip notes bounded");
    for (const ContactRecord& r : in.contacts) {
        Check(Clean(r), "no control characters in fields");
        Check(r.Field(ContactField::ContactID).isEmpty(), "empty ID");
    }
    if (in.contacts.empty())
        return 0;

    ContactImport again;
    Check(ReadVCards(ContactsToVCard(in.contacts), again, &error), "own export is read");
    Check(again.unreadable.isEmpty(), "own export has no unreadable card");
    Check(again.contacts.size() == in.contacts.size(), "same number of contacts");
    for (size_t k = 0; k < in.contacts.size(); ++k)
        Check(again.contacts[k] == in.contacts[k], "same contact after export and import");
    return 0;
}
