// Load, save and a no-match search on a table of 32699 contacts, each beside
// its floor measured in the same run:
//   load and find: reading the file into memory and counting its delimiters;
//   save: writing the same bytes with QSaveFile, commit included.
// With --backups, instead: SaveContacts of the same table with the keeper of
// previous versions installed (as the program runs) and with it removed, in
// turns, and the ratio of the medians (see BackupsSideBySide).
// Usage: bench_contacts [--write <file>]   (--write only writes the file; BENCH_RUNS
//        sets the number of runs, 21 unless set)
//        bench_contacts --backups [runs]
#include "core/contacts/ContactStore.h"
#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"
#include "support/FakePlatform.h"
#include "CpuTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kContacts = 32699;
const int kRuns = qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 21;

QByteArray Pick(const char* const* list, int size, int i) { return list[i % size]; }

// 13 filled fields of realistic length, the other 69 empty; one contact in
// ten has an accented name.
QByteArray GenerateFile()
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
    static const char* const words[] = {"likes", "hiking", "and", "old", "films", "met",
                                        "twice", "in", "the", "evening", "room", "talks",
                                        "about", "music", "cats", "travel", "works", "nights"};
    QByteArray out;
    out.reserve(kContacts * 400);
    for (int i = 1; i <= kContacts; ++i) {
        QByteArray f[ContactField::Count];
        const QByteArray name = i % 10 == 0 ? Pick(accented, 5, i / 10) : Pick(names, 12, i * 7);
        f[ContactField::ContactID] = "CHAT127" + QByteArray::number(i).rightJustified(3, '0');
        QByteArray notes;
        for (int w = 0; notes.size() < 140 + (i * 37) % 60; ++w)
            notes += Pick(words, 18, i * 3 + w * 5) + ' ';
        f[ContactField::Notes] = notes.trimmed();
        f[ContactField::ChatName] = name.toLower() + "_" + QByteArray::number(i * 13 % 9973);
        f[ContactField::Sex] = i % 2 ? "f" : "m";
        f[ContactField::RealName] = name + " " + Pick(names, 12, i * 5) + "son";
        f[ContactField::Email] = name.toLower() + QByteArray::number(i) + "@mail.example.org";
        f[ContactField::Website] = "http://www.example.org/~" + name.toLower() + QByteArray::number(i);
        f[ContactField::Height] = QByteArray::number(150 + i % 50);
        f[ContactField::MetAt] = Pick(sites, 3, i);
        f[ContactField::Hair] = Pick(hair, 5, i);
        f[ContactField::Weight] = QByteArray::number(50 + i % 60);
        f[ContactField::Eyes] = Pick(eyes, 4, i);
        f[ContactField::Age] = QByteArray::number(18 + i % 60);
        for (const QByteArray& field : f)
            out += field + char(31);
        out += "\r\n";
    }
    return out;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Figure {
    double min = 0;
    double median = 0;
    double cpuMedian = 0; // processor time, ms
};

double Ms(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

Figure Summary(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

// Runs the work and its floor in turns, so both see the same machine load.
std::pair<Figure, Figure> Measure(const std::function<void()>& work,
                                  const std::function<void()>& floor)
{
    std::vector<double> a, b, cpuA, cpuB;
    for (int r = 0; r < kRuns; ++r) {
        double cpu = CpuMs();
        b.push_back(Ms(floor));
        cpuB.push_back(CpuMs() - cpu);
        cpu = CpuMs();
        a.push_back(Ms(work));
        cpuA.push_back(CpuMs() - cpu);
    }
    std::pair<Figure, Figure> figures{Summary(a), Summary(b)};
    figures.first.cpuMedian = Summary(cpuA).median;
    figures.second.cpuMedian = Summary(cpuB).median;
    return figures;
}

// The ratio is that of the wall-clock medians; the processor times'
// medians and their ratio are printed beside it.
bool Row(const char* what, Figure value, Figure floor, double limit)
{
    const double ratio = value.median / floor.median;
    std::printf("%-6s median %8.2f ms (min %8.2f)   floor median %8.2f ms (min %8.2f)   "
                "ratio %5.2f  (target <= %.0f) %s\n",
                what, value.median, value.min, floor.median, floor.min, ratio, limit,
                ratio <= limit ? "ok" : "OVER");
    std::printf("       cpu %8.2f ms   floor cpu %8.2f ms   cpu ratio %5.2f\n", value.cpuMedian,
                floor.cpuMedian, value.cpuMedian / floor.cpuMedian);
    return ratio <= limit;
}

// Times the keeper's two calls inside a save (the link before the rename;
// the stamp and the pruning after it).
class TimedKeeper : public PreviousVersionKeeper {
public:
    explicit TimedKeeper(PreviousVersionKeeper* real) : m_real(real) {}
    bool BeforeReplace(const QString& fileName, bool required, OsError* error) override
    {
        QElapsedTimer t;
        t.start();
        const bool kept = m_real->BeforeReplace(fileName, required, error);
        beforeMs = t.nsecsElapsed() / 1e6;
        return kept;
    }
    void AfterReplace(const QString& fileName) override
    {
        QElapsedTimer t;
        t.start();
        m_real->AfterReplace(fileName);
        afterMs = t.nsecsElapsed() / 1e6;
    }
    double beforeMs = 0, afterMs = 0;

private:
    PreviousVersionKeeper* m_real;
};

// SaveContacts of 32,699 contacts with the keeper of previous versions
// installed and with it removed, in turns (each first every other time), in
// two folders so that neither sees the other's files. Two clocks:
//   steady: a day passes between saves and a warm-up of 35 saves fills the
//     backups folder first, so every timed save keeps one version and prunes
//     the one that just became 31 days old;
//   burst: a second passes between saves, every version is under an hour
//     old and kept, nothing is pruned (the folder grows by one per save).
// The versions due are removed on a thread of their own
// (PruneBackupsInBackground); the benchmark waits for it, untimed, after
// each save.
// Returns false when a ratio is over 1.05 or a save failed.
bool BackupsSideBySide(ContactStore& book, const QByteArray& bytes, const QString& folder, FakePlatform& fake,
                       int runs)
{
    QDir(folder).mkpath(QStringLiteral("kept"));
    QDir(folder).mkpath(QStringLiteral("plain"));
    const QString kept = folder + QStringLiteral("/kept/chatcontacts.lis");
    const QString plain = folder + QStringLiteral("/plain/chatcontacts.lis");
    for (const QString& path : {kept, plain}) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return false;
    }
    book.ContactFilePath = kept;
    book.LoadContacts();  // remembers the file, as the program does
    if (book.ContactCount != kContacts)
        return false;
    KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
    TimedKeeper timed(SetPreviousVersionKeeper(nullptr));

    auto save = [&](bool withKeeper) {
        book.ContactFilePath = withKeeper ? kept : plain;
        SetPreviousVersionKeeper(withKeeper ? &timed : nullptr);
        const bool ok = book.SaveContacts();
        SetPreviousVersionKeeper(nullptr);
        return ok;
    };
    bool allOk = true;
    for (const bool steady : {true, false}) {
        const qint64 step = steady ? 24 * 3600 : 1;
        if (steady)
            for (int i = 0; i < 35; ++i) {
                fake.now = fake.now.addSecs(step);
                if (!save(true))
                    return false;
            }
        const qsizetype versionsBefore = ListBackups(kept).size();
        std::vector<double> with, without, before, after, ratio;
        for (int r = 0; r < runs; ++r) {
            for (int half = 0; half < 2; ++half) {
                const bool withKeeper = (r + half) % 2 == 0;
                fake.now = fake.now.addSecs(withKeeper ? step : 0);
                const double ms = Ms([&] { allOk = save(withKeeper) && allOk; });
                (withKeeper ? with : without).push_back(ms);
                // Saves are seconds apart in use: the old versions' removal,
                // on its own thread, does not overlap the next timed save.
                WaitForBackupRemovals();
            }
            before.push_back(timed.beforeMs);
            after.push_back(timed.afterMs);
            ratio.push_back(with.back() / without.back());
        }
        const qsizetype versionsAfter = ListBackups(kept).size();
        const Figure a = Summary(without), b = Summary(with), p = Summary(ratio);
        const Figure k = Summary(before), q = Summary(after);
        const double r = b.median / a.median;
        std::printf("%s (%d runs each; versions kept %lld -> %lld)\n",
                    steady ? "steady: a day between saves, one version pruned per save"
                           : "burst: a second between saves, nothing pruned",
                    runs, qlonglong(versionsBefore), qlonglong(versionsAfter));
        std::printf("  SaveContacts without keeper  median %7.2f ms (min %7.2f)\n", a.median, a.min);
        std::printf("  SaveContacts with keeper     median %7.2f ms (min %7.2f)\n", b.median, b.min);
        std::printf("    keeper before the rename   median %7.2f ms (min %7.2f)\n", k.median, k.min);
        std::printf("    keeper after the rename    median %7.2f ms (min %7.2f)\n", q.median, q.min);
        std::printf("  ratio of medians %.3f, median of paired ratios %.3f (target <= 1.05) %s\n",
                    r, p.median, r <= 1.05 ? "ok" : "OVER");
        allOk = allOk && r <= 1.05;
    }
    if (fake.Count(QStringLiteral("MessageBox")) != 0) {
        std::printf("unexpected messages: %s\n", qPrintable(fake.Messages().join(u'|')));
        return false;
    }
    return allOk;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ContactStore book;
    const QStringList args = app.arguments();
    if (args.size() >= 2 && args[1] == QStringLiteral("--backups")) {
        QTemporaryDir dir;
        FakePlatform fake;
        fake.programFolder = dir.path();
        const QByteArray bytes = GenerateFile();
        std::printf("file: %d contacts, %.2f MB, in %s\n", kContacts, bytes.size() / 1e6,
                    qPrintable(dir.path()));
        const int runs = args.size() > 2 ? args[2].toInt() : 41;
        return BackupsSideBySide(book, bytes, dir.path(), fake, std::max(runs, 1)) ? 0 : 2;
    }
    if (args.size() == 3 && args[1] == QStringLiteral("--write")) {
        QFile f(args[2]);
        return f.open(QIODevice::WriteOnly) && f.write(GenerateFile()) > 0 ? 0 : 1;
    }
    QTemporaryDir dir;
    FakePlatform fake;
    fake.programFolder = dir.path();
    const QString path = dir.filePath(QStringLiteral("chatcontacts.lis"));
    const QByteArray bytes = GenerateFile();
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    book.ContactFilePath = path;
    std::printf("file: %d contacts, %.2f MB\n", kContacts, bytes.size() / 1e6);

    volatile qsizetype sink = 0;
    const auto readFloor = [&] { sink = ReadFile(path).count(char(31)); };
    const auto [load, loadFloor] = Measure([&] { book.LoadContacts(); }, readFloor);
    if (book.ContactCount != kContacts || book.ReadOnly) {
        std::printf("load read %d contacts\n", book.ContactCount);
        return 1;
    }
    const auto [find, findFloor] = Measure(
        [&] { sink = book.FindContact(0, kContacts, QStringLiteral("no such person")); }, readFloor);
    const QString floorPath = dir.filePath(QStringLiteral("floor.lis"));
    const auto [save, saveFloor] = Measure([&] { book.SaveContacts(); },
                                           [&] {
                                               QSaveFile f(floorPath);
                                               f.open(QIODevice::WriteOnly);
                                               f.write(bytes);
                                               f.commit();
                                           });
    // The saved file is the generated one plus each contact's identity.
    if (fake.Count(QStringLiteral("MessageBox")) != 0 ||
        ReadFile(path).count('\n') != bytes.count('\n')) {
        std::printf("save failed\n");
        return 1;
    }
    bool ok = Row("load", load, loadFloor, 12);
    ok = Row("find", find, findFloor, 5) && ok;
    ok = Row("save", save, saveFloor, 2) && ok;
    return ok ? 0 : 2;
}
