#pragma once

// The program's windows are single shared instances, created and loaded the
// first time anything touches them. The toolbar lives for the whole run and
// the detail card is only ever hidden; the contact list, the phrase window
// and the options dialog are destroyed when the user closes them and are
// created (and loaded) again at their next use.

class frmToolbar1;
class frmContactDetails;
class frmChatContactList;
class frmPhrases;
class frmOptions;

frmToolbar1& Toolbar();
frmContactDetails& ContactDetails();
frmChatContactList& ChatContactList();
frmPhrases& Phrases();
frmOptions& Options();

bool IsToolbarCreated();
bool IsContactDetailsLoaded();
bool IsChatContactListLoaded();
bool IsPhrasesLoaded();
bool IsOptionsLoaded();

// Destroys every window, the toolbar included (used between tests).
void UnloadAllWindows();
