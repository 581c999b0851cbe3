#pragma once

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QWidget>

// Puts a text on the clipboard as plain text, after emptying it.
void CopyTextToClipboard(const QString& text);

// Canned phrases to copy into a chat. The list is the working copy of the
// phrase file; every add, edit and remove writes the whole list back.
class frmPhrases : public QWidget {
    Q_OBJECT
public:
    frmPhrases();
    void Load();

    // Commands of the popup menu.
    void Copy();
    void Find();
    void Add();
    void Edit();
    void Remove();

    QListWidget* lstPhrases = nullptr;
    // The current phrase: the text of the item most recently selected.
    QLineEdit* txtPhrase = nullptr;
    QMenu* mnuPhrase = nullptr;
    QAction* mnuPhraseCopy = nullptr;
    QAction* mnuPhraseDummy1 = nullptr;
    QAction* mnuPhraseFind = nullptr;
    QAction* mnuPhraseAdd = nullptr;
    QAction* mnuPhraseEdit = nullptr;
    QAction* mnuPhraseRemove = nullptr;

    // Saves the list again when its last save failed; false when the list
    // is still not saved.
    bool SaveUnsavedPhrases();
    // Reads the phrase file again (after it was replaced under the window).
    void ReloadFromFile();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool ListKey(QKeyEvent* event);  // true when the key was used
    void ShowMenuAtSelection();
    int SelectedRow() const;  // -1 when no item is selected
    void Selection();
    void DoubleClick();
    QString Ask(const QString& prompt, const QString& title, const QString& defaultText);
    QString AskForPhrase(const QString& prompt, const QString& title, const QString& defaultText);
    void SavePhrases();

    // Why the list must not be written over the file (it was not read
    // completely); empty when saving is allowed.
    QString m_saveRefusal;
    bool m_unsaved = false;       // the last save failed
    bool m_closeRefused = false;  // a close was refused because of that
};
