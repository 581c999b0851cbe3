#pragma once

#include <QRect>
#include <QString>

class QWidget;

// The windows' door to the desktop: input boxes, the clipboard, the pointer,
// the event loop, the topmost band, the URL handler and the screen. Message
// boxes and the beep are the core's reporting sink (Platform); the program's
// implementation serves both.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Modal input box with its top-left corner at (left, top) in twips.
    // Cancel gives the empty text.
    virtual QString InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText, double leftTwips, double topTwips) = 0;
    virtual void ClipboardClear() = 0;
    virtual void ClipboardSetText(const QString& text) = 0;
    // Screen-wide mouse pointer: busy (hourglass) or back to the default.
    virtual void SetBusyPointer(bool busy) = 0;
    // Lets pending window events run once.
    virtual void DoEvents() = 0;
    // Posts a Tab keystroke to the active window; it is handled after the
    // current handler returns.
    virtual void PostTabToActiveWindow() = 0;
    // Puts a window into (true) or out of the topmost band, shows it without
    // activating it, and places it at the given pixel rectangle (outer frame).
    virtual void SetWindowPos(QWidget* window, bool topmost, const QRect& pixels) = 0;
    // Opens an address with the desktop's URL handler. Returns false on failure.
    virtual bool OpenUrl(const QString& url) = 0;
    // A message box whose text the user can select, with a second button
    // (actionCaption) beside OK. True when the user pressed that button.
    virtual bool MessageBoxWithAction(const QString& text, const QString& actionCaption) = 0;
    virtual double ScreenWidthTwips() = 0;
    // The available area (panels and docks left out), in pixels, of the
    // screen that holds the centre of the window's outer frame; the primary
    // screen's when no screen does or the window is null. Empty when there
    // is no screen at all.
    virtual QRect AvailableArea(const QWidget* near) = 0;
    // A modal file dialog: a file to open (save false) or to write (save
    // true, starting from suggestedName). The empty text when cancelled.
    virtual QString ChooseFile(bool save, const QString& title, const QString& filter,
                               const QString& suggestedName) = 0;
    // A modal folder chooser opening at `startFolder`. The empty text when
    // cancelled.
    virtual QString ChooseFolder(const QString& title, const QString& startFolder) = 0;
};

// The desktop in use; never null once installed.
Desktop& desktop();
// Installs a desktop and returns the previous one (not owned).
Desktop* SetDesktop(Desktop* d);

// The busy pointer for the lifetime of a scope, whatever happens meanwhile.
class BusyPointer {
public:
    BusyPointer() { desktop().SetBusyPointer(true); }
    ~BusyPointer() { desktop().SetBusyPointer(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

