// The merge of two books of 32699 contacts changed apart since a common base:
// MergeBooks, 21 runs, median and minimum.
// The base is the file bench_contacts writes; each side then changes one
// contact in twenty (an e-mail here, notes there; one in a hundred has the
// same field changed on both), deletes one in a hundred and adds one in a
// hundred.
// Then the book's side of a file replaced from outside (TakeOutsideChange),
// 21 runs each: with nothing unsaved (a load), and with one unsaved card
// edit (read, merge, save once).
// Usage: bench_contacts --write book.lis && bench_merge book.lis
#include "core/contacts/BookMerge.h"
#include "core/contacts/ContactIdentity.h"
#include "core/contacts/ContactStore.h"
#include "support/FakeSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

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
        if ((i + offset) % 20 == 3) {
            r.SetField(field, r.Field(field) + QStringLiteral(" changed %1").arg(offset));
            r.SetField(F::ChangedAt, stamp);
        }
        if (i % 100 == 50) {  // the same field on both sides
            r.SetField(F::Website, QStringLiteral("http://example.org/%1").arg(offset));
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

QByteArray FileOf(const std::vector<ContactRecord>& book)
{
    QByteArray bytes;
    for (const ContactRecord& r : book) {
        r.AppendUtf8Line(bytes, char(31));
        bytes.append("\r\n");
    }
    return bytes;
}

// Puts the bytes in place as a sync program does: a temporary file renamed
// over the book.
bool Land(const QString& path, const QByteArray& bytes)
{
    const QString temporary = path + QStringLiteral(".incoming");
    QFile f(temporary);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush() &&
           std::rename(qPrintable(temporary), qPrintable(path)) == 0;
}

void Print(const char* what, std::vector<double> ms, double target)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-28s median %8.2f ms (min %8.2f), target <= %.0f ms\n", what,
                ms[ms.size() / 2], ms.front(), target);
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
    std::printf("base %zu, mine %zu, theirs %zu contacts -> merged %zu, %lld conflicts\n",
                base.size(), mine.size(), theirs.size(), merged, (long long)conflicts);
    Print("MergeBooks", ms, 500);

    QTemporaryDir dir;
    fake.programFolder = dir.path();
    ContactStore here;
    here.ContactFilePath = dir.filePath(QStringLiteral("chatcontacts.lis"));
    const QByteArray files[2] = {FileOf(base), FileOf(theirs)};
    if (!Land(here.ContactFilePath, files[0]))
        return 1;
    here.LoadContacts();
    std::vector<double> reload, mergeAndSave;
    for (int run = 0; run < 21; ++run) {
        if (!Land(here.ContactFilePath, files[(run + 1) % 2]))
            return 1;
        QElapsedTimer t;
        t.start();
        here.TakeOutsideChange();
        reload.push_back(t.nsecsElapsed() / 1e6);
    }
    for (int run = 0; run < 21; ++run) {
        CardTexts texts;
        texts[11] = QStringLiteral("typed %1").arg(run);
        here.WriteCardToContact(here.Contacts[1 + run * 97].Serial(), texts);
        if (!Land(here.ContactFilePath, files[run % 2]))
            return 1;
        QElapsedTimer t;
        t.start();
        here.TakeOutsideChange();
        mergeAndSave.push_back(t.nsecsElapsed() / 1e6);
        if (here.ContactTableUnsaved())
            return 3;
    }
    Print("TakeOutsideChange, a load", reload, 300);
    Print("TakeOutsideChange, a merge", mergeAndSave, 500);
    return 0;
}
