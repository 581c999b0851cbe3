#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <array>
#include <cstdint>
#include <optional>

// A three-state option box holding a 16-bit flag: 0 unchecked, 1 checked,
// 2 greyed. A click turns it on, or off when it is on; greyed comes only
// from a stored value. A value outside 0 to 2 shows as unchecked and is
// given back unchanged until the user clicks the box.
class OptionCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;
    void SetValue(int16_t value);
    int16_t Value() const;

protected:
    void nextCheckState() override;

private:
    std::optional<int16_t> m_unshownValue;
};

class Settings;

// The options dialog: three check boxes, About, OK and Cancel. Modeless;
// OK, Cancel and the close box destroy it. OK stores the three options in
// the settings and saves them; About is asked for, not opened here.
class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(Settings& settings);
    void Load();

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAbout_Click();

    // The settings the dialog shows and changes.
    Settings& OptionSettings() const { return m_settings; }

    QGroupBox* Frame1 = nullptr;
    std::array<OptionCheckBox*, 3> chkOptions{};
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

signals:
    void aboutRequested();

private:
    Settings& m_settings;
};

// Sets the dialog's boxes from AlwaysOnTop, HidePhraseListWhenDbleClicked and
// ShowStatFields.
void FillOptionsForm(frmOptions& dialog);
// Takes the three flags from the boxes and saves those the user changed; the
// settings then announce the change (whoever applies them listens).
void AcceptOptions(frmOptions& dialog);
