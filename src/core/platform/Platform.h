#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// One value to store in an INI file.
struct IniEdit {
    QString section;
    QString key;
    QString value;
    friend bool operator==(const IniEdit&, const IniEdit&) = default;
};

struct VersionNumbers {
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// What the code below the windows takes from its surroundings: the clock,
// the program's folder and version, the INI calls, and the one sink through
// which it tells the user of a failure. The program installs the desktop's
// implementation (message boxes); a run without windows writes to standard
// error; tests install a recording fake.
class Platform {
public:
    virtual ~Platform() = default;

    // The reporting sink: a message the user must see (in the program a
    // message box: OK button only, no icon, title "Banterly"; modal).
    virtual void MessageBox(const QString& text) = 0;
    // The system beep: a search that found nothing.
    virtual void Beep() = 0;

    // The folder holding the program's files (no trailing separator) and the
    // program file's name without extension.
    virtual QString ProgramFolder() = 0;
    virtual QString ProgramFileName() = 0;
    virtual QDateTime Now() = 0;
    virtual VersionNumbers Version() = 0;

    // Profile-string calls. ReadProfileString copies at most bufferSize - 1
    // characters of the value into `value` and returns how many it copied
    // (0 when the section or key is absent or the value is empty).
    virtual int ReadProfileString(const QString& section, const QString& key,
                                  const QString& defaultValue, QString& value, int bufferSize,
                                  const QString& file) = 0;
    virtual bool WriteProfileString(const QString& section, const QString& key,
                                    const QString& value, const QString& file) = 0;
    // Stores several values, in order, with one replace of the file: the
    // file ends up as the single writes one after another would leave it.
    // Nothing is written when it holds every value already.
    virtual bool WriteProfileStrings(const QString& file, const QList<IniEdit>& edits) = 0;
};

// The platform in use; never null once installed.
Platform& platform();
// Installs a platform and returns the previous one (not owned).
Platform* SetPlatform(Platform* p);

// Formats the time of day in the system's time format (hours, minutes, seconds).
QString FormatTimeOfDay(const QTime& time);
