#include "phrases/frmPhrases.h"

#include "platform/Twips.h"

frmPhrases::frmPhrases()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Phrases to Paste into Chat Sessions"));
    resize(TwipsToPixels(4425), TwipsToPixels(3195));
    lstPhrases = new QListWidget(this);
}

void frmPhrases::Load() {}
