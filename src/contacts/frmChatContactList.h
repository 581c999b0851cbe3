#pragma once

#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>

// The address book's index: one line per contact, with Add, Find and Delete.
class frmChatContactList : public QWidget {
    Q_OBJECT
public:
    frmChatContactList();
    void Load();

    std::array<QPushButton*, 3> cmdToolbar{};
    QListWidget* lstNames = nullptr;
};
