#pragma once

#include <QString>
#include <QStringList>

// The copies a sync program leaves beside a file when it received another
// machine's version while this one had changed too: the version that lost,
// under a name of one of these forms (for chatcontacts.lis):
//   chatcontacts.sync-conflict-20261210-013012-ABCDEF7.lis
//   chatcontacts (conflicted copy 2026-12-10 013012).lis
//   chatcontacts (laptop's conflicted copy 2026-12-10).lis
// Matched strictly: a file that only looks like one is never merged or
// moved.

// Whether `name` (a file name without its folder) is a conflict copy of the
// file named `fileName`.
bool IsConflictCopyName(const QString& name, const QString& fileName);

// The conflict copies of the file lying beside it (regular files only), by
// name.
QStringList ConflictCopiesOf(const QString& filePath);

// The claim of one running copy of the program on a conflict copy, held
// while it merges and moves it: two copies of the program on the same data
// file (two program folders whose settings name it) both see the copy, and
// only one may take it. Not held when another copy holds it, or when the
// name no longer leads to the file that was locked (it was moved already).
class ConflictCopyClaim {
public:
    explicit ConflictCopyClaim(const QString& copyPath);
    ~ConflictCopyClaim();
    ConflictCopyClaim(const ConflictCopyClaim&) = delete;
    ConflictCopyClaim& operator=(const ConflictCopyClaim&) = delete;
    bool Held() const { return m_fd >= 0; }
    // Another copy of the program holds it, or took it away already.
    bool TakenElsewhere() const { return m_elsewhere; }

private:
    int m_fd = -1;
    bool m_elsewhere = false;
};

// Moves a conflict copy into the backups folder of the file it belongs to,
// under its own name, or the first free "name (2).ext", "name (3).ext" …
// when that is taken; never over another file. Returns the new path, or an
// empty path with the reason in `error`.
QString MoveConflictCopyToBackups(const QString& copyPath, const QString& filePath,
                                  QString* error = nullptr);
