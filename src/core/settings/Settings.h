#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

// The settings held from banterly.ini for the whole run. One object, handed
// by reference to whoever reads or changes it; it says when its values
// changed, and what the user must be told when the file could not be written.
class Settings : public QObject {
    Q_OBJECT
public:
    explicit Settings(QObject* parent = nullptr) : QObject(parent) {}

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

    // Creates banterly.ini with defaults when it is missing, then reads it;
    // emits loaded().
    void LoadSettings();
    // Writes the six values into banterly.ini with one replace of the file
    // (nothing is written when the file holds them already), then emits
    // changed(). False when the write failed: problem() has been emitted,
    // and the values stay in memory for the next try.
    bool SaveSettings();
    // Options OK: takes the three options and writes into banterly.ini only
    // the keys the user changed (and any whose last write failed), with one
    // replace of the file; every other key stays as the file holds it now,
    // so hand edits made meanwhile survive. Then emits changed(). False when
    // the write failed: problem() has been emitted, the values are in effect
    // and the next OK writes them again.
    bool SaveOptions(int16_t alwaysOnTop, int16_t hidePhraseList, int16_t showStatFields);
    // Writes [phrases] PasteAfterCopy alone (the rest of the file stays as it
    // is); false, after problem(), when the write failed.
    bool SavePasteAfterCopy();

signals:
    // After a load. The values are only taken into effect on the windows
    // when the user confirms them (changed()), not at start-up.
    void loaded();
    // After the values were set and saved (also when the save failed: they
    // are in effect for this run).
    void changed();
    // A failure the user must be told of (the reporter logs and shows it).
    void problem(const QString& message);

private:
    void SetDefaults(const QString& iniFile);

    // The options (bits 0 to 2, in the order of SaveOptions) whose last
    // write failed.
    unsigned m_unsavedOptions = 0;
};

// Writes the six default values into a new settings file; false when the
// write failed.
bool WriteDefaultSettings(const QString& iniFile);

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
