#include "support/ContactsFixture.h"

#include "ui/app/frmToolbar1.h"
#include "ui/contacts/frmContactDetails.h"

#include <QAction>
#include <QTest>

// "Keep Data in a Folder…" while the user is typing on the card (the box
// still has the focus, so the edit is not marked yet). Faults caught: the
// typed text left behind in the old file (or dropped by the reload from the
// new one), the book still on the old file after the move.
class TestDataFolderMenu : public QObject {
    Q_OBJECT
    ContactsFixture fx;

private slots:
    void init()
    {
        fx.Start();
        fx.Seed({{"Alpha", "Ann"}, {"Bravo", "Bob"}});
        App().AppSettings().PhraseListFile = fx.folder->File(QStringLiteral("phrases.txt"));
    }
    void cleanup() { fx.Stop(); }

    void theMoveTakesWhatIsBeingTypedAlong()
    {
        TestFolder synced;
        fx.book->CurrentContact = 2;
        frmContactDetails& card = App().ContactDetails();
        ShowContactOnCard(card);
        card.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&card));
        card.txtField[0]->setFocus(Qt::MouseFocusReason);
        card.txtField[0]->moveCursor(QTextCursor::End);
        QTest::keyClicks(card.txtField[0], QStringLiteral("Y"));

        fx.fake->folderAnswers = {synced.Path()};
        fx.fake->Reset();
        QAction* command = App().Toolbar().findChild<QAction*>(QStringLiteral("mnuDataFolder"));
        QVERIFY(command);
        command->trigger();

        QCOMPARE(fx.fake->Messages().size(), 1);
        QVERIFY2(fx.fake->Messages().first().contains(synced.Path()),
                 qPrintable(fx.fake->Messages().first()));
        const QString moved = synced.File(QStringLiteral("chatcontacts.lis"));
        QCOMPARE(fx.book->ContactFilePath, moved);
        QVERIFY(synced.Read(QStringLiteral("chatcontacts.lis")).contains("BravoY"));
        QVERIFY(!fx.Saved());
        QCOMPARE(card.txtField[0]->toPlainText(), QStringLiteral("BravoY"));
        QVERIFY(!fx.book->ContactTableUnsaved());
    }
};

QTEST_MAIN(TestDataFolderMenu)
#include "test_datafoldermenu.moc"
