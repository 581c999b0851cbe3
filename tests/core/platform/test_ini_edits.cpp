#include "core/platform/IniFile.h"

#include <QTest>

// Writing into a hand-edited INI file changes the value and nothing else.
class TestIniEdits : public QObject {
    Q_OBJECT
private slots:
    void changedValueKeepsSpellingBlanksAndQuotes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("plain") << QByteArray("AlwaysOnTop=1") << QByteArray("AlwaysOnTop=0");
        QTest::newRow("other spelling, blanks") << QByteArray("  alwaysontop =  1  ")
                                                << QByteArray("  alwaysontop =  0  ");
        QTest::newRow("double quotes") << QByteArray("ALWAYSONTOP = \"1\"")
                                       << QByteArray("ALWAYSONTOP = \"0\"");
        QTest::newRow("single quotes") << QByteArray("AlwaysOnTop='1'") << QByteArray("AlwaysOnTop='0'");
        QTest::newRow("unmatched quote") << QByteArray("AlwaysOnTop=\"1") << QByteArray("AlwaysOnTop=0");
        QTest::newRow("empty value") << QByteArray("AlwaysOnTop=") << QByteArray("AlwaysOnTop=0");
        QTest::newRow("empty quotes") << QByteArray("AlwaysOnTop=\"\"") << QByteArray("AlwaysOnTop=\"0\"");
    }
    void changedValueKeepsSpellingBlanksAndQuotes()
    {
        QFETCH(QByteArray, line);
        QFETCH(QByteArray, expected);
        const QByteArray head("; settings\r\n[General]\r\n; on top?\r\n");
        const QByteArray tail("\r\nOther=x\r\n[phrases]\r\nAlwaysOnTop=9\r\n");
        const QByteArray out = Ini::SetValue(head + line + tail, QStringLiteral("general"),
                                             QStringLiteral("AlwaysOnTop"), QStringLiteral("0"));
        QCOMPARE(out, head + expected + tail);
        QCOMPARE(Ini::FindValue(out, QStringLiteral("GENERAL"), QStringLiteral("alwaysontop")),
                 std::optional<QString>(QStringLiteral("0")));
    }

    void storedValueLeavesTheFileAsItIs()
    {
        const QByteArray file("[contacts]\r\ndataFile = \"C:\\My Files\\chatcontacts.lis\"  \r\n"
                              "ShowStatFields='1'\n\r\nWebSitesList=caf\xe9.lis");
        QCOMPARE(Ini::SetValue(file, QStringLiteral("contacts"), QStringLiteral("dataFile"),
                               QStringLiteral("C:\\My Files\\chatcontacts.lis")),
                 file);
        QCOMPARE(Ini::SetValue(file, QStringLiteral("contacts"), QStringLiteral("showstatfields"),
                               QStringLiteral("1")),
                 file);
        // A Windows-1252 value read back the same is not re-encoded.
        QCOMPARE(Ini::SetValue(file, QStringLiteral("contacts"), QStringLiteral("WebSitesList"),
                               QStringLiteral("caf\u00e9.lis")),
                 file);
    }

    void lineBreaksInANewValueStayOnOneLine()
    {
        const QByteArray out = Ini::SetValue("[a]\r\nk=\"v\"\r\n", QStringLiteral("a"),
                                             QStringLiteral("k"), QStringLiteral("x\r\ny"));
        QCOMPARE(out, QByteArray("[a]\r\nk=\"xy\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestIniEdits)
#include "test_ini_edits.moc"
