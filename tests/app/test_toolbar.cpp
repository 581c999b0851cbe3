#include "app/Windows.h"
#include "app/frmToolbar1.h"
#include "contacts/ContactStore.h"
#include "contacts/frmChatContactList.h"
#include "settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QTest>
#include <QWindow>
#include <stdexcept>

namespace {
const QColor kDarkBlue(0, 0, 192);
const QColor kRed(255, 0, 0);
const QColor kLightGrey(192, 192, 192);

QColor ClockColour(const frmToolbar1& t)
{
    return t.lblTime->palette().color(QPalette::WindowText);
}

int IndexOf(const FakePlatform& fake, const QString& name)
{
    for (int i = 0; i < fake.calls.size(); ++i)
        if (fake.calls[i].name == name)
            return i;
    return -1;
}

void ThrowingStep() { throw std::runtime_error("disk on fire"); }
int g_stepsRun = 0;
void CountingStep() { ++g_stepsRun; }
} // namespace

class TestToolbar : public QObject {
    Q_OBJECT

    FakePlatform* fake = nullptr;
    TestFolder* dir = nullptr;

private slots:
    void init()
    {
        dir = new TestFolder;
        fake = new FakePlatform;
        fake->programFolder = dir->Path();
        Settings = SettingsValues{};
    }
    void cleanup()
    {
        UnloadAllWindows();
        delete fake;
        delete dir;
    }

    // The menu's import reaches the book through the same code as the
    // command line: the chosen file's new contacts are added and saved once,
    // the open list shows them, and a right click never flips the clock.
    void menuImportAddsTheFilesContactsAndTheListShowsThem()
    {
        frmToolbar1& t = Toolbar();
        t.Load();
        ShowContactList();
        const int before = ContactStore.ContactCount;
        dir->Write(QStringLiteral("phone.vcf"),
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Cedar\r\nNICKNAME:Charlie\r\n"
                   "END:VCARD\r\n");
        fake->fileAnswers = {dir->File(QStringLiteral("phone.vcf"))};
        fake->Reset();
        QAction* import = nullptr;
        for (QAction* a : t.mnuToolbar->actions())
            if (a->text() == QStringLiteral("Import Contacts…"))
                import = a;
        QVERIFY(import);
        import->trigger();
        QCOMPARE(fake->Messages(), QStringList{QStringLiteral("Imported 1 contact.")});
        QCOMPARE(ContactStore.ContactCount, int16_t(before + 1));
        QVERIFY(!ContactTableUnsaved());
        QVERIFY(dir->Read(QStringLiteral("chatcontacts.lis")).contains("Charlie"));
        QVERIFY(ChatContactList().lstNames->item(before)->text().contains(QStringLiteral("Charlie")));

        QTest::mouseClick(t.lblTime, Qt::LeftButton);  // the start time: a text that stays
        const QString clock = t.lblTime->text();
        QVERIFY(clock.startsWith(QStringLiteral("Started")));
        QTest::mouseClick(t.lblTime, Qt::RightButton);
        QCOMPARE(t.lblTime->text(), clock);
    }

    void controlsHaveTheirGeometryTextsAndColours()
    {
        frmToolbar1& t = Toolbar();
        QCOMPARE(t.windowTitle(), QStringLiteral("Banterly"));
        QCOMPARE(t.size(), QSize(222, 21));  // 3330 x 315 twips
        QCOMPARE(t.palette().color(QPalette::Window), kLightGrey);
        QVERIFY(t.autoFillBackground());
        const QStringList tooltips = {"Add new person to Contacts List",
                                      "Find and Record Peoples details",
                                      "List of Phrases to Use in Chatting", "Help and Options Setup"};
        const QList<QSize> iconSizes = {{16, 15}, {16, 15}, {24, 22}, {16, 15}};
        for (int i = 0; i < 4; ++i) {
            // Left 0, 360, 720, 1080; 355 x 315 twips, rounded to whole pixels.
            QCOMPARE(t.cmdButton[i]->geometry(), QRect(24 * i, 0, 24, 21));
            QCOMPARE(t.cmdButton[i]->toolTip(), tooltips[i]);
            QCOMPARE(t.cmdButton[i]->iconSize(), iconSizes[i]);
            QVERIFY(!t.cmdButton[i]->icon().isNull());
            QVERIFY(t.cmdButton[i]->text().isEmpty());
        }
        QCOMPARE(t.lblTime->geometry(), QRect(108, 6, 61, 13));
        QCOMPARE(t.lblTime->text(), QStringLiteral("12:33:22 PM"));
        QCOMPARE(t.lblTime->toolTip(),
                 QStringLiteral("Double Click to toggle current time and time started"));
        QCOMPARE(ClockColour(t), kDarkBlue);
        QCOMPARE(t.lblTime->palette().color(QPalette::Window), kLightGrey);
        QCOMPARE(t.Timer1->interval(), 1000);
        QVERIFY(t.Timer1->isActive());
    }

    void startUpPlacesTheToolbarOnTopBeforeReadingFiles()
    {
        dir->Write(QStringLiteral("banterly.ini"), "[general]\r\nAlwaysOnTop=0\r\n");
        fake->screenWidthTwips = 1001 * 15;
        frmToolbar1& t = Toolbar();
        t.Load();
        QCOMPARE(t.windowTitle(), QStringLiteral("Banterly"));
        QCOMPARE(t.pos(), QPoint(500, 0));  // 15015 / 2 twips, halves to even
        QVERIFY(t.isVisible());
        QCOMPARE(StartTime, FormatTimeOfDay(QTime(22, 5, 9)));
        QCOMPARE(ShowCurrentTime, -1);

        const int topmost = IndexOf(*fake, QStringLiteral("SetWindowPos"));
        const int events = IndexOf(*fake, QStringLiteral("DoEvents"));
        const int firstRead = IndexOf(*fake, QStringLiteral("ReadProfileString"));
        QVERIFY(topmost >= 0);
        QVERIFY(topmost < events);
        QVERIFY(events < firstRead);
        QCOMPARE(fake->calls[topmost].args,
                 QStringList({"Banterly", "topmost", "500,0,222,21"}));
        // The stored AlwaysOnTop=0 is read but not applied at start-up.
        QCOMPARE(Settings.AlwaysOnTop, 0);
        QCOMPARE(fake->Count("SetWindowPos"), 1);
        QVERIFY(!IsContactDetailsLoaded());
    }

    void clockClicksFlipTheModeAndTicksKeepIt()
    {
        frmToolbar1& t = Toolbar();
        t.Load();
        const QString started = QStringLiteral("Started ") + FormatTimeOfDay(QTime(22, 5, 9));
        fake->now = QDateTime(QDate(2026, 12, 7), QTime(23, 0, 1));
        const QString later = FormatTimeOfDay(QTime(23, 0, 1));
        QVERIFY(later != FormatTimeOfDay(QTime(22, 5, 9)));

        t.Timer1_Timer();
        QCOMPARE(t.lblTime->text(), later);
        QCOMPARE(ClockColour(t), kDarkBlue);

        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QCOMPARE(t.lblTime->text(), started);
        QCOMPARE(ClockColour(t), kRed);
        QCOMPARE(ShowCurrentTime, 0);
        t.Timer1_Timer();
        QCOMPARE(t.lblTime->text(), started);
        QCOMPARE(ClockColour(t), kRed);

        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QCOMPARE(t.lblTime->text(), later);
        QCOMPARE(ClockColour(t), kDarkBlue);
        QCOMPARE(ShowCurrentTime, -1);

        // A double click is one click: it flips the mode once. Sent through
        // the window, so that Qt makes the double click from two presses as
        // it does for a real mouse.
        QWindow* window = t.windowHandle();
        QVERIFY(window);
        const QPoint clock = t.lblTime->geometry().center();
        QTest::mouseDClick(window, Qt::LeftButton, {}, clock);
        QCOMPARE(t.lblTime->text(), started);
        QCOMPARE(ClockColour(t), kRed);
        QTest::mouseDClick(window, Qt::LeftButton, {}, clock);
        QCOMPARE(t.lblTime->text(), later);
        QCOMPARE(ClockColour(t), kDarkBlue);
    }

    void timerRewritesTheClockEverySecond()
    {
        frmToolbar1& t = Toolbar();
        t.Load();
        QCOMPARE(t.lblTime->text(), QStringLiteral("12:33:22 PM"));
        QTRY_COMPARE_WITH_TIMEOUT(t.lblTime->text(), FormatTimeOfDay(QTime(22, 5, 9)), 3000);
    }

    void failingStartUpStepIsShownLoggedAndStartUpGoesOn()
    {
        g_stepsRun = 0;
        RunStartupStep("settings", ThrowingStep);
        RunStartupStep("contacts", CountingStep);
        QCOMPARE(g_stepsRun, 1);
        const QString message = QStringLiteral("Could not load the settings: disk on fire");
        QCOMPARE(fake->Messages(), QStringList{message});
        QCOMPARE(dir->Read(QStringLiteral("banterly.log")),
                 "20261207,22:05:09,," + message.toUtf8() + "\r\n");
        RunStartupStep("contacts", [] { throw 42; });
        QCOMPARE(fake->Messages().size(), 2);
    }
};

QTEST_MAIN(TestToolbar)
#include "test_toolbar.moc"
