#pragma once

#include <QSet>
#include <QString>
#include <cstdint>

// The window system's side of pasting a phrase into another program's
// window: which window is active, which windows are the program's own, and
// the Ctrl+V keystroke. The program uses the X11 one (platform/X11Paste);
// tests install a fake.
class PasteWindows {
public:
    using WindowId = uint32_t;  // 0 is none

    virtual ~PasteWindows() = default;

    // Why pasting cannot work on this display; empty when it can.
    virtual QString Unavailable() = 0;
    // The window the window manager marks active (0: none).
    virtual WindowId ActiveWindow() = 0;
    // The program's top-level windows and the window manager's frames
    // around them.
    virtual QSet<WindowId> OwnWindows() = 0;
    virtual bool WindowExists(WindowId window) = 0;
    // True when the keyboard focus is in the window or one of its children.
    virtual bool FocusWithin(WindowId window) = 0;
    // Asks the window manager to activate the window.
    virtual void Activate(WindowId window) = 0;
    // Presses and releases Ctrl+V; the window with the keyboard focus gets it.
    virtual void SendPasteKeys() = 0;
};

// The paste side in use: the installed one, else the X11 one.
PasteWindows& pasteWindows();
// Installs one (nullptr: back to the X11 one) and returns the previous one
// (not owned).
PasteWindows* SetPasteWindows(PasteWindows* windows);
