#include "support/OptionsTestEnv.h"

#include "ui/contacts/frmContactDetails.h"
#include "ui/desktop/Twips.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/IniFile.h"

#include <QDir>
#include <QPointer>
#include <QTest>

namespace {

using Env = OptionsTestEnv<>;

Qt::CheckState State(const frmOptions& d, int i) { return d.chkOptions[i]->checkState(); }

bool StatFieldsHidden(const frmContactDetails& card)
{
    for (int i = 5; i <= 10; ++i)
        if (!card.txtField[i]->isHidden() || !card.lbl[i]->isHidden())
            return false;
    return true;
}

bool StatFieldsShown(const frmContactDetails& card)
{
    for (int i = 5; i <= 10; ++i)
        if (card.txtField[i]->isHidden() || card.lbl[i]->isHidden())
            return false;
    return true;
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void dialogLayoutFollowsTheForm()
    {
        Env env;
        frmOptions& d = env.OpenOptions();
        QCOMPARE(d.windowTitle(), QStringLiteral("Options  for Orvane Software's Banterly "));
        QVERIFY(d.isVisible());
        QVERIFY(!d.isModal());
        QCOMPARE(d.size(), QSize(310, 184));
        QCOMPARE(d.Frame1->geometry(), QRect(12, 12, 283, 109));
        QVERIFY(d.Frame1->title().isEmpty());

        const char* captions[3] = {"Toolbar is Always on Top", "Hide Phrase List When Double Clicked",
                                   "Show Stats (age,sex,height, weight, etc..)"};
        const QRect boxes[3] = {QRect(12, 18, 181, 19), QRect(12, 45, 247, 19),
                                QRect(12, 72, 253, 19)};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(d.chkOptions[i]->text(), QString::fromLatin1(captions[i]));
            QCOMPARE(d.chkOptions[i]->parentWidget(), d.Frame1);
            QCOMPARE(d.chkOptions[i]->geometry(), boxes[i]);
            QVERIFY(d.chkOptions[i]->isTristate());
            QCOMPARE(d.chkOptions[i]->font().family(), QStringLiteral("Comic Sans MS"));
            QCOMPARE(d.chkOptions[i]->font().pixelSize(), 12);  // 9 points at 96 dpi
        }
        QCOMPARE(d.cmdAbout->text(), QStringLiteral("About"));
        QCOMPARE(d.cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(d.cmdCancel->text(), QStringLiteral("Cancel"));
        QCOMPARE(d.cmdAbout->geometry(), QRect(12, 138, 67, 25));
        QCOMPARE(d.cmdOK->geometry(), QRect(120, 138, 67, 25));
        QCOMPARE(d.cmdCancel->geometry(), QRect(228, 138, 67, 25));
        QVERIFY(d.cmdOK->isDefault());
        QVERIFY(!d.cmdCancel->isDefault());

        // Tab order: OK, Cancel, About, then the boxes from the last to the first.
        const QList<QWidget*> expected = {d.cmdOK,          d.cmdCancel,      d.cmdAbout,
                                          d.chkOptions[2], d.chkOptions[1], d.chkOptions[0]};
        QList<QWidget*> order;
        QWidget* w = d.cmdOK;
        do {
            if (expected.contains(w))
                order.append(w);
            w = w->nextInFocusChain();
        } while (w != d.cmdOK && order.size() < 10);
        QCOMPARE(order, expected);
        QCOMPARE(d.focusWidget(), d.cmdOK);
    }

    void fillShowsStoredFlags()
    {
        Env env("0", "1", "2");
        frmOptions& d = env.OpenOptions();
        QCOMPARE(State(d, 0), Qt::Unchecked);
        QCOMPARE(State(d, 1), Qt::Checked);
        QCOMPARE(State(d, 2), Qt::PartiallyChecked);
    }

    void okWithoutChangesWritesNothingAndReapplies()
    {
        Env env;
        QPointer<frmOptions> d = &env.OpenOptions();
        env.fake.Reset();
        d->cmdOK->click();

        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileStrings")), 0);
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileString")), 0);
        QVERIFY(env.fake.Count(QStringLiteral("SetWindowPos")) > 0);
        QVERIFY(StatFieldsShown(App().ContactDetails()));
        QVERIFY(!d->isVisible());
        FlushDeletes();
        QVERIFY(d.isNull());
        QVERIFY(!App().IsOptionsLoaded());
    }

    // The user edits banterly.ini by hand while the dialog is open: OK writes
    // only the box the user changed, and a write that failed is tried again
    // at the next OK even when nothing was changed then.
    void okWritesOnlyWhatTheUserChanged()
    {
        Env env;
        KeepPreviousVersions(nullptr);
        frmOptions& d = env.OpenOptions();
        const QByteArray handEdited = "[general]\r\nAlwaysOnTop=0\r\n[phrases]\r\n"
                                      "HidePhraseListWhenDbleClicked=1\r\nPhraseList=/mine/p.txt\r\n"
                                      "[contacts]\r\nShowStatFields=1\r\ndataFile=/mine/c.lis\r\n";
        env.folder.Write(QStringLiteral("banterly.ini"), handEdited);
        d.chkOptions[1]->click();
        SimulateFullDisk(true);
        d.cmdOK->click();
        SimulateFullDisk(false);
        QCOMPARE(env.Ini(), handEdited);
        QCOMPARE(env.fake.Messages().size(), 1);

        FlushDeletes();
        env.OpenOptions().cmdOK->click();
        QCOMPARE(env.Ini(), Ini::SetValue(handEdited, QStringLiteral("phrases"),
                                          QStringLiteral("HidePhraseListWhenDbleClicked"),
                                          QStringLiteral("0")));
        SetPreviousVersionKeeper(nullptr);
    }

    // A hand-edited file, one value changed in the dialog: OK replaces the
    // file once (one kept version) changing that value alone, and a second
    // OK that changes nothing writes nothing.
    void okReplacesAHandEditedFileOnceChangingOnlyTheChangedValue()
    {
        Env env;
        KeepPreviousVersions(nullptr);  // no file here changes behind the program's back
        const QByteArray handEdited = "; mine\n[GENERAL]\nalwaysontop = 1\n\n[Contacts]\n"
                                      "ShowStatFields=1\r\nDATAFILE=\"/old/c.lis\"\r\n;end\r\n"
                                      "[phrases]\r\nPhraseList=/old/p.txt\r\n";
        env.folder.Write(QStringLiteral("banterly.ini"), handEdited);
        App().AppSettings().LoadSettings();
        const QByteArray expected = Ini::SetValue(handEdited, QStringLiteral("general"),
                                                  QStringLiteral("AlwaysOnTop"), QStringLiteral("0"));
        const QDir backups(env.folder.File(QStringLiteral("backups")));
        const auto kept = [&] { return backups.entryList(QDir::Files).size(); };
        const qsizetype before = kept();

        frmOptions& d = env.OpenOptions();
        d.chkOptions[0]->click();
        env.fake.Reset();
        d.cmdOK->click();
        QCOMPARE(env.Ini(), expected);
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileStrings")), 1);
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileString")), 0);
        QCOMPARE(kept(), before + 1);

        FlushDeletes();
        env.OpenOptions().cmdOK->click();
        QCOMPARE(env.Ini(), expected);
        QCOMPARE(kept(), before + 1);
        SetPreviousVersionKeeper(nullptr);
    }

    void okWithStatsUncheckedHidesStatFieldsAndStoresZero()
    {
        Env env;
        frmContactDetails& card = App().ContactDetails();
        QVERIFY(StatFieldsShown(card));
        frmOptions& d = env.OpenOptions();
        d.chkOptions[2]->click();
        QCOMPARE(State(d, 2), Qt::Unchecked);
        d.cmdOK->click();

        QVERIFY(StatFieldsHidden(card));
        for (int i = 0; i < 5; ++i)
            QVERIFY(!card.txtField[i]->isHidden());
        QCOMPARE(App().AppSettings().ShowStatFields, int16_t(0));
        QVERIFY(env.Ini().contains("\r\nShowStatFields=0\r\n"));
        App().AppSettings().LoadSettings();
        QCOMPARE(App().AppSettings().ShowStatFields, int16_t(0));

        // And back on.
        FlushDeletes();
        frmOptions& again = env.OpenOptions();
        QCOMPARE(State(again, 2), Qt::Unchecked);
        again.chkOptions[2]->click();
        again.cmdOK->click();
        QVERIFY(StatFieldsShown(card));
        QVERIFY(env.Ini().contains("\r\nShowStatFields=1\r\n"));
    }

    void okWithAlwaysOnTopUncheckedLeavesTheTopmostBand()
    {
        Env env;
        frmOptions& d = env.OpenOptions();
        d.chkOptions[0]->click();
        env.fake.Reset();
        d.cmdOK->click();
        QCOMPARE(App().AppSettings().AlwaysOnTop, int16_t(0));
        QVERIFY(env.Ini().contains("\r\nAlwaysOnTop=0\r\n"));
        bool sawToolbar = false;
        for (const FakePlatform::Call& c : env.fake.calls) {
            if (c.name == QLatin1String("SetWindowPos") && c.args[0] == QLatin1String("Banterly")) {
                QCOMPARE(c.args[1], QStringLiteral("not topmost"));
                sawToolbar = true;
            }
        }
        QVERIFY(sawToolbar);
    }

    void okOpensACardThatWasNeverOpened()
    {
        Env env;
        frmOptions& d = env.OpenOptions();
        QVERIFY(!App().IsContactDetailsLoaded());
        d.cmdOK->click();
        QVERIFY(App().IsContactDetailsLoaded());
        QVERIFY(App().ContactDetails().isVisible());
        QCOMPARE(App().ContactDetails().windowTitle(), QStringLiteral("Banterly - Address Book"));
    }

    void enterPressesOK()
    {
        Env env;
        frmOptions& d = env.OpenOptions();
        d.chkOptions[1]->click();
        QTest::keyClick(&d, Qt::Key_Return);
        QCOMPARE(App().AppSettings().HidePhraseListWhenDbleClicked, int16_t(0));
        QVERIFY(env.Ini().contains("\r\nHidePhraseListWhenDbleClicked=0\r\n"));
        FlushDeletes();
        QVERIFY(!App().IsOptionsLoaded());
    }

    void discardingChangesNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << QStringLiteral("cancel");
        QTest::newRow("Esc") << QStringLiteral("esc");
        QTest::newRow("close box") << QStringLiteral("close");
    }
    void discardingChangesNothing()
    {
        QFETCH(QString, how);
        Env env("1", "0", "2");
        const QByteArray before = env.Ini();
        frmOptions& d = env.OpenOptions();
        for (OptionCheckBox* box : d.chkOptions)
            box->click();
        env.fake.Reset();
        if (how == QLatin1String("cancel"))
            d.cmdCancel->click();
        else if (how == QLatin1String("esc"))
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        FlushDeletes();

        QVERIFY(!App().IsOptionsLoaded());
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileString")), 0);
        QCOMPARE(env.fake.Count(QStringLiteral("WriteProfileStrings")), 0);
        QCOMPARE(env.fake.Count(QStringLiteral("SetWindowPos")), 0);
        QVERIFY(!App().IsContactDetailsLoaded());
        QCOMPARE(env.Ini(), before);
        QCOMPARE(App().AppSettings().AlwaysOnTop, int16_t(1));
        QCOMPARE(App().AppSettings().HidePhraseListWhenDbleClicked, int16_t(0));
        QCOMPARE(App().AppSettings().ShowStatFields, int16_t(2));

        frmOptions& again = env.OpenOptions();
        QCOMPARE(State(again, 0), Qt::Checked);
        QCOMPARE(State(again, 1), Qt::Unchecked);
        QCOMPARE(State(again, 2), Qt::PartiallyChecked);
    }

    void greyedValuesRoundTrip()
    {
        Env env("2", "2", "2");
        frmOptions& d = env.OpenOptions();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(State(d, i), Qt::PartiallyChecked);
        env.fake.Reset();
        d.cmdOK->click();
        const QByteArray ini = env.Ini();
        QVERIFY(ini.contains("\r\nAlwaysOnTop=2\r\n"));
        QVERIFY(ini.contains("\r\nHidePhraseListWhenDbleClicked=2\r\n"));
        QVERIFY(ini.contains("\r\nShowStatFields=2\r\n"));
        // Greyed counts as off for the toolbar and as on for the stat fields.
        QVERIFY(StatFieldsShown(App().ContactDetails()));
        bool toolbarOff = false;
        for (const FakePlatform::Call& c : env.fake.calls)
            if (c.name == QLatin1String("SetWindowPos") && c.args[0] == QLatin1String("Banterly"))
                toolbarOff = c.args[1] == QLatin1String("not topmost");
        QVERIFY(toolbarOff);

        // Reopened, the boxes are greyed again.
        FlushDeletes();
        QCOMPARE(State(env.OpenOptions(), 0), Qt::PartiallyChecked);
    }

    void clicksToggleOnAndOffAndNeverGreyed()
    {
        Env env("2", "1", "0");
        frmOptions& d = env.OpenOptions();
        d.chkOptions[0]->click();
        QCOMPARE(State(d, 0), Qt::Checked);
        d.chkOptions[0]->click();
        QCOMPARE(State(d, 0), Qt::Unchecked);
        d.chkOptions[0]->click();
        QCOMPARE(State(d, 0), Qt::Checked);
        QTest::keyClick(d.chkOptions[1], Qt::Key_Space);
        QCOMPARE(State(d, 1), Qt::Unchecked);
        QTest::keyClick(d.chkOptions[1], Qt::Key_Space);
        QCOMPARE(State(d, 1), Qt::Checked);
        d.chkOptions[2]->click();
        QCOMPARE(State(d, 2), Qt::Checked);
        d.cmdOK->click();
        QCOMPARE(App().AppSettings().AlwaysOnTop, int16_t(1));
        QCOMPARE(App().AppSettings().HidePhraseListWhenDbleClicked, int16_t(1));
        QCOMPARE(App().AppSettings().ShowStatFields, int16_t(1));
    }

    void valuesOutsideTheBoxRangeSurviveUntilTouched()
    {
        Env env("7", "-1", "300");
        frmOptions& d = env.OpenOptions();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(State(d, i), Qt::Unchecked);
        d.chkOptions[1]->click();  // touched: now simply checked
        d.cmdOK->click();
        const QByteArray ini = env.Ini();
        QVERIFY(ini.contains("\r\nAlwaysOnTop=7\r\n"));
        QVERIFY(ini.contains("\r\nHidePhraseListWhenDbleClicked=1\r\n"));
        QVERIFY(ini.contains("\r\nShowStatFields=300\r\n"));
        QCOMPARE(App().AppSettings().AlwaysOnTop, int16_t(7));
        QCOMPARE(App().AppSettings().ShowStatFields, int16_t(300));

        // A touched box that ends up unchecked stores 0, not the old value.
        FlushDeletes();
        frmOptions& again = env.OpenOptions();
        again.chkOptions[0]->click();
        again.chkOptions[0]->click();
        again.cmdOK->click();
        QVERIFY(env.Ini().contains("\r\nAlwaysOnTop=0\r\n"));
    }

    void toolbarButtonShowsTheOpenDialogWithItsChanges()
    {
        Env env;
        QPointer<frmOptions> first = &env.OpenOptions();
        first->chkOptions[0]->click();
        first->chkOptions[2]->click();
        first->hide();  // e.g. minimised or behind other windows
        QPointer<frmOptions> second = &env.OpenOptions();
        QCOMPARE(second.data(), first.data());
        QVERIFY(second->isVisible());
        QCOMPARE(State(*second, 0), Qt::Unchecked);
        QCOMPARE(State(*second, 2), Qt::Unchecked);
        QCOMPARE(App().AppSettings().AlwaysOnTop, int16_t(1));  // not confirmed yet

        second->cmdCancel->click();
        FlushDeletes();
        QVERIFY(first.isNull());
        frmOptions& third = env.OpenOptions();
        QCOMPARE(State(third, 0), Qt::Checked);
        QCOMPARE(State(third, 2), Qt::Checked);
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
