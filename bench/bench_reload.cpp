// Times a book replaced from outside under the running windows: the
// 32,699-contact contact file, changed by another copy of the book, renamed
// over the file while the contact list and the card show it, from the rename
// to both windows showing the new content and painted. The watch's settling
// time counts. Two cases, `rounds` times each: nothing unsaved here (the
// file is read anew), and an edit on the card (merged with the new file and
// saved once).
// Usage: bench_reload [rounds]. Runs on whatever Qt platform the environment
// selects (offscreen when none is set and there is no display).

#include "core/contacts/ContactIdentity.h"
#include "core/contacts/ContactStore.h"
#include "support/FakePlatform.h"
#include "support/TestApp.h"
#include "support/TestFolder.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QThread>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kContacts = 32699;
namespace F = ContactField;

bool Exposed(QWidget& w) { return w.isVisible() && w.windowHandle() && w.windowHandle()->isExposed(); }

// Runs the event loop until `done` holds; false after `ms` without it.
bool WaitFor(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void Settle(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, int(deadline.remainingTime()));
}

// The other machine: the book as this copy last wrote it, its first
// contact renamed, saved in its own folder; the caller renames it over the
// book, as a sync program does.
QString OtherMachine(const TestFolder& other, const QString& bookFile, const QString& name)
{
    const QString copy = other.File(QStringLiteral("incoming.lis"));
    QFile::remove(copy);
    if (!QFile::copy(bookFile, copy))
        return {};
    ContactStore book;
    book.ContactFilePath = copy;
    book.LoadContacts();
    book.Contacts[1].SetField(F::ChatName, name);
    book.Contacts[1].SetField(F::ChangedAt, ChangeStamp(QDateTime::currentDateTimeUtc()));
    return book.SaveContacts() ? copy : QString();
}

void Print(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s median %7.1f ms, best %7.1f, worst %7.1f (%zu rounds; limit 300 ms)\n",
                what, ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    FakePlatform fake;
    TestFolder folder, other;
    fake.programFolder = folder.Path();
    const QString bookFile = folder.File(QStringLiteral("chatcontacts.lis"));
    {
        // The book on disk, identities and all, as a save writes it.
        ContactStore seed;
        seed.ContactFilePath = bookFile;
        seed.Contacts.assign(kContacts + 2, ContactRecord());
        for (int i = 1; i <= kContacts; ++i) {
            ContactRecord& r = seed.Contacts[i];
            r.SetField(F::ChatName, QStringLiteral("chatter%1").arg(i));
            if (i % 3)
                r.SetField(F::RealName, QStringLiteral("Given Family%1").arg(i));
            r.SetField(F::Email, QStringLiteral("chatter%1@example.org").arg(i));
        }
        seed.ContactCount = kContacts;
        if (!seed.SaveContacts()) {
            std::fprintf(stderr, "the book could not be written\n");
            return 1;
        }
    }
    App().AppSettings().IniFile = folder.File(QStringLiteral("banterly.ini"));
    App().AppSettings().ContactFilePath = bookFile;
    App().Start();  // reads the book and watches its folder
    if (!WaitFor([] { return App().Ready(); }, 10000) || App().Book().ContactCount != kContacts) {
        std::fprintf(stderr, "the book was not read\n");
        return 1;
    }
    App().ShowContactList();
    frmChatContactList& list = App().ChatContactList();
    App().Book().SetCurrentContact(1);
    frmContactDetails& card = App().ContactDetails();
    card.show();
    ShowContactOnCard(card);
    if (!WaitFor([&] { return Exposed(list) && Exposed(card); }, 10000)) {
        std::fprintf(stderr, "the windows were not shown\n");
        return 1;
    }
    Settle(300);

    std::vector<double> plain, edited;
    for (int round = 0; round < 2 * rounds; ++round) {
        const bool edit = round % 2 == 1;
        const QString name = QStringLiteral("round%1").arg(round);
        const QString incoming = OtherMachine(other, bookFile, name);
        if (incoming.isEmpty()) {
            std::fprintf(stderr, "the other machine's book could not be written\n");
            return 1;
        }
        if (edit) {
            // Typed on the card: the first contact's notes, not yet saved.
            card.txtNotes->setPlainText(name);
            card.SetContactsChanged(true);
        }
        Settle(200);  // the watch has settled on the other machine's save
        QElapsedTimer t;
        t.start();
        if (::rename(qPrintable(incoming), qPrintable(bookFile)) != 0)
            return 1;
        const bool shown = WaitFor(
            [&] {
                const QListWidgetItem* first = list.lstNames->item(0);
                return first && first->text().contains(name) && card.BoxText(0) == name;
            },
            5000);
        QApplication::processEvents();  // the paint
        const double ms = t.nsecsElapsed() / 1e6;
        if (!shown) {
            std::fprintf(stderr, "round %d: the windows did not show the new book\n", round);
            return 1;
        }
        if (edit && (App().Book().ContactTableUnsaved() ||
                     App().Book().Contacts[1].Field(F::Notes) != name)) {
            std::fprintf(stderr, "round %d: the edit was not merged and saved\n", round);
            return 1;
        }
        (edit ? edited : plain).push_back(ms);
    }

    std::printf("platform: %s, contacts: %d, cores: %d\n",
                qPrintable(QGuiApplication::platformName()), kContacts,
                QThread::idealThreadCount());
    Print("rename to windows shown, plain", plain);
    Print("rename to windows shown, edited", edited);
    EndApp();
    return 0;
}
