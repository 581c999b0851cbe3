// The phrase list at its largest: 32,767 phrases (about 3.7 MB).
// - open: the phrase window's load (read the file, fill the list) and the
//   first showing and painting of the list, beside the bare read of the
//   same file;
// - save: SaveListboxToFile beside a bare QSaveFile write of the same bytes.
// Each figure is the median (and the least) of several runs, taken in turns.
// Run: build/bench/bench_phrases [runs]   (any Qt platform: offscreen, xcb)
#include "ui/widgets/ListBoxFiles.h"
#include "ui/phrases/frmPhrases.h"
#include "core/phrases/PhraseList.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

QByteArray MakePhrases(int count)
{
    static const char* const words[] = {"hello", "there", "what", "are", "your", "stats", "nice",
                                        "to", "meet", "you", "where", "from", "brb", "lol",
                                        "see", "you", "later", "thanks", "chat", "again"};
    QRandomGenerator random(7);
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        QByteArray line;
        const int length = 60 + int(random.bounded(100));
        while (line.size() < length)
            line += QByteArray(words[random.bounded(20)]) + ' ';
        line.chop(1);
        bytes += line + "\r\n";
    }
    return bytes;
}

double Milliseconds(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Least(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

// Shows a window and waits until it is on screen and painted.
void ShowAndPaint(QWidget& w)
{
    w.show();
    while (!w.windowHandle() || !w.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    w.repaint();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 15;
    FakePlatform fake;
    QTemporaryDir dir;
    fake.programFolder = dir.path();
    const QString path = dir.filePath(QStringLiteral("phrases.txt"));
    const QString floorPath = dir.filePath(QStringLiteral("floor.txt"));
    const QByteArray bytes = MakePhrases(kMaxListItems);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
    }
    Settings settings;
    settings.PhraseListFile = path;
    PhraseList phrases;

    std::vector<double> readFloor, open, save, saveFloor;
    int items = 0;
    for (int run = 0; run < runs; ++run) {
        readFloor.push_back(Milliseconds([&] {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            const QByteArray all = file.readAll();
            if (all.size() != bytes.size())
                std::abort();
        }));
        auto* w = new frmPhrases(phrases, settings);
        open.push_back(Milliseconds([&] {
            w->Load();
            ShowAndPaint(*w);
        }));
        items = w->lstPhrases->count();
        saveFloor.push_back(Milliseconds([&] {
            QSaveFile file(floorPath);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
                std::abort();
        }));
        save.push_back(Milliseconds([&] {
            if (!SaveListboxToFile(*w->lstPhrases, path))
                std::abort();
        }));
        delete w;
        QCoreApplication::processEvents();
    }

    // For comparison: the same list measuring every item before it shows.
    double measured = 0;
    {
        QListWidget list;
        LoadFileToListBox(list, path);
        measured = Milliseconds([&] { ShowAndPaint(list); });
    }

    std::printf("platform %s, %d phrases, %lld bytes, %d runs: median (least)\n",
                qPrintable(QGuiApplication::platformName()), items, (long long)bytes.size(), runs);
    std::printf("open (load, fill, first show) %7.2f (%6.2f) ms   floor, read the file     %6.2f (%6.2f) ms\n",
                Median(open), Least(open), Median(readFloor), Least(readFloor));
    std::printf("save (SaveListboxToFile)      %7.2f (%6.2f) ms   floor, QSaveFile write   %6.2f (%6.2f) ms"
                "   ratio %.2f (%.2f)\n",
                Median(save), Least(save), Median(saveFloor), Least(saveFloor),
                Median(save) / Median(saveFloor), Least(save) / Least(saveFloor));
    std::printf("first show without uniform item sizes (one run) %8.2f ms\n", measured);
    return items == kMaxListItems ? 0 : 1;
}
