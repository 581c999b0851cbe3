#include "ui/desktop/X11Paste.h"

#include <QGuiApplication>
#include <QWindow>

// The X headers come last: they define macros (None, Bool, KeyPress ...)
// that clash with names in Qt's headers.
#include "ui/desktop/XLibraries.h"
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>

struct XlibFunctions {
    decltype(&::XKeysymToKeycode) KeysymToKeycode;
    decltype(&::XQueryKeymap) QueryKeymap;
    decltype(&::XFlush) Flush;
};

struct XTestFunctions {
    decltype(&::XTestQueryExtension) QueryExtension;
    decltype(&::XTestFakeKeyEvent) FakeKeyEvent;
};

struct X11Paste::Connection {
    ::Display* xlib = nullptr;        // for XTEST and the key map
    xcb_connection_t* xcb = nullptr;  // for everything else (errors come back here)
    const XcbFunctions* c = nullptr;
    const XlibFunctions* x = nullptr;
    const XTestFunctions* xtest = nullptr;  // null without the XTEST library
    xcb_window_t root = 0;
    xcb_atom_t netActiveWindow = 0;
    xcb_atom_t netSupported = 0;
    bool hasXTest = false;
};

namespace {

xcb_atom_t InternAtom(const XcbFunctions& f, xcb_connection_t* c, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = f.intern_atom(c, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t* reply = f.intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

// The window's parent; 0 at the root or when the window is gone.
xcb_window_t Parent(const XcbFunctions& f, xcb_connection_t* c, xcb_window_t window)
{
    xcb_query_tree_reply_t* tree = f.query_tree_reply(c, f.query_tree(c, window), nullptr);
    if (!tree)
        return 0;
    const xcb_window_t parent = tree->parent == tree->root ? 0 : tree->parent;
    std::free(tree);
    return parent;
}

// libX11 is loaded already (Qt's X11 platform needs it); libXtst is loaded
// by the first call. Null when a library or one of its functions is missing.
const XlibFunctions* Xlib()
{
    static XlibFunctions f{};
    static const bool ok = [] {
        const auto get = [](const char* name, auto& function) {
            return XLibraryFunction("libX11.so.6", name, function);
        };
        return get("XKeysymToKeycode", f.KeysymToKeycode) && get("XQueryKeymap", f.QueryKeymap) &&
               get("XFlush", f.Flush);
    }();
    return ok ? &f : nullptr;
}

const XTestFunctions* XTest()
{
    static XTestFunctions f{};
    static const bool ok =
        XLibraryFunction("libXtst.so.6", "XTestQueryExtension", f.QueryExtension) &&
        XLibraryFunction("libXtst.so.6", "XTestFakeKeyEvent", f.FakeKeyEvent);
    return ok ? &f : nullptr;
}

constexpr int kMaxDepth = 32;  // a guard against a broken window tree

}  // namespace

X11Paste::X11Paste() = default;
X11Paste::~X11Paste() = default;

X11Paste::Connection* X11Paste::Open()
{
    if (m_display)
        return m_display->xcb ? m_display.get() : nullptr;
    m_display = std::make_unique<Connection>();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display() || !x11->connection() || !Xcb() || !Xlib())
        return nullptr;
    Connection& d = *m_display;
    d.xlib = x11->display();
    d.xcb = x11->connection();
    d.c = Xcb();
    d.x = Xlib();
    d.xtest = XTest();
    d.root = DefaultRootWindow(d.xlib);
    d.netActiveWindow = InternAtom(*d.c, d.xcb, "_NET_ACTIVE_WINDOW");
    d.netSupported = InternAtom(*d.c, d.xcb, "_NET_SUPPORTED");
    int event = 0, error = 0, major = 0, minor = 0;
    d.hasXTest = d.xtest && d.xtest->QueryExtension(d.xlib, &event, &error, &major, &minor);
    return &d;
}

QString X11Paste::Unavailable()
{
    const Connection* d = Open();
    if (!d) {
        const QString name = qGuiApp ? QGuiApplication::platformName() : QString();
        return QStringLiteral("Pasting into another program's window needs an X11 display; "
                              "Banterly runs on \"%1\" (for example a Wayland session without "
                              "XWayland).")
            .arg(name);
    }
    if (!d->xtest)
        return QStringLiteral("Pasting needs the XTEST library (libXtst.so.6), which is not "
                              "installed.");
    if (!d->hasXTest)
        return QStringLiteral("The X server lacks the XTEST extension, which Banterly needs to "
                              "press Ctrl+V in the chat window.");
    // The window manager must name the active window and take activation
    // requests.
    bool supported = false;
    const XcbFunctions& c = *d->c;
    xcb_get_property_reply_t* reply = c.get_property_reply(
        d->xcb, c.get_property(d->xcb, 0, d->root, d->netSupported, XCB_ATOM_ATOM, 0, 4096),
        nullptr);
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(c.get_property_value(reply));
        const int n = c.get_property_value_length(reply) / 4;
        for (int i = 0; i < n && !supported; ++i)
            supported = atoms[i] == d->netActiveWindow;
    }
    std::free(reply);
    if (!supported)
        return QStringLiteral("The window manager does not tell which window is active "
                              "(_NET_ACTIVE_WINDOW), so Banterly cannot find the chat window.");
    return QString();
}

PasteWindows::WindowId X11Paste::ActiveWindow()
{
    const Connection* d = Open();
    if (!d)
        return 0;
    const XcbFunctions& c = *d->c;
    xcb_get_property_reply_t* reply = c.get_property_reply(
        d->xcb, c.get_property(d->xcb, 0, d->root, d->netActiveWindow, XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    WindowId active = 0;
    if (reply && reply->format == 32 && c.get_property_value_length(reply) >= 4)
        active = *static_cast<const xcb_window_t*>(c.get_property_value(reply));
    std::free(reply);
    return active;
}

QSet<PasteWindows::WindowId> X11Paste::OwnWindows()
{
    QSet<WindowId> own;
    const Connection* d = Open();
    if (!d)
        return own;
    for (QWindow* w : QGuiApplication::allWindows()) {
        if (!w->handle())  // winId() would create the native window
            continue;
        xcb_window_t window = xcb_window_t(w->winId());
        // The window and the frames the window manager put around it.
        for (int depth = 0; window != 0 && depth < kMaxDepth; ++depth) {
            own.insert(window);
            window = Parent(*d->c, d->xcb, window);
        }
    }
    return own;
}

bool X11Paste::WindowExists(WindowId window)
{
    const Connection* d = Open();
    if (!d || window == 0)
        return false;
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply = d->c->get_window_attributes_reply(
        d->xcb, d->c->get_window_attributes(d->xcb, window), &error);
    const bool exists = reply != nullptr;
    std::free(reply);
    std::free(error);
    return exists;
}

bool X11Paste::FocusWithin(WindowId window)
{
    const Connection* d = Open();
    if (!d || window == 0)
        return false;
    xcb_get_input_focus_reply_t* reply =
        d->c->get_input_focus_reply(d->xcb, d->c->get_input_focus(d->xcb), nullptr);
    xcb_window_t focus = reply ? reply->focus : 0;
    std::free(reply);
    // The focus may sit on a child of the top-level window (a focus proxy).
    for (int depth = 0; focus > 1 && depth < kMaxDepth; ++depth) {  // 1 is PointerRoot
        if (focus == window)
            return true;
        focus = Parent(*d->c, d->xcb, focus);
    }
    return false;
}

void X11Paste::Activate(WindowId window)
{
    const Connection* d = Open();
    if (!d || window == 0)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = d->netActiveWindow;
    message.data.data32[0] = 2;  // on the user's behalf, as a pager or taskbar asks
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = 0;
    d->c->send_event(d->xcb, 0, d->root,
                     XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                     reinterpret_cast<const char*>(&message));
    d->c->flush(d->xcb);
}

void X11Paste::SendPasteKeys()
{
    const Connection* d = Open();
    if (!d || !d->hasXTest)
        return;
    const XlibFunctions& x = *d->x;
    const KeyCode control = x.KeysymToKeycode(d->xlib, XK_Control_L);
    const KeyCode v = x.KeysymToKeycode(d->xlib, XK_v);
    if (control == 0 || v == 0)
        return;
    // A Control key the user still holds (after Ctrl+C in the phrase list)
    // is left as it is: releasing it here would leave it up while held.
    char keys[32] = {};
    x.QueryKeymap(d->xlib, keys);
    const auto down = [&keys](KeyCode k) { return (keys[k / 8] >> (k % 8)) & 1; };
    const KeyCode controlR = x.KeysymToKeycode(d->xlib, XK_Control_R);
    const bool controlHeld = down(control) || (controlR != 0 && down(controlR));
    const auto key = d->xtest->FakeKeyEvent;
    if (!controlHeld)
        key(d->xlib, control, True, CurrentTime);
    key(d->xlib, v, True, CurrentTime);
    key(d->xlib, v, False, CurrentTime);
    if (!controlHeld)
        key(d->xlib, control, False, CurrentTime);
    x.Flush(d->xlib);
}

// The accessor lives here so that PasteWindows.h needs no implementation of
// its own to fall back on.
namespace {
PasteWindows* g_installed = nullptr;
}  // namespace

PasteWindows& pasteWindows()
{
    if (g_installed)
        return *g_installed;
    static X11Paste x11;
    return x11;
}

PasteWindows* SetPasteWindows(PasteWindows* windows)
{
    PasteWindows* previous = g_installed;
    g_installed = windows;
    return previous;
}
