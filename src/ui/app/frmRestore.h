#pragma once

#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>

class Settings;

// Restore from a Backup: the kept versions of the contact file or the phrase
// file, newest first, each with the time it was replaced and how many
// contacts or phrases it holds. Restore puts the selected version back in
// the file's place (the current content becomes a kept version itself) and
// the open windows show it at once.
class frmRestore : public QDialog {
    Q_OBJECT
public:
    explicit frmRestore(const Settings& settings);
    void Load();

    // Lists the kept versions of the chosen file again.
    void RefreshVersions();
    void cmdRestore_Click();

    // The file whose versions are listed: 0 the contacts, 1 the phrases.
    QComboBox* cboFile = nullptr;
    QListWidget* lstVersions = nullptr;
    QPushButton* cmdRestore = nullptr;
    QPushButton* cmdClose = nullptr;

private:
    void UpdateButtons();
    QString FileOf(int kind) const;

    const Settings& m_settings;
};
