#include "core/platform/SystemPlatform.h"

#include "core/platform/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cstdio>

SystemPlatform::SystemPlatform(const QString& programFolder) : m_programFolder(programFolder) {}

void SystemPlatform::MessageBox(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void SystemPlatform::Beep() {}

QString ChooseProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    // A real write test: the permission bits do not tell about read-only
    // mounts and access lists.
    QTemporaryFile probe(executableFolder + QStringLiteral("/.banterly-write-test-XXXXXX"));
    if (probe.open())
        return executableFolder;
    // The folder holds the user's contacts: theirs alone when it is made.
    QDir().mkpath(QFileInfo(userDataFolder).path());
    QDir().mkdir(userDataFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    return userDataFolder;
}

QString DefaultProgramFolder()
{
    return ChooseProgramFolder(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString SystemPlatform::ProgramFolder()
{
    if (m_programFolder.isEmpty())
        m_programFolder = DefaultProgramFolder();
    return m_programFolder;
}

QString SystemPlatform::ProgramFileName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QDateTime SystemPlatform::Now() { return QDateTime::currentDateTime(); }

VersionNumbers SystemPlatform::Version()
{
    return {BANTERLY_VERSION_MAJOR, BANTERLY_VERSION_MINOR, BANTERLY_VERSION_REVISION};
}

int SystemPlatform::ReadProfileString(const QString& section, const QString& key,
                                      const QString& defaultValue, QString& value, int bufferSize,
                                      const QString& file)
{
    const std::optional<QString> found = Ini::ReadValue(file, section, key);
    value = found.value_or(defaultValue).left(qMax(0, bufferSize - 1));
    return int(value.size());
}

bool SystemPlatform::WriteProfileString(const QString& section, const QString& key,
                                        const QString& value, const QString& file)
{
    return Ini::WriteValue(file, section, key, value);
}

bool SystemPlatform::WriteProfileStrings(const QString& file, const QList<IniEdit>& edits)
{
    return Ini::WriteValues(file, edits);
}
