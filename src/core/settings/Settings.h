#pragma once

#include <QString>
#include <cstdint>

// The settings held from banterly.ini for the whole run.
struct SettingsValues {
    QString IniFile;           // program folder + "/banterly.ini"
    QString ContactFilePath;   // [contacts] dataFile
    QString PhraseListFile;    // [phrases] PhraseList
    QString WebSitesListFile;  // [contacts] WebSitesList (kept, never opened)
    int16_t AlwaysOnTop = 0;                    // [general] AlwaysOnTop: 1 = toolbar on top
    int16_t HidePhraseListWhenDbleClicked = 0;  // [phrases]: 1 = hide after a double click
    int16_t ShowStatFields = 0;                 // [contacts]: not 0 = stat fields shown
    // [phrases]: 1 = a copied phrase is pasted into the chat window. Optional:
    // absent means 0, and the default file does not list it.
    int16_t PasteAfterCopy = 0;
};

extern SettingsValues Settings;

// Creates banterly.ini with defaults when it is missing, then reads it.
void LoadSettings();
// Both return false when a write failed. SaveSettings has then told the user
// (message box and log) and the values stay in memory for the next try.
bool WriteDefaultSettings(const QString& iniFile);
bool SaveSettings();
// Writes [phrases] PasteAfterCopy alone (the rest of the file stays as it
// is); false, after telling the user, when the write failed.
bool SavePasteAfterCopy();

// The value of a key, trimmed; empty (and a warning in the log) when absent.
QString ReadIni(const QString& iniFile, const QString& section, const QString& key);
// The same for an optional key: empty, and nothing logged, when absent.
QString ReadIniQuietly(const QString& iniFile, const QString& section, const QString& key);
bool WriteIni(const QString& section, const QString& key, const QString& value,
              const QString& iniFile);
QString CutAtNull(const QString& text);

// A flag read from the text of a key: the leading decimal number, rounded to
// the nearest whole number (halves to even). A number that does not fit 16
// bits is logged and gives 0.
int16_t FlagFromText(const QString& text, const QString& keyForLog = QString());
