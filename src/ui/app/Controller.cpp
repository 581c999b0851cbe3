#include "ui/app/Controller.h"

#include "core/files/ErrorLog.h"
#include "core/platform/Platform.h"
#include "ui/app/Reporter.h"
#include "ui/app/frmRestore.h"
#include "ui/app/frmToolbar1.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/desktop/ScreenPlacement.h"
#include "ui/desktop/Twips.h"
#include "ui/desktop/WindowControl.h"
#include "ui/options/frmAbout.h"
#include "ui/options/frmOptions.h"
#include "ui/phrases/PhrasePaste.h"
#include "ui/phrases/frmPhrases.h"

#include <QTimer>
#include <memory>

namespace {
constexpr double kListOffset = 360;    // horizontal, list window and card
constexpr double kPhraseOffset = 315;  // vertical, phrase window
constexpr int kContactFile = 0;        // the restore window's kinds of file

void ShowModeless(QWidget& w)
{
    w.show();
    w.raise();
}

void ShowActive(QWidget& w)
{
    ShowModeless(w);
    w.activateWindow();
}
} // namespace

Controller::Controller()
{
    ReportProblems(m_book);
    ReportProblems(m_settings);
    ReportProblems(m_phrases);
    connect(&m_settings, &Settings::changed, this, &Controller::ApplySettings);
    // The book's own loads and saves are no outside change.
    connect(&m_book, &ContactStore::saved, &m_contactFileWatch, &DataFileWatch::Remember);
    connect(&m_book, &ContactStore::contactsReloaded, &m_contactFileWatch,
            &DataFileWatch::Remember);
    // A book another program put in place: an edit on the card goes into
    // the table first, so a merge keeps it.
    connect(&m_contactFileWatch, &DataFileWatch::replaced, this, [this] {
        if (IsContactDetailsLoaded())
            m_card->WriteEditToContact();
        m_book.TakeOutsideChange();
    });
    connect(&m_contactFileWatch, &DataFileWatch::conflictCopyFound, this,
            [this](const QString& copy) {
                if (IsContactDetailsLoaded())
                    m_card->WriteEditToContact();
                m_book.TakeConflictCopy(copy);
            });
    // The phrase file the same way; the window follows its list.
    connect(&m_phrases, &PhraseList::saved, &m_phraseFileWatch, &DataFileWatch::Remember);
    connect(&m_phrases, &PhraseList::reloaded, &m_phraseFileWatch, &DataFileWatch::Remember);
    connect(&m_phraseFileWatch, &DataFileWatch::replaced, &m_phrases,
            &PhraseList::TakeOutsideChange);
    connect(&m_phraseFileWatch, &DataFileWatch::conflictCopyFound, this,
            [this](const QString& copy) {
                m_phrases.TakeConflictCopy(copy, m_settings.PhraseListFile);
            });
}

Controller::~Controller() { UnloadAllWindows(); }

void Controller::Start()
{
    m_ready = false;
    frmToolbar1& t = Toolbar();
    // Once, even when a message shown during the load lets the other
    // trigger come.
    const auto load = [this, started = std::make_shared<bool>(false)] {
        if (*started || !m_toolbar)
            return;
        *started = true;
        m_toolbar->FinishLoad();
        ReadDataFiles();
        m_ready = true;
        // What was asked for meanwhile, in order; a step may ask for more.
        for (size_t i = 0; i < m_afterLoad.size(); ++i) {
            const std::function<void()> step = m_afterLoad[i];
            step();
        }
        m_afterLoad.clear();
        emit ready();
    };
    connect(&t, &frmToolbar1::firstPainted, this, load, Qt::SingleShotConnection);
    // A toolbar that is never drawn (started minimised, or on no screen)
    // does not keep the book from being read.
    QTimer::singleShot(1000, this, load);
    t.ShowFirst();
}

void Controller::WhenReady(std::function<void()> step)
{
    if (m_ready)
        step();
    else
        m_afterLoad.push_back(std::move(step));
}

// --- the windows ------------------------------------------------------------
// Each is registered before its load step runs, so that the load step (and
// whatever it calls) sees the window as existing.

frmToolbar1& Controller::Toolbar()
{
    if (!m_toolbar) {
        m_toolbar = new frmToolbar1(m_settings);
        ConnectToolbar(*m_toolbar);
    }
    return *m_toolbar;
}

frmContactDetails& Controller::ContactDetails()
{
    if (!m_card) {
        m_card = new frmContactDetails(m_book);
        m_card->Load();
        // A card that loads takes the settings and places and shows itself.
        ApplySettings();
        ShowContactDetails();
    }
    return *m_card;
}

frmChatContactList& Controller::ChatContactList()
{
    if (!m_list) {
        m_list = new frmChatContactList(m_book);
        ConnectList(*m_list);
        m_list->Load();
    }
    return *m_list;
}

frmPhrases& Controller::Phrases()
{
    if (!m_phrasesWindow) {
        m_phrasesWindow = new frmPhrases(m_phrases, m_settings);
        m_phrasesWindow->Load();
    }
    return *m_phrasesWindow;
}

frmOptions& Controller::Options()
{
    if (!m_options) {
        m_options = new frmOptions(m_settings);
        connect(m_options, &frmOptions::aboutRequested, this, [this] { ShowAbout(); });
        m_options->Load();
    }
    return *m_options;
}

frmRestore& Controller::RestoreWindow()
{
    if (!m_restore) {
        m_restore = new frmRestore();
        ConnectRestore(*m_restore);
        m_restore->Load();
    }
    return *m_restore;
}

frmAbout& Controller::ShowAbout()
{
    if (!m_about) {
        // Over the options dialog, and gone with it.
        m_about = new frmAbout(m_options);
        m_about->open();
    }
    ShowActive(*m_about);
    return *m_about;
}

frmAbout* Controller::AboutWindow() const { return m_about; }

bool Controller::IsContactDetailsLoaded() const { return !m_card.isNull(); }
bool Controller::IsChatContactListLoaded() const { return !m_list.isNull(); }
bool Controller::IsPhrasesLoaded() const { return !m_phrasesWindow.isNull(); }
bool Controller::IsOptionsLoaded() const { return !m_options.isNull(); }
bool Controller::IsRestoreLoaded() const { return !m_restore.isNull(); }

void Controller::UnloadAllWindows()
{
    delete m_restore.data();
    delete m_options.data();
    delete m_phrasesWindow.data();
    delete m_list.data();
    delete m_card.data();
    delete m_toolbar.data();
}

// --- what the windows ask for -------------------------------------------------

void Controller::ConnectToolbar(frmToolbar1& t)
{
    connect(&t, &frmToolbar1::readyToLoad, this, &Controller::ReadDataFiles);
    connect(&t, &frmToolbar1::addContactRequested, this, [this] { WhenReady([this] { AddNewContact(); }); });
    connect(&t, &frmToolbar1::contactListRequested, this, [this] { WhenReady([this] { ShowContactList(); }); });
    connect(&t, &frmToolbar1::phrasesRequested, this, [this] { WhenReady([this] { ShowPhrases(); }); });
    connect(&t, &frmToolbar1::optionsRequested, this, [this] { WhenReady([this] { ShowOptions(); }); });
    connect(&t, &frmToolbar1::restoreRequested, this, [this] { WhenReady([this] { ShowRestore(); }); });
    connect(&t, &frmToolbar1::exchangeRequested, this,
            [this](const QString& command, const QString& file, const QString& title) {
                WhenReady([=, this] { ExchangeFromMenu(command, file, title); });
            });
    connect(&t, &frmToolbar1::pasteAfterCopyToggled, this,
            [this](bool on) { WhenReady([=, this] { SetPasteAfterCopy(on); }); });
    // Only data that would be lost is saved when the program ends: an edit
    // the card holds, a contact table that differs from the file, and a
    // phrase list whose last save failed.
    t.SaveBeforeClosing = [this] {
        const bool contacts = SaveUnsavedContactsInWindows();
        return SaveUnsavedPhrasesInWindows() && contacts;
    };
}

void Controller::ConnectList(frmChatContactList& list)
{
    connect(&list, &frmChatContactList::aboutToChange, this, [this] {
        if (IsContactDetailsLoaded())
            m_card->CatchUpDeactivation();
    });
    // The card shows before it is filled (creating it shows it too).
    connect(&list, &frmChatContactList::contactOpened, this, [this] {
        frmContactDetails& card = ContactDetails();
        card.show();
        ShowContactOnCard(card);
    });
    connect(&list, &frmChatContactList::cardWanted, this,
            [this] { ShowContactOnCard(ContactDetails()); });
    connect(&list, &frmChatContactList::newContactAdded, this, [this] {
        ShowContactDetails();
        ShowContactOnCard(ContactDetails());
        ContactDetails().StartTyping();
    });
}

void Controller::ConnectRestore(frmRestore& restore)
{
    restore.FileOf = [this](int kind) {
        return kind == kContactFile ? m_book.ContactFilePath : m_settings.PhraseListFile;
    };
    restore.SaveUnsavedFirst = [this](int kind) {
        return kind == kContactFile ? SaveUnsavedContactsInWindows()
                                    : SaveUnsavedPhrasesInWindows();
    };
    connect(&restore, &frmRestore::restored, this, [this](int kind) {
        if (kind == kContactFile)
            ReloadContactsIntoWindows();
        else
            ReloadPhrasesIntoWindows();
    });
}

void Controller::ReadDataFiles()
{
    RunStartupStep("settings", [this] { m_settings.LoadSettings(); });
    FollowActiveWindow(m_settings);
    RunStartupStep("contacts", [this] {
        m_book.ContactFilePath = m_settings.ContactFilePath;
        m_book.LoadContacts();
        m_contactFileWatch.Watch(m_book.ContactFilePath);
        m_contactFileWatch.CheckConflictCopies();
    });
    RunStartupStep("phrases", [this] {
        m_phraseFileWatch.Watch(m_settings.PhraseListFile);
        m_phraseFileWatch.CheckConflictCopies();
    });
}

void Controller::AddNewContact()
{
    if (!m_book.AddContact())
        return;
    ShowContactDetails();
    ShowContactOnCard(ContactDetails());
    ContactDetails().StartTyping();
}

void Controller::ExchangeFromMenu(const QString& command, const QString& file,
                                  const QString& title)
{
    const ExchangeResult r = ExchangeWithWindows(command, file);
    if (r.status == ExchangeResult::Done)
        platform().MessageBox(r.summary);
    else
        ReportFailure(title + QStringLiteral(": ") + r.error);
}

void Controller::SetPasteAfterCopy(bool on)
{
    m_settings.PasteAfterCopy = on ? 1 : 0;
    m_settings.SavePasteAfterCopy();  // a failure is reported; the choice holds for this run
    FollowActiveWindow(m_settings);
}

// --- procedures over several windows ----------------------------------------

void Controller::ShowContactList()
{
    frmToolbar1& t = Toolbar();
    frmChatContactList& list = ChatContactList();
    PlaceOnToolbarScreen(list, t, WindowLeft(t) + kListOffset, WindowTop(t) + WindowHeight(t));
    ShowModeless(list);
}

void Controller::ShowContactDetails()
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

void Controller::ShowPhrases()
{
    frmToolbar1& t = Toolbar();
    frmPhrases& phrases = Phrases();
    PlaceOnToolbarScreen(phrases, t, WindowLeft(t),
                         WindowTop(t) + WindowHeight(t) + kPhraseOffset);
    ShowModeless(phrases);
}

void Controller::ShowOptions() { ShowActive(Options()); }

void Controller::ShowRestore()
{
    const bool open = IsRestoreLoaded();
    frmToolbar1& t = Toolbar();
    frmRestore& restore = RestoreWindow();
    if (open)
        restore.RefreshVersions();
    else
        PlaceOnToolbarScreen(restore, t, WindowLeft(t), WindowTop(t) + WindowHeight(t));
    ShowActive(restore);
}

void Controller::ApplySettings()
{
    frmContactDetails& card = ContactDetails();
    card.SetStatFieldsVisible(m_settings.ShowStatFields != 0);
    SetTopmost(Toolbar(), m_settings.AlwaysOnTop == 1 ? -1 : 0);
}

bool Controller::ShowWindowNamed(const QString& name)
{
    if (name == QStringLiteral("toolbar")) {
        frmToolbar1& t = Toolbar();
        t.showNormal();
        t.raise();
        t.activateWindow();
    } else if (name == QStringLiteral("contacts")) {
        ShowContactList();
        m_list->activateWindow();
    } else if (name == QStringLiteral("card")) {
        ShowContactDetails();
        m_card->activateWindow();
    } else if (name == QStringLiteral("phrases")) {
        ShowPhrases();
        m_phrasesWindow->activateWindow();
    } else if (name == QStringLiteral("options")) {
        ShowOptions();
    } else {
        return false;
    }
    return true;
}

ExchangeResult Controller::ExchangeWithWindows(const QString& command, const QString& fileName)
{
    const bool phrases = command.endsWith(QStringLiteral("-phrases"));
    // A request handed over by a later start comes while the card may still
    // hold what the user is typing: it goes into its contact first, so an
    // import saves it with the book and an export holds it.
    const bool ready = phrases ? SaveUnsavedPhrasesInWindows()
                               : !IsContactDetailsLoaded() || m_card->WriteEditToContact();
    if (!ready) {
        ExchangeResult refused;
        refused.status = ExchangeResult::Failed;
        refused.error = phrases ? QStringLiteral("the phrase list could not be saved first")
                                : QStringLiteral("the edit on the card could not be kept first");
        return refused;
    }
    // The list and the card follow the book's import themselves.
    const ExchangeResult result =
        RunExchange(m_book, command, fileName, m_settings.PhraseListFile);
    if (result.status == ExchangeResult::Done && phrases &&
        command.startsWith(QStringLiteral("import-")))
        ReloadPhrasesIntoWindows();
    return result;
}

void Controller::ReloadContactsIntoWindows()
{
    // The list and the card follow the book: with no current contact the
    // card shows none (and takes no typing) and hides.
    m_book.LoadContacts();
}

void Controller::ReloadPhrasesIntoWindows()
{
    // The phrase window follows its list; a list no window shows is read
    // when the window next opens.
    if (IsPhrasesLoaded())
        m_phrases.Load(m_settings.PhraseListFile);
}

bool Controller::SaveUnsavedContactsInWindows()
{
    if (IsContactDetailsLoaded())
        return m_card->SaveMarkedEditOnExit();
    return m_book.SaveUnsavedContacts();
}

bool Controller::SaveUnsavedPhrasesInWindows()
{
    return !IsPhrasesLoaded() || m_phrases.SaveUnsaved();
}
