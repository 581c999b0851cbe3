#include "ui/widgets/ListBoxFiles.h"

#include "core/platform/Platform.h"

#include <QListWidget>

namespace {
void Show(const QString& problem)
{
    if (!problem.isEmpty())
        platform().MessageBox(problem);
}
} // namespace

ListLoad LoadFileToListBox(QListWidget& list, const QString& fileName)
{
    QStringList items;
    QString problem;
    const ListLoad result = LoadListFile(fileName, items, &problem);
    Show(problem);
    if (result == ListLoad::Complete || result == ListLoad::Incomplete) {
        list.clear();
        list.addItems(items);
    }
    return result;
}

bool SaveListboxToFile(const QListWidget& list, const QString& fileName)
{
    QStringList items;
    items.reserve(list.count());
    for (int i = 0; i < list.count(); ++i)
        items.append(list.item(i)->text());
    QString problem;
    const bool saved = SaveListFile(items, fileName, &problem);
    Show(problem);
    return saved;
}
