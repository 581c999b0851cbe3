// Times the contact list with a full address book: FillContactList alone, and
// the toolbar's list button up to the list window being shown and painted.
// Runs on whatever Qt platform the environment selects (offscreen when none
// is set and there is no display); the platform is printed with the figures.

#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "core/contacts/ContactStore.h"
#include "ui/contacts/ContactTransfer.h"
#include "ui/contacts/frmChatContactList.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
constexpr int kContacts = 32699;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Seed()
{
    App().Book().Contacts.assign(kContacts + 2, ContactRecord());
    for (int i = 1; i <= kContacts; ++i) {
        ContactRecord& r = App().Book().Contacts[i];
        r.SetField(ContactField::ChatName, QStringLiteral("chatter%1").arg(i));
        if (i % 3)
            r.SetField(ContactField::RealName, QStringLiteral("Given Family%1").arg(i));
    }
    App().Book().ContactCount = kContacts;
    App().Book().CurrentContact = kContacts / 2;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    FakePlatform fake;
    TestFolder folder;
    fake.programFolder = folder.Path();
    App().AppSettings().ContactFilePath = folder.File(QStringLiteral("chatcontacts.lis"));
    App().Book().ContactFilePath = App().AppSettings().ContactFilePath;
    Seed();

    frmToolbar1& toolbar = App().Toolbar();
    toolbar.show();
    QApplication::processEvents();

    std::vector<double> fill;
    {
        frmChatContactList& list = App().ChatContactList();
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer t;
            t.start();
            FillContactList(*list.lstNames, App().Book());
            fill.push_back(t.nsecsElapsed() / 1e6);
        }
        list.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::vector<double> shown;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        toolbar.cmdButton_Click(1);
        frmChatContactList& list = App().ChatContactList();
        while (!(list.isVisible() && list.windowHandle() && list.windowHandle()->isExposed()))
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QApplication::processEvents();  // the first paint
        shown.push_back(t.nsecsElapsed() / 1e6);
        if (list.lstNames->count() != kContacts) {
            std::fprintf(stderr, "list holds %d lines, not %d\n", int(list.lstNames->count()), kContacts);
            return 1;
        }
        list.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (App().IsChatContactListLoaded()) {
            std::fprintf(stderr, "the closed list window was not destroyed\n");
            return 1;
        }
    }

    std::printf("platform: %s, contacts: %d\n", qPrintable(QGuiApplication::platformName()),
                kContacts);
    std::printf("FillContactList: median %.1f ms, best %.1f ms (7 runs; limit 50 ms)\n",
                Median(fill), *std::min_element(fill.begin(), fill.end()));
    std::printf("toolbar click to list shown: median %.1f ms, worst %.1f ms (5 runs; limit 250 ms)\n",
                Median(shown), *std::max_element(shown.begin(), shown.end()));
    EndApp();
    return Median(fill) <= 50 && Median(shown) <= 250 ? 0 : 1;
}
