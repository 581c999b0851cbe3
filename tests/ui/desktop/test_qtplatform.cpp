#include "ui/desktop/QtPlatform.h"

#include "core/platform/IniFile.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

class TestQtPlatform : public QObject {
    Q_OBJECT

private slots:
    void programFolderIsTheExecutablesFolderWhenWritable()
    {
        TestFolder exe, user;
        const QString userData = user.File(QStringLiteral("Banterly"));
        QCOMPARE(ChooseProgramFolder(exe.Path(), userData), exe.Path());
        QVERIFY(!QFileInfo::exists(userData));
        // The write test leaves nothing behind.
        QCOMPARE(QDir(exe.Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void unwritableProgramFolderFallsBackToTheUserDataFolder_data()
    {
        QTest::addColumn<QString>("executableFolder");
        QTest::newRow("missing folder") << QStringLiteral("no/such/folder");
        QTest::newRow("a file") << QStringLiteral("plain-file");
    }
    void unwritableProgramFolderFallsBackToTheUserDataFolder()
    {
        QFETCH(QString, executableFolder);
        TestFolder exe, user;
        exe.Write(QStringLiteral("plain-file"), "x");
        const QString userData = user.File(QStringLiteral("share/Banterly"));
        QCOMPARE(ChooseProgramFolder(exe.File(executableFolder), userData), userData);
        QVERIFY(QFileInfo(userData).isDir());  // created for the files to come
        QCOMPARE(exe.Read(QStringLiteral("plain-file")), QByteArray("x"));
    }

    // Run as root, /usr/bin can be written: an installed copy still keeps
    // its files in the user's folder (and tries no write among the programs).
    void installedCopyKeepsItsFilesInTheUserDataFolder()
    {
        TestFolder tree, user;
        QDir().mkpath(tree.File(QStringLiteral("usr/bin")));
        QDir().mkpath(tree.File(QStringLiteral("usr/share/applications")));
        tree.Write(QStringLiteral("usr/share/applications/org.example.Banterly.desktop"), "");
        const QString userData = user.File(QStringLiteral("Banterly"));
        QCOMPARE(ChooseProgramFolder(QStringLiteral("/usr/bin"), userData), userData);
        QCOMPARE(ChooseProgramFolder(tree.File(QStringLiteral("usr/bin")), userData), userData);
        const QDir bin(tree.File(QStringLiteral("usr/bin")));
        QCOMPARE(bin.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // An earlier version run as root kept its files beside the installed
    // program: the first start that uses the user's folder finds the contacts
    // there, and the old files stay; a user's own files are never replaced.
    void filesAnEarlierInstalledCopyKeptBesideItselfAreCarriedOver()
    {
        TestFolder tree, user, elsewhere;
        QDir().mkpath(tree.File(QStringLiteral("usr/bin")));
        QDir().mkpath(tree.File(QStringLiteral("usr/share/applications")));
        tree.Write(QStringLiteral("usr/share/applications/org.example.Banterly.desktop"), "");
        const QString bin = tree.File(QStringLiteral("usr/bin"));
        const QString ini = QStringLiteral("[contacts]\r\ndataFile=%1/chatcontacts.lis\r\n"
                                          "[phrases]\r\nPhraseList=%2\r\n")
                                .arg(bin, elsewhere.File(QStringLiteral("mine.txt")));
        tree.Write(QStringLiteral("usr/bin/banterly.ini"), ini.toUtf8());
        tree.Write(QStringLiteral("usr/bin/chatcontacts.lis"), "years of contacts");
        const QString userData = user.File(QStringLiteral("Banterly"));

        QCOMPARE(ChooseProgramFolder(bin, userData), userData);
        QCOMPARE(user.Read(QStringLiteral("Banterly/chatcontacts.lis")),
                 QByteArray("years of contacts"));
        const QString settings = user.File(QStringLiteral("Banterly/banterly.ini"));
        QCOMPARE(Ini::ReadValue(settings, QStringLiteral("contacts"), QStringLiteral("dataFile")),
                 user.File(QStringLiteral("Banterly/chatcontacts.lis")));
        QCOMPARE(Ini::ReadValue(settings, QStringLiteral("phrases"), QStringLiteral("PhraseList")),
                 elsewhere.File(QStringLiteral("mine.txt")));
        QCOMPARE(tree.Read(QStringLiteral("usr/bin/chatcontacts.lis")),
                 QByteArray("years of contacts"));

        user.Write(QStringLiteral("Banterly/chatcontacts.lis"), "newer");
        QCOMPARE(ChooseProgramFolder(bin, userData), userData);
        QCOMPARE(user.Read(QStringLiteral("Banterly/chatcontacts.lis")), QByteArray("newer"));
    }

    void profileStringsGoThroughTheIniFileWithTheBufferLimit()
    {
        TestFolder dir;
        const QString ini = dir.File(QStringLiteral("banterly.ini"));
        QtPlatform qt;
        QVERIFY(qt.WriteProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                      QStringLiteral("abcdef"), ini));
        QString value;
        QCOMPARE(qt.ReadProfileString(QStringLiteral("S"), QStringLiteral("K"), QString(), value,
                                      4, ini),
                 3);
        QCOMPARE(value, QStringLiteral("abc"));
        QCOMPARE(qt.ReadProfileString(QStringLiteral("s"), QStringLiteral("none"),
                                      QStringLiteral("dflt"), value, 100, ini),
                 4);
        QCOMPARE(value, QStringLiteral("dflt"));
        QCOMPARE(qt.ReadProfileString(QStringLiteral("s"), QStringLiteral("none"), QString(),
                                      value, 100, ini),
                 0);
        QVERIFY(!qt.WriteProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                       QStringLiteral("v"), dir.Path()));
    }
};

QTEST_GUILESS_MAIN(TestQtPlatform)
#include "test_qtplatform.moc"
