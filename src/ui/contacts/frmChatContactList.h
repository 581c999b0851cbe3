#pragma once

#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>

// The address book's index: one line per contact, with Add, Find and Delete.
// Line k (from 0) belongs to contact k + 1.
class frmChatContactList : public QWidget {
    Q_OBJECT
public:
    frmChatContactList();
    void Load();

    // Event steps, public so that tests can drive them.
    void lstNames_Click();
    void cmdToolbar_Click(int index);

    std::array<QPushButton*, 3> cmdToolbar{};
    QFrame* Frame1 = nullptr;
    QListWidget* lstNames = nullptr;

protected:
    // Escape closes the window; Enter opens the selected line. Typing a name
    // selects its line (the list's own type-ahead); no key deletes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void AddClicked();
    void FindClicked();
    void DeleteClicked();
    void QueueOpenLine(int row);
    void RunPendingOpen();
    void OpenLine(int row);

    bool m_openPending = false;
    int m_pendingRow = -1;
};
