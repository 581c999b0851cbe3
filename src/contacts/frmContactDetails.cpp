#include "contacts/frmContactDetails.h"

#include "app/WindowControl.h"
#include "platform/Twips.h"
#include "settings/Settings.h"

#include <QCloseEvent>

frmContactDetails::frmContactDetails()
{
    setWindowTitle(QStringLiteral("Banterly - Address Book"));
    setFixedSize(TwipsToPixels(4770), TwipsToPixels(3150));
    for (int i = 0; i < 11; ++i) {
        txtField[i] = new QPlainTextEdit(this);
        lbl[i] = new QLabel(this);
    }
    txtNotes = new QPlainTextEdit(this);
    lbl[11] = new QLabel(this);
    lblID = new QLabel(QStringLiteral("1 of 1"), this);
    cmdOK = new QPushButton(QStringLiteral("Ok"), this);
    for (int i = 5; i <= 10; ++i) {
        txtField[i]->hide();
        lbl[i]->hide();
    }
}

void frmContactDetails::Load()
{
    ApplySettings();
    ShowContactDetails();
    for (QPlainTextEdit* box : txtField)
        box->setPlainText(QString());
    txtNotes->setPlainText(QStringLiteral("Jot down other notes about the person here\r\n"));
}

void frmContactDetails::SetStatFieldsVisible(bool visible)
{
    for (int i = 5; i <= 10; ++i) {
        txtField[i]->setVisible(visible);
        lbl[i]->setVisible(visible);
    }
}

void frmContactDetails::closeEvent(QCloseEvent* e)
{
    e->ignore();
    hide();
}
