#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "core/contacts/ContactStore.h"
#include "ui/contacts/frmChatContactList.h"
#include "ui/contacts/frmContactDetails.h"
#include "ui/desktop/Fonts.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScopeGuard>
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

// Why the clock label does not show its whole text inside the toolbar, or
// empty when it does.
QString ClockFault(const frmToolbar1& t)
{
    const QString text = t.lblTime->text();
    const QRect r = t.lblTime->geometry();
    const int advance = QFontMetrics(t.lblTime->font()).horizontalAdvance(text);
    if (r.width() < advance || r.width() < 61 || r.x() != 108 || r.x() + r.width() > t.width())
        return QStringLiteral("\"%1\" (%2 px) in %3 px at %4 in a %5 px toolbar")
            .arg(text).arg(advance).arg(r.width()).arg(r.x()).arg(t.width());
    return {};
}

QAction* MenuCommand(const frmToolbar1& t, const QString& text)
{
    for (QAction* a : t.mnuToolbar->actions())
        if (a->text() == text)
            return a;
    qFatal("no menu command %s", qPrintable(text));
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
        EndApp();
    }
    void cleanup()
    {
        EndApp();
        delete fake;
        delete dir;
    }

    // The menu's import reaches the book through the same code as the
    // command line: the chosen file's new contacts are added and saved once,
    // the open list shows them, and a right click never flips the clock.
    void menuImportAddsTheFilesContactsAndTheListShowsThem()
    {
        frmToolbar1& t = App().Toolbar();
        t.Load();
        App().ShowContactList();
        const int before = App().Book().ContactCount;
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
        QCOMPARE(App().Book().ContactCount, int16_t(before + 1));
        QVERIFY(!App().Book().ContactTableUnsaved());
        QVERIFY(dir->Read(QStringLiteral("chatcontacts.lis")).contains("Charlie"));
        QVERIFY(App().ChatContactList().lstNames->item(before)->text().contains(QStringLiteral("Charlie")));

        QTest::mouseClick(t.lblTime, Qt::LeftButton);  // the start time: a text that stays
        const QString clock = t.lblTime->text();
        QVERIFY(clock.startsWith(QStringLiteral("Started")));
        QTest::mouseClick(t.lblTime, Qt::RightButton);
        QCOMPARE(t.lblTime->text(), clock);
    }

    // The program's start reads the book only once the toolbar is drawn. A
    // list button pressed before that waits for the load: with the largest
    // book the list shows every contact, and nothing was written meanwhile.
    void listPressedAtOnceWithTheLargestBookShowsEveryContact()
    {
        constexpr int kContacts = 32699;
        QByteArray book;
        for (int i = 1; i <= kContacts; ++i) {
            QByteArray fields[ContactField::Count];
            fields[ContactField::ChatName] = "chatter" + QByteArray::number(i);
            for (const QByteArray& field : fields)
                book += field + char(31);
            book += "\r\n";
        }
        dir->Write(QStringLiteral("chatcontacts.lis"), book);

        App().Start();
        QVERIFY(App().Toolbar().isVisible());
        QVERIFY(!App().Ready());
        QTest::mouseClick(App().Toolbar().cmdButton[1], Qt::LeftButton);
        QCOMPARE(App().Book().ContactCount, int16_t(0));
        QVERIFY(!App().IsChatContactListLoaded());

        QTRY_VERIFY_WITH_TIMEOUT(App().IsChatContactListLoaded(), 30000);
        QVERIFY(App().Ready());
        QCOMPARE(App().Book().ContactCount, int16_t(kContacts));
        const frmChatContactList& list = App().ChatContactList();
        QVERIFY(list.isVisible());
        QCOMPARE(list.lstNames->count(), kContacts);
        QVERIFY(list.lstNames->item(kContacts - 1)->text().contains(QStringLiteral("chatter32699")));
        QCOMPARE(dir->Read(QStringLiteral("chatcontacts.lis")), book);
    }

    // Without a file manager the data folder's path is shown, ready to copy.
    void openDataFolderWithoutAFileManagerShowsThePathToCopy()
    {
        frmToolbar1& t = App().Toolbar();
        t.Load();
        QAction* open = MenuCommand(t, QStringLiteral("Open Data Folder"));
        open->trigger();
        QCOMPARE(fake->Count(QStringLiteral("MessageBoxWithAction")), 0);

        fake->openUrlResult = false;
        fake->actionAnswer = true;
        fake->Reset();
        open->trigger();
        const QStringList shown = fake->Args(QStringLiteral("MessageBoxWithAction"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown.first().contains(dir->Path()));
        QCOMPARE(fake->clipboard, dir->Path());
    }

    // The dialogs open in the home folder, not the working folder, and then
    // where the last file of the same kind went, in this run and the next.
    void fileDialogsStartAtHomeThenWhereTheLastFileOfItsKindWent()
    {
        TestFolder home, elsewhere;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.Path().toLocal8Bit());
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", oldHome); });
        auto startOf = [this](const QString& command, const QString& answer) {
            frmToolbar1& t = App().Toolbar();
            fake->fileAnswers = QStringList{answer};
            fake->Reset();
            MenuCommand(t, command)->trigger();
            const int call = IndexOf(*fake, QStringLiteral("ChooseFile"));
            return call < 0 ? QString() : fake->calls[call].args.value(3);
        };
        App().Toolbar().Load();
        QCOMPARE(startOf(QStringLiteral("Export Contacts…"), elsewhere.File(QStringLiteral("a.vcf"))),
                 home.File(QStringLiteral("contacts.vcf")));
        QCOMPARE(startOf(QStringLiteral("Import Contacts…"), QString()), elsewhere.Path());
        QCOMPARE(startOf(QStringLiteral("Import Phrases…"), QString()), home.Path());

        EndApp();
        App().Toolbar().Load();
        QCOMPARE(startOf(QStringLiteral("Import Contacts…"), QString()), elsewhere.Path());
    }

    void controlsHaveTheirGeometryTextsAndColours()
    {
        frmToolbar1& t = App().Toolbar();
        t.ShowFirst();  // the pictures and the clock's text come with the window
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
        QCOMPARE(t.lblTime->geometry().topLeft(), QPoint(108, 6));  // width: see below
        QCOMPARE(t.lblTime->height(), 13);
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
        frmToolbar1& t = App().Toolbar();
        t.Load();
        QCOMPARE(t.windowTitle(), QStringLiteral("Banterly"));
        QCOMPARE(t.pos(), QPoint(500, 0));  // 15015 / 2 twips, halves to even
        QVERIFY(t.isVisible());
        QCOMPARE(t.StartTime, FormatTimeOfDay(QTime(22, 5, 9)));
        QCOMPARE(t.ShowCurrentTime, -1);

        const int topmost = IndexOf(*fake, QStringLiteral("SetWindowPos"));
        const int events = IndexOf(*fake, QStringLiteral("DoEvents"));
        const int firstRead = IndexOf(*fake, QStringLiteral("ReadProfileString"));
        QVERIFY(topmost >= 0);
        QVERIFY(topmost < events);
        QVERIFY(events < firstRead);
        QCOMPARE(fake->calls[topmost].args,
                 QStringList({"Banterly", "topmost", "500,0,222,21"}));
        // The stored AlwaysOnTop=0 is read but not applied at start-up.
        QCOMPARE(App().AppSettings().AlwaysOnTop, 0);
        QCOMPARE(fake->Count("SetWindowPos"), 1);
        QVERIFY(!App().IsContactDetailsLoaded());
    }

    void clockClicksFlipTheModeAndTicksKeepIt()
    {
        frmToolbar1& t = App().Toolbar();
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
        QCOMPARE(t.ShowCurrentTime, 0);
        t.Timer1_Timer();
        QCOMPARE(t.lblTime->text(), started);
        QCOMPARE(ClockColour(t), kRed);

        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QCOMPARE(t.lblTime->text(), later);
        QCOMPARE(ClockColour(t), kDarkBlue);
        QCOMPARE(t.ShowCurrentTime, -1);

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

    // Whichever time the clock shows, the label is as wide as its text (and
    // never narrower than its designed 61 pixels) and ends inside the
    // toolbar; the designed width cut "Started 10:05:09 PM" to "Started 10:".
    // A text too wide for the rest of the toolbar is drawn smaller instead.
    void clockShowsItsWholeTextInsideTheToolbar()
    {
        frmToolbar1& t = App().Toolbar();
        t.Load();  // sets up the fonts and measures the first text
        QCOMPARE(t.lblTime->text(), QStringLiteral("12:33:22 PM"));
        QVERIFY2(ClockFault(t).isEmpty(), qPrintable(ClockFault(t)));
        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QCOMPARE(t.lblTime->text(), QStringLiteral("Started ") + FormatTimeOfDay(QTime(22, 5, 9)));
        QVERIFY2(ClockFault(t).isEmpty(), qPrintable(ClockFault(t)));
        QCOMPARE(t.lblTime->font().pixelSize(), 11);
        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QCOMPARE(t.lblTime->text(), FormatTimeOfDay(QTime(22, 5, 9)));
        QVERIFY2(ClockFault(t).isEmpty(), qPrintable(ClockFault(t)));

        QFont full = t.lblTime->font();
        full.setPixelSize(11);
        while (QFontMetrics(full).horizontalAdvance(QStringLiteral("Started ") + t.StartTime) <= 114)
            t.StartTime += QLatin1Char('0');  // too wide at 11 pixels for the 114 left
        QTest::mouseClick(t.lblTime, Qt::LeftButton);
        QVERIFY2(ClockFault(t).isEmpty(), qPrintable(ClockFault(t)));
        QVERIFY(t.lblTime->font().pixelSize() < 11);
        QCOMPARE(t.size(), QSize(222, 21));
        QTest::mouseClick(t.lblTime, Qt::LeftButton);  // the time fits again at full size
        QCOMPARE(t.lblTime->font().pixelSize(), 11);
    }

    // Where a Windows font is missing, fontconfig may give any face, and it
    // files "Comic Sans MS" under cursive: the card's chat names came out in
    // a script face. The look-alike stands in, a plain sans face where that
    // is missing too, and the system's sans face where none is known.
    void missingWindowsFontsGetReadableStandIns()
    {
        const QStringList noLookAlike = {"Z003", "Nimbus Sans Narrow", "DejaVu Sans"};
        QCOMPARE(FontStandIns("Comic Sans MS", noLookAlike, "URW Gothic").value(0), "DejaVu Sans");
        QCOMPARE(FontStandIns("Comic Sans MS", {"Z003"}, "URW Gothic"), QStringList{"URW Gothic"});

        const QStringList installed = QFontDatabase::families();
        if (!installed.contains(QStringLiteral("Comic Neue")) ||
            installed.contains(QStringLiteral("Comic Sans MS")))
            QSKIP("needs Comic Neue installed and Comic Sans MS absent");
        const QFont chatName = App().ContactDetails().txtField[0]->font();
        QCOMPARE(chatName.family(), QStringLiteral("Comic Sans MS"));
        QCOMPARE(QFontInfo(chatName).family(), QStringLiteral("Comic Neue"));
    }

    void timerRewritesTheClockEverySecond()
    {
        frmToolbar1& t = App().Toolbar();
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
