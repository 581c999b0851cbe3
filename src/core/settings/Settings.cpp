#include "core/settings/Settings.h"

#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/Platform.h"

#include <QFileInfo>
#include <cmath>

SettingsValues Settings;

namespace {

constexpr int kIniBufferSize = 32000;

QString ProgramPath(const QString& fileName)
{
    return platform().ProgramFolder() + QLatin1Char('/') + fileName;
}

// A settings file that could not be written is worth telling the user about:
// otherwise a confirmed change would silently be gone at the next start.
void ReportWriteFailure(const QString& message) { ReportFailure(message); }

} // namespace

QString CutAtNull(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

namespace {

// The trimmed value, or a null string when the key is absent or empty.
QString ReadIniValue(const QString& iniFile, const QString& section, const QString& key)
{
    Platform& p = platform();
    QString buffer;
    int copied = p.ReadProfileString(section, key, QString(), buffer, kIniBufferSize, iniFile);
    if (copied < 1)
        copied = p.ReadProfileString(section, key, QString(), buffer, kIniBufferSize, iniFile);
    if (copied < 1)
        return QString();
    return CutAtNull(buffer).trimmed();
}

} // namespace

QString ReadIni(const QString& iniFile, const QString& section, const QString& key)
{
    const QString value = ReadIniValue(iniFile, section, key);
    if (value.isNull())
        LogError(QStringLiteral("Warning - failed to read INI :file=") + iniFile +
                 QStringLiteral("    sect=") + section + QStringLiteral("   key=") + key);
    return value;
}

QString ReadIniQuietly(const QString& iniFile, const QString& section, const QString& key)
{
    return ReadIniValue(iniFile, section, key);
}

bool WriteIni(const QString& section, const QString& key, const QString& value,
              const QString& iniFile)
{
    return platform().WriteProfileString(section, key, value, iniFile);
}

int16_t FlagFromText(const QString& text, const QString& keyForLog)
{
    const QString t = text.trimmed();
    // Leading number: optional sign, digits, optional fraction.
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        ++i;
    const qsizetype digitsStart = i;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 128)
        ++i;
    qsizetype intDigits = i - digitsStart;
    qsizetype fracDigits = 0;
    if (i < t.size() && t[i] == u'.') {
        qsizetype j = i + 1;
        while (j < t.size() && t[j].isDigit() && t[j].unicode() < 128)
            ++j;
        fracDigits = j - i - 1;
        if (fracDigits > 0 || intDigits > 0)
            i = j;
    }
    if (intDigits == 0 && fracDigits == 0)
        return 0;
    bool ok = false;
    const double number = t.left(i).toDouble(&ok);
    const double rounded = std::nearbyint(number);
    if (!ok || !(rounded >= -32768.0 && rounded <= 32767.0)) {
        LogError(QStringLiteral("Warning - INI value out of range :key=") + keyForLog +
                 QStringLiteral("   value=") + t);
        return 0;
    }
    return static_cast<int16_t>(rounded);
}

namespace {

SettingsValues DefaultSettings(const QString& iniFile)
{
    SettingsValues v;
    v.IniFile = iniFile;
    v.ContactFilePath = ProgramPath(QStringLiteral("chatcontacts.lis"));
    v.PhraseListFile = ProgramPath(QStringLiteral("phrases.txt"));
    v.WebSitesListFile = ProgramPath(QStringLiteral("websites.lis"));
    v.AlwaysOnTop = 1;
    v.HidePhraseListWhenDbleClicked = 1;
    v.ShowStatFields = 1;
    return v;
}

// The six keys in the order a new file lists them. Each write is tried even
// after one failed; every write replaces the file whole, so it stays sound.
bool WriteSettingsFile(const SettingsValues& v, const QString& iniFile)
{
    const OneVersionPerSave oneVersion;
    bool ok = WriteIni(QStringLiteral("general"), QStringLiteral("AlwaysOnTop"),
                       QString::number(v.AlwaysOnTop), iniFile);
    ok &= WriteIni(QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"),
                   QString::number(v.HidePhraseListWhenDbleClicked), iniFile);
    ok &= WriteIni(QStringLiteral("contacts"), QStringLiteral("ShowStatFields"),
                   QString::number(v.ShowStatFields), iniFile);
    ok &= WriteIni(QStringLiteral("contacts"), QStringLiteral("dataFile"), v.ContactFilePath,
                   iniFile);
    ok &= WriteIni(QStringLiteral("phrases"), QStringLiteral("PhraseList"), v.PhraseListFile,
                   iniFile);
    ok &= WriteIni(QStringLiteral("contacts"), QStringLiteral("WebSitesList"), v.WebSitesListFile,
                   iniFile);
    return ok;
}

int16_t ReadFlag(const QString& section, const QString& key)
{
    return FlagFromText(ReadIni(Settings.IniFile, section, key), key);
}

} // namespace

bool WriteDefaultSettings(const QString& iniFile)
{
    return WriteSettingsFile(DefaultSettings(iniFile), iniFile);
}

void LoadSettings()
{
    const QString ini = ProgramPath(QStringLiteral("banterly.ini"));
    Settings.IniFile = ini;
    if (!QFileInfo(ini).isFile() && !WriteDefaultSettings(ini)) {
        // Nothing to read back: run with the defaults.
        ReportWriteFailure(QStringLiteral("Could not create the settings file ") + ini +
                           QStringLiteral(". Banterly runs with the default settings."));
        Settings = DefaultSettings(ini);
        return;
    }
    Settings.ContactFilePath = ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("dataFile"));
    Settings.PhraseListFile = ReadIni(ini, QStringLiteral("phrases"), QStringLiteral("PhraseList"));
    Settings.WebSitesListFile =
        ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("WebSitesList"));
    Settings.AlwaysOnTop = ReadFlag(QStringLiteral("general"), QStringLiteral("AlwaysOnTop"));
    Settings.HidePhraseListWhenDbleClicked =
        ReadFlag(QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"));
    Settings.ShowStatFields = ReadFlag(QStringLiteral("contacts"), QStringLiteral("ShowStatFields"));
    Settings.PasteAfterCopy = FlagFromText(
        ReadIniQuietly(ini, QStringLiteral("phrases"), QStringLiteral("PasteAfterCopy")),
        QStringLiteral("PasteAfterCopy"));
}

bool SaveSettings()
{
    if (WriteSettingsFile(Settings, Settings.IniFile))
        return true;
    ReportWriteFailure(QStringLiteral("Could not save the settings to ") + Settings.IniFile +
                       QStringLiteral(". The options stay in effect until Banterly is closed; "
                                      "confirm them again to retry."));
    return false;
}


bool SavePasteAfterCopy()
{
    if (WriteIni(QStringLiteral("phrases"), QStringLiteral("PasteAfterCopy"),
                 QString::number(Settings.PasteAfterCopy), Settings.IniFile))
        return true;
    ReportWriteFailure(QStringLiteral("Could not save the settings to ") + Settings.IniFile +
                       QStringLiteral(". The option stays in effect until Banterly is closed; "
                                      "switch it again to retry."));
    return false;
}
