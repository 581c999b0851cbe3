#pragma once

#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <functional>


// Restore from a Backup: the kept versions of the contact file or the phrase
// file, newest first, each with the time it was replaced and how many
// contacts or phrases it holds. Restore puts the selected version back in
// the file's place (the current content becomes a kept version itself) and
// the open windows show it at once.
class frmRestore : public QDialog {
    Q_OBJECT
public:
    frmRestore();
    void Load();

    // Lists the kept versions of the chosen file again.
    void RefreshVersions();
    void cmdRestore_Click();

    // The files whose versions are listed (0 the contacts, 1 the phrases),
    // and what the program holds for them and has not saved yet, saved
    // before a version replaces the file: false when that save failed (the
    // user has been told). Set by whoever opens the window.
    std::function<QString(int kind)> FileOf;
    std::function<bool(int kind)> SaveUnsavedFirst;

signals:
    // A kept version is in the file's place now: what shows it must read it
    // again.
    void restored(int kind);

public:

    // The file whose versions are listed: 0 the contacts, 1 the phrases.
    QComboBox* cboFile = nullptr;
    QListWidget* lstVersions = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void UpdateButtons();
};
