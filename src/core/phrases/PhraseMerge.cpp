#include "core/phrases/PhraseMerge.h"

#include <QHash>

#include <algorithm>

namespace {

QHash<QString, int> Counts(const QStringList& list)
{
    QHash<QString, int> counts;
    counts.reserve(list.size());
    for (const QString& p : list)
        ++counts[p];
    return counts;
}

} // namespace

QStringList MergePhrases(const QStringList& base, const QStringList& mine,
                         const QStringList& theirs)
{
    const QHash<QString, int> inBase = Counts(base);
    const QHash<QString, int> inMine = Counts(mine);
    const QHash<QString, int> inTheirs = Counts(theirs);
    // Copies the other side removed, and copies it added that this side lacks.
    QHash<QString, int> removed;
    for (auto it = inBase.begin(); it != inBase.end(); ++it)
        if (const int n = it.value() - inTheirs.value(it.key()); n > 0)
            removed.insert(it.key(), n);
    QHash<QString, int> added;
    for (auto it = inTheirs.begin(); it != inTheirs.end(); ++it) {
        const int n = it.value() - std::max(inBase.value(it.key()), inMine.value(it.key()));
        if (n > 0)
            added.insert(it.key(), n);
    }
    QStringList merged;
    merged.reserve(mine.size() + theirs.size());
    for (const QString& p : mine) {
        auto gone = removed.find(p);
        if (gone != removed.end() && gone.value() > 0) {
            --gone.value();
            continue;
        }
        merged.append(p);
    }
    for (const QString& p : theirs) {
        auto more = added.find(p);
        if (more != added.end() && more.value() > 0) {
            --more.value();
            merged.append(p);
        }
    }
    return merged;
}
