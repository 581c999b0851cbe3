#pragma once

#include "core/platform/Platform.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// A small INI editor that behaves like the Windows profile-string calls and
// keeps a hand-edited file as it is:
//  - section and key names match without regard to case;
//  - lines end with CR LF, CR or LF;
//  - key and value are trimmed of blanks and tabs, and one pair of matching
//    outer quotes (" or ') around a value is removed;
//  - lines starting with ';' are comments;
//  - the first of duplicate sections or keys wins;
//  - a write changes only the value's own characters on the one line it
//    changes (keeping the file's own spelling of the names, the blanks around
//    '=' and a pair of quotes), leaves the file as it is when the value is
//    already stored, appends a new key after the last key line of its
//    section and a new section at the end of the file, and leaves every other
//    byte alone. New lines end with CR LF.

namespace Ini {

// Looks a value up in the bytes of an INI file.
std::optional<QString> FindValue(const QByteArray& content, const QString& section,
                                 const QString& key);
// Returns the bytes of the file with one value set.
QByteArray SetValue(const QByteArray& content, const QString& section, const QString& key,
                    const QString& value);

// File versions. A missing or unreadable file has no values.
std::optional<QString> ReadValue(const QString& file, const QString& section, const QString& key);
// Replaces the file atomically. Returns false (with a reason) when it could
// not be written; the old file is then unchanged.
bool WriteValue(const QString& file, const QString& section, const QString& key,
                const QString& value, QString* error = nullptr);
// Sets the values in order and replaces the file once; a file that already
// holds them all is left alone.
bool WriteValues(const QString& file, const QList<IniEdit>& edits, QString* error = nullptr);

} // namespace Ini
