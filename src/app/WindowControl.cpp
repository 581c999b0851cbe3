#include "app/WindowControl.h"

#include "app/Windows.h"
#include "app/frmToolbar1.h"
#include "contacts/frmChatContactList.h"
#include "contacts/frmContactDetails.h"
#include "phrases/frmPhrases.h"
#include "platform/Platform.h"
#include "platform/Twips.h"

namespace {
constexpr double kListOffset = 360;    // horizontal, list window and card
constexpr double kPhraseOffset = 315;  // vertical, phrase window

void ShowModeless(QWidget& w)
{
    w.show();
    w.raise();
}
} // namespace

double WindowLeft(const QWidget& w) { return PixelsToTwips(w.frameGeometry().x()); }
double WindowTop(const QWidget& w) { return PixelsToTwips(w.frameGeometry().y()); }
double WindowWidth(const QWidget& w) { return PixelsToTwips(w.frameGeometry().width()); }
double WindowHeight(const QWidget& w) { return PixelsToTwips(w.frameGeometry().height()); }

void MoveWindow(QWidget& w, double leftTwips, double topTwips)
{
    // For a top-level window, move() places the outer frame.
    w.move(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
}

void ShowContactList()
{
    frmToolbar1& t = Toolbar();
    frmChatContactList& list = ChatContactList();
    MoveWindow(list, WindowLeft(t) + kListOffset, WindowTop(t) + WindowHeight(t));
    ShowModeless(list);
}

void ShowContactDetails()
{
    frmToolbar1& t = Toolbar();
    const double left = WindowLeft(t);
    frmContactDetails& card = ContactDetails();  // may load the card, which shows itself
    double width = WindowWidth(card);
    // Before the window manager has framed the new card its outer width is
    // not known yet; its frame is taken to be as wide as the toolbar's.
    if (card.frameGeometry().size() == card.size())
        width += WindowWidth(t) - PixelsToTwips(t.width());
    const double top = WindowTop(t);
    const double height = WindowHeight(t);
    MoveWindow(card, left - width + kListOffset, top + height);
    ShowModeless(card);
}

void ShowPhrases()
{
    frmToolbar1& t = Toolbar();
    frmPhrases& phrases = Phrases();
    MoveWindow(phrases, WindowLeft(t), WindowTop(t) + WindowHeight(t) + kPhraseOffset);
    ShowModeless(phrases);
}

void SetTopmost(QWidget& window, int16_t onTop)
{
    const QRect pixels(TwipsToPixels(WindowLeft(window)), TwipsToPixels(WindowTop(window)),
                       TwipsToPixels(WindowWidth(window)), TwipsToPixels(WindowHeight(window)));
    platform().SetWindowPos(&window, onTop == -1, pixels);
}
