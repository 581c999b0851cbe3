#pragma once

#include <QString>

#include <functional>

// Keeps the previous version of every data file in the backups folder beside
// it before the file is replaced, thins the kept versions out after a
// successful save, and notices a data file changed outside the program since
// it was read or written: that version is kept too, pinned (never thinned
// out), and the user is told once where it is before the program's own
// content is saved as asked. When that version, or the one a restore
// replaces, cannot be kept, the file is not replaced: the save fails with the
// reason and the program keeps its content in memory.

// How the user learns that a file changed by another program was kept
// before the program's own content was written over it. The program passes
// its reporter (the log and a message box, or standard error).
using TellUser = std::function<void(const QString& message)>;

// Installs the keeper for this run (the atomic writer calls it).
void KeepPreviousVersions(TellUser tellUser);

// Remembers the file as the program has just read it; only remembered files
// are checked for outside changes.
void RememberDataFile(const QString& fileName);
