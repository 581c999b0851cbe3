#include "core/settings/Settings.h"

#include "core/files/ErrorLog.h"
#include "core/platform/Platform.h"

#include <QFileInfo>
#include <cmath>

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

// The six keys in the order a new file lists them, applied to the file's
// content together and written with one replace of the file.
bool WriteSettingsFile(const QString& iniFile, const QString& alwaysOnTop,
                       const QString& hidePhraseList, const QString& showStatFields,
                       const QString& contactFile, const QString& phraseList,
                       const QString& webSitesList)
{
    const QList<IniEdit> edits = {
        {QStringLiteral("general"), QStringLiteral("AlwaysOnTop"), alwaysOnTop},
        {QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"), hidePhraseList},
        {QStringLiteral("contacts"), QStringLiteral("ShowStatFields"), showStatFields},
        {QStringLiteral("contacts"), QStringLiteral("dataFile"), contactFile},
        {QStringLiteral("phrases"), QStringLiteral("PhraseList"), phraseList},
        {QStringLiteral("contacts"), QStringLiteral("WebSitesList"), webSitesList},
    };
    return platform().WriteProfileStrings(iniFile, edits);
}

QString Text(int16_t flag) { return QString::number(flag); }


} // namespace

bool WriteDefaultSettings(const QString& iniFile)
{
    const QString one = QStringLiteral("1");
    return WriteSettingsFile(iniFile, one, one, one, ProgramPath(QStringLiteral("chatcontacts.lis")),
                             ProgramPath(QStringLiteral("phrases.txt")),
                             ProgramPath(QStringLiteral("websites.lis")));
}

void Settings::SetDefaults(const QString& iniFile)
{
    IniFile = iniFile;
    ContactFilePath = ProgramPath(QStringLiteral("chatcontacts.lis"));
    PhraseListFile = ProgramPath(QStringLiteral("phrases.txt"));
    WebSitesListFile = ProgramPath(QStringLiteral("websites.lis"));
    AlwaysOnTop = 1;
    HidePhraseListWhenDbleClicked = 1;
    ShowStatFields = 1;
    PasteAfterCopy = 0;
}

void Settings::LoadSettings()
{
    const QString ini = ProgramPath(QStringLiteral("banterly.ini"));
    IniFile = ini;
    if (!QFileInfo(ini).isFile() && !WriteDefaultSettings(ini)) {
        // Nothing to read back: run with the defaults.
        SetDefaults(ini);
        emit problem(QStringLiteral("Could not create the settings file ") + ini +
                            QStringLiteral(". Banterly runs with the default settings."));
        emit loaded();
        return;
    }
    auto flag = [&ini](const QString& section, const QString& key) {
        return FlagFromText(ReadIni(ini, section, key), key);
    };
    ContactFilePath = ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("dataFile"));
    PhraseListFile = ReadIni(ini, QStringLiteral("phrases"), QStringLiteral("PhraseList"));
    WebSitesListFile = ReadIni(ini, QStringLiteral("contacts"), QStringLiteral("WebSitesList"));
    AlwaysOnTop = flag(QStringLiteral("general"), QStringLiteral("AlwaysOnTop"));
    HidePhraseListWhenDbleClicked =
        flag(QStringLiteral("phrases"), QStringLiteral("HidePhraseListWhenDbleClicked"));
    ShowStatFields = flag(QStringLiteral("contacts"), QStringLiteral("ShowStatFields"));
    PasteAfterCopy = FlagFromText(
        ReadIniQuietly(ini, QStringLiteral("phrases"), QStringLiteral("PasteAfterCopy")),
        QStringLiteral("PasteAfterCopy"));
    emit loaded();
}

bool Settings::SaveSettings()
{
    const bool saved =
        WriteSettingsFile(IniFile, Text(AlwaysOnTop), Text(HidePhraseListWhenDbleClicked),
                          Text(ShowStatFields), ContactFilePath, PhraseListFile, WebSitesListFile);
    if (!saved)
        emit problem(QStringLiteral("Could not save the settings to ") + IniFile +
                            QStringLiteral(". The options stay in effect until Banterly is "
                                           "closed; confirm them again to retry."));
    // The values are in effect for this run either way.
    emit changed();
    return saved;
}

bool Settings::SaveOptions(int16_t alwaysOnTop, int16_t hidePhraseList, int16_t showStatFields)
{
    struct Option {
        int16_t& held;
        int16_t chosen;
        const char* section;
        const char* key;
    };
    const Option options[3] = {
        {AlwaysOnTop, alwaysOnTop, "general", "AlwaysOnTop"},
        {HidePhraseListWhenDbleClicked, hidePhraseList, "phrases", "HidePhraseListWhenDbleClicked"},
        {ShowStatFields, showStatFields, "contacts", "ShowStatFields"},
    };
    QList<IniEdit> edits;
    unsigned written = 0;
    for (unsigned i = 0; i < 3; ++i) {
        const Option& o = options[i];
        if (o.held == o.chosen && !(m_unsavedOptions & (1u << i)))
            continue;
        o.held = o.chosen;
        edits.append({QString::fromLatin1(o.section), QString::fromLatin1(o.key), Text(o.chosen)});
        written |= 1u << i;
    }
    const bool saved = edits.isEmpty() || platform().WriteProfileStrings(IniFile, edits);
    if (saved) {
        m_unsavedOptions = 0;
    } else {
        m_unsavedOptions |= written;
        emit problem(QStringLiteral("Could not save the settings to ") + IniFile +
                     QStringLiteral(". The options stay in effect until Banterly is "
                                    "closed; confirm them again to retry."));
    }
    // The values are in effect for this run either way.
    emit changed();
    return saved;
}

bool Settings::SavePasteAfterCopy()
{
    if (WriteIni(QStringLiteral("phrases"), QStringLiteral("PasteAfterCopy"), Text(PasteAfterCopy),
                 IniFile))
        return true;
    emit problem(QStringLiteral("Could not save the settings to ") + IniFile +
                        QStringLiteral(". The option stays in effect until Banterly is closed; "
                                       "switch it again to retry."));
    return false;
}
