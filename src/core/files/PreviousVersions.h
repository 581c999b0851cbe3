#pragma once

#include <QString>

// Keeps the previous version of every data file in the backups folder beside
// it before the file is replaced, thins the kept versions out after a
// successful save, and notices a data file changed outside the program since
// it was read or written: that version is kept too, and the user is told once
// where it is before the program's own content is saved as asked.

// Installs the keeper for this run (the atomic writer calls it).
void KeepPreviousVersions();
// While one lives, a file replaced several times (the settings file, written
// a value at a time) keeps only the version it had before the first
// replace: the ones in between are the program's own half-written states.
class OneVersionPerSave {
public:
    OneVersionPerSave();
    ~OneVersionPerSave();
    OneVersionPerSave(const OneVersionPerSave&) = delete;
    OneVersionPerSave& operator=(const OneVersionPerSave&) = delete;
};

// Remembers the file as the program has just read it; only remembered files
// are checked for outside changes.
void RememberDataFile(const QString& fileName);
