#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <array>

// The address-book card: one contact in eleven one-line boxes and a notes box.
class frmContactDetails : public QWidget {
    Q_OBJECT
public:
    frmContactDetails();
    void Load();

    // txtField(0..10) for 0 to 10, txtNotes for 11.
    QPlainTextEdit* Box(int index) const { return index < 11 ? txtField[index] : txtNotes; }
    void SetStatFieldsVisible(bool visible);

    std::array<QPlainTextEdit*, 11> txtField{};
    QPlainTextEdit* txtNotes = nullptr;
    std::array<QLabel*, 12> lbl{};
    QLabel* lblID = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;
};
