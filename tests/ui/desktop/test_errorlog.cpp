#include "core/files/ErrorLog.h"

#include "ui/desktop/QtPlatform.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

class TestErrorLog : public QObject {
    Q_OBJECT

private slots:
    void linesAreAppendedInTheLogFormat()
    {
        FakePlatform fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        LogError(QStringLiteral("first"));
        fake.now = QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5));
        LogError(QStringLiteral("a, b,,c"));
        LogError(QString());
        LogError(QStringLiteral("Ren\u00e9"));
        QCOMPARE(dir.Read(QStringLiteral("banterly.log")),
                 QByteArray("20261207,22:05:09,,first\r\n"
                            "20270102,03:04:05,,a, b,,c\r\n"
                            "20270102,03:04:05,,\r\n"
                            "20270102,03:04:05,,Ren\xc3\xa9\r\n"));
        QVERIFY(!dir.Exists(QStringLiteral("error.log")));
        QCOMPARE(fake.calls.size(), 0);  // nothing shown, nothing asked
    }

    void logIsNamedAfterTheProgramFileAndKeepsEarlierLines()
    {
        FakePlatform fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        fake.programFileName = QStringLiteral("chatbar");
        dir.Write(QStringLiteral("chatbar.log"), "old line\r\n");
        LogError(QStringLiteral("new"));
        QCOMPARE(dir.Read(QStringLiteral("chatbar.log")),
                 QByteArray("old line\r\n20261207,22:05:09,,new\r\n"));
    }

    void fallsBackToErrorLogAndThenGivesUpSilently()
    {
        FakePlatform fake;
        TestFolder dir;
        fake.programFolder = dir.Path();
        // File permissions do not stop root; a folder in the log's place does.
        QVERIFY(QDir(dir.Path()).mkdir(QStringLiteral("banterly.log")));
        LogError(QStringLiteral("lost, maybe"));
        LogError(QStringLiteral("again"));
        const QList<QByteArray> lines = dir.Read(QStringLiteral("error.log")).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], QByteArray());
        for (int i = 0; i < 2; ++i) {
            QVERIFY2(lines[i].startsWith("LOGGING ERROR ") && lines[i].endsWith('\r'), lines[i]);
            QVERIFY2(lines[i].contains("22:05:09"), lines[i]);
        }
        QVERIFY(lines[0].endsWith(" - text = lost, maybe\r"));
        QVERIFY(lines[1].endsWith(" - text = again\r"));

        TestFolder both;
        fake.programFolder = both.Path();
        QVERIFY(QDir(both.Path()).mkdir(QStringLiteral("banterly.log")));
        QVERIFY(QDir(both.Path()).mkdir(QStringLiteral("error.log")));
        LogError(QStringLiteral("nowhere"));
        QCOMPARE(QDir(both.Path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(fake.calls.size(), 0);
    }

    void versionTextComesFromTheBuildNumbers()
    {
        FakePlatform fake;
        QCOMPARE(GetVersionString(), QStringLiteral("v1.0.31"));
        fake.version = {12, 3, 0};
        QCOMPARE(GetVersionString(), QStringLiteral("v12.3.0"));
        // The numbers the program is built with.
        QtPlatform qt;
        SetPlatform(&qt);
        QCOMPARE(GetVersionString(), QStringLiteral("v1.0.31"));
        SetPlatform(&fake);
    }
};

QTEST_GUILESS_MAIN(TestErrorLog)
#include "test_errorlog.moc"
