// Feeds arbitrary bytes to the list-file reader, as the contents of a list
// file, and checks what it makes of them:
// - every item is one non-empty line of at most kMaxListItemLength
//   characters, and there are at most kMaxListItems of them;
// - loading the file into a list gives exactly the parsed items;
// - saving that list and loading it again gives the same items (unless the
//   first item begins with U+FEFF, which at the start of a file is taken for
//   the file's byte-order mark).
#include "files/ListFiles.h"
#include "QuietPlatform.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

struct World {
    QApplication* app = nullptr;
    QTemporaryDir dir;
    QuietPlatform platform;
    QListWidget* list = nullptr;
    World()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_listfile";
        static char* argv[] = {name, nullptr};
        app = new QApplication(argc, argv);
        platform.folder = dir.path();
        SetPlatform(&platform);
        list = new QListWidget;
    }
};

QStringList Items(const QListWidget& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items.append(list.item(i)->text());
    return items;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    bool complete = false;
    const QStringList items = ParseListFile(bytes, &complete);
    Require(items.size() <= kMaxListItems);
    for (const QString& item : items) {
        Require(!item.isEmpty() && item.size() <= kMaxListItemLength);
        Require(!item.contains(QLatin1Char('\r')) && !item.contains(QLatin1Char('\n')));
    }

    const QString path = world.dir.filePath(QStringLiteral("list.txt"));
    {
        QFile file(path);
        Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Require(file.write(bytes) == bytes.size());
    }
    const ListLoad load = LoadFileToListBox(*world.list, path);
    Require(load == (complete ? ListLoad::Complete : ListLoad::Incomplete));
    Require(Items(*world.list) == items);

    Require(SaveListboxToFile(*world.list, path));
    if (!items.isEmpty() && items.first().startsWith(QChar(0xFEFF)))
        return 0;
    world.list->addItem(QStringLiteral("not in the file"));
    Require(LoadFileToListBox(*world.list, path) == ListLoad::Complete);
    Require(Items(*world.list) == items);
    return 0;
}
