#include "ui/desktop/WindowControl.h"
#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "ui/widgets/ListBoxFiles.h"
#include "support/ListTestSupport.h"
#include "ui/phrases/frmPhrases.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QDir>
#include <QTest>

namespace {
const QByteArray kDefaultFile = "Double Click this phrase to copy it to the Clipboard\r\n"
                                "Use the right mouse button to Add, Edit and Delete Phrases\r\n";
const QByteArray kAbc = "alpha\r\nbeta\r\ngamma\r\n";
} // namespace

class TestPhrases : public QObject {
    Q_OBJECT

    struct Fixture {
        FakePlatform fake;
        TestFolder folder;
        explicit Fixture(const QByteArray* contents = &kAbc, int16_t hide = 0)
        {
            fake.programFolder = folder.Path();
            App().AppSettings().PhraseListFile = folder.File("phrases.txt");
            App().AppSettings().HidePhraseListWhenDbleClicked = hide;
            if (contents)
                folder.Write("phrases.txt", *contents);
        }
        ~Fixture() { EndApp(); }
        QByteArray File() const { return folder.Read("phrases.txt"); }
        // The names of the platform calls made so far.
        QStringList CallNames() const
        {
            QStringList names;
            for (const auto& c : fake.calls)
                names.append(c.name);
            return names;
        }
    };

    static frmPhrases& Shown()
    {
        frmPhrases& w = App().Phrases();
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            qWarning("window not exposed");
        return w;
    }
    static QPoint ItemCentre(frmPhrases& w, int row)
    {
        return w.lstPhrases->visualItemRect(w.lstPhrases->item(row)).center();
    }
    static int SelectedRow(frmPhrases& w)
    {
        const auto selected = w.lstPhrases->selectedItems();
        return selected.isEmpty() ? -1 : w.lstPhrases->row(selected.first());
    }

private slots:
    void firstLoadWritesTheTwoDefaultPhrases()
    {
        Fixture f(nullptr);
        frmPhrases& w = App().Phrases();
        QCOMPARE(f.File(), kDefaultFile);
        QCOMPARE(w.lstPhrases->count(), 2);
        QCOMPARE(f.fake.Count("MessageBox"), 0);
        QVERIFY(w.txtPhrase->isHidden());
    }

    void neverCreatesOverSomethingElse()
    {
        // A folder or a broken link at the path is left alone and reported.
        Fixture f(nullptr);
        QDir(f.folder.Path()).mkdir("phrases.txt");
        QCOMPARE(App().Phrases().lstPhrases->count(), 0);
        QCOMPARE(f.fake.Messages(), QStringList({"Cant find " + App().AppSettings().PhraseListFile}));
        EndApp();
        App().AppSettings().PhraseListFile = f.folder.File("link.txt");
        QVERIFY(QFile::link(f.folder.File("elsewhere.txt"), App().AppSettings().PhraseListFile));
        App().Phrases();
        QVERIFY(QFileInfo(App().AppSettings().PhraseListFile).isSymLink());
        QVERIFY(!f.folder.Exists("elsewhere.txt"));
    }

    void menuHoldsTheCommandsInOrder()
    {
        Fixture f;
        frmPhrases& w = App().Phrases();
        QStringList captions;
        for (QAction* a : w.mnuPhrase->actions()) {
            QVERIFY(a->isEnabled());
            captions.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(captions, QStringList({"Copy Phrase to Clipboard", "-", "Find Phrase", "Add Phrase To List",
                                        "Edit Phrase in List", "Remove Phrase from List"}));
        QCOMPARE(w.lstPhrases->font().family(), QStringLiteral("Arial Narrow"));
        QCOMPARE(w.lstPhrases->font().pointSizeF(), 8.25);
        QCOMPARE(w.lstPhrases->toolTip(), QStringLiteral("Right Mouse Click for Menu"));
    }

    void copyPutsTheCurrentPhraseOnTheClipboard()
    {
        Fixture f;
        frmPhrases& w = App().Phrases();
        w.Copy();  // nothing selected yet: the clipboard is left alone
        QVERIFY(f.CallNames().isEmpty());
        w.lstPhrases->setCurrentRow(1);
        w.mnuPhraseCopy->trigger();
        QCOMPARE(f.CallNames(), QStringList({"ClipboardClear", "ClipboardSetText"}));
        QCOMPARE(f.fake.clipboard, QStringLiteral("beta"));
    }

    void addAppendsAtTheEndAndSaves()
    {
        Fixture f;
        frmPhrases& w = Shown();
        MoveWindow(w, 300 * 15, 200 * 15);
        QTRY_COMPARE(w.frameGeometry().topLeft(), QPoint(300, 200));
        w.lstPhrases->setCurrentRow(0);
        f.fake.inputAnswers = {"delta", "", "two\r\nlines\n", "\r\n"};
        for (int i = 0; i < 4; ++i)
            w.mnuPhraseAdd->trigger();
        QCOMPARE(ItemsOf(*w.lstPhrases), QStringList({"alpha", "beta", "gamma", "delta", "twolines"}));
        QCOMPARE(f.File(), kAbc + "delta\r\ntwolines\r\n");
        QCOMPARE(SelectedRow(w), 0);
        QCOMPARE(w.txtPhrase->text(), QStringLiteral("alpha"));

        const FakePlatform::Call& ask = f.fake.calls.at(0);
        QVERIFY(ask.args[0].startsWith("Enter Phrase to add to List.\r\nYou can use these phrases by "));
        QVERIFY(ask.args[0].endsWith("press [CTRL] V  to paste the phrase as if you have typed it.  This "
                                     "will save you a lot of typing to commonly asked questions , eg "
                                     "'What are your stats?'"));
        QCOMPARE(ask.args.mid(1), QStringList({"Adding Phrase to List", "", "4500", "3000"}));
    }

    void editReplacesTheSelectedItemButNotTheCurrentPhrase()
    {
        Fixture f;
        frmPhrases& w = Shown();
        w.mnuPhraseEdit->trigger();  // nothing selected: nothing asked
        QCOMPARE(f.fake.Count("InputBox"), 0);

        QTest::mouseClick(w.lstPhrases->viewport(), Qt::LeftButton, {}, ItemCentre(w, 1));
        f.fake.inputAnswers = {"", "BETA"};
        w.mnuPhraseEdit->trigger();  // cancelled
        QCOMPARE(f.File(), kAbc);
        w.mnuPhraseEdit->trigger();
        const QStringList ask = f.fake.calls.last().args;
        QCOMPARE(ask.mid(0, 3), QStringList({"Edit Phrase ", "Editing Existing Phrase in List", "beta"}));
        QCOMPARE(ItemsOf(*w.lstPhrases), QStringList({"alpha", "BETA", "gamma"}));
        QCOMPARE(f.File(), QByteArray("alpha\r\nBETA\r\ngamma\r\n"));

        w.Copy();
        QCOMPARE(f.fake.clipboard, QStringLiteral("beta"));
        // Clicking the edited item again makes its new text current.
        QTest::mouseClick(w.lstPhrases->viewport(), Qt::LeftButton, {}, ItemCentre(w, 1));
        w.Copy();
        QCOMPARE(f.fake.clipboard, QStringLiteral("BETA"));
    }

    void removeLeavesNothingSelected()
    {
        Fixture f;
        frmPhrases& w = App().Phrases();
        w.lstPhrases->setCurrentRow(1);
        w.mnuPhraseRemove->trigger();
        QCOMPARE(ItemsOf(*w.lstPhrases), QStringList({"alpha", "gamma"}));
        QCOMPARE(f.File(), QByteArray("alpha\r\ngamma\r\n"));
        QCOMPARE(SelectedRow(w), -1);
        w.Copy();
        QCOMPARE(f.fake.clipboard, QStringLiteral("beta"));
        f.fake.inputAnswers = {"never asked"};
        w.Edit();
        w.Remove();
        QCOMPARE(f.fake.Count("InputBox"), 0);
        QCOMPARE(w.lstPhrases->count(), 2);
    }

    void rightButtonOpensTheMenuWithoutSelecting()
    {
        Fixture f;
        frmPhrases& w = Shown();
        w.lstPhrases->setCurrentRow(0);
        QTest::mouseClick(w.lstPhrases->viewport(), Qt::RightButton, {}, ItemCentre(w, 2));
        QTRY_VERIFY(w.mnuPhrase->isVisible());
        w.mnuPhrase->close();
        QCOMPARE(SelectedRow(w), 0);
        f.fake.inputAnswers = {"changed"};
        w.Edit();
        QCOMPARE(ItemsOf(*w.lstPhrases), QStringList({"changed", "beta", "gamma"}));
    }

    void doubleClickCopiesAndHidesOnlyForOne_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<bool>("hides");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("2") << 2 << false;
    }
    void doubleClickCopiesAndHidesOnlyForOne()
    {
        QFETCH(int, option);
        QFETCH(bool, hides);
        Fixture f(&kAbc, int16_t(option));
        App().Toolbar();
        frmPhrases& w = Shown();
        // A double click is a click followed by a second press.
        QTest::mouseClick(w.lstPhrases->viewport(), Qt::LeftButton, {}, ItemCentre(w, 2));
        QTest::mouseDClick(w.lstPhrases->viewport(), Qt::LeftButton, {}, ItemCentre(w, 2));
        QCOMPARE(f.fake.clipboard, QStringLiteral("gamma"));
        QCOMPARE(w.isHidden(), hides);
        QVERIFY(App().IsPhrasesLoaded());
        App().ShowPhrases();
        QVERIFY(w.isVisible());
        QCOMPARE(SelectedRow(w), 2);
        QCOMPARE(w.lstPhrases->count(), 3);
    }

    void enterAndCtrlCCopyLikeADoubleClickAndEscapeClosesLikeTheCloseBox()
    {
        Fixture f(nullptr, 1);
        QDir dir(f.folder.Path());
        dir.mkdir("sub");
        App().AppSettings().PhraseListFile = f.folder.File("sub/phrases.txt");
        App().Toolbar();
        frmPhrases& w = Shown();
        w.lstPhrases->setFocus();
        w.lstPhrases->setCurrentRow(1);
        QTest::keyClick(w.lstPhrases, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(f.CallNames(), QStringList({"ClipboardClear", "ClipboardSetText"}));
        QCOMPARE(f.fake.clipboard, QStringLiteral("Use the right mouse button to Add, Edit and Delete Phrases"));
        QVERIFY(w.isHidden());

        // Ctrl+C copies through the program's clipboard, not the list's own.
        App().ShowPhrases();
        w.lstPhrases->setCurrentRow(0);
        QTest::keyClick(w.lstPhrases, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(f.fake.clipboard, QStringLiteral("Double Click this phrase to copy it to the Clipboard"));
        QCOMPARE(f.fake.Count("ClipboardSetText"), 2);
        QVERIFY(w.isHidden());

        // Escape goes through the close box's rule: a list whose save failed
        // keeps its window open once, and is saved when it can be.
        App().ShowPhrases();
        dir.rename("sub", "away");
        f.fake.inputAnswers = {"kept"};
        w.Add();
        QTest::keyClick(w.lstPhrases, Qt::Key_Escape);
        QCOMPARE(f.fake.Count("MessageBox"), 2);
        QVERIFY(App().IsPhrasesLoaded());
        QVERIFY(w.isVisible());
        dir.rename("away", "sub");
        QTest::keyClick(w.lstPhrases, Qt::Key_Escape);
        QTRY_VERIFY(!App().IsPhrasesLoaded());
        QCOMPARE(f.folder.Read("sub/phrases.txt"), kDefaultFile + "kept\r\n");
    }

    void findIsCaseSensitiveAndWraps()
    {
        const QByteArray text = "Hello there\r\nsay hello\r\nother\r\nhello again\r\n";
        Fixture f(&text);
        frmPhrases& w = App().Phrases();
        auto find = [&](const QString& answer) {
            f.fake.inputAnswers = {answer};
            w.mnuPhraseFind->trigger();
            return SelectedRow(w);
        };
        QCOMPARE(find("hello"), 1);  // not "Hello there"
        QCOMPARE(f.fake.calls.at(0).args.mid(0, 3),
                 QStringList({"Enter Phrase to search for", "Looking for Phrase", ""}));
        QCOMPARE(find("hello"), 3);
        QCOMPARE(find("hello"), 1);  // round from the last item
        QCOMPARE(w.txtPhrase->text(), QStringLiteral("say hello"));
        QCOMPARE(find("llo"), 3);
        QCOMPARE(find("y hel"), 1);  // only the selected item matches: it stays
        QCOMPARE(find("nowhere"), 1);
        QCOMPARE(w.txtPhrase->text(), QStringLiteral("say hello"));
        QCOMPARE(find(""), 2);  // empty or cancelled: the next item
        QCOMPARE(w.txtPhrase->text(), QStringLiteral("other"));
        w.lstPhrases->setCurrentRow(3);
        QCOMPARE(find(""), 0);
        QCOMPARE(f.fake.Count("MessageBox") + f.fake.Count("Beep"), 0);
    }

    void listFillsTheWindowAndTinySizesAreHarmless()
    {
        Fixture f;
        frmPhrases& w = Shown();
        w.resize(400, 300);
        QCOMPARE(w.lstPhrases->geometry(), QRect(0, 0, 400, 300));
        w.resize(1, 1);
        w.showMinimized();
        QTest::qWait(50);
        w.showNormal();
        QCOMPARE(f.fake.Count("MessageBox"), 0);
        QCOMPARE(w.lstPhrases->count(), 3);
    }

    void noFileNameKeepsChangesInTheWindowOnly()
    {
        Fixture f(nullptr);
        App().AppSettings().PhraseListFile.clear();
        frmPhrases& w = App().Phrases();
        f.fake.inputAnswers = {"kept here"};
        w.Add();
        QCOMPARE(ItemsOf(*w.lstPhrases), QStringList({"kept here"}));
        QCOMPARE(f.fake.Count("MessageBox"), 0);
        QCOMPARE(LogMessages(f.folder), QStringList({"Cant save listbox because a filename wasnt specified"}));
        QVERIFY(!f.folder.Exists("phrases.txt"));
    }

    void failedSaveKeepsTheChangeForTheNextSave()
    {
        Fixture f(nullptr);
        QDir dir(f.folder.Path());
        dir.mkdir("sub");
        App().AppSettings().PhraseListFile = f.folder.File("sub/phrases.txt");
        frmPhrases& w = App().Phrases();
        dir.rename("sub", "away");
        f.fake.inputAnswers = {"first", "second"};
        w.Add();
        QCOMPARE(f.fake.Messages(), QStringList({"An Error occurred in SaveListboxToFile: 2 = No such file or "
                                                 "directory while saving '" + App().AppSettings().PhraseListFile + "'"}));
        dir.rename("away", "sub");
        w.Add();
        QCOMPARE(f.folder.Read("sub/phrases.txt"), kDefaultFile + "first\r\nsecond\r\n");
    }

    void closingAfterAFailedSaveTriesAgainAndKeepsTheList()
    {
        Fixture f(nullptr);
        QDir dir(f.folder.Path());
        dir.mkdir("sub");
        App().AppSettings().PhraseListFile = f.folder.File("sub/phrases.txt");
        frmPhrases& w = Shown();
        dir.rename("sub", "away");
        f.fake.inputAnswers = {"kept"};
        w.Add();
        QCOMPARE(f.fake.Count("MessageBox"), 1);
        // Closing tries once more; it fails, so the window stays open once.
        QVERIFY(!w.close());
        QCOMPARE(f.fake.Count("MessageBox"), 2);
        QVERIFY(App().IsPhrasesLoaded());
        // With the folder back, closing the program saves the list.
        dir.rename("away", "sub");
        QVERIFY(App().Toolbar().close());
        QCOMPARE(f.folder.Read("sub/phrases.txt"), kDefaultFile + "kept\r\n");
        QCOMPARE(f.fake.Count("MessageBox"), 2);
    }

    void fileReadIncompletelyIsNeverSavedOver()
    {
        const QByteArray tooMany = NumberedLines(kMaxListItems + 1);
        Fixture f(&tooMany);
        frmPhrases& w = App().Phrases();
        QCOMPARE(w.lstPhrases->count(), kMaxListItems);
        f.fake.Reset();
        w.lstPhrases->setCurrentRow(0);
        w.Remove();
        QCOMPARE(f.fake.Count("MessageBox"), 1);
        QVERIFY(f.fake.Messages()[0].startsWith("The phrases were not saved: " + App().AppSettings().PhraseListFile));
        QCOMPARE(LogMessages(f.folder).last(), "SaveListboxToFile : not saved over " + App().AppSettings().PhraseListFile +
                                                   ", which could not be read completely");
        QCOMPARE(f.File(), tooMany);

        // Opened anew on a file it can hold, the window saves again.
        w.close();
        QTRY_VERIFY(!App().IsPhrasesLoaded());
        f.folder.Write("phrases.txt", kAbc);
        f.fake.inputAnswers = {"delta"};
        App().Phrases().Add();
        QCOMPARE(f.File(), kAbc + "delta\r\n");
    }

    void unreadableFileIsReportedAndKept()
    {
        Fixture f(nullptr);
        App().AppSettings().PhraseListFile = QStringLiteral("/proc/self/mem");
        frmPhrases& w = App().Phrases();
        QCOMPARE(f.fake.Messages(), QStringList({"Cant read /proc/self/mem"}));
        f.fake.inputAnswers = {"x"};
        w.Add();
        QCOMPARE(f.fake.Count("MessageBox"), 2);
        QVERIFY(f.fake.Messages()[1].startsWith("The phrases were not saved: /proc/self/mem"));
    }

    void fullListTakesNoMore()
    {
        const QByteArray full = NumberedLines(kMaxListItems);
        Fixture f(&full);
        frmPhrases& w = App().Phrases();
        w.Add();
        QCOMPARE(f.fake.Count("InputBox"), 0);
        QCOMPARE(f.fake.Count("MessageBox"), 1);
        QCOMPARE(w.lstPhrases->count(), kMaxListItems);
    }
};

QTEST_MAIN(TestPhrases)
#include "test_phrases.moc"
