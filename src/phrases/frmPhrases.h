#pragma once

#include <QListWidget>
#include <QWidget>

// Canned phrases to copy into a chat.
class frmPhrases : public QWidget {
    Q_OBJECT
public:
    frmPhrases();
    void Load();

    QListWidget* lstPhrases = nullptr;
};
