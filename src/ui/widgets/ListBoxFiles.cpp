#include "ui/widgets/ListBoxFiles.h"

#include <QListWidget>

ListLoad LoadFileToListBox(QListWidget& list, const QString& fileName)
{
    QStringList items;
    const ListLoad result = LoadListFile(fileName, items);
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
    return SaveListFile(items, fileName);
}
