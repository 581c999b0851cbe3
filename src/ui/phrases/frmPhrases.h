#pragma once

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QWidget>

class PhraseList;
class Settings;

// Puts a text on the clipboard as plain text, after emptying it.
void CopyTextToClipboard(const QString& text);

// Canned phrases to copy into a chat: shows the phrase list and follows its
// changes; the list itself writes the file after every add, edit and remove.
class frmPhrases : public QWidget {
    Q_OBJECT
public:
    frmPhrases(PhraseList& phrases, Settings& settings);
    // Reads the phrase file named by the settings into the list.
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
    void ShowAll();
    void ShowRemoved(int row);

    PhraseList& m_phrases;
    Settings& m_settings;
    bool m_closeRefused = false;  // a close was refused because a save failed
};
