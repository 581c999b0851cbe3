#include "core/settings/Settings.h"

#include "support/TestApp.h"
#include "ui/contacts/frmContactDetails.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

namespace {
const QString kLogName = QStringLiteral("banterly.log");
const QByteArray kLogStamp = "20261207,22:05:09,,";
} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    // Program folder with a settings file holding `ini` (none when null).
    struct Setup {
        FakePlatform fake;
        TestFolder dir;
        explicit Setup(const QByteArray& ini = QByteArray())
        {
            fake.programFolder = dir.Path();
            if (!ini.isNull())
                dir.Write(QStringLiteral("banterly.ini"), ini);
        }
        QByteArray Ini() const { return dir.Read(QStringLiteral("banterly.ini")); }
        QList<QByteArray> LogLines() const
        {
            QList<QByteArray> lines = dir.Read(kLogName).split('\n');
            lines.removeAll(QByteArray());
            return lines;
        }
        int Reads(const QString& key) const
        {
            int n = 0;
            for (const FakePlatform::Call& c : fake.calls)
                n += c.name == QLatin1String("ReadProfileString") && c.args.value(1) == key;
            return n;
        }
        // The topmost state of every SetWindowPos call for the toolbar.
        QStringList ToolbarTopmost() const
        {
            QStringList out;
            for (const FakePlatform::Call& c : fake.calls)
                if (c.name == QLatin1String("SetWindowPos") && c.args.value(0) == "Banterly")
                    out.append(c.args.value(1));
            return out;
        }
    };

    static QByteArray IniWith(const QByteArray& alwaysOnTop, const QByteArray& showStat = "1")
    {
        return "[general]\r\nAlwaysOnTop=" + alwaysOnTop +
               "\r\n[phrases]\r\nHidePhraseListWhenDbleClicked=1\r\nPhraseList=/p/phrases.txt\r\n"
               "[contacts]\r\nShowStatFields=" +
               showStat +
               "\r\ndataFile=/p/chatcontacts.lis\r\nWebSitesList=/p/websites.lis\r\n";
    }

private slots:
    void init() { EndApp(); }
    void cleanup() { EndApp(); }

    void firstStartWritesTheDefaultFileAndReadsItBack()
    {
        Setup s;
        App().AppSettings().LoadSettings();
        const QByteArray f = QDir::toNativeSeparators(s.dir.Path()).toUtf8();
        QCOMPARE(s.Ini(), "[general]\r\nAlwaysOnTop=1\r\n"
                          "[phrases]\r\nHidePhraseListWhenDbleClicked=1\r\nPhraseList=" +
                              f + "/phrases.txt\r\n[contacts]\r\nShowStatFields=1\r\ndataFile=" +
                              f + "/chatcontacts.lis\r\nWebSitesList=" + f +
                              "/websites.lis\r\n");
        QCOMPARE(App().AppSettings().IniFile, s.dir.File(QStringLiteral("banterly.ini")));
        QCOMPARE(App().AppSettings().ContactFilePath, s.dir.File(QStringLiteral("chatcontacts.lis")));
        QCOMPARE(App().AppSettings().PhraseListFile, s.dir.File(QStringLiteral("phrases.txt")));
        QCOMPARE(App().AppSettings().WebSitesListFile, s.dir.File(QStringLiteral("websites.lis")));
        QCOMPARE(App().AppSettings().AlwaysOnTop, 1);
        QCOMPARE(App().AppSettings().HidePhraseListWhenDbleClicked, 1);
        QCOMPARE(App().AppSettings().ShowStatFields, 1);
        QVERIFY(!s.dir.Exists(kLogName));
        QCOMPARE(s.fake.Count("MessageBox"), 0);
        // A second start reads the file and leaves it alone.
        const QByteArray before = s.Ini();
        App().AppSettings().LoadSettings();
        QCOMPARE(s.Ini(), before);
        QCOMPARE(s.fake.Count("WriteProfileStrings"), 1);
        QCOMPARE(s.fake.IniEditTexts().size(), 6);
    }

    void emptyValueIsReadTwiceLoggedOnceAndGivesZero()
    {
        Setup s(IniWith(""));
        App().AppSettings().LoadSettings();
        QCOMPARE(App().AppSettings().AlwaysOnTop, 0);
        QCOMPARE(s.Reads("AlwaysOnTop"), 2);
        QCOMPARE(s.Reads("ShowStatFields"), 1);
        const QByteArray expected = kLogStamp + "Warning - failed to read INI :file=" +
                                    App().AppSettings().IniFile.toUtf8() +
                                    "    sect=general   key=AlwaysOnTop\r";
        QCOMPARE(s.LogLines(), QList<QByteArray>{expected});
        QCOMPARE(s.fake.Count("MessageBox"), 0);
    }

    void flagsReadFromTheFile()
    {
        Setup s(IniWith("2", " \t0 "));
        App().AppSettings().LoadSettings();
        QCOMPARE(App().AppSettings().AlwaysOnTop, 2);
        QCOMPARE(App().AppSettings().ShowStatFields, 0);
        QVERIFY(!s.dir.Exists(kLogName));
    }

    void flagTakesTheLeadingNumberRoundedHalfToEven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("blanks") << " 0 " << 0;
        QTest::newRow("letters after") << "1abc" << 1;
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("sign only") << "-" << 0;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("minus") << "-1" << -1;
        QTest::newRow("2.5 to even") << "2.5" << 2;
        QTest::newRow("3.5 to even") << "3.5" << 4;
        QTest::newRow("-2.5 to even") << "-2.5" << -2;
        QTest::newRow("2.51") << "2.51" << 3;
        QTest::newRow("fraction only") << ".5" << 0;
        QTest::newRow("point after") << "1.x" << 1;
        QTest::newRow("exponent not read") << "1e5" << 1;
        QTest::newRow("blank inside") << "1 2" << 1;
        QTest::newRow("largest") << "32767" << 32767;
        QTest::newRow("smallest") << "-32768" << -32768;
        QTest::newRow("rounds into range") << "-32768.5" << -32768;
    }
    void flagTakesTheLeadingNumberRoundedHalfToEven()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        Setup s;
        QCOMPARE(int(FlagFromText(text, QStringLiteral("k"))), expected);
        QVERIFY(!s.dir.Exists(kLogName));
    }

    void flagOutside16BitsIsLoggedAndGivesZero_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("32768") << "32768";
        QTest::newRow("-32769") << "-32769";
        QTest::newRow("32767.5 rounds out") << "32767.5";
        QTest::newRow("huge") << "99999999999999999999999";
        QTest::newRow("beyond double") << QString(400, u'9');
    }
    void flagOutside16BitsIsLoggedAndGivesZero()
    {
        QFETCH(QString, text);
        Setup s(IniWith(text.toLatin1()));
        App().AppSettings().LoadSettings();
        QCOMPARE(App().AppSettings().AlwaysOnTop, 0);
        QCOMPARE(App().AppSettings().ShowStatFields, 1);
        const QList<QByteArray> lines = s.LogLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(kLogStamp + "Warning - INI value out of range :key=AlwaysOnTop"));
    }

    void readIniCutsAtTheBufferAndAtNul()
    {
        static const char tail[] = "\r\nnul=ab\0cd\r\nq= \" a \" \r\n";
        Setup s("[s]\r\nlong=" + QByteArray(40000, 'x') + QByteArray(tail, sizeof tail - 1));
        const QString ini = s.dir.File(QStringLiteral("banterly.ini"));
        QCOMPARE(ReadIni(ini, QStringLiteral("s"), QStringLiteral("long")), QString(31999, u'x'));
        QCOMPARE(ReadIni(ini, QStringLiteral("S"), QStringLiteral("NUL")), QStringLiteral("ab"));
        QCOMPARE(ReadIni(ini, QStringLiteral("s"), QStringLiteral("q")), QStringLiteral("a"));
        QCOMPARE(CutAtNull(QStringLiteral("no nul")), QStringLiteral("no nul"));
        QCOMPARE(CutAtNull(QString()), QString());
        // A missing file: two reads, one warning, the empty text.
        QCOMPARE(ReadIni(s.dir.File(QStringLiteral("none.ini")), QStringLiteral("s"),
                         QStringLiteral("long")),
                 QString());
        QCOMPARE(s.Reads("long"), 3);
        QCOMPARE(s.LogLines().size(), 1);
    }

    void saveSettingsRewritesTheSixKeysInPlace()
    {
        const QByteArray handEdited = "; my settings\n[GENERAL]\nalwaysontop = 1\n\n"
                                      "[Contacts]\nShowStatFields=1\r\nDATAFILE=\"/old/c.lis\"\r\n"
                                      "websiteslist=/old/w.lis\r\n;end\r\n"
                                      "[phrases]\r\nHidePhraseListWhenDbleClicked=1\r\n"
                                      "PhraseList=/old/p.txt\r\n";
        Setup s(handEdited);
        App().AppSettings().LoadSettings();
        QCOMPARE(App().AppSettings().ContactFilePath, QStringLiteral("/old/c.lis"));
        App().AppSettings().AlwaysOnTop = 0;
        App().AppSettings().ShowStatFields = -1;
        App().AppSettings().HidePhraseListWhenDbleClicked = 2;
        QVERIFY(App().AppSettings().SaveSettings());
        // Only the changed values change: blanks, quotes and spelling stay.
        QCOMPARE(s.Ini(), QByteArray("; my settings\n[GENERAL]\nalwaysontop = 0\n\n"
                                     "[Contacts]\nShowStatFields=-1\r\nDATAFILE=\"/old/c.lis\"\r\n"
                                     "websiteslist=/old/w.lis\r\n;end\r\n"
                                     "[phrases]\r\nHidePhraseListWhenDbleClicked=2\r\n"
                                     "PhraseList=/old/p.txt\r\n"));
        QCOMPARE(s.fake.Count("MessageBox"), 0);
        // Missing keys are added to their sections.
        Setup fresh("[general]\r\n");
        App().AppSettings().LoadSettings();
        App().AppSettings().AlwaysOnTop = 1;
        QVERIFY(App().AppSettings().SaveSettings());
        QCOMPARE(fresh.Ini(), QByteArray("[general]\r\nAlwaysOnTop=1\r\n"
                                         "[phrases]\r\nHidePhraseListWhenDbleClicked=0\r\n"
                                         "PhraseList=\r\n[contacts]\r\nShowStatFields=0\r\n"
                                         "dataFile=\r\nWebSitesList=\r\n"));
    }

    void failedSaveTellsTheUserOnceAndKeepsTheValues()
    {
        Setup s;
        QVERIFY(QDir(s.dir.Path()).mkdir(QStringLiteral("settings-folder")));
        App().AppSettings().IniFile = s.dir.File(QStringLiteral("settings-folder"));
        App().AppSettings().AlwaysOnTop = 1;
        QVERIFY(!App().AppSettings().SaveSettings());
        QCOMPARE(s.fake.Count("WriteProfileStrings"), 1);
        QCOMPARE(s.fake.IniEditTexts().size(), 6);
        QCOMPARE(s.fake.Messages().size(), 1);
        const QString message = s.fake.Messages().value(0);
        QVERIFY(message.startsWith(QStringLiteral("Could not save the settings to ") +
                                   App().AppSettings().IniFile));
        QCOMPARE(s.LogLines(), QList<QByteArray>{kLogStamp + message.toUtf8() + '\r'});
        QCOMPARE(App().AppSettings().AlwaysOnTop, 1);
        QVERIFY(QFileInfo(App().AppSettings().IniFile).isDir());
    }

    void settingsFileThatCannotBeCreatedGivesDefaults()
    {
        Setup s;
        s.fake.programFolder = s.dir.File(QStringLiteral("missing-folder"));
        App().AppSettings().LoadSettings();
        QCOMPARE(s.fake.Messages().size(), 1);
        QVERIFY(s.fake.Messages()[0].startsWith(QStringLiteral("Could not create the settings")));
        QCOMPARE(s.fake.Count("ReadProfileString"), 0);
        QCOMPARE(App().AppSettings().AlwaysOnTop, 1);
        QCOMPARE(App().AppSettings().ShowStatFields, 1);
        QCOMPARE(App().AppSettings().ContactFilePath, s.fake.programFolder + "/chatcontacts.lis");
    }

    void applySettingsSetsStatFieldsAndTopmost_data()
    {
        QTest::addColumn<QByteArray>("alwaysOnTop");
        QTest::addColumn<QByteArray>("showStat");
        QTest::addColumn<bool>("topmost");
        QTest::addColumn<bool>("statVisible");
        QTest::newRow("1, 1") << QByteArray("1") << QByteArray("1") << true << true;
        QTest::newRow("0, 0") << QByteArray("0") << QByteArray(" 0 ") << false << false;
        QTest::newRow("2, 2") << QByteArray("2") << QByteArray("2") << false << true;
        QTest::newRow("-1, -1") << QByteArray("-1") << QByteArray("-1") << false << true;
    }
    void applySettingsSetsStatFieldsAndTopmost()
    {
        QFETCH(QByteArray, alwaysOnTop);
        QFETCH(QByteArray, showStat);
        QFETCH(bool, topmost);
        QFETCH(bool, statVisible);
        Setup s(IniWith(alwaysOnTop, showStat));
        App().AppSettings().LoadSettings();
        App().ApplySettings();  // loads the card, whose load step applies them too
        frmContactDetails& card = App().ContactDetails();
        for (int i = 0; i < 11; ++i) {
            const bool stat = i >= 5;
            QCOMPARE(!card.txtField[i]->isHidden(), stat ? statVisible : true);
            QCOMPARE(!card.lbl[i]->isHidden(), stat ? statVisible : true);
        }
        const QString expected = topmost ? "topmost" : "not topmost";
        const QStringList states = s.ToolbarTopmost();
        QVERIFY(!states.isEmpty());
        QCOMPARE(states, QStringList(states.size(), expected));
        // A later change takes effect on the loaded card.
        App().AppSettings().ShowStatFields = statVisible ? 0 : 1;
        App().AppSettings().AlwaysOnTop = topmost ? 0 : 1;
        App().ApplySettings();
        QCOMPARE(!card.txtField[7]->isHidden(), !statVisible);
        QCOMPARE(s.ToolbarTopmost().last(), topmost ? "not topmost" : "topmost");
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
