#pragma once

#include "ui/widgets/ClickLabel.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

// The maker's home page, fixed when the program is built.
QString HomePageUrl();

// The About window: the program's name, its version text, the maker's name,
// a link to the maker's home page and the folder that holds the data files. OK, Enter, Esc and the close box
// close it.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Opens the home page in the user's browser; nothing is reported when
    // that fails.
    void lblURL_Click();

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    std::array<QLabel*, 2> Label1{};
    ClickLabel* lblURL = nullptr;
    QLineEdit* txtDataFolder = nullptr;  // the data folder, read-only
    QPushButton* cmdOK = nullptr;
};
