// Feeds arbitrary bytes to the list-file reader, as the contents of a list
// file, and checks what it makes of them:
// - every item is one non-empty line of at most kMaxListItemLength
//   characters, and there are at most kMaxListItems of them;
// - loading the file into a list gives exactly the parsed items;
// - saving that list and loading it again gives the same items (unless the
//   first item begins with U+FEFF, which at the start of a file is taken for
//   the file's byte-order mark).
#include "core/files/ListFiles.h"
#include "QuietPlatform.h"
#include "core/platform/Platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

struct World {
    QCoreApplication* app = nullptr;
    QTemporaryDir dir;
    QuietPlatform platform;
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_listfile";
        static char* argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        platform.folder = dir.path();
        SetPlatform(&platform);
    }
};

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
    QStringList loaded;
    const ListLoad load = LoadListFile(path, loaded);
    Require(load == (complete ? ListLoad::Complete : ListLoad::Incomplete));
    Require(loaded == items);

    Require(SaveListFile(loaded, path));
    if (!items.isEmpty() && items.first().startsWith(QChar(0xFEFF)))
        return 0;
    loaded.append(QStringLiteral("not in the file"));
    Require(LoadListFile(path, loaded) == ListLoad::Complete);
    Require(loaded == items);
    return 0;
}
