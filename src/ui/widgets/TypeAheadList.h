#pragma once

#include <QElapsedTimer>
#include <QListWidget>
#include <functional>

// A list whose type-ahead matches a text of its own for each line instead of
// the line as shown, with the timing of Qt's own type-ahead: keys typed
// within QApplication::keyboardInputInterval() of each other add up to one
// search; a new search starts on the line after the current one; the search
// wraps round; typing one key again and again steps through the lines that
// start with it. A line found becomes current and selected, as an arrow key
// would make it. Without a match function the lines' own texts are used.
class TypeAheadList : public QListWidget {
    Q_OBJECT
public:
    explicit TypeAheadList(QWidget* parent = nullptr);

    // The text the line at a row is matched by (case ignored, from its start).
    std::function<QString(int row)> matchText;

    void keyboardSearch(const QString& search) override;

private:
    QString MatchText(int row) const;

    QString m_typed;
    QElapsedTimer m_lastKey;
};
