#pragma once

#include "core/contacts/ContactStore.h"
#include "core/exchange/Exchange.h"
#include "core/phrases/PhraseList.h"
#include "core/settings/Settings.h"
#include "ui/app/DataFileWatch.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class frmAbout;
class frmChatContactList;
class frmContactDetails;
class frmOptions;
class frmPhrases;
class frmRestore;
class frmToolbar1;

// The program's one controller: it owns the book, the settings and the
// phrase list of the run, creates the windows and connects them. Windows
// know no other window: they show the models they are given, and announce
// what the user asked as signals; what follows is decided here.
//
// The windows are single instances, created and loaded the first time
// anything asks for them. The toolbar lives for the whole run and the detail
// card is only ever hidden; the contact list, the phrase window, the options
// dialog and the restore window are destroyed when the user closes them and
// are created (and loaded) again at their next use.
class Controller : public QObject {
    Q_OBJECT
public:
    Controller();
    // Destroys every window, then the models.
    ~Controller() override;

    ContactStore& Book() { return m_book; }
    Settings& AppSettings() { return m_settings; }
    PhraseList& PhraseModel() { return m_phrases; }

    // The program's start: the toolbar on the screen first; once it is
    // drawn, the rest of its set-up, the settings and the contacts read from
    // the event loop, then ready(). Until then what the toolbar asks for
    // (a button, a menu command) waits and is carried out in order after the
    // load, so nothing sees or saves a book not yet read.
    void Start();
    // The data files are read (at once for a controller that never ran
    // Start()).
    bool Ready() const { return m_ready; }

    frmToolbar1& Toolbar();
    frmContactDetails& ContactDetails();
    frmChatContactList& ChatContactList();
    frmPhrases& Phrases();
    frmOptions& Options();
    frmRestore& RestoreWindow();
    // The About window, shown over the options dialog when it asks for it
    // (and raised when it is open already); AboutWindow() is null while none
    // is open.
    frmAbout& ShowAbout();
    frmAbout* AboutWindow() const;

    bool IsContactDetailsLoaded() const;
    bool IsChatContactListLoaded() const;
    bool IsPhrasesLoaded() const;
    bool IsOptionsLoaded() const;
    bool IsRestoreLoaded() const;

    // Destroys every window, the toolbar included.
    void UnloadAllWindows();

    // Places the contact list, the detail card and the phrase window just
    // under the toolbar, at the toolbar's position at the moment of the call,
    // and shows them (creating and loading them first when needed). A window
    // that would reach off the toolbar's screen is moved the least distance
    // onto it.
    void ShowContactList();
    void ShowContactDetails();
    void ShowPhrases();
    void ShowOptions();
    // Shows the Restore from a Backup window under the toolbar (creating it,
    // or listing the kept versions again when it is open already).
    void ShowRestore();

    // Shows or hides the card's stat fields (loading the card when needed)
    // and sets the toolbar's topmost state from the settings. Runs whenever
    // the settings announce a confirmed change.
    void ApplySettings();

    // Shows a window by its command-line name: "toolbar" (raised, not
    // minimised), "contacts", "card", "phrases" or "options". False for any
    // other name.
    bool ShowWindowNamed(const QString& name);

    // An import or export by its command-line name, with the windows kept in
    // step: what the phrase window holds unsaved is saved first, an edit
    // still on the card goes into its contact first, and the list, the card
    // and the phrase window show the result.
    ExchangeResult ExchangeWithWindows(const QString& command, const QString& fileName);

    // After a data file was replaced under the program (a restore): the
    // table is loaded again (the list and the card follow the book); the
    // phrase window, when open, reads its file again.
    void ReloadContactsIntoWindows();
    void ReloadPhrasesIntoWindows();

    // Before a data file is replaced under the program, and when the program
    // ends: what the windows hold for it and have not saved yet is saved (an
    // edit on the card or a table whose save failed; a phrase list whose save
    // failed). False, after the failed save has told the user, when something
    // is still unsaved.
    bool SaveUnsavedContactsInWindows();
    bool SaveUnsavedPhrasesInWindows();

signals:
    // Start()'s load is done: the book, the settings and the phrase list can
    // be used.
    void ready();

private:
    // Runs `step` now when the data files are read, else after the load.
    void WhenReady(std::function<void()> step);
    void ConnectToolbar(frmToolbar1& toolbar);
    void ConnectList(frmChatContactList& list);
    void ConnectRestore(frmRestore& restore);
    void ReadDataFiles();
    void AddNewContact();
    void ExchangeFromMenu(const QString& command, const QString& file, const QString& title);
    void SetPasteAfterCopy(bool on);

    // The models outlive every window (declared first, destroyed last).
    ContactStore m_book;
    Settings m_settings;
    PhraseList m_phrases;
    // The contact file replaced by another program (a synced folder).
    DataFileWatch m_contactFileWatch;
    DataFileWatch m_phraseFileWatch;

    QPointer<frmToolbar1> m_toolbar;
    QPointer<frmContactDetails> m_card;
    QPointer<frmChatContactList> m_list;
    QPointer<frmPhrases> m_phrasesWindow;
    QPointer<frmOptions> m_options;
    QPointer<frmRestore> m_restore;
    QPointer<frmAbout> m_about;

    bool m_ready = true;
    std::vector<std::function<void()>> m_afterLoad;
};
