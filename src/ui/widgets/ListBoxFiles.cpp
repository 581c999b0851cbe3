#include "ui/widgets/ListBoxFiles.h"

#include "core/files/ErrorLog.h"

#include <QListWidget>

namespace {
void Report(const Problem& problem)
{
    if (!problem.IsEmpty())
        ReportFailure(problem);
}
} // namespace

ListLoad LoadFileToListBox(QListWidget& list, const QString& fileName)
{
    QStringList items;
    Problem problem;
    const ListLoad result = LoadListFile(fileName, items, &problem);
    Report(problem);
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
    Problem problem;
    const bool saved = SaveListFile(items, fileName, &problem);
    Report(problem);
    return saved;
}
