#include "settings/Settings.h"

#include "app/WindowControl.h"
#include "app/Windows.h"
#include "app/frmToolbar1.h"
#include "contacts/ContactStore.h"
#include "contacts/frmContactDetails.h"
#include "files/ErrorLog.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <cmath>

SettingsValues Settings;

namespace {

constexpr int kIniBufferSize = 32000;

QString ProgramPath(const QString& fileName)
{
    return platform().ProgramFolder() + QLatin1Char('/') + fileName;
}

} // namespace

QString CutAtNull(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString ReadIni(const QString& iniFile, const QString& section, const QString& key)
{
    Platform& p = platform();
    QString buffer;
    int copied = p.ReadProfileString(section, key, QString(), buffer, kIniBufferSize, iniFile);
    if (copied < 1)
        copied = p.ReadProfileString(section, key, QString(), buffer, kIniBufferSize, iniFile);
    if (copied < 1) {
        LogError(QStringLiteral("Warning - failed to read INI :file=") + iniFile +
                 QStringLiteral("    sect=") + section + QStringLiteral("   key=") + key);
        return QString();
    }
    return CutAtNull(buffer).trimmed();
}

void WriteIni(const QString& section, const QString& key, const QString& value,
              const QString& iniFile)
{
    platform().WriteProfileString(section, key, value, iniFile);
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
    if (!ok)
        return 0;
    const double rounded = std::nearbyint(number);
    if (rounded < -32768.0 || rounded > 32767.0) {
        LogError(QStringLiteral("Warning - INI value out of range :key=") + keyForLog +
                 QStringLiteral("   value=") + t);
        return 0;
    }
    return static_cast<int16_t>(rounded);
}

void WriteDefaultSettings(const QString& iniFile)
{
    WriteIni(QStringLiteral("general"), QStringLiteral("AlwaysOnTop"), QStringLiteral("1"), iniFile);
    WriteIni(QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"),
             QStringLiteral("1"), iniFile);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("ShowStatFields"), QStringLiteral("1"),
             iniFile);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("dataFile"),
             ProgramPath(QStringLiteral("chatcontacts.lis")), iniFile);
    WriteIni(QStringLiteral("phrases"), QStringLiteral("PhraseList"),
             ProgramPath(QStringLiteral("phrases.txt")), iniFile);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("WebSitesList"),
             ProgramPath(QStringLiteral("websites.lis")), iniFile);
}

void LoadSettings()
{
    Settings.IniFile = ProgramPath(QStringLiteral("banterly.ini"));
    if (!QFileInfo::exists(Settings.IniFile))
        WriteDefaultSettings(Settings.IniFile);
    const QString& ini = Settings.IniFile;
    Settings.ContactFilePath = ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("dataFile"));
    ContactStore.ContactFilePath = Settings.ContactFilePath;
    Settings.PhraseListFile = ReadIni(ini, QStringLiteral("phrases"), QStringLiteral("PhraseList"));
    Settings.WebSitesListFile =
        ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("WebSitesList"));
    Settings.AlwaysOnTop =
        FlagFromText(ReadIni(ini, QStringLiteral("general"), QStringLiteral("AlwaysOnTop")),
                     QStringLiteral("AlwaysOnTop"));
    Settings.HidePhraseListWhenDbleClicked = FlagFromText(
        ReadIni(ini, QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked")),
        QStringLiteral("HidePhraseListWhenDbleClicked"));
    Settings.ShowStatFields =
        FlagFromText(ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("ShowStatFields")),
                     QStringLiteral("ShowStatFields"));
}

void SaveSettings()
{
    const QString& ini = Settings.IniFile;
    WriteIni(QStringLiteral("general"), QStringLiteral("AlwaysOnTop"),
             QString::number(Settings.AlwaysOnTop), ini);
    WriteIni(QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"),
             QString::number(Settings.HidePhraseListWhenDbleClicked), ini);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("ShowStatFields"),
             QString::number(Settings.ShowStatFields), ini);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("dataFile"), Settings.ContactFilePath, ini);
    WriteIni(QStringLiteral("phrases"), QStringLiteral("PhraseList"), Settings.PhraseListFile, ini);
    WriteIni(QStringLiteral("contacts"), QStringLiteral("WebSitesList"), Settings.WebSitesListFile,
             ini);
}

void ApplySettings()
{
    frmContactDetails& card = ContactDetails();
    card.SetStatFieldsVisible(Settings.ShowStatFields != 0);
    SetTopmost(Toolbar(), Settings.AlwaysOnTop == 1 ? -1 : 0);
}
