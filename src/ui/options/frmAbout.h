#pragma once

#include "ui/widgets/ClickLabel.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <array>

// The maker's home page, fixed when the program is built.
QString HomePageUrl();

// The About window: the program's name, its version text, the maker's name
// and a link to the maker's home page. OK, Enter, Esc and the close box
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
    QPushButton* cmdOK = nullptr;
};
