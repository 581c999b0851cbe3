#pragma once

// The window registry: the one way windows reach each other.
//
// The program's windows are single shared instances, created and loaded the
// first time anything touches them. The toolbar lives for the whole run and
// the detail card is only ever hidden; the contact list, the phrase window
// and the options dialog are destroyed when the user closes them and are
// created (and loaded) again at their next use.
//
// This header names the windows but includes none of them, so a window can
// use the registry without taking in the others.

#include "core/exchange/Exchange.h"

class frmToolbar1;
class frmContactDetails;
class frmChatContactList;
class frmPhrases;
class frmOptions;
class frmAbout;
class frmRestore;
class PhraseList;
class Settings;

// The settings and the phrase list of the run, created at their first use.
// Windows get them in their constructors and never call these.
Settings& AppSettings();
PhraseList& PhraseModel();

frmToolbar1& Toolbar();
frmContactDetails& ContactDetails();
frmChatContactList& ChatContactList();
frmPhrases& Phrases();
frmOptions& Options();
frmRestore& RestoreWindow();

bool IsToolbarCreated();
bool IsContactDetailsLoaded();
bool IsChatContactListLoaded();
bool IsPhrasesLoaded();
bool IsOptionsLoaded();
bool IsRestoreLoaded();

// The About window, shown over the options dialog when it asks for it (and
// raised when it is open already); AboutWindow() is null while none is open.
frmAbout& ShowAbout();
frmAbout* AboutWindow();

// Destroys every window, the toolbar included, and then the settings and
// the phrase list (used between tests and at the end of the run).
void UnloadAllWindows();

// Places the contact list, the detail card and the phrase window just under
// the toolbar, at the toolbar's position at the moment of the call, and shows
// them (creating and loading them first when needed). A window that would
// reach off the toolbar's screen is moved the least distance onto it.
void ShowContactList();
void ShowContactDetails();
void ShowPhrases();

// Shows or hides the card's stat fields (loading the card when needed) and
// sets the toolbar's topmost state from the settings. Runs whenever the
// settings announce a confirmed change.
void ApplySettings();

// Refills the contact list from the table when the list window is open.
void RefreshContactList();

// Shows a window by its command-line name: "toolbar" (raised, not
// minimised), "contacts", "card", "phrases" or "options". False for any
// other name.
bool ShowWindowNamed(const QString& name);

// An import or export by its command-line name, with the windows kept in
// step: what the phrase window holds unsaved is saved first, and the list,
// the card and the phrase window show the result.
ExchangeResult ExchangeWithWindows(const QString& command, const QString& fileName);

// After a data file was replaced under the program (a restore, an import):
// the table is loaded again and the list and the card show it; the phrase
// window, when open, reads its file again.
void ReloadContactsIntoWindows();
void ReloadPhrasesIntoWindows();

// Shows the Restore from a Backup window under the toolbar (creating it, or
// listing the kept versions again when it is open already).
void ShowRestore();

// Before a data file is replaced under the program: what the windows hold
// for it and have not saved yet is saved (an edit on the card or a table
// whose save failed; a phrase list whose save failed). False, after the
// failed save has told the user, when something is still unsaved.
bool SaveUnsavedContactsInWindows();
bool SaveUnsavedPhrasesInWindows();
