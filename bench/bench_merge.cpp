// The merge of two books of 32699 contacts changed apart since a common base:
// MergeBooks, 21 runs, median and minimum.
// The base is the file bench_contacts writes; each side then changes one
// contact in twenty (an e-mail here, notes there; one in a hundred has the
// same field changed on both), deletes one in a hundred and adds one in a
// hundred.
// Usage: bench_contacts --write book.lis && bench_merge book.lis
#include "core/contacts/BookMerge.h"
#include "core/contacts/ContactIdentity.h"
#include "core/contacts/ContactStore.h"
#include "support/FakeSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

namespace F = ContactField;

std::vector<ContactRecord> Changed(const std::vector<ContactRecord>& base, int offset,
                                   int field, const QString& stamp)
{
    std::vector<ContactRecord> side;
    side.reserve(base.size() + base.size() / 100);
    for (size_t i = 0; i < base.size(); ++i) {
        if ((i + offset) % 100 == 7)
            continue;  // deleted
        ContactRecord r = base[i];
        if ((i + offset) % 20 == 3 || i % 100 == 50) {
            r.SetField(field, r.Field(field) + QStringLiteral(" changed %1").arg(offset));
            r.SetField(F::ChangedAt, stamp);
        }
        side.push_back(std::move(r));
        if ((i + offset) % 100 == 11) {
            ContactRecord added;
            added.SetField(F::Identity, NewContactIdentity());
            added.SetField(F::ChangedAt, stamp);
            added.SetField(F::ChatName, QStringLiteral("new %1 %2").arg(offset).arg(i));
            side.push_back(std::move(added));
        }
    }
    return side;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_merge <contact file>\n");
        return 1;
    }
    FakeSystem fake;
    ContactStore book;
    book.ContactFilePath = QString::fromLocal8Bit(argv[1]);
    book.LoadContacts();
    const std::vector<ContactRecord> base(book.Contacts.begin() + 1,
                                          book.Contacts.begin() + 1 + book.ContactCount);
    const auto mine = Changed(base, 0, F::Email, QStringLiteral("2026-12-09T10:00:00.000Z"));
    const auto theirs = Changed(base, 10, F::Notes, QStringLiteral("2026-12-09T11:00:00.000Z"));
    std::vector<double> ms;
    size_t merged = 0;
    qsizetype conflicts = 0;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer t;
        t.start();
        const MergedBook result = MergeBooks(base, mine, theirs);
        ms.push_back(t.nsecsElapsed() / 1e6);
        merged = result.contacts.size();
        conflicts = result.conflicts.size();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("base %zu, mine %zu, theirs %zu contacts -> merged %zu, %lld conflicts\n",
                base.size(), mine.size(), theirs.size(), merged, (long long)conflicts);
    std::printf("merge median %.2f ms (min %.2f), target <= 500 ms\n", ms[ms.size() / 2],
                ms.front());
    return ms[ms.size() / 2] <= 500 ? 0 : 2;
}
