#pragma once

#include "core/platform/Platform.h"

// The platform of a run: the real clock, the program's folder, the INI
// editor. Failures go to standard error, so it serves runs without windows
// as it is; the desktop's platform shows them in message boxes instead.
class SystemPlatform : public Platform {
public:
    // The folder is chosen on first use unless given here.
    explicit SystemPlatform(const QString& programFolder = QString());

    void MessageBox(const QString& text) override;
    void Beep() override;
    QString ProgramFolder() override;
    QString ProgramFileName() override;
    QDateTime Now() override;
    VersionNumbers Version() override;
    int ReadProfileString(const QString& section, const QString& key, const QString& defaultValue,
                          QString& value, int bufferSize, const QString& file) override;
    bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                            const QString& file) override;
    bool WriteProfileStrings(const QString& file, const QList<IniEdit>& edits) override;

private:
    QString m_programFolder;
};

// Where the program keeps its files. A portable copy (the build folder, a
// copied program) keeps them beside itself when that folder can be written;
// an installed copy, and one whose folder cannot be written, in the per-user
// application data folder.
QString ChooseProgramFolder(const QString& executableFolder, const QString& userDataFolder);
// A system program folder (/usr/bin, /usr/local/bin, /opt/...) or the bin
// folder of an installed tree (its share/applications holds the desktop entry).
bool IsInstalledProgramFolder(const QString& executableFolder);
// The same for this run's executable.
QString DefaultProgramFolder();
