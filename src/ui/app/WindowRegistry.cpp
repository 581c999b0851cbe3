// The window registry's instances and the procedures that need several
// windows at once. Only this file knows every window.

#include "ui/app/Windows.h"

#include "core/phrases/PhraseList.h"
#include "ui/app/Reporter.h"
#include "ui/options/frmAbout.h"
#include "ui/desktop/ScreenPlacement.h"
#include "ui/desktop/WindowControl.h"
#include "ui/app/frmRestore.h"
#include "ui/app/frmToolbar1.h"
#include "core/contacts/ContactStore.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/options/frmOptions.h"
#include "ui/phrases/frmPhrases.h"
#include "ui/desktop/Twips.h"
#include "core/settings/Settings.h"

#include <QPointer>
#include <memory>

namespace {
QPointer<frmToolbar1> g_toolbar;
QPointer<frmContactDetails> g_card;
QPointer<frmChatContactList> g_list;
QPointer<frmPhrases> g_phrases;
QPointer<frmOptions> g_options;
QPointer<frmRestore> g_restore;
QPointer<frmAbout> g_about;
std::unique_ptr<Settings> g_settings;
std::unique_ptr<PhraseList> g_phraseModel;

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

constexpr double kListOffset = 360;    // horizontal, list window and card
constexpr double kPhraseOffset = 315;  // vertical, phrase window

void ShowModeless(QWidget& w)
{
    w.show();
    w.raise();
}
} // namespace

Settings& AppSettings()
{
    if (!g_settings) {
        g_settings = std::make_unique<Settings>();
        ReportProblems(*g_settings);
        QObject::connect(g_settings.get(), &Settings::changed, g_settings.get(),
                         [] { ApplySettings(); });
    }
    return *g_settings;
}

PhraseList& PhraseModel()
{
    if (!g_phraseModel) {
        g_phraseModel = std::make_unique<PhraseList>();
        ReportProblems(*g_phraseModel);
    }
    return *g_phraseModel;
}

frmToolbar1& Toolbar()
{
    if (!g_toolbar)
        g_toolbar = new frmToolbar1(AppSettings());
    return *g_toolbar;
}

frmContactDetails& ContactDetails() { return Touch(g_card); }
frmChatContactList& ChatContactList() { return Touch(g_list); }
frmPhrases& Phrases() { return Touch(g_phrases, PhraseModel(), AppSettings()); }
frmRestore& RestoreWindow() { return Touch(g_restore, AppSettings()); }

frmOptions& Options()
{
    if (!g_options) {
        g_options = new frmOptions(AppSettings());
        QObject::connect(g_options, &frmOptions::aboutRequested, g_options, [] { ShowAbout(); });
        g_options->Load();
    }
    return *g_options;
}

frmAbout& ShowAbout()
{
    if (!g_about) {
        // Over the options dialog, and gone with it.
        g_about = new frmAbout(g_options);
        g_about->open();
    }
    g_about->show();
    g_about->raise();
    g_about->activateWindow();
    return *g_about;
}

frmAbout* AboutWindow() { return g_about; }

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
    g_phraseModel.reset();
    g_settings.reset();
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
    const Settings& settings = AppSettings();
    card.SetStatFieldsVisible(settings.ShowStatFields != 0);
    SetTopmost(Toolbar(), settings.AlwaysOnTop == 1 ? -1 : 0);
}

void RefreshContactList()
{
    if (IsChatContactListLoaded())
        FillContactList(*g_list->lstNames);
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
        frmOptions& options = Options();
        options.show();
        options.raise();
        options.activateWindow();
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
    const ExchangeResult result = RunExchange(command, fileName, AppSettings().PhraseListFile);
    if (result.status == ExchangeResult::Done && command.startsWith(QStringLiteral("import-"))) {
        if (phrases) {
            ReloadPhrasesIntoWindows();
        } else {
            RefreshContactList();
            if (IsContactDetailsLoaded() && g_card->isVisible())
                ShowContactOnCard(*g_card);
        }
    }
    return result;
}

void ReloadContactsIntoWindows()
{
    LoadContacts();
    RefreshContactList();
    if (!IsContactDetailsLoaded())
        return;
    // With no current contact the card shows none (and takes no typing) and
    // hides.
    ShowContactOnCard(*g_card);
    if (ContactStore.CurrentContact == 0)
        g_card->hide();
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
    return SaveUnsavedContacts();
}

bool SaveUnsavedPhrasesInWindows()
{
    return !IsPhrasesLoaded() || g_phrases->SaveUnsavedPhrases();
}
