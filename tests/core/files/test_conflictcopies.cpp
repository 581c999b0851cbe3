#include "core/files/Backups.h"
#include "core/files/ConflictCopies.h"

#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

// A file that only looks like a conflict copy of the book must never be
// merged into it or moved away.
class TestConflictCopies : public QObject {
    Q_OBJECT

private slots:
    void theThreeFormsAndNearMisses()
    {
        const QString book = QStringLiteral("chatcontacts.lis");
        for (const char* name : {"chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis",
                                 "chatcontacts (conflicted copy 2026-12-10 013012).lis",
                                 "chatcontacts (Sam's conflicted copy 2026-12-10).lis",
                                 "chatcontacts (lap-top 2's conflicted copy 2024-02-29).lis"})
            QVERIFY2(IsConflictCopyName(QString::fromUtf8(name), book), name);
        for (const char* name : {
                 "chatcontacts.lis",
                 "chatcontacts.sync-conflict-20261210-013012-ABCDEF7.txt",       // other extension
                 "chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis.tmp",   // half written
                 ".syncthing.chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis.tmp",
                 "chatcontacts2.sync-conflict-20261210-013012-ABCDEF7.lis",      // other stem
                 "old chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis",
                 "chatcontacts.sync-conflict-20261210-013012-ABCDEF.lis",        // id too short
                 "chatcontacts.sync-conflict-20261210-013012-ABCDEF78.lis",      // id too long
                 "chatcontacts.sync-conflict-20261210-013012-abcdef7.lis",       // not base32
                 "chatcontacts.sync-conflict-20261210-013012-ABCDEF1.lis",
                 "chatcontacts.sync-conflict-20261310-013012-ABCDEF7.lis",       // month 13
                 "chatcontacts.sync-conflict-20261210-253012-ABCDEF7.lis",       // hour 25
                 "chatcontacts.sync-conflict-2026121-013012-ABCDEF7.lis",
                 "chatcontacts.2026-12-10_01-30-12.lis",                         // a kept version
                 "chatcontacts (conflicted copy).lis",
                 "chatcontacts (conflicted copy 2026-12-10).lis",                // time missing
                 "chatcontacts (conflicted copy 2026-02-30 013012).lis",         // no such day
                 "chatcontacts(conflicted copy 2026-12-10 013012).lis",
                 "chatcontacts (conflicted copy 2026-12-10 013012) .lis",
                 "chatcontacts ('s conflicted copy 2026-12-10).lis",             // no host
                 "chatcontacts (a/b's conflicted copy 2026-12-10).lis",
                 "chatcontacts (Sam's conflicted copy 2026-12-10 013012).lis",
                 "CHATCONTACTS.sync-conflict-20261210-013012-ABCDEF7.lis"})
            QVERIFY2(!IsConflictCopyName(QString::fromUtf8(name), book), name);
        // A file without an extension, and one whose stem holds pattern
        // characters, are matched literally.
        QVERIFY(IsConflictCopyName("notes.sync-conflict-20261210-013012-ABCDEF7", "notes"));
        QVERIFY(!IsConflictCopyName("notes.sync-conflict-20261210-013012-ABCDEF7.txt", "notes"));
        QVERIFY(IsConflictCopyName("my (1).txt (conflicted copy 2026-12-10 013012).txt", "my (1).txt.txt"));
        QVERIFY(!IsConflictCopyName("myX1Y.sync-conflict-20261210-013012-ABCDEF7.txt", "my.1.txt"));
    }

    // The copy goes into backups/ under its own name, or a free one: an
    // earlier copy of the same name there is never written over.
    void aCopyIsMovedIntoBackupsNeverOverAnother()
    {
        TestFolder folder;
        const QString book = folder.File("phrases.txt");
        const QString name = "phrases.sync-conflict-20261210-013012-ABCDEF7.txt";
        folder.Write(name, "first\r\n");
        folder.Write("phrases (x's conflicted copy 2026-12-10).txt.bak", "not one\r\n");
        QCOMPARE(ConflictCopiesOf(book), QStringList{folder.File(name)});
        const QString first = MoveConflictCopyToBackups(folder.File(name), book);
        QCOMPARE(first, QDir(BackupFolderFor(book)).filePath(name));
        folder.Write(name, "second\r\n");
        QString error;
        const QString second = MoveConflictCopyToBackups(folder.File(name), book, &error);
        QCOMPARE(second, QDir(BackupFolderFor(book)).filePath(
                             "phrases.sync-conflict-20261210-013012-ABCDEF7 (2).txt"));
        QVERIFY(!folder.Exists(name));
        QFile a(first), b(second);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), QByteArray("first\r\n"));
        QCOMPARE(b.readAll(), QByteArray("second\r\n"));
        QVERIFY(ConflictCopiesOf(book).isEmpty());
        // Gone meanwhile (another copy of the program moved it): a failure
        // with a reason, nothing made.
        QVERIFY(MoveConflictCopyToBackups(folder.File(name), book, &error).isEmpty());
        QVERIFY(!error.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestConflictCopies)
#include "test_conflictcopies.moc"
