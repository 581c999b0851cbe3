// The INI editor on arbitrary bytes: reading never crashes, and a value
// written is the value read back, with every byte before the changed line
// kept. Works on bytes in memory only (no platform, no files).
#include "core/platform/IniFile.h"

#include <cstdint>
#include <cstdlib>

namespace {
void Check(const QByteArray& content, const QString& section, const QString& key,
           const QString& value)
{
    (void)Ini::FindValue(content, section, key);
    const QByteArray written = Ini::SetValue(content, section, key, value);
    const std::optional<QString> back = Ini::FindValue(written, section, key);
    if (!back || *back != value)
        std::abort();
    // Writing the same value again changes nothing.
    if (Ini::SetValue(written, section, key, value) != written)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(content, QStringLiteral("general"), QStringLiteral("AlwaysOnTop"), QStringLiteral("1"));
    Check(content, QStringLiteral("Contacts"), QStringLiteral("datafile"),
          QStringLiteral("/home/Ren\u00e9/chatcontacts.lis"));
    // Names taken from the input's first line, as a hostile file might.
    const qsizetype nl = content.indexOf('\n');
    if (nl > 0) {
        const QString name = QString::fromUtf8(content.first(nl)).simplified();
        if (!name.isEmpty() && !name.contains(u'=') && !name.contains(u']') &&
            !name.startsWith(u';') && !name.startsWith(u'[') &&
            !name.startsWith(QChar(0xFEFF)))  // a byte order mark is not read as text
            Check(content, name, name, QStringLiteral("v"));
    }
    return 0;
}
