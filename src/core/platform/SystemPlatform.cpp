#include "core/platform/SystemPlatform.h"

#include "core/platform/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

bool IsInstalledProgramFolder(const QString& executableFolder)
{
    const QString folder = QDir::cleanPath(QDir(executableFolder).absolutePath());
    static const QStringList kSystemFolders = {
        QStringLiteral("/usr/bin"),   QStringLiteral("/usr/local/bin"), QStringLiteral("/bin"),
        QStringLiteral("/usr/games"), QStringLiteral("/usr/local/games")};
    if (kSystemFolders.contains(folder) || folder.startsWith(QStringLiteral("/opt/")))
        return true;
    // Installed under another prefix: the install rules put the desktop entry
    // in <prefix>/share/applications beside <prefix>/bin.
    return QFileInfo::exists(folder +
                             QStringLiteral("/../share/applications/org.example.Banterly.desktop"));
}

namespace {
// Earlier versions, run as root, kept their files beside the installed
// program. The first start with a per-user folder that has no settings yet
// copies them there (the old files stay as they are), and the settings that
// named the old place name the new one; settings naming other places keep
// them.
void CarryOverEarlierFiles(const QString& programFolder, const QString& userDataFolder)
{
    const QDir from(programFolder), to(userDataFolder);
    const QString ini = QStringLiteral("banterly.ini");
    if (to.exists(ini) || !from.exists(ini))
        return;
    // The settings last: a start cut short before them tries again.
    for (const char* name : {"chatcontacts.lis", "phrases.txt", "websites.lis", "banterly.ini"}) {
        const QString file = QString::fromLatin1(name);
        if (from.exists(file) && !to.exists(file))
            QFile::copy(from.filePath(file), to.filePath(file));
    }
    const struct {
        const char* section;
        const char* key;
    } kPaths[] = {{"contacts", "dataFile"}, {"phrases", "PhraseList"}, {"contacts", "WebSitesList"}};
    for (const auto& path : kPaths) {
        const QString section = QString::fromLatin1(path.section);
        const QString key = QString::fromLatin1(path.key);
        const std::optional<QString> value = Ini::ReadValue(to.filePath(ini), section, key);
        if (!value)
            continue;
        const QFileInfo old(value->trimmed());
        if (QDir::cleanPath(old.absolutePath()) == QDir::cleanPath(from.absolutePath()))
            Ini::WriteValue(to.filePath(ini), section, key, to.filePath(old.fileName()));
    }
}
} // namespace

QString ChooseProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    // An installed copy never writes among the system's programs, even when
    // it could (run as root). A portable one is given a real write test: the
    // permission bits do not tell about read-only mounts and access lists.
    const bool installed = IsInstalledProgramFolder(executableFolder);
    if (!installed) {
        QTemporaryFile probe(executableFolder + QStringLiteral("/.banterly-write-test-XXXXXX"));
        if (probe.open())
            return executableFolder;
    }
    // The folder holds the user's contacts: theirs alone when it is made.
    QDir().mkpath(QFileInfo(userDataFolder).path());
    QDir().mkdir(userDataFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    if (installed)
        CarryOverEarlierFiles(executableFolder, userDataFolder);
    return userDataFolder;
}

QString DefaultProgramFolder()
{
    // Before the application object exists (a start that only hands over
    // makes none) the executable is found through /proc.
    const QString executableFolder =
        QCoreApplication::instance()
            ? QCoreApplication::applicationDirPath()
            : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return ChooseProgramFolder(executableFolder,
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
