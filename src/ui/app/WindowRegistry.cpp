// The window registry's instances and the procedures that need several
// windows at once. Only this file knows every window.

#include "ui/app/Windows.h"

#include "ui/app/Reporter.h"
#include "ui/desktop/ScreenPlacement.h"
#include "ui/desktop/WindowControl.h"
#include "ui/app/frmRestore.h"
#include "ui/app/frmToolbar1.h"
#include "core/contacts/ContactStore.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/options/frmOptions.h"
#include "ui/phrases/frmPhrases.h"
#include "ui/desktop/Twips.h"
#include "core/settings/Settings.h"

#include "core/files/ErrorLog.h"
#include "core/platform/Platform.h"
#include "ui/phrases/PhrasePaste.h"

#include <QPointer>

namespace {
ContactStore* g_book = nullptr;
QPointer<frmToolbar1> g_toolbar;
QPointer<frmContactDetails> g_card;
QPointer<frmChatContactList> g_list;
QPointer<frmPhrases> g_phrases;
QPointer<frmOptions> g_options;
QPointer<frmRestore> g_restore;

// Registers the new window before its load step runs, so that the load step
// (and whatever it calls) sees the window as existing.
template <typename T, typename... Args> T& Touch(QPointer<T>& slot, Args&... args)
{
    if (!slot) {
        slot = new T(args...);
        slot->Load();
    }
    return *slot;
}

// The list announces what the user asked of the card.
void ConnectListToCard(frmChatContactList& list)
{
    QObject::connect(&list, &frmChatContactList::aboutToChange, &list, [] {
        if (IsContactDetailsLoaded())
            g_card->CatchUpDeactivation();
    });
    // The card shows before it is filled (creating it shows it too).
    QObject::connect(&list, &frmChatContactList::contactOpened, &list, [] {
        frmContactDetails& card = ContactDetails();
        card.show();
        ShowContactOnCard(card);
    });
    QObject::connect(&list, &frmChatContactList::cardWanted, &list,
                     [] { ShowContactOnCard(ContactDetails()); });
    QObject::connect(&list, &frmChatContactList::newContactAdded, &list, [] {
        ShowContactDetails();
        ShowContactOnCard(ContactDetails());
        ContactDetails().StartTyping();
    });
}

constexpr double kListOffset = 360;    // horizontal, list window and card
constexpr double kPhraseOffset = 315;  // vertical, phrase window

void ShowModeless(QWidget& w)
{
    w.show();
    w.raise();
}
} // namespace

ContactStore& Book()
{
    if (!g_book) {
        g_book = new ContactStore;
        ReportBookFailures(*g_book);
    }
    return *g_book;
}

namespace {
void ShowOptions()
{
    frmOptions& options = Options();
    options.show();
    options.raise();
    options.activateWindow();
}

void AddNewContact()
{
    if (!Book().AddContact())
        return;
    ShowContactDetails();
    ShowContactOnCard(ContactDetails());
    ContactDetails().StartTyping();
}

void ExchangeFromMenu(const QString& command, const QString& file, const QString& title)
{
    const ExchangeResult r = ExchangeWithWindows(command, file);
    if (r.status == ExchangeResult::Done)
        platform().MessageBox(r.summary);
    else
        ReportFailure(title + QStringLiteral(": ") + r.error);
}

// Only data that would be lost is saved when the program ends: an edit the
// card holds, a contact table that differs from the file, and a phrase list
// whose last save failed.
bool SaveEverythingUnsaved()
{
    bool saved = SaveUnsavedContactsInWindows();
    if (IsPhrasesLoaded())
        saved = g_phrases->SaveUnsavedPhrases() && saved;
    return saved;
}

void ConnectToolbar(frmToolbar1& t)
{
    QObject::connect(&t, &frmToolbar1::readyToLoad, &t, [] {
        RunStartupStep("settings", LoadSettings);
        if (g_toolbar)
            g_toolbar->SetPasteAfterCopy(Settings.PasteAfterCopy == 1);
        FollowActiveWindow();
        RunStartupStep("contacts", [] {
            Book().ContactFilePath = Settings.ContactFilePath;
            Book().LoadContacts();
        });
    });
    QObject::connect(&t, &frmToolbar1::addContactRequested, &t, AddNewContact);
    QObject::connect(&t, &frmToolbar1::contactListRequested, &t, [] { ShowContactList(); });
    QObject::connect(&t, &frmToolbar1::phrasesRequested, &t, [] { ShowPhrases(); });
    QObject::connect(&t, &frmToolbar1::optionsRequested, &t, ShowOptions);
    QObject::connect(&t, &frmToolbar1::restoreRequested, &t, [] { ShowRestore(); });
    QObject::connect(&t, &frmToolbar1::exchangeRequested, &t, ExchangeFromMenu);
    QObject::connect(&t, &frmToolbar1::pasteAfterCopyToggled, &t, [](bool on) {
        Settings.PasteAfterCopy = on ? 1 : 0;
        SavePasteAfterCopy();  // a failure is reported; the choice holds for this run
        FollowActiveWindow();
    });
    t.SaveBeforeClosing = SaveEverythingUnsaved;
    t.SetPasteAfterCopy(Settings.PasteAfterCopy == 1);
}
} // namespace

frmToolbar1& Toolbar()
{
    if (!g_toolbar) {
        g_toolbar = new frmToolbar1();
        ConnectToolbar(*g_toolbar);
    }
    return *g_toolbar;
}

frmContactDetails& ContactDetails()
{
    if (g_card)
        return *g_card;
    // Registered before its settings are applied and it is placed, since
    // both touch the card again.
    Touch(g_card, Book());
    ApplySettings();
    ShowContactDetails();
    return *g_card;
}

frmChatContactList& ChatContactList()
{
    if (!g_list) {
        g_list = new frmChatContactList(Book());
        ConnectListToCard(*g_list);
        g_list->Load();
    }
    return *g_list;
}

frmPhrases& Phrases() { return Touch(g_phrases); }
frmOptions& Options() { return Touch(g_options); }
frmRestore& RestoreWindow()
{
    if (!g_restore) {
        g_restore = new frmRestore();
        g_restore->FileOf = [](int kind) {
            return kind == 0 ? Book().ContactFilePath : Settings.PhraseListFile;
        };
        g_restore->SaveUnsavedFirst = [](int kind) {
            return kind == 0 ? SaveUnsavedContactsInWindows() : SaveUnsavedPhrasesInWindows();
        };
        QObject::connect(g_restore, &frmRestore::restored, g_restore, [](int kind) {
            if (kind == 0)
                ReloadContactsIntoWindows();
            else
                ReloadPhrasesIntoWindows();
        });
        g_restore->Load();
    }
    return *g_restore;
}

bool IsToolbarCreated() { return !g_toolbar.isNull(); }
bool IsContactDetailsLoaded() { return !g_card.isNull(); }
bool IsChatContactListLoaded() { return !g_list.isNull(); }
bool IsPhrasesLoaded() { return !g_phrases.isNull(); }
bool IsOptionsLoaded() { return !g_options.isNull(); }
bool IsRestoreLoaded() { return !g_restore.isNull(); }

void UnloadAllWindows()
{
    delete g_restore.data();
    delete g_options.data();
    delete g_phrases.data();
    delete g_list.data();
    delete g_card.data();
    delete g_toolbar.data();
    delete g_book;
    g_book = nullptr;
}

void ShowContactList()
{
    frmToolbar1& t = Toolbar();
    frmChatContactList& list = ChatContactList();
    PlaceOnToolbarScreen(list, t, WindowLeft(t) + kListOffset, WindowTop(t) + WindowHeight(t));
    ShowModeless(list);
}

void ShowContactDetails()
{
    frmToolbar1& t = Toolbar();
    const double left = WindowLeft(t);
    frmContactDetails& card = ContactDetails();  // may load the card, which shows itself
    const double width = PixelsToTwips(OuterSize(card, t).width());
    const double top = WindowTop(t);
    const double height = WindowHeight(t);
    PlaceOnToolbarScreen(card, t, left - width + kListOffset, top + height);
    ShowModeless(card);
}

void ShowPhrases()
{
    frmToolbar1& t = Toolbar();
    frmPhrases& phrases = Phrases();
    PlaceOnToolbarScreen(phrases, t, WindowLeft(t),
                         WindowTop(t) + WindowHeight(t) + kPhraseOffset);
    ShowModeless(phrases);
}

void ApplySettings()
{
    frmContactDetails& card = ContactDetails();
    card.SetStatFieldsVisible(Settings.ShowStatFields != 0);
    SetTopmost(Toolbar(), Settings.AlwaysOnTop == 1 ? -1 : 0);
}

bool ShowWindowNamed(const QString& name)
{
    if (name == QStringLiteral("toolbar")) {
        frmToolbar1& t = Toolbar();
        t.showNormal();
        t.raise();
        t.activateWindow();
    } else if (name == QStringLiteral("contacts")) {
        ShowContactList();
        g_list->activateWindow();
    } else if (name == QStringLiteral("card")) {
        ShowContactDetails();
        g_card->activateWindow();
    } else if (name == QStringLiteral("phrases")) {
        ShowPhrases();
        g_phrases->activateWindow();
    } else if (name == QStringLiteral("options")) {
        ShowOptions();
    } else {
        return false;
    }
    return true;
}

ExchangeResult ExchangeWithWindows(const QString& command, const QString& fileName)
{
    const bool phrases = command.endsWith(QStringLiteral("-phrases"));
    if (phrases && IsPhrasesLoaded() && !g_phrases->SaveUnsavedPhrases()) {
        ExchangeResult refused;
        refused.status = ExchangeResult::Failed;
        refused.error = QStringLiteral("the phrase list could not be saved first");
        return refused;
    }
    // The list and the card follow the book's import themselves.
    const ExchangeResult result = RunExchange(Book(), command, fileName);
    if (result.status == ExchangeResult::Done && phrases &&
        command.startsWith(QStringLiteral("import-")))
        ReloadPhrasesIntoWindows();
    return result;
}

void ReloadContactsIntoWindows()
{
    // The list and the card follow the book: with no current contact the
    // card shows none (and takes no typing) and hides.
    Book().LoadContacts();
}

void ReloadPhrasesIntoWindows()
{
    if (IsPhrasesLoaded())
        g_phrases->ReloadFromFile();
}

void ShowRestore()
{
    const bool open = IsRestoreLoaded();
    frmToolbar1& t = Toolbar();
    frmRestore& restore = RestoreWindow();
    if (open) {
        restore.RefreshVersions();
    } else {
        PlaceOnToolbarScreen(restore, t, WindowLeft(t), WindowTop(t) + WindowHeight(t));
    }
    ShowModeless(restore);
    restore.activateWindow();
}

bool SaveUnsavedContactsInWindows()
{
    if (IsContactDetailsLoaded())
        return g_card->SaveMarkedEditOnExit();
    return Book().SaveUnsavedContacts();
}

bool SaveUnsavedPhrasesInWindows()
{
    return !IsPhrasesLoaded() || g_phrases->SaveUnsavedPhrases();
}
