#pragma once

#include "support/TestFolder.h"

#include <QListWidget>
#include <QStringList>

// Shared by the list-file and phrase-window tests.

inline QStringList ItemsOf(const QListWidget& list)
{
    QStringList items;
    for (int i = 0; i < list.count(); ++i)
        items.append(list.item(i)->text());
    return items;
}

// The messages of the program's log (banterly.log in the folder), without
// the date and time fields.
inline QStringList LogMessages(const TestFolder& folder)
{
    QStringList messages;
    const QList<QByteArray> lines = folder.Read(QStringLiteral("banterly.log")).split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            messages.append(QString::fromUtf8(line).section(QLatin1Char(','), 3));
    }
    return messages;
}

// `count` lines "phrase 1", "phrase 2", ... each ended by CR LF.
inline QByteArray NumberedLines(int count)
{
    QByteArray bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "phrase " + QByteArray::number(i) + "\r\n";
    return bytes;
}
