// The cost of keeping the previous version on every save: a contact file the
// size of 32,699 contacts (13 MB) is written with WriteFileAtomically, in
// turns without and with KeepBackup before and PruneBackups after the write.
// The clock given to the backups advances a day per save, and a warm-up fills
// the backups folder first, so each timed save also removes the version that
// just became 31 days old: the steady state, where every version kept is
// removed once in the end.
// Usage: bench_backups [folder]   (default: a temporary folder)
#include "core/files/Backups.h"
#include "core/platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kContacts = 32699;
constexpr int kWarmUp = 35;
constexpr int kRuns = 61;

// Lines of the contact file's shape: 82 field delimiters, a dozen short
// fields and a note of 140 to 200 characters, about 400 bytes a line.
QByteArray GenerateFile(int variant)
{
    static const char* const words[] = {"likes", "hiking", "and",  "old",     "films", "met",
                                        "twice", "in",     "the",  "evening", "room",  "talks",
                                        "about", "music",  "cats", "travel",  "works", "nights"};
    QByteArray out;
    out.reserve(kContacts * 410);
    for (int i = 1; i <= kContacts; ++i) {
        QByteArray notes;
        for (int w = 0; notes.size() < 140 + (i * 37) % 60; ++w)
            notes += QByteArray(words[(i * 3 + w * 5 + variant) % 18]) + ' ';
        const QByteArray n = QByteArray::number(i);
        const QByteArray fields[] = {"CHAT127" + n.rightJustified(3, '0'),
                                     notes.trimmed(),
                                     "name_" + n,
                                     "f",
                                     "Name " + n,
                                     "some" + n + "@mail.example.org",
                                     "http://www.example.org/~some" + n,
                                     QByteArray::number(150 + i % 50),
                                     "http://talk.example.net/room/night-owls",
                                     "brown",
                                     QByteArray::number(50 + i % 60),
                                     "green",
                                     QByteArray::number(18 + i % 60)};
        for (const QByteArray& f : fields)
            out += f;
        out += QByteArray(82, char(31)) + "\r\n";
    }
    return out;
}

double Ms(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e6;
}

struct Figure {
    double min, median;
};

Figure Summary(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp(app.arguments().size() > 1
                           ? app.arguments()[1] + QStringLiteral("/bench_backups-XXXXXX")
                           : QDir::tempPath() + QStringLiteral("/bench_backups-XXXXXX"));
    if (!temp.isValid())
        return 1;
    QDir(temp.path()).mkpath(QStringLiteral("plain"));
    QDir(temp.path()).mkpath(QStringLiteral("kept"));
    const QString plain = temp.filePath(QStringLiteral("plain/chatcontacts.lis"));
    const QString kept = temp.filePath(QStringLiteral("kept/chatcontacts.lis"));
    const QByteArray versions[2] = {GenerateFile(0), GenerateFile(1)};
    std::printf("file: %d contacts, %.2f MB, in %s; %d cores\n", kContacts,
                versions[0].size() / 1e6, qPrintable(temp.path()), QThread::idealThreadCount());

    QDateTime now(QDate(2026, 1, 1), QTime(12, 0));
    int save = 0;
    double pruneMs = 0;  // of the last saveWithBackup
    auto saveWithBackup = [&] {
        OsError error;
        const QByteArray& bytes = versions[++save % 2];
        now = now.addDays(1);
        if (KeepBackup(kept, now, &error).isEmpty() && error.number != 0)
            std::printf("backup failed: %s\n", qPrintable(error.description));
        if (!WriteFileAtomically(kept, bytes, &error))
            return false;
        QElapsedTimer t;
        t.start();
        const QString pruneError = PruneBackups(kept, now);
        pruneMs = Ms(t);
        if (!pruneError.isEmpty())
            std::printf("%s\n", qPrintable(pruneError));
        return pruneError.isEmpty();
    };
    auto savePlain = [&] { return WriteFileAtomically(plain, versions[++save % 2]); };

    for (int i = 0; i < kWarmUp; ++i)
        if (!saveWithBackup() || !savePlain())
            return 1;
    const qsizetype steady = ListBackups(kept).size();

    std::vector<double> without, with, added, withoutPrune, prune;
    // In turns, each first every other time, so both see the same load.
    for (int r = 0; r < kRuns; ++r) {
        QElapsedTimer t;
        for (int half = 0; half < 2; ++half) {
            const bool plainNow = (r + half) % 2 == 0;
            t.start();
            if (!(plainNow ? savePlain() : saveWithBackup()))
                return 1;
            (plainNow ? without : with).push_back(Ms(t));
        }
        withoutPrune.push_back(with.back() - pruneMs);
        prune.push_back(pruneMs);
        added.push_back(with.back() - without.back());
    }
    if (ListBackups(kept).size() != steady) {
        std::printf("the number of versions kept grew from %lld to %lld\n", qlonglong(steady),
                    qlonglong(ListBackups(kept).size()));
        return 1;
    }
    const Figure a = Summary(without), b = Summary(with), d = Summary(added);
    const Figure c = Summary(withoutPrune), p = Summary(prune);
    const double ratio = b.median / a.median;
    std::printf("versions kept: %lld, one removed per save\n", qlonglong(steady));
    std::printf("save without backups  median %7.2f ms (min %7.2f)\n", a.median, a.min);
    std::printf("save with backups     median %7.2f ms (min %7.2f)\n", b.median, b.min);
    std::printf("  of which pruning    median %7.2f ms (min %7.2f)\n", p.median, p.min);
    std::printf("  and the rest        median %7.2f ms (min %7.2f), ratio %.3f\n", c.median, c.min,
                c.median / a.median);
    std::printf("added per save        median %7.2f ms (of the differences in each turn)\n",
                d.median);
    std::printf("ratio %.3f (target <= 1.05) %s\n", ratio, ratio <= 1.05 ? "ok" : "OVER");
    return ratio <= 1.05 ? 0 : 2;
}
