#include "ui/widgets/ListBoxFiles.h"
#include "support/ListTestSupport.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class TestListFiles : public QObject {
    Q_OBJECT

    struct Fixture {
        FakePlatform fake;
        TestFolder folder;
        QListWidget list;
        Fixture() { fake.programFolder = folder.Path(); }
        QString Path(const QString& name = QStringLiteral("list.txt")) const { return folder.File(name); }
    };

private slots:
    void readsItemsAndWritesThemBackWithCrLf()
    {
        Fixture f;
        // Empty lines carry no item, blanks are kept, repeats stay separate,
        // the last line needs no line end.
        f.folder.Write("list.txt", "x\r\n\r\ny\r\n   \r\nx\r\nlast");
        QCOMPARE(LoadFileToListBox(f.list, f.Path()), ListLoad::Complete);
        const QStringList expected = {"x", "y", "   ", "x", "last"};
        QCOMPARE(ItemsOf(f.list), expected);

        QVERIFY(SaveListboxToFile(f.list, f.Path()));
        QCOMPARE(f.folder.Read("list.txt"), QByteArray("x\r\ny\r\n   \r\nx\r\nlast\r\n"));
        QListWidget again;
        LoadFileToListBox(again, f.Path());
        QCOMPARE(ItemsOf(again), expected);
        QCOMPARE(f.fake.Count("MessageBox"), 0);
        QVERIFY(LogMessages(f.folder).isEmpty());
    }

    void acceptsEveryLineEndAndBothEncodings()
    {
        Fixture f;
        // CR, LF and CR LF end a line; LF CR is two line ends around an
        // empty line. The second line is Windows-1252, the third UTF-8.
        f.folder.Write("list.txt", "a\rRen\xe9\nRen\xc3\xa9\r\nd\n\re\r");
        LoadFileToListBox(f.list, f.Path());
        QCOMPARE(ItemsOf(f.list), QStringList({"a", "Ren\u00e9", "Ren\u00e9", "d", "e"}));
        SaveListboxToFile(f.list, f.Path());
        QCOMPARE(f.folder.Read("list.txt"), QByteArray("a\r\nRen\xc3\xa9\r\nRen\xc3\xa9\r\nd\r\ne\r\n"));
    }

    void onlyTheFilesOwnByteOrderMarkIsDropped()
    {
        Fixture f;
        f.folder.Write("list.txt", "\xef\xbb\xbf" "first\r\n\xef\xbb\xbf\r\n\xef\xbb\xbf" "second\r\n");
        LoadFileToListBox(f.list, f.Path());
        const QString bom(QChar(0xFEFF));
        const QStringList expected = {"first", bom, bom + "second"};
        QCOMPARE(ItemsOf(f.list), expected);
        SaveListboxToFile(f.list, f.Path());
        LoadFileToListBox(f.list, f.Path());
        QCOMPARE(ItemsOf(f.list), expected);
    }

    void emptyFileClearsTheList()
    {
        Fixture f;
        f.list.addItems({"old", "items"});
        f.folder.Write("list.txt", "");
        QCOMPARE(LoadFileToListBox(f.list, f.Path()), ListLoad::Complete);
        QCOMPARE(f.list.count(), 0);
        f.folder.Write("list.txt", "\r\n\n\r");
        f.list.addItem("old");
        LoadFileToListBox(f.list, f.Path());
        QCOMPARE(f.list.count(), 0);
    }

    void missingFileKeepsTheListAndIsReportedOnce()
    {
        Fixture f;
        f.list.addItems({"kept", "too"});
        const QString path = f.Path("nothing.txt");
        QCOMPARE(LoadFileToListBox(f.list, path), ListLoad::Missing);
        QCOMPARE(ItemsOf(f.list), QStringList({"kept", "too"}));
        QCOMPARE(f.fake.Messages(), QStringList({"Cant find " + path}));
        QCOMPARE(LogMessages(f.folder), QStringList({"LoadFileToListBox : cant find " + path}));

        // A folder is not a list file either.
        f.fake.Reset();
        QDir(f.folder.Path()).mkdir("folder");
        QCOMPARE(LoadFileToListBox(f.list, f.Path("folder")), ListLoad::Missing);
        QCOMPARE(f.fake.Messages(), QStringList({"Cant find " + f.Path("folder")}));
        QCOMPARE(f.list.count(), 2);
    }

    void hiddenFilesAndLinkedFilesArePresent()
    {
        Fixture f;
        f.folder.Write(".hidden.txt", "secret\r\n");
        QVERIFY(IsListFilePresent(f.Path(".hidden.txt")));
        QCOMPARE(LoadFileToListBox(f.list, f.Path(".hidden.txt")), ListLoad::Complete);
        QCOMPARE(ItemsOf(f.list), QStringList({"secret"}));
        QVERIFY(QFile::link(f.Path(".hidden.txt"), f.Path("link.txt")));
        QVERIFY(IsListFilePresent(f.Path("link.txt")));
        QVERIFY(!IsListFilePresent(f.folder.Path()));
        QVERIFY(!IsListFilePresent(QString()));
    }

    void emptyFileNameLoadsNothingAndSaveOnlyLogs()
    {
        Fixture f;
        f.list.addItem("kept");
        QCOMPARE(LoadFileToListBox(f.list, QString()), ListLoad::NoFileName);
        QCOMPARE(ItemsOf(f.list), QStringList({"kept"}));
        QVERIFY(f.fake.calls.isEmpty());
        QVERIFY(LogMessages(f.folder).isEmpty());

        QVERIFY(!SaveListboxToFile(f.list, QString()));
        QCOMPARE(f.fake.Count("MessageBox"), 0);
        QCOMPARE(LogMessages(f.folder),
                 QStringList({"Cant save listbox because a filename wasnt specified"}));
    }

    void emptyListSavesZeroBytes()
    {
        Fixture f;
        f.folder.Write("list.txt", "old contents\r\n");
        QVERIFY(SaveListboxToFile(f.list, f.Path()));
        QVERIFY(f.folder.Exists("list.txt"));
        QCOMPARE(f.folder.Read("list.txt"), QByteArray());
    }

    void failedSaveShowsTheSystemsErrorAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing folder") << "no such folder/list.txt" << "2 = No such file or directory";
        QTest::newRow("path is a folder") << "folder" << "21 = Is a directory";
        QTest::newRow("parent is a file") << "plain.txt/list.txt" << "20 = Not a directory";
        QTest::newRow("name too long") << QString(300, QLatin1Char('n')) << "36 = File name too long";
    }
    void failedSaveShowsTheSystemsErrorAndKeepsTheOldFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, cause);
        Fixture f;
        QDir(f.folder.Path()).mkdir("folder");
        f.folder.Write("plain.txt", "old\r\n");
        f.list.addItems({"one", "two"});
        const QString path = f.Path(name);
        QVERIFY(!SaveListboxToFile(f.list, path));
        QCOMPARE(f.fake.Messages(), QStringList({"An Error occurred in SaveListboxToFile: " + cause +
                                                 " while saving '" + path + "'"}));
        QCOMPARE(LogMessages(f.folder), QStringList({"ErrorSaveListboxToFile: " + cause}));
        QCOMPARE(f.folder.Read("plain.txt"), QByteArray("old\r\n"));
        QCOMPARE(f.list.count(), 2);
    }

    void shortWriteFailsAndLeavesTheOldFileWhole_data()
    {
        QTest::addColumn<int>("items");
        QTest::newRow("smaller than the write buffer") << 200;
        QTest::newRow("larger than the write buffer") << 2000;
    }
    void shortWriteFailsAndLeavesTheOldFileWhole()
    {
        // A file size limit makes the system write only part of the bytes,
        // as a full disk does.
        QFETCH(int, items);
        Fixture f;
        f.folder.Write("list.txt", "old\r\n");
        for (int i = 0; i < items; ++i)
            f.list.addItem(QStringLiteral("a phrase long enough to pass the limit %1").arg(i));
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 2000;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool saved_ok = SaveListboxToFile(f.list, f.Path());
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved_ok);
        QCOMPARE(f.fake.Messages(), QStringList({"An Error occurred in SaveListboxToFile: 27 = File too "
                                                 "large while saving '" + f.Path() + "'"}));
        QCOMPARE(f.folder.Read("list.txt"), QByteArray("old\r\n"));
        QCOMPARE(QDir(f.folder.Path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"banterly.log", "list.txt"}));
    }

    void unreadableFileIsReported()
    {
        // Reading this process's memory at offset 0 fails after a good open.
        Fixture f;
        const QString path = QStringLiteral("/proc/self/mem");
        QVERIFY(IsListFilePresent(path));
        f.list.addItem("old");
        QCOMPARE(LoadFileToListBox(f.list, path), ListLoad::Incomplete);
        QCOMPARE(f.list.count(), 0);
        QCOMPARE(f.fake.Messages(), QStringList({"Cant read " + path}));
        const QStringList log = LogMessages(f.folder);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith("LoadFileToListBox : cant read " + path + ": "), qPrintable(log[0]));
    }

    void holdsAtMost32767Items()
    {
        Fixture f;
        f.folder.Write("list.txt", NumberedLines(kMaxListItems) + "\r\n\r\n");
        QCOMPARE(LoadFileToListBox(f.list, f.Path()), ListLoad::Complete);
        QCOMPARE(f.list.count(), kMaxListItems);
        QCOMPARE(f.fake.Count("MessageBox"), 0);

        f.folder.Write("list.txt", NumberedLines(kMaxListItems + 1));
        QCOMPARE(LoadFileToListBox(f.list, f.Path()), ListLoad::Incomplete);
        QCOMPARE(f.list.count(), kMaxListItems);
        QCOMPARE(f.list.item(kMaxListItems - 1)->text(), QStringLiteral("phrase 32767"));
        QCOMPARE(f.fake.Count("MessageBox"), 1);
        QVERIFY(f.fake.Messages()[0].startsWith("Cant read all of " + f.Path() + ": "));
    }

    void overlongLineIsCutAndReported()
    {
        Fixture f;
        f.folder.Write("list.txt", "short\r\n" + QByteArray(kMaxListItemLength + 10, 'w') + "\r\nend\r\n");
        QCOMPARE(LoadFileToListBox(f.list, f.Path()), ListLoad::Incomplete);
        QCOMPARE(f.list.count(), 3);
        QCOMPARE(f.list.item(1)->text().size(), kMaxListItemLength);
        QCOMPARE(f.fake.Count("MessageBox"), 1);
    }
};

QTEST_MAIN(TestListFiles)
#include "test_listfiles.moc"
