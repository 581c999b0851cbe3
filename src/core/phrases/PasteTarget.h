#pragma once

#include <QSet>
#include <cstdint>

// Which window a copied phrase may be pasted into, decided from the window
// manager's active window alone (no window-system calls here).
//
// The target is the last window outside the program that was active: the
// program's own windows (and their frames) are passed in with every change
// and never become the target. A paste goes only to that window, only while
// it still exists, and only once it is the active window again; anything
// else gives up and leaves the phrase on the clipboard.
class PasteTarget {
public:
    using WindowId = uint32_t;  // an X window id; 0 is none
    using WindowSet = QSet<WindowId>;

    // How often a paste looks at the focus before it gives up.
    static constexpr int kFocusChecks = 10;

    // The active window changed (0: no window is active).
    void ActiveWindowChanged(WindowId active, const WindowSet& ownWindows);
    // The last active window outside the program; 0 when there is none.
    WindowId Remembered() const { return m_remembered; }

    enum class Step { Wait, Paste, GiveUp };

    // Starts a paste: the window to activate, or 0 when there is nothing to
    // paste into (no window remembered, it is gone, or it is the program's).
    WindowId BeginPaste(bool rememberedExists, const WindowSet& ownWindows);
    // One look at the focus while a paste waits for the target: Paste when
    // the target is the active window and holds the keyboard focus, GiveUp
    // when no paste is under way or the looks are used up, Wait otherwise.
    Step CheckFocus(WindowId active, bool focusInTarget);
    // The window a paste under way goes to (0: none).
    WindowId Target() const { return m_target; }

private:
    WindowId m_remembered = 0;
    WindowId m_target = 0;
    int m_checksLeft = 0;
};
