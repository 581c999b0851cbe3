#include "ui/options/frmOptions.h"

#include "ui/desktop/PointFont.h"
#include "ui/desktop/Twips.h"
#include "core/settings/Settings.h"

namespace {

struct OptionSpec {
    const char* caption;
    int top;
    int width;
};
const OptionSpec kOptions[3] = {
    {"Toolbar is Always on Top", 270, 2715},
    {"Hide Phrase List When Double Clicked", 675, 3705},
    {"Show Stats (age,sex,height, weight, etc..)", 1080, 3795},
};

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(TwipsRect(left, 2070, 1005, 375));
    return button;
}

} // namespace

void OptionCheckBox::SetValue(int16_t value)
{
    m_unshownValue.reset();
    switch (value) {
    case 0:
        setCheckState(Qt::Unchecked);
        break;
    case 1:
        setCheckState(Qt::Checked);
        break;
    case 2:
        setCheckState(Qt::PartiallyChecked);
        break;
    default:
        setCheckState(Qt::Unchecked);
        m_unshownValue = value;
        break;
    }
}

int16_t OptionCheckBox::Value() const
{
    if (m_unshownValue)
        return *m_unshownValue;
    switch (checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void OptionCheckBox::nextCheckState()
{
    m_unshownValue.reset();
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

frmOptions::frmOptions(Settings& settings) : m_settings(settings)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Options  for Orvane Software's Banterly "));
    setFixedSize(TwipsToPixels(4650), TwipsToPixels(2760));
    setSizeGripEnabled(false);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(TwipsRect(180, 180, 4245, 1635));

    const QFont boxFont = PointFont(QStringLiteral("Comic Sans MS"), 9);
    for (int i = 0; i < 3; ++i) {
        auto* box = new OptionCheckBox(QString::fromLatin1(kOptions[i].caption), Frame1);
        box->setObjectName(QStringLiteral("chkOptions%1").arg(i));
        box->setTristate(true);
        box->setFont(boxFont);
        box->setGeometry(TwipsRect(180, kOptions[i].top, kOptions[i].width, 285));
        chkOptions[i] = box;
    }

    cmdAbout = MakeButton(this, "cmdAbout", QStringLiteral("About"), 180);
    cmdOK = MakeButton(this, "cmdOK", QStringLiteral("OK"), 1800);
    cmdCancel = MakeButton(this, "cmdCancel", QStringLiteral("Cancel"), 3420);
    // Enter presses OK; Esc (handled by the dialog as a reject) and the close
    // box close it like Cancel.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmOptions::cmdAbout_Click);

    QWidget::setTabOrder(cmdOK, cmdCancel);
    QWidget::setTabOrder(cmdCancel, cmdAbout);
    QWidget::setTabOrder(cmdAbout, chkOptions[2]);
    QWidget::setTabOrder(chkOptions[2], chkOptions[1]);
    QWidget::setTabOrder(chkOptions[1], chkOptions[0]);
    cmdOK->setFocus();
}

void frmOptions::Load() { FillOptionsForm(*this); }

void frmOptions::cmdOK_Click()
{
    AcceptOptions(*this);
    close();
}

void frmOptions::cmdCancel_Click() { close(); }

void frmOptions::cmdAbout_Click() { emit aboutRequested(); }

void FillOptionsForm(frmOptions& dialog)
{
    const Settings& settings = dialog.OptionSettings();
    dialog.chkOptions[0]->SetValue(settings.AlwaysOnTop);
    dialog.chkOptions[1]->SetValue(settings.HidePhraseListWhenDbleClicked);
    dialog.chkOptions[2]->SetValue(settings.ShowStatFields);
}

void AcceptOptions(frmOptions& dialog)
{
    // Only what the user changed is written; the change is announced, which
    // applies it.
    dialog.OptionSettings().SaveOptions(dialog.chkOptions[0]->Value(), dialog.chkOptions[1]->Value(),
                                        dialog.chkOptions[2]->Value());
}
