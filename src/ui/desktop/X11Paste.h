#pragma once

#include "ui/desktop/PasteWindows.h"

#include <memory>

// Pasting on an X11 display: the active window from the window manager's
// _NET_ACTIVE_WINDOW, activation through the same property's request, and
// the keystroke through the XTEST extension. On any other Qt platform
// (Wayland without XWayland, offscreen) it is unavailable and does nothing.
class X11Paste : public PasteWindows {
public:
    X11Paste();
    ~X11Paste() override;

    QString Unavailable() override;
    WindowId ActiveWindow() override;
    QSet<WindowId> OwnWindows() override;
    bool WindowExists(WindowId window) override;
    bool FocusWithin(WindowId window) override;
    void Activate(WindowId window) override;
    void SendPasteKeys() override;

private:
    struct Connection;
    // The display, or null when Qt does not run on X11.
    Connection* Open();

    std::unique_ptr<Connection> m_display;
};
