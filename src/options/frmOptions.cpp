#include "options/frmOptions.h"

#include "platform/Twips.h"

frmOptions::frmOptions()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Options  for Orvane Software's Banterly "));
    setFixedSize(TwipsToPixels(4650), TwipsToPixels(2760));
}

void frmOptions::Load() {}
