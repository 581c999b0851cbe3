#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text files are written as UTF-8. Reading accepts UTF-8; a line whose bytes
// are not valid UTF-8 comes from an older installation and is read as
// Windows-1252.
QString DecodeLine(QByteArrayView bytes);
QString DecodeWindows1252(QByteArrayView bytes);
bool IsValidUtf8(QByteArrayView bytes);
// UTF-8 bytes as text, keeping a leading U+FEFF as the character it is:
// QString::fromUtf8 drops one, which would change a field that starts with it.
QString Utf8Text(QByteArrayView bytes);
inline QByteArray EncodeLine(const QString& text) { return text.toUtf8(); }
