#pragma once

#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <optional>

class ContactStore;

// The address book's index: one line per contact, with Add, Find and Delete.
// Line k (from 0) belongs to contact k + 1. The lines follow the book; what
// the user asks of the card is announced, and whoever created the list
// connects it to the card.
class frmChatContactList : public QWidget {
    Q_OBJECT
public:
    explicit frmChatContactList(ContactStore& book);
    void Load();

    // Event steps, public so that tests can drive them.
    void lstNames_Click();
    void cmdToolbar_Click(int index);

    std::array<QPushButton*, 3> cmdToolbar{};
    QFrame* Frame1 = nullptr;
    QListWidget* lstNames = nullptr;

signals:
    // The list is about to act on the book or the card: a card that was the
    // program's active window must run its deactivation first.
    void aboutToChange();
    // The user opened the current contact: the card comes up and shows it.
    void contactOpened();
    // The card should show the current contact (a hidden card stays hidden).
    void cardWanted();
    // A new, empty contact is current: the card comes up with it, ready for
    // typing.
    void newContactAdded();

protected:
    // Escape closes the window; Enter opens the selected line. Typing a name
    // selects its line (the list's own type-ahead); no key deletes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddClicked();
    void FindClicked();
    // F3: the last Find's text again, from the contact after the selected
    // one (a Find first when there was none).
    void FindNextClicked();
    // Makes the first contact from `start` on that holds the text current
    // (the card shows it), or beeps.
    void FindFrom(int start, const QString& text);
    void DeleteClicked();
    void OpenLine(int row);
    void Refill();
    void UpdateLine(int position);

    ContactStore& m_book;
    std::optional<QString> m_findText;  // the text of the last Find
};
