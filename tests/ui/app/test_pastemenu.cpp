#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "ui/phrases/frmPhrases.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QTest>

// The toolbar menu's "Paste Phrases into the Chat Window" on a display where
// pasting cannot work (the tests' offscreen platform has no X11), and a
// failed write of the setting.
class TestPasteMenu : public QObject {
    Q_OBJECT

private slots:
    void init() { EndApp(); }
    void cleanup() { EndApp(); }

    void greyedWithoutX11AndACopyStillWorks()
    {
        FakePlatform fake;
        TestFolder folder;
        folder.Write("phrases.txt", "alpha\r\nbeta\r\n");
        App().AppSettings().PhraseListFile = folder.File("phrases.txt");
        App().AppSettings().PasteAfterCopy = 1;

        frmToolbar1& toolbar = App().Toolbar();
        emit toolbar.mnuToolbar->aboutToShow();
        QAction* item = toolbar.mnuPasteAfterCopy;
        QVERIFY(item->isChecked());
        QVERIFY(!item->isEnabled());
        QVERIFY2(item->toolTip().contains(QStringLiteral("offscreen")),
                 qPrintable(item->toolTip()));

        // Enter on a phrase copies it; the paste that cannot happen neither
        // touches a display nor gets in the way.
        frmPhrases& phrases = App().Phrases();
        phrases.show();
        phrases.lstPhrases->setCurrentRow(1);
        QTest::keyClick(phrases.lstPhrases, Qt::Key_Return);
        QTest::qWait(300);
        QCOMPARE(fake.clipboard, QStringLiteral("beta"));
    }

    void aFailedWriteOfTheSwitchIsReported()
    {
        FakePlatform fake;
        TestFolder folder;
        App().AppSettings().IniFile = folder.File("gone/banterly.ini");
        QAction* item = App().Toolbar().mnuPasteAfterCopy;
        item->setEnabled(true);  // as on an X11 display
        item->trigger();
        QCOMPARE(App().AppSettings().PasteAfterCopy, int16_t(1));  // in effect for this run
        QCOMPARE(fake.Messages().size(), 1);
        QVERIFY(fake.Messages().first().startsWith(QStringLiteral("Could not save the settings")));
    }
};

QTEST_MAIN(TestPasteMenu)
#include "test_pastemenu.moc"
