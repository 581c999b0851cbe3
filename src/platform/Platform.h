#pragma once

#include <QDateTime>
#include <QRect>
#include <QString>

class QWidget;

struct VersionNumbers {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// The one door to the desktop. Everything the program takes from the windowing
// system, the clock, the process and the INI calls goes through here, so tests
// can put a recording fake in its place.
class Platform {
public:
    virtual ~Platform() = default;

    // Message box: OK button only, no icon, title "Banterly". Modal.
    virtual void MessageBox(const QString& text) = 0;
    // Modal input box with its top-left corner at (left, top) in twips.
    // Cancel gives the empty text.
    virtual QString InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText, double leftTwips, double topTwips) = 0;
    virtual void Beep() = 0;
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

    // The folder holding the program (no trailing separator) and the program
    // file's name without extension.
    virtual QString ProgramFolder() = 0;
    virtual QString ProgramFileName() = 0;
    virtual QDateTime Now() = 0;
    virtual double ScreenWidthTwips() = 0;
    virtual VersionNumbers Version() = 0;

    // Profile-string calls. ReadProfileString copies at most bufferSize - 1
    // characters of the value into `value` and returns how many it copied
    // (0 when the section or key is absent or the value is empty).
    virtual int ReadProfileString(const QString& section, const QString& key,
                                  const QString& defaultValue, QString& value, int bufferSize,
                                  const QString& file) = 0;
    virtual bool WriteProfileString(const QString& section, const QString& key,
                                    const QString& value, const QString& file) = 0;
};

// The platform in use. The program installs the Qt one at start-up; tests
// install a fake. Never null once installed.
Platform& platform();
// Installs a platform and returns the previous one (not owned).
Platform* SetPlatform(Platform* p);

// Formats the time of day in the system's time format (hours, minutes, seconds).
QString FormatTimeOfDay(const QTime& time);
