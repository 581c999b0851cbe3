// vCard and CSV export and import of a table of 32699 contacts (the 13
// meaningful fields filled with realistic text, one contact in ten with
// accented names, one in five with two reserved fields set), then, as
// commands, of the widest book: 32699 contacts with all 82 fields filled.
// Each figure is the median of several runs; the target is one second each.
// Usage: bench_transfer [--widest]   (--widest: only the widest book's steps)
#include "core/contacts/ContactCsv.h"
#include "core/contacts/VCard.h"
#include "core/contacts/ContactStore.h"
#include "core/exchange/Exchange.h"
#include "../fuzz/QuietPlatform.h"
#include "CpuTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

namespace F = ContactField;

constexpr int kContacts = 32699;
const int kRuns = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 9;
constexpr double kTargetMs = 1000;

QString Pick(const char* const* list, int size, int i) { return QString::fromUtf8(list[i % size]); }

std::vector<ContactRecord> GenerateContacts()
{
    static const char* const names[] = {"Anna", "Bernd", "Carla", "Dmitri", "Elena", "Farid",
                                        "Greta", "Hugo", "Ines", "Jonas", "Kira", "Lukas"};
    static const char* const accented[] = {"Ren\xc3\xa9" "e", "Zo\xc3\xab", "J\xc3\xb6rg",
                                           "Fran\xc3\xa7ois", "\xc3\x81ngel"};
    static const char* const sites[] = {"http://chat.example.org/lounge",
                                        "http://talk.example.net/room/night-owls",
                                        "http://www.example.com/chat/friends"};
    static const char* const hair[] = {"brown", "blonde", "black", "red", "grey"};
    static const char* const eyes[] = {"blue", "green", "brown", "hazel"};
    static const char* const words[] = {"likes", "hiking,", "and", "old", "films;", "met",
                                        "twice", "in", "the", "evening", "room", "talks",
                                        "about", "music", "cats", "travel", "works", "nights"};
    std::vector<ContactRecord> contacts(kContacts);
    for (int i = 1; i <= kContacts; ++i) {
        ContactRecord& r = contacts[i - 1];
        const QString name = i % 10 == 0 ? Pick(accented, 5, i / 10) : Pick(names, 12, i * 7);
        r.SetField(F::ContactID, QStringLiteral("CHAT127%1").arg(i, 3, 10, QLatin1Char('0')));
        QString notes;
        for (int w = 0; notes.size() < 140 + (i * 37) % 60; ++w)
            notes += Pick(words, 18, i * 3 + w * 5) + u' ';
        r.SetField(F::Notes, notes.trimmed());
        r.SetField(F::ChatName, name.toLower() + u'_' + QString::number(i * 13 % 9973));
        r.SetField(F::Sex, i % 2 ? QStringLiteral("f") : QStringLiteral("m"));
        r.SetField(F::RealName, name + u' ' + Pick(names, 12, i * 5) + QStringLiteral("son"));
        r.SetField(F::Email, name.toLower() + QString::number(i) + QStringLiteral("@mail.example.org"));
        r.SetField(F::Website, QStringLiteral("http://www.example.org/~") + name.toLower() +
                                   QString::number(i));
        r.SetField(F::Height, QString::number(150 + i % 50));
        r.SetField(F::MetAt, Pick(sites, 3, i));
        r.SetField(F::Hair, Pick(hair, 5, i));
        r.SetField(F::Weight, QString::number(50 + i % 60));
        r.SetField(F::Eyes, Pick(eyes, 4, i));
        r.SetField(F::Age, QString::number(18 + i % 60));
        if (i % 5 == 0) {
            r.SetField(3, QStringLiteral("x"));
            r.SetField(70, QStringLiteral("kept %1").arg(i));
        }
    }
    return contacts;
}

// Every one of the 82 fields filled: the widest book a vCard export writes.
std::vector<ContactRecord> WidestBook()
{
    std::vector<ContactRecord> contacts = GenerateContacts();
    int n = 0;
    for (ContactRecord& r : contacts) {
        ++n;
        for (int i = 1; i < F::Count; ++i)
            if (r.Field(i).isEmpty())
                r.SetField(i, QString::number(n % 1000));
    }
    return contacts;
}

// The median processor time of the last Median call.
double lastCpuMs = 0;

double Median(const std::function<void()>& work)
{
    std::vector<double> ms, cpu;
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer t;
        const double cpuStart = CpuMs();
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
        cpu.push_back(CpuMs() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    lastCpuMs = cpu[cpu.size() / 2];
    return ms[ms.size() / 2];
}

// One figure; the processor time is that of the Median call just before.
bool Row(const char* what, double ms, qsizetype bytes, double cpuMs)
{
    std::printf("%-20s median %8.1f ms  cpu %8.1f ms  (%.2f MB)  target <= %.0f ms %s\n", what,
                ms, cpuMs, bytes / 1e6, kTargetMs, ms <= kTargetMs ? "ok" : "OVER");
    return ms <= kTargetMs;
}

// Whether the import gave back the contacts (all fields but the ID, or only
// the card fields for CSV).
bool SameAsExported(const std::vector<ContactRecord>& want, const ContactImport& got, bool csv)
{
    if (got.contacts.size() != want.size() || !got.unreadable.isEmpty())
        return false;
    for (size_t k = 0; k < want.size(); k += 97)
        for (int i = 1; i < F::Count; ++i) {
            const bool card = std::find(F::CardFields.begin(), F::CardFields.end(), i) !=
                              F::CardFields.end();
            if (got.contacts[k].Field(i) != (csv && !card ? QString() : want[k].Field(i)))
                return false;
        }
    return true;
}

// The readers and writers alone, on bytes in memory.
bool InMemory(const char* label, const std::vector<ContactRecord>& contacts)
{
    QByteArray vcard, csv;
    ContactImport fromVCard, fromCsv;
    const double vcardOut = Median([&] { vcard = ContactsToVCard(contacts); });
    const double vcardOutCpu = lastCpuMs;
    const double vcardIn = Median([&] {
        fromVCard = ContactImport();
        ReadVCards(vcard, fromVCard, nullptr);
    });
    const double vcardInCpu = lastCpuMs;
    const double csvOut = Median([&] { csv = ContactsToCsv(contacts); });
    const double csvOutCpu = lastCpuMs;
    const double csvIn = Median([&] {
        fromCsv = ContactImport();
        ReadContactCsv(csv, fromCsv, nullptr);
    });
    const double csvInCpu = lastCpuMs;
    if (!SameAsExported(contacts, fromVCard, false) || !SameAsExported(contacts, fromCsv, true)) {
        std::printf("an import did not give back the exported contacts\n");
        return false;
    }
    const auto row = [&](const char* what, double ms, qsizetype bytes, double cpu) {
        return Row((QByteArray(label) + what).constData(), ms, bytes, cpu);
    };
    bool ok = row("vCard export", vcardOut, vcard.size(), vcardOutCpu);
    ok = row("vCard import", vcardIn, vcard.size(), vcardInCpu) && ok;
    ok = row("CSV export", csvOut, csv.size(), csvOutCpu) && ok;
    ok = row("CSV import", csvIn, csv.size(), csvInCpu) && ok;
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::vector<ContactRecord> contacts = GenerateContacts();
    std::printf("%d contacts\n", kContacts);

    const std::vector<ContactRecord> widest = WidestBook();
    const bool onlyWidest = app.arguments().contains(QStringLiteral("--widest"));
    bool ok = onlyWidest || InMemory("", contacts);
    ok = InMemory("widest ", widest) && ok;

    // The whole command as the menu and the command line run it: the file
    // read, parsed, checked against the book for duplicates and added as one
    // change with one atomic save (into an empty book); the export written
    // through the atomic writer.
    QTemporaryDir dir;
    QuietPlatform quiet;
    quiet.folder = dir.path();
    SetPlatform(&quiet);
    ContactStore book;
    book.ContactFilePath = dir.filePath(QStringLiteral("chatcontacts.lis"));
    for (const char* name : {"book.vcf", "book.csv", "widest.vcf", "widest.csv"}) {
        if (onlyWidest && QByteArrayView(name) != "widest.vcf")
            continue;
        const QString file = dir.filePath(QString::fromLatin1(name));
        const std::vector<ContactRecord>& table = name[0] == 'w' ? widest : contacts;
        book.Contacts.assign(table.size() + 2, ContactRecord());
        std::copy(table.begin(), table.end(), book.Contacts.begin() + 1);
        book.ContactCount = int16_t(table.size());
        const double exportMs = Median([&] { ExportContacts(book, file); });
        const double exportCpu = lastCpuMs;
        bool imported = true;
        const double importMs = Median([&] {
            book.Contacts.assign(2, ContactRecord());
            book.ContactCount = 0;
            imported = ImportContacts(book, file).status == ExchangeResult::Done && imported;
        });
        imported = imported && book.ContactCount == int16_t(table.size());
        const qsizetype bytes = QFileInfo(file).size();
        std::printf("%s\n", name);
        ok = Row("  export cmd", exportMs, bytes, exportCpu) && ok;
        ok = Row("  import cmd", importMs, bytes, lastCpuMs) && ok && imported;
    }
    SetPlatform(nullptr);
    return ok ? 0 : 2;
}
