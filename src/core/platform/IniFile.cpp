#include "core/platform/IniFile.h"

#include "core/platform/AtomicFile.h"
#include "core/platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <vector>

namespace Ini {
namespace {

struct Line {
    qsizetype start = 0;   // offset of the first byte
    qsizetype end = 0;     // offset after the text, before the line ending
    qsizetype next = 0;    // offset after the line ending
};

std::vector<Line> SplitLines(const QByteArray& content)
{
    std::vector<Line> lines;
    const qsizetype n = content.size();
    // Editors may put a UTF-8 byte order mark before the first line; it is
    // kept but not taken as part of that line.
    qsizetype i = content.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (i < n) {
        Line line;
        line.start = i;
        while (i < n && content[i] != '\r' && content[i] != '\n')
            ++i;
        line.end = i;
        if (i < n && content[i] == '\r')
            ++i;
        if (i < n && content[i] == '\n' && (i == line.end || content[i - 1] == '\r'))
            ++i;
        line.next = i;
        lines.push_back(line);
    }
    return lines;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView Trim(QByteArrayView v)
{
    qsizetype a = 0, b = v.size();
    while (a < b && IsBlank(v[a]))
        ++a;
    while (b > a && IsBlank(v[b - 1]))
        --b;
    return v.sliced(a, b - a);
}

enum class Kind { Other, Comment, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    QByteArrayView name;   // section or key name as written, trimmed
    QByteArrayView value;  // raw value, trimmed (keys only)
};

Parsed Parse(const QByteArray& content, const Line& line)
{
    Parsed p;
    QByteArrayView text = Trim(QByteArrayView(content).sliced(line.start, line.end - line.start));
    if (text.isEmpty())
        return p;
    if (text[0] == ';') {
        p.kind = Kind::Comment;
    } else if (text[0] == '[') {
        const qsizetype close = text.indexOf(']');
        p.kind = Kind::Section;
        p.name = Trim(close < 0 ? text.sliced(1) : text.sliced(1, close - 1));
    } else {
        const qsizetype eq = text.indexOf('=');
        if (eq < 0)
            return p;
        p.kind = Kind::Key;
        p.name = Trim(text.first(eq));
        p.value = Trim(text.sliced(eq + 1));
    }
    return p;
}

bool SameName(QByteArrayView written, const QString& wanted)
{
    return DecodeLine(written).compare(wanted, Qt::CaseInsensitive) == 0;
}

// A value without one pair of matching outer quotes (" or ').
QByteArrayView InsideQuotes(QByteArrayView v)
{
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v[v.size() - 1] == v[0])
        return v.sliced(1, v.size() - 2);
    return v;
}

QString Unquote(QByteArrayView v) { return DecodeLine(InsideQuotes(v)); }

// Strips line breaks so that one value stays one line.
QByteArray OneLine(const QString& text)
{
    QByteArray bytes = EncodeLine(text);
    bytes.replace('\r', "").replace('\n', "");
    return bytes;
}

// Where a section and key sit in the file.
struct Location {
    int sectionLine = -1;   // index of the first matching section header
    int keyLine = -1;       // index of the first matching key line in it
    int lastKeyLine = -1;   // last key line of that section
};

Location Locate(const QByteArray& content, const std::vector<Line>& lines,
                const QString& section, const QString& key)
{
    Location loc;
    bool inSection = false;
    for (int i = 0; i < int(lines.size()); ++i) {
        const Parsed p = Parse(content, lines[i]);
        if (p.kind == Kind::Section) {
            if (inSection)
                break;  // the first matching section has ended
            if (SameName(p.name, section)) {
                inSection = true;
                loc.sectionLine = i;
            }
        } else if (inSection && p.kind == Kind::Key) {
            loc.lastKeyLine = i;
            if (loc.keyLine < 0 && SameName(p.name, key))
                loc.keyLine = i;
        }
    }
    return loc;
}

} // namespace

std::optional<QString> FindValue(const QByteArray& content, const QString& section,
                                 const QString& key)
{
    const std::vector<Line> lines = SplitLines(content);
    const Location loc = Locate(content, lines, section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    return Unquote(Parse(content, lines[loc.keyLine]).value);
}

QByteArray SetValue(const QByteArray& content, const QString& section, const QString& key,
                    const QString& value)
{
    const std::vector<Line> lines = SplitLines(content);
    const Location loc = Locate(content, lines, section, key);
    const QByteArray crlf("\r\n");
    QByteArray out;
    out.reserve(content.size() + key.size() + value.size() + section.size() + 8);

    if (loc.sectionLine < 0) {
        out = content;
        if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r'))
            out += crlf;
        out += '[' + OneLine(section) + ']' + crlf + OneLine(key) + '=' + OneLine(value) + crlf;
        return out;
    }
    if (loc.keyLine >= 0) {
        // Only the value's own characters change: the key's spelling, the
        // blanks around the equals sign and a pair of quotes stay as written,
        // and a value that is already stored leaves the file as it is.
        const Parsed p = Parse(content, lines[loc.keyLine]);
        if (Unquote(p.value) == value)
            return content;
        const QByteArrayView inner = InsideQuotes(p.value);
        const qsizetype from = inner.data() - content.constData();
        const qsizetype to = from + inner.size();
        out.append(content.constData(), from);
        out.append(OneLine(value));
        out.append(content.constData() + to, content.size() - to);
        return out;
    }
    const int after = loc.lastKeyLine >= 0 ? loc.lastKeyLine : loc.sectionLine;
    const Line& line = lines[after];
    out.append(content.constData(), line.next);
    if (line.next == line.end)  // the last line had no line ending
        out += crlf;
    out += OneLine(key) + '=' + OneLine(value) + crlf;
    out.append(content.constData() + line.next, content.size() - line.next);
    return out;
}

namespace {

// An INI file is small; a larger one (or a device such as /dev/zero behind a
// link) is not a settings file.
constexpr qint64 kMaxIniBytes = 4 * 1024 * 1024;

enum class Load { Missing, Loaded, Refused };

// Reads the whole file. Anything but an ordinary file of a sane size is
// refused, so that a write never replaces what it could not read.
Load ReadWhole(const QString& file, QByteArray& content, QString* error)
{
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink())
        return Load::Missing;
    auto refuse = [&](const QString& why) {
        if (error)
            *error = why;
        return Load::Refused;
    };
    if (!info.isFile())
        return refuse(QStringLiteral("not an ordinary file"));
    if (info.size() > kMaxIniBytes)
        return refuse(QStringLiteral("the file is too large to be a settings file"));
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return refuse(f.errorString());
    content = f.read(kMaxIniBytes + 1);
    if (f.error() != QFileDevice::NoError)
        return refuse(f.errorString());
    if (content.size() > kMaxIniBytes)
        return refuse(QStringLiteral("the file is too large to be a settings file"));
    return Load::Loaded;
}

} // namespace

std::optional<QString> ReadValue(const QString& file, const QString& section, const QString& key)
{
    QByteArray content;
    if (ReadWhole(file, content, nullptr) != Load::Loaded)
        return std::nullopt;
    return FindValue(content, section, key);
}

bool WriteValue(const QString& file, const QString& section, const QString& key,
                const QString& value, QString* error)
{
    QByteArray content;
    if (ReadWhole(file, content, error) == Load::Refused)
        return false;
    OsError failure;
    if (!WriteFileAtomically(file, SetValue(content, section, key, value), &failure,
                             PreviousVersion::Keep)) {
        if (error)
            *error = failure.description;
        return false;
    }
    return true;
}

bool WriteValues(const QString& file, const QList<IniEdit>& edits, QString* error)
{
    QByteArray content;
    const Load load = ReadWhole(file, content, error);
    if (load == Load::Refused)
        return false;
    QByteArray changed = content;
    for (const IniEdit& edit : edits)
        changed = SetValue(changed, edit.section, edit.key, edit.value);
    if (load == Load::Loaded && changed == content)
        return true;
    OsError failure;
    if (!WriteFileAtomically(file, changed, &failure, PreviousVersion::Keep)) {
        if (error)
            *error = failure.description;
        return false;
    }
    return true;
}

} // namespace Ini
