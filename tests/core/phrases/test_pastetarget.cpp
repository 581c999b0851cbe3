#include "core/phrases/PasteTarget.h"

#include <QTest>

// Window ids as a recorded session saw them: two chat programs, and the
// program's toolbar and phrase window with the frames around them.
namespace {
constexpr PasteTarget::WindowId kChat = 0x1200007, kOtherChat = 0x1400003;
constexpr PasteTarget::WindowId kToolbar = 0x2600004, kToolbarFrame = 0x0a00031,
                                kPhrases = 0x260000c, kPhrasesFrame = 0x0a00052;
const PasteTarget::WindowSet kOwn{kToolbar, kToolbarFrame, kPhrases, kPhrasesFrame};
using Step = PasteTarget::Step;
}  // namespace

class TestPasteTarget : public QObject {
    Q_OBJECT

    // The user was in the chat, went to the other chat and back, then into
    // the program (the frame first, as some window managers report it, and
    // a moment with no active window in between).
    static PasteTarget AfterSession()
    {
        PasteTarget t;
        for (PasteTarget::WindowId w :
             {kOtherChat, kChat, kOtherChat, kChat, kToolbarFrame, kToolbar, 0u, kPhrases})
            t.ActiveWindowChanged(w, kOwn);
        return t;
    }

private slots:
    void pastesIntoTheLastOutsideWindowOnceItHoldsTheFocus()
    {
        PasteTarget t = AfterSession();
        QCOMPARE(t.BeginPaste(true, kOwn), kChat);
        // The phrase window is still active, then the chat without the
        // keyboard focus yet: wait.
        QCOMPARE(t.CheckFocus(kPhrases, false), Step::Wait);
        QCOMPARE(t.CheckFocus(kChat, false), Step::Wait);
        QCOMPARE(t.CheckFocus(kChat, true), Step::Paste);
        // One paste per copy.
        QCOMPARE(t.CheckFocus(kChat, true), Step::GiveUp);
        // The chat stays the target for the next phrase.
        QCOMPARE(t.BeginPaste(true, kOwn), kChat);
    }

    void nothingWhenOnlyTheProgramsOwnWindowsWereActive()
    {
        PasteTarget t;
        for (PasteTarget::WindowId w : {kToolbar, kToolbarFrame, 0u, kPhrases})
            t.ActiveWindowChanged(w, kOwn);
        QCOMPARE(t.BeginPaste(true, kOwn), 0u);
        QCOMPARE(t.CheckFocus(kPhrases, true), Step::GiveUp);
    }

    void nothingWhenTheRememberedWindowIsGone()
    {
        PasteTarget t = AfterSession();
        QCOMPARE(t.BeginPaste(false, kOwn), 0u);
        QCOMPARE(t.CheckFocus(kOtherChat, true), Step::GiveUp);
        // Its id may come back as another program's window: not a target
        // again until it is seen active.
        QCOMPARE(t.BeginPaste(true, kOwn), 0u);
        t.ActiveWindowChanged(kOtherChat, kOwn);
        QCOMPARE(t.BeginPaste(true, kOwn), kOtherChat);
    }

    void neverIntoAnotherWindowThatTakesTheFocus()
    {
        PasteTarget t = AfterSession();
        QCOMPARE(t.BeginPaste(true, kOwn), kChat);
        for (int i = 1; i < PasteTarget::kFocusChecks; ++i)
            QCOMPARE(t.CheckFocus(kOtherChat, true), Step::Wait);
        QCOMPARE(t.CheckFocus(kOtherChat, true), Step::GiveUp);
        // The chat coming up after the paste gave up gets nothing either.
        QCOMPARE(t.CheckFocus(kChat, true), Step::GiveUp);
    }
};

QTEST_APPLESS_MAIN(TestPasteTarget)
#include "test_pastetarget.moc"
