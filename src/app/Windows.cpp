#include "app/Windows.h"

#include "app/frmToolbar1.h"
#include "contacts/frmChatContactList.h"
#include "contacts/frmContactDetails.h"
#include "options/frmOptions.h"
#include "phrases/frmPhrases.h"

#include <QPointer>

namespace {
QPointer<frmToolbar1> g_toolbar;
QPointer<frmContactDetails> g_card;
QPointer<frmChatContactList> g_list;
QPointer<frmPhrases> g_phrases;
QPointer<frmOptions> g_options;

// Registers the new window before its load step runs, so that the load step
// (and whatever it calls) sees the window as existing.
template <typename T> T& Touch(QPointer<T>& slot)
{
    if (!slot) {
        slot = new T();
        slot->Load();
    }
    return *slot;
}
} // namespace

frmToolbar1& Toolbar()
{
    if (!g_toolbar)
        g_toolbar = new frmToolbar1();
    return *g_toolbar;
}

frmContactDetails& ContactDetails() { return Touch(g_card); }
frmChatContactList& ChatContactList() { return Touch(g_list); }
frmPhrases& Phrases() { return Touch(g_phrases); }
frmOptions& Options() { return Touch(g_options); }

bool IsToolbarCreated() { return !g_toolbar.isNull(); }
bool IsContactDetailsLoaded() { return !g_card.isNull(); }
bool IsChatContactListLoaded() { return !g_list.isNull(); }
bool IsPhrasesLoaded() { return !g_phrases.isNull(); }
bool IsOptionsLoaded() { return !g_options.isNull(); }

void UnloadAllWindows()
{
    delete g_options.data();
    delete g_phrases.data();
    delete g_list.data();
    delete g_card.data();
    delete g_toolbar.data();
}
