#include "ui/options/frmAbout.h"

#include "core/files/ErrorLog.h"
#include "ui/desktop/Desktop.h"
#include "core/platform/Platform.h"
#include "ui/desktop/PointFont.h"
#include "ui/desktop/Twips.h"

#include <QDir>

#ifndef BANTERLY_HOMEPAGE_URL
#error "BANTERLY_HOMEPAGE_URL is set by the build (src/CMakeLists.txt)"
#endif

QString HomePageUrl() { return QString::fromUtf8(BANTERLY_HOMEPAGE_URL); }

namespace {

const QColor kDarkBlue(0, 0, 192);
const QColor kRed(255, 0, 0);
const QString kSansSerif = QStringLiteral("MS Sans Serif");

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, const QFont& font,
                  const QRect& twips)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setGeometry(TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    return label;
}

void SetTextColour(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Banterly"));
    setFixedSize(TwipsToPixels(4800), TwipsToPixels(3240));

    lblTitle = MakeLabel(this, QStringLiteral("lblTitle"), QStringLiteral("Banterly"),
                         PointFont(kSansSerif, 13.5, true), QRect(240, 240, 4320, 405));
    lblVersion = MakeLabel(this, QStringLiteral("lblVersion"), GetVersionString(),
                           PointFont(kSansSerif, 9.75, true), QRect(240, 720, 4320, 300));
    const QFont nameFont = PointFont(kSansSerif, 9.75);
    Label1[0] = MakeLabel(this, QStringLiteral("Label1_0"), QStringLiteral("Orvane"), nameFont,
                          QRect(240, 1140, 840, 300));
    Label1[1] = MakeLabel(this, QStringLiteral("Label1_1"), QStringLiteral("Software"), nameFont,
                          QRect(1080, 1140, 1200, 300));

    lblURL = new ClickLabel(HomePageUrl(), this);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    lblURL->setFont(PointFont(kSansSerif, 8.25, false, true));
    lblURL->setGeometry(TwipsRect(240, 1560, 4320, 255));
    lblURL->setToolTip(QStringLiteral("Click here to visit Orvane Softwares homepage"));
    lblURL->setCursor(Qt::PointingHandCursor);
    SetTextColour(lblURL, kDarkBlue);
    connect(lblURL, &ClickLabel::clicked, this, &frmAbout::lblURL_Click);

    // Where the program keeps its files, to be selected and copied.
    MakeLabel(this, QStringLiteral("lblDataFolderCaption"), QStringLiteral("Data folder:"),
              PointFont(kSansSerif, 8.25), QRect(240, 1980, 4320, 255));
    txtDataFolder = new QLineEdit(QDir::toNativeSeparators(platform().ProgramFolder()), this);
    txtDataFolder->setObjectName(QStringLiteral("txtDataFolder"));
    txtDataFolder->setReadOnly(true);
    txtDataFolder->setFrame(false);
    txtDataFolder->setFont(PointFont(kSansSerif, 8.25));
    txtDataFolder->setGeometry(TwipsRect(240, 2235, 4320, 285));
    txtDataFolder->setCursorPosition(0);
    txtDataFolder->setToolTip(txtDataFolder->text());

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(TwipsRect(3555, 2640, 1005, 375));
    // Default and cancel button at once: Enter presses it, and Esc rejects
    // the dialog, which closes it the same way.
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
}

void frmAbout::lblURL_Click()
{
    const BusyPointer busy;
    SetTextColour(lblURL, kRed);
    // The address goes to the desktop's URL handler as it is; no command line
    // is built from it. A failure is deliberately not reported.
    try {
        (void)desktop().OpenUrl(HomePageUrl());
    } catch (...) {
    }
}
