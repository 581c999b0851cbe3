#pragma once

#include "ui/options/frmAbout.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QPointer>
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

// The options dialog: three check boxes, About, OK and Cancel. Modeless;
// OK, Cancel and the close box destroy it.
class frmOptions : public QDialog {
    Q_OBJECT
public:
    frmOptions();
    void Load();

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdAbout_Click();

    // The About window while it is open, else null.
    frmAbout* About() const { return m_about; }

    QGroupBox* Frame1 = nullptr;
    std::array<OptionCheckBox*, 3> chkOptions{};
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    QPointer<frmAbout> m_about;
};

// Sets the dialog's boxes from AlwaysOnTop, HidePhraseListWhenDbleClicked and
// ShowStatFields.
void FillOptionsForm(frmOptions& dialog);
// Takes the three flags from the boxes, saves the settings and applies them.
void AcceptOptions(frmOptions& dialog);
