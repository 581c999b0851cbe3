#include "ui/widgets/TypeAheadList.h"

#include <QApplication>

TypeAheadList::TypeAheadList(QWidget* parent) : QListWidget(parent) {}

QString TypeAheadList::MatchText(int row) const
{
    return matchText ? matchText(row) : item(row)->text();
}

void TypeAheadList::keyboardSearch(const QString& search)
{
    const int rows = count();
    if (rows == 0)
        return;
    const int current = currentRow();

    // A key typed soon after the last one adds to the search; otherwise, or
    // for an empty search, it starts a new one after the current line.
    const bool continues = !search.isEmpty() && m_lastKey.isValid() &&
                           m_lastKey.elapsed() <= QApplication::keyboardInputInterval();
    m_lastKey.start();
    bool skipCurrent = !continues && current >= 0;
    if (continues)
        m_typed += search;
    else
        m_typed = search;
    if (m_typed.isEmpty())
        return;

    // The same key typed over and over ("aaa") steps on to the next line
    // starting with that one key.
    const bool sameKey = m_typed.size() > 1 && m_typed.count(m_typed.back()) == m_typed.size();
    if (sameKey)
        skipCurrent = true;
    const QString wanted = sameKey ? m_typed.left(1) : m_typed;

    int start = current < 0 ? 0 : current;
    if (skipCurrent)
        start = (start + 1) % rows;
    for (int step = 0; step < rows; ++step) {
        const int row = (start + step) % rows;
        if (MatchText(row).startsWith(wanted, Qt::CaseInsensitive)) {
            setCurrentRow(row);
            return;
        }
    }
}
