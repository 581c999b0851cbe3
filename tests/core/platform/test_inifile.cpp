#include "core/platform/IniFile.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <unistd.h>

// The INI editor must read hand-edited files the way the profile-string calls
// do and change nothing but the one line it writes.
class TestIniFile : public QObject {
    Q_OBJECT

    static std::optional<QString> Find(const QByteArray& content, const char* section,
                                       const char* key)
    {
        return Ini::FindValue(content, QString::fromLatin1(section), QString::fromLatin1(key));
    }
    static QByteArray Set(const QByteArray& content, const char* section, const char* key,
                          const QString& value)
    {
        return Ini::SetValue(content, QString::fromLatin1(section), QString::fromLatin1(key),
                             value);
    }

private slots:
    void namesMatchWithoutRegardToCase()
    {
        const QByteArray ini = "[General]\r\nAlwaysOnTop=1\r\n";
        QCOMPARE(Find(ini, "general", "alwaysontop"), QStringLiteral("1"));
        QCOMPARE(Find(ini, "GENERAL", "ALWAYSONTOP"), QStringLiteral("1"));
        QVERIFY(!Find(ini, "general", "AlwaysOnTo").has_value());
        QVERIFY(!Find(ini, "genera", "AlwaysOnTop").has_value());
    }

    void readsEveryLineEnding_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("CR LF") << QByteArray("[a]\r\nx=1\r\ny=2\r\n[b]\r\nx=3\r\n");
        QTest::newRow("LF") << QByteArray("[a]\nx=1\ny=2\n[b]\nx=3\n");
        QTest::newRow("CR") << QByteArray("[a]\rx=1\ry=2\r[b]\rx=3\r");
        QTest::newRow("mixed, no final end") << QByteArray("[a]\rx=1\r\ny=2\n[b]\r\n\nx=3");
    }
    void readsEveryLineEnding()
    {
        QFETCH(QByteArray, ini);
        QCOMPARE(Find(ini, "a", "x"), QStringLiteral("1"));
        QCOMPARE(Find(ini, "a", "y"), QStringLiteral("2"));
        QCOMPARE(Find(ini, "b", "x"), QStringLiteral("3"));
    }

    void trimsBlanksTabsAndOnePairOfQuotes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("blanks and tabs") << QByteArray(" \t key \t= \t v a l \t ") << "v a l";
        QTest::newRow("double quotes") << QByteArray("key=\" quoted \"") << " quoted ";
        QTest::newRow("single quotes") << QByteArray("key = 'x'  ") << "x";
        QTest::newRow("only one pair") << QByteArray("key=\"\"x\"\"") << "\"x\"";
        QTest::newRow("unmatched quotes") << QByteArray("key=\"x'") << "\"x'";
        QTest::newRow("one quote alone") << QByteArray("key=\"") << "\"";
        QTest::newRow("empty quotes") << QByteArray("key=\"\"") << "";
        QTest::newRow("equals in value") << QByteArray("key=a=b") << "a=b";
        QTest::newRow("empty value") << QByteArray("key=") << "";
    }
    void trimsBlanksTabsAndOnePairOfQuotes()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, expected);
        QCOMPARE(Find("[s]\r\n" + line + "\r\n", "s", "key"), expected);
    }

    void commentsAreNotKeysAndFirstDuplicateWins()
    {
        const QByteArray ini = "[s]\r\n;key=comment\r\n  ; key=indented comment\r\n"
                               "key=first\r\nKEY=second\r\n[S]\r\nkey=third\r\nother=o\r\n";
        QCOMPARE(Find(ini, "s", "key"), QStringLiteral("first"));
        // Keys of a later duplicate section are not seen.
        QVERIFY(!Find(ini, "s", "other").has_value());
        // Keys before any section belong to none.
        QVERIFY(!Find("key=x\r\n[s]\r\n", "s", "key").has_value());
        QVERIFY(!Find("[s]\r\n;key=x\r\n", "s", "key").has_value());
    }

    void newFileHasSectionsInOrderOfFirstWrite()
    {
        QByteArray ini;
        ini = Set(ini, "general", "AlwaysOnTop", "1");
        ini = Set(ini, "phrases", "Hide", "1");
        ini = Set(ini, "contacts", "ShowStatFields", "1");
        ini = Set(ini, "contacts", "dataFile", "/x/chatcontacts.lis");
        ini = Set(ini, "phrases", "PhraseList", "/x/phrases.txt");
        QCOMPARE(ini, QByteArray("[general]\r\nAlwaysOnTop=1\r\n"
                                 "[phrases]\r\nHide=1\r\nPhraseList=/x/phrases.txt\r\n"
                                 "[contacts]\r\nShowStatFields=1\r\n"
                                 "dataFile=/x/chatcontacts.lis\r\n"));
    }

    void newKeyGoesAfterTheLastKeyLineOfItsSection()
    {
        const QByteArray ini = "; top\n[a]\nx=1\n; trailing comment\n\n[b]\ny=2\n";
        QCOMPARE(Set(ini, "A", "z", "3"),
                 QByteArray("; top\n[a]\nx=1\nz=3\r\n; trailing comment\n\n[b]\ny=2\n"));
        // A section without keys gets the key right after its header.
        QCOMPARE(Set("[a]\n\n[b]\n", "a", "k", "v"), QByteArray("[a]\nk=v\r\n\n[b]\n"));
        // A new section goes at the end, after a line end if the file lacks one.
        QCOMPARE(Set("[a]\nx=1", "c", "k", "v"), QByteArray("[a]\nx=1\r\n[c]\r\nk=v\r\n"));
        QCOMPARE(Set("[a]\rx=1\r", "c", "k", "v"), QByteArray("[a]\rx=1\r[c]\r\nk=v\r\n"));
        // A key after a last line without line end.
        QCOMPARE(Set("[a]\nx=1", "a", "k", "v"), QByteArray("[a]\nx=1\r\nk=v\r\n"));
    }

    void rewritesInPlaceKeepingEveryOtherByte()
    {
        const QByteArray ini = "\xef\xbb\xbf; Banterly\r\n[General]\n  AlwaysOnTop \t= \"1\"\r"
                               "alwaysontop=dup\r\n[other]\r\nx = 5 \r\n";
        QCOMPARE(Set(ini, "general", "ALWAYSONTOP", "0"),
                 QByteArray("\xef\xbb\xbf; Banterly\r\n[General]\n  AlwaysOnTop \t= \"0\"\r"
                            "alwaysontop=dup\r\n[other]\r\nx = 5 \r\n"));
        // Writing the same value twice gives the same bytes.
        const QByteArray once = Set(ini, "other", "x", "5");
        QCOMPARE(Set(once, "other", "x", "5"), once);
    }

    void byteOrderMarkIsNotPartOfTheFirstLine()
    {
        const QByteArray ini = "\xef\xbb\xbf[general]\r\nAlwaysOnTop=1\r\n";
        QCOMPARE(Find(ini, "general", "AlwaysOnTop"), QStringLiteral("1"));
        QCOMPARE(Set(ini, "general", "AlwaysOnTop", "0"),
                 QByteArray("\xef\xbb\xbf[general]\r\nAlwaysOnTop=0\r\n"));
    }

    void valuesStayOnOneLine()
    {
        const QByteArray ini = Set("[s]\r\nk=1\r\nnext=2\r\n", "s", "k", "a\r\nb\nc\rd");
        QCOMPARE(ini, QByteArray("[s]\r\nk=abcd\r\nnext=2\r\n"));
        QCOMPARE(Find(ini, "s", "next"), QStringLiteral("2"));
    }

    void nonAsciiTextRoundTripsAndOldFilesRead()
    {
        const QString path = QStringLiteral("/home/Ren\u00e9/\u4f60\u597d/chatcontacts.lis");
        const QByteArray ini = Set({}, "contacts", "dataFile", path);
        QCOMPARE(Find(ini, "contacts", "datafile"), path);
        // A file from an older installation in Windows-1252.
        QCOMPARE(Find("[contacts]\r\ndataFile=C:\\Ren\xe9\\c.lis\r\n", "contacts", "dataFile"),
                 QStringLiteral("C:\\Ren\u00e9\\c.lis"));
    }

    void filesReadAndReplaceAtomically()
    {
        TestFolder dir;
        const QString file = dir.File(QStringLiteral("banterly.ini"));
        // A missing file has no values; the first write creates it.
        QVERIFY(!Ini::ReadValue(file, QStringLiteral("s"), QStringLiteral("k")).has_value());
        QVERIFY(Ini::WriteValue(file, QStringLiteral("s"), QStringLiteral("k"),
                                QStringLiteral("v")));
        QCOMPARE(dir.Read(QStringLiteral("banterly.ini")), QByteArray("[s]\r\nk=v\r\n"));
        QCOMPARE(Ini::ReadValue(file, QStringLiteral("S"), QStringLiteral("K")),
                 QStringLiteral("v"));
        // The file is replaced, not rewritten in place: a hard link to the old
        // file keeps the old bytes.
        const QString link = dir.File(QStringLiteral("old.ini"));
        QCOMPARE(::link(QFile::encodeName(file).constData(), QFile::encodeName(link).constData()),
                 0);
        QVERIFY(Ini::WriteValue(file, QStringLiteral("s"), QStringLiteral("k"),
                                QStringLiteral("w")));
        QCOMPARE(dir.Read(QStringLiteral("old.ini")), QByteArray("[s]\r\nk=v\r\n"));
        QCOMPARE(dir.Read(QStringLiteral("banterly.ini")), QByteArray("[s]\r\nk=w\r\n"));
        // No temporary files are left behind.
        QCOMPARE(QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void symbolicLinkStaysALink()
    {
        // Users who keep their settings elsewhere link them in.
        TestFolder dir;
        dir.Write(QStringLiteral("real.ini"), "[s]\r\nk=1\r\n");
        const QString link = dir.File(QStringLiteral("banterly.ini"));
        QVERIFY(QFile::link(QStringLiteral("real.ini"), link));
        QVERIFY(Ini::WriteValue(link, QStringLiteral("s"), QStringLiteral("k"),
                                QStringLiteral("2")));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(dir.Read(QStringLiteral("real.ini")), QByteArray("[s]\r\nk=2\r\n"));
    }

    void folderOrUnwritablePlaceFailsAndChangesNothing()
    {
        TestFolder dir;
        QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("banterly.ini")));
        const QString folder = dir.File(QStringLiteral("banterly.ini"));
        QVERIFY(!Ini::ReadValue(folder, QStringLiteral("s"), QStringLiteral("k")).has_value());
        QString error;
        QVERIFY(!Ini::WriteValue(folder, QStringLiteral("s"), QStringLiteral("k"),
                                 QStringLiteral("v"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(folder).isDir());
        // A file in a folder that does not exist.
        QVERIFY(!Ini::WriteValue(dir.File(QStringLiteral("none/banterly.ini")),
                                 QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v")));
        QVERIFY(!dir.Exists(QStringLiteral("none")));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
