#pragma once

#include <QWidget>

// The options dialog: three check boxes, About, OK and Cancel.
class frmOptions : public QWidget {
    Q_OBJECT
public:
    frmOptions();
    void Load();
};
