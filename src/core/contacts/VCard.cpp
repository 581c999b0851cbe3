#include "core/contacts/VCard.h"

#include "core/contacts/CardLayout.h"
#include "core/platform/TextCodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace ContactImportDetail;

namespace {

namespace F = ContactField;

// Card fields written as properties of their own besides the standard ones.
struct ExtraProperty {
    QByteArrayView name;
    int field;
};
constexpr ExtraProperty kExtraProperties[] = {
    {"X-BANTERLY-MET-AT", F::MetAt}, {"X-BANTERLY-AGE", F::Age},   {"X-BANTERLY-HEIGHT", F::Height},
    {"X-BANTERLY-WEIGHT", F::Weight}, {"X-BANTERLY-HAIR", F::Hair}, {"X-BANTERLY-EYES", F::Eyes}};
constexpr char kReservedPrefix[] = "X-BANTERLY-FIELD-";

// The reserved fields written as X-BANTERLY-FIELD-nn (the identity is the UID).
constexpr std::array<bool, F::Count> kReserved = [] {
    std::array<bool, F::Count> reserved{};
    for (int i = F::Identity + 1; i < F::Count; ++i)
        reserved[i] = true;
    for (int f : F::CardFields)
        reserved[f] = false;
    return reserved;
}();

bool IsReserved(int field) { return field > F::Identity && field < F::Count && kReserved[field]; }

// ---- writing ----

constexpr qsizetype kFoldAt = 75;

void AppendEscaped(QByteArray& out, QByteArrayView utf8)
{
    qsizetype done = 0;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c != '\\' && c != ',' && c != ';' && c != '\n' && c != '\r')
            continue;
        out.append(utf8.sliced(done, i - done));
        done = i + 1;
        if (c == '\n')
            out.append("\\n");
        else if (c != '\r')
            out.append('\\').append(c);
    }
    out.append(utf8.sliced(done));
}

// One content line with its CR LF, folded so that no line is longer than 75
// bytes; a fold never splits a UTF-8 sequence.
void AppendFolded(QByteArray& out, QByteArrayView line)
{
    qsizetype limit = kFoldAt;
    while (line.size() > limit) {
        qsizetype cut = limit;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.first(cut)).append("\r\n ");
        line = line.sliced(cut);
        limit = kFoldAt - 1;
    }
    out.append(line).append("\r\n");
}

void AppendProperty(QByteArray& out, QByteArray& scratch, QByteArrayView name,
                    QByteArrayView value)
{
    // Most values are short and hold nothing to escape: written as they are.
    if (name.size() + 1 + value.size() <= kFoldAt) {
        bool plain = true;
        for (char c : value)
            if (c == '\\' || c == ',' || c == ';' || c == '\n' || c == '\r') {
                plain = false;
                break;
            }
        if (plain) {
            const qsizetype at = out.size();
            out.resize(at + name.size() + value.size() + 3);
            char* p = out.data() + at;
            std::memcpy(p, name.data(), size_t(name.size()));
            p += name.size();
            *p++ = ':';
            if (!value.isEmpty())
                std::memcpy(p, value.data(), size_t(value.size()));
            p += value.size();
            p[0] = '\r';
            p[1] = '\n';
            return;
        }
    }
    scratch.clear();
    scratch.append(name).append(':');
    AppendEscaped(scratch, value);
    AppendFolded(out, scratch);
}

// N from the real name: the last word is the family name, the words before
// it the given names.
void AppendName(QByteArray& out, QByteArray& scratch, QByteArrayView realName)
{
    const QByteArray words = realName.toByteArray().simplified();
    const qsizetype space = words.lastIndexOf(' ');
    scratch = "N:";
    AppendEscaped(scratch, QByteArrayView(words).sliced(space + 1));
    scratch.append(';');
    if (space > 0)
        AppendEscaped(scratch, QByteArrayView(words).first(space));
    scratch.append(";;;");
    AppendFolded(out, scratch);
}

// ---- reading ----

constexpr int kNoRank = 1000;

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

bool Is(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != b[i])
            return false;
    return true;
}

QByteArrayView Trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

QByteArrayView Unquoted(QByteArrayView v)
{
    v = Trimmed(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.sliced(1, v.size() - 2);
    return Trimmed(v);
}

enum class Encoding { Plain, QuotedPrintable, Base64 };

struct Property {
    QByteArrayView name; // without its group
    QByteArrayView value;
    QByteArrayView charset;
    Encoding encoding = Encoding::Plain;
    int rank = kNoRank; // lower is preferred
};

void TakeEncoding(Property& p, QByteArrayView v)
{
    if (Is(v, "QUOTED-PRINTABLE"))
        p.encoding = Encoding::QuotedPrintable;
    else if (Is(v, "BASE64") || Is(v, "B"))
        p.encoding = Encoding::Base64;
}

// Calls fn for each comma-separated item of a parameter's value.
template <typename Fn> void ForEachItem(QByteArrayView v, Fn fn)
{
    while (true) {
        const qsizetype comma = v.indexOf(',');
        fn(Unquoted(comma < 0 ? v : v.first(comma)));
        if (comma < 0)
            return;
        v = v.sliced(comma + 1);
    }
}

void TakeParameter(Property& p, QByteArrayView key, QByteArrayView value)
{
    key = Trimmed(key);
    if (key.isEmpty()) { // vCard 2.1: a bare value
        value = Trimmed(value);
        if (Is(value, "PREF"))
            p.rank = std::min(p.rank, 1);
        else
            TakeEncoding(p, value);
    } else if (Is(key, "ENCODING")) {
        TakeEncoding(p, Unquoted(value));
    } else if (Is(key, "CHARSET")) {
        p.charset = Unquoted(value);
    } else if (Is(key, "TYPE")) {
        ForEachItem(value, [&](QByteArrayView item) {
            if (Is(item, "PREF"))
                p.rank = std::min(p.rank, 1);
        });
    } else if (Is(key, "PREF")) {
        bool ok = false;
        const int n = Unquoted(value).toInt(&ok);
        if (ok && n >= 1 && n <= 100)
            p.rank = std::min(p.rank, n);
    }
}

inline bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
}

// Splits "group.NAME;param=value;...:value". False when the line is not a
// property line.
bool ParseProperty(QByteArrayView line, Property& p)
{
    p = Property();
    const char* s = line.data();
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && IsNameChar(s[i]))
        ++i;
    QByteArrayView name = line.first(i);
    while (i < n && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    if (i == n || (s[i] != ':' && s[i] != ';'))
        return false;
    qsizetype group = name.size();
    while (group > 0 && name[group - 1] != '.')
        --group;
    name = name.sliced(group);
    if (name.isEmpty())
        return false;
    p.name = name;
    while (s[i] == ';') {
        const qsizetype start = ++i;
        qsizetype eq = -1;
        while (i < n && s[i] != ';' && s[i] != ':') {
            if (s[i] == '"') {
                const void* q = std::memchr(s + i + 1, '"', size_t(n - i - 1));
                if (!q)
                    return false;
                i = static_cast<const char*>(q) - s;
            } else if (s[i] == '=' && eq < 0) {
                eq = i;
            }
            ++i;
        }
        if (i == n)
            return false;
        if (eq < 0)
            TakeParameter(p, QByteArrayView(), line.sliced(start, i - start));
        else
            TakeParameter(p, line.sliced(start, eq - start), line.sliced(eq + 1, i - eq - 1));
    }
    p.value = line.sliced(i + 1);
    return true;
}

inline int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = Upper(c);
    return (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
}

QByteArray DecodeQuotedPrintable(QByteArrayView v)
{
    QByteArray out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == '=' && i + 2 < v.size()) {
            const int hi = HexValue(v[i + 1]), lo = HexValue(v[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        if (v[i] == '=' && i + 1 == v.size())
            break; // a soft line break left at the end
        out.append(v[i]);
    }
    return out;
}

QString DecodeText(QByteArrayView bytes, QByteArrayView charset)
{
    if (charset.isEmpty() || Is(charset, "UTF-8") || Is(charset, "UTF8"))
        return DecodeLine(bytes);
    if (Is(charset, "ISO-8859-1") || Is(charset, "LATIN1") || Is(charset, "US-ASCII") ||
        Is(charset, "WINDOWS-1252") || Is(charset, "CP1252"))
        return DecodeWindows1252(bytes);
    QStringDecoder decoder(charset.toByteArray().constData(), QStringDecoder::Flag::Stateless);
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return DecodeLine(bytes);
}

// The text of a value: \n, \N, \\, \, \; \: and \" undone, then cleaned
// of control characters.
QString Unescaped(QStringView v)
{
    QString out;
    out.reserve(v.size());
    qsizetype done = 0;
    for (qsizetype i = 0; i + 1 < v.size(); ++i) {
        if (v[i] != u'\\')
            continue;
        const char16_t next = v[i + 1].unicode();
        QChar c;
        if (next == u'n' || next == u'N')
            c = QLatin1Char('\n');
        else if (next == u'\\' || next == u',' || next == u';' || next == u':' || next == u'"')
            c = QChar(next);
        else
            continue;
        out.append(v.sliced(done, i - done)).append(c);
        done = i + 2;
        ++i;
    }
    out.append(v.sliced(done));
    return CleanText(out);
}

// Whether a value is printable 7-bit text with nothing to unescape: its
// text is its bytes, whatever the charset (every one the reader knows keeps
// 7-bit text as it is).
bool IsPlainText(QByteArrayView v)
{
    for (char c : v)
        if (c < 32 || c > 126 || c == '\\')
            return false;
    return true;
}

// The first components of a structured value, split at semicolons that are
// not escaped.
std::array<QStringView, 2> FirstComponents(QStringView v)
{
    std::array<QStringView, 2> parts;
    qsizetype start = 0;
    int k = 0;
    for (qsizetype i = 0; i < v.size() && k < 2; ++i) {
        if (v[i] == u'\\') {
            ++i;
        } else if (v[i] == u';') {
            parts[k++] = v.sliced(start, i - start);
            start = i + 1;
        }
    }
    if (k < 2)
        parts[k] = v.sliced(start);
    return parts;
}

// Where a property goes: a field number, or one of these.
constexpr int kIgnored = -1;
constexpr int kStructuredName = -2; // N
constexpr int kGender = -3;         // GENDER (vCard 4.0)
constexpr int kPhoneCustom = -4;    // a phone's own property, which may hold a nickname

int TargetOf(QByteArrayView name)
{
    switch (Upper(name.isEmpty() ? ' ' : name[0])) {
    case 'N':
        if (Is(name, "N"))
            return kStructuredName;
        if (Is(name, "NICKNAME"))
            return F::ChatName;
        if (Is(name, "NOTE"))
            return F::Notes;
        return kIgnored;
    case 'F':
        return Is(name, "FN") ? F::RealName : kIgnored;
    case 'E':
        return Is(name, "EMAIL") ? F::Email : kIgnored;
    case 'U':
        if (Is(name, "UID"))
            return F::Identity;
        return Is(name, "URL") ? F::Website : kIgnored;
    case 'G':
        return Is(name, "GENDER") ? kGender : kIgnored;
    case 'X':
        break;
    default:
        return kIgnored;
    }
    if (Is(name, "X-GENDER"))
        return F::Sex;
    if (Is(name, "X-ANDROID-CUSTOM"))
        return kPhoneCustom;
    for (const ExtraProperty& e : kExtraProperties)
        if (Is(name, e.name))
            return e.field;
    const qsizetype prefix = qsizetype(sizeof(kReservedPrefix)) - 1;
    if (name.size() > prefix && name.size() <= prefix + 3 && Is(name.first(prefix), kReservedPrefix)) {
        int field = 0;
        for (char c : name.sliced(prefix)) {
            if (c < '0' || c > '9')
                return kIgnored;
            field = field * 10 + (c - '0');
        }
        return IsReserved(field) ? field : kIgnored;
    }
    return kIgnored;
}

// Properties of data a contact has no field for, by the kind the import
// summary names.
struct LeftOutProperty {
    QByteArrayView name;
    LeftOut kind;
};
constexpr LeftOutProperty kLeftOutProperties[] = {
    {"TEL", LeftOut::PhoneNumbers},     {"ADR", LeftOut::Addresses},
    {"LABEL", LeftOut::Addresses},      {"BDAY", LeftOut::Birthdays},
    {"ORG", LeftOut::Organisations},    {"TITLE", LeftOut::Organisations},
    {"PHOTO", LeftOut::Photos},         {"IMPP", LeftOut::MessengerNames},
    {"X-AIM", LeftOut::MessengerNames}, {"X-ICQ", LeftOut::MessengerNames},
    {"X-JABBER", LeftOut::MessengerNames}, {"X-MSN", LeftOut::MessengerNames},
    {"X-YAHOO", LeftOut::MessengerNames},  {"X-SKYPE", LeftOut::MessengerNames},
    {"X-GTALK", LeftOut::MessengerNames},  {"X-QQ", LeftOut::MessengerNames},
};

unsigned LeftOutBit(QByteArrayView name)
{
    for (const LeftOutProperty& l : kLeftOutProperties)
        if (Is(name, l.name))
            return 1u << int(l.kind);
    return 0;
}

// An AGENT property that opens an embedded vCard 2.1 card: its value is
// empty (the card follows on the next lines) or the card's BEGIN line.
enum class Agent { None, Follows, Begins };
Agent AgentOf(const Property& p)
{
    if (!Is(p.name, "AGENT"))
        return Agent::None;
    const QByteArrayView v = Trimmed(p.value);
    if (v.isEmpty())
        return Agent::Follows;
    return Is(v, "BEGIN:VCARD") ? Agent::Begins : Agent::None;
}

// A card that lost lines is kept only while one of these still says who
// the contact is.
constexpr std::array<int, 4> kContactFields = {F::RealName, F::ChatName, F::Email, F::Notes};

struct Candidate {
    QString text;
    // Or, for printable 7-bit text, the bytes themselves in the input.
    QByteArrayView ascii;
    int rank = kNoRank + 1;

    bool IsEmpty() const { return text.isEmpty() && ascii.isEmpty(); }
};

// Takes the logical lines of a file (folds already undone) one by one.
class CardReader {
public:
    explicit CardReader(ContactImport& out) : m_sink(out) {}

    bool Stopped() const { return m_stopped; }
    bool SawCard() const { return m_sawCard; }
    // vCard 2.1 folds before a blank or tab that belongs to the value;
    // later versions insert one that unfolding removes.
    bool FoldKeepsBlank() const { return m_inCard && m_version21; }
    // Set after a base64 property: vCard 2.1 lets its data run on over the
    // following lines up to a blank one.
    bool inBase64 = false;

    // `stable`: the line is a view of the input, which outlives the reader
    // (not a line joined from several).
    void Line(QByteArrayView line, qsizetype number, bool stable)
    {
        m_stable = stable;
        Property p;
        const bool ok = ParseProperty(line, p);
        const bool begins = ok && Is(p.name, "BEGIN") && Is(Trimmed(p.value), "VCARD");
        const bool ends = ok && Is(p.name, "END") && Is(Trimmed(p.value), "VCARD");
        const bool agentFollows = m_agentFollows;
        m_agentFollows = false;
        if (ok && p.encoding == Encoding::Base64)
            inBase64 = true;
        if (m_nested > 0) {
            // Inside a card embedded in the contact's card (vCard 2.1 AGENT):
            // it belongs to the contact and is not a contact of its own.
            if (ends) {
                --m_nested;
            } else if (begins && agentFollows) {
                ++m_nested;
            } else if (begins) {
                m_nested = 0; // the contact's card never ended
                Line(line, number, stable);
            } else if (ok) {
                const Agent agent = AgentOf(p);
                m_agentFollows = agent == Agent::Follows;
                m_nested += agent == Agent::Begins ? 1 : 0;
            }
            return;
        }
        if (begins) {
            if (m_inCard && agentFollows) {
                m_nested = 1;
                return;
            }
            if (m_inCard)
                m_sink.Skip(m_begin, m_sink.Noting()
                                         ? QStringLiteral("the card has no END:VCARD (another "
                                                          "card begins on line %1)")
                                               .arg(number)
                                         : QString());
            Begin(number);
            return;
        }
        if (!m_inCard)
            return;
        if (ends) {
            End();
            return;
        }
        if (ok && Is(p.name, "VERSION"))
            m_version21 = Trimmed(p.value) == "2.1";
        if (m_faultLine != 0)
            return;
        if (!ok) {
            // One line that is no property (a comment, a name no standard
            // allows, junk) costs that line, not the card.
            SkipLine(number, QStringLiteral("not a vCard property line: ") + Shortened(line));
            return;
        }
        if (const Agent agent = AgentOf(p); agent != Agent::None) {
            m_agentFollows = agent == Agent::Follows;
            m_nested = agent == Agent::Begins ? 1 : 0;
            return;
        }
        m_leftOut |= LeftOutBit(p.name);
        if (Is(p.name, "EMAIL") && ++m_emails > 1)
            m_leftOut |= 1u << int(LeftOut::MoreEmails);
        if (p.encoding != Encoding::Base64)
            Take(p, number);
    }

    void Finish()
    {
        if (m_inCard && !m_stopped)
            m_sink.Skip(m_begin, QStringLiteral("the card has no END:VCARD"));
        m_inCard = false;
        m_sink.Finish();
    }

private:
    void Begin(qsizetype number)
    {
        m_inCard = true;
        m_sawCard = true;
        m_begin = number;
        m_faultLine = 0;
        m_version21 = false;
        m_nested = 0;
        m_agentFollows = false;
        m_leftOut = 0;
        m_emails = 0;
        m_skipped.clear();
        m_skippedUnnoted = 0;
        if (m_taken) {
            for (Candidate& c : m_fields)
                c = Candidate();
            m_name = m_gender = Candidate();
            m_taken = false;
        }
    }

    void Fault(qsizetype number, const QString& why)
    {
        m_faultLine = number;
        m_fault = why;
    }

    static QString Shortened(QByteArrayView line)
    {
        constexpr qsizetype kShown = 40;
        QString shown = CleanText(DecodeLine(line.first(std::min(line.size(), kShown))));
        if (line.size() > kShown)
            shown += QStringLiteral("…");
        return QLatin1Char('"') + shown + QLatin1Char('"');
    }

    // The lines passed over in the card being read: reported once the card
    // is kept; a card not kept is reported by its first one.
    void SkipLine(qsizetype number, const QString& why)
    {
        if (m_skipped.size() < kMaxSkippedPerCard)
            m_skipped.emplace_back(number, why);
        else
            ++m_skippedUnnoted;
    }

    void End()
    {
        m_inCard = false;
        if (m_faultLine != 0) {
            m_sink.Skip(m_faultLine, m_fault);
            return;
        }
        if (!m_taken) { // nothing to gather: only the skip note
            if (!m_skipped.empty())
                m_sink.Skip(m_skipped.front().first, m_skipped.front().second);
            else if (!m_sink.Add(m_noFields, m_begin, "card"))
                m_stopped = true;
            return;
        }
        if (EndAscii())
            return;
        // The fields as UTF-8, each followed by the byte 31: a decoded text
        // as UTF-8, printable 7-bit text as its bytes; the real name and the
        // sex from N and GENDER when no property of their own gave them.
        std::array<const Candidate*, F::Count> fields;
        for (int i = 0; i < F::Count; ++i)
            fields[i] = &m_fields[i];
        if (fields[F::RealName]->IsEmpty())
            fields[F::RealName] = &m_name;
        if (fields[F::Sex]->IsEmpty())
            fields[F::Sex] = &m_gender;
        if (!m_skipped.empty() &&
            std::all_of(kContactFields.begin(), kContactFields.end(),
                        [&](int f) { return fields[f]->IsEmpty(); })) {
            m_sink.Skip(m_skipped.front().first, m_skipped.front().second);
            return;
        }
        m_line.clear();
        qsizetype chars = 0;        // in UTF-16 units, as a contact counts them
        qsizetype identityChars = 0;
        for (int i = 0; i < F::Count; ++i) {
            const Candidate& c = *fields[i];
            const qsizetype n = c.text.isEmpty() ? c.ascii.size() : c.text.size();
            if (i != F::ContactID) {  // never read from a card
                if (c.text.isEmpty())
                    m_line.append(c.ascii);
                else
                    m_line.append(c.text.toUtf8());
                chars += n;
            }
            if (i == F::Identity)
                identityChars = n;
            m_line.append(char(31));
        }
        const size_t before = m_sink.Count();
        if (!m_sink.AddUtf8(m_line, chars, identityChars, m_begin, "card", m_leftOut))
            m_stopped = true;
        Added(before);
    }

    // A card of printable 7-bit text only, the common case, goes into the
    // table without being decoded. False when the card is not one.
    bool EndAscii()
    {
        for (const Candidate& c : m_fields)
            if (!c.text.isEmpty())
                return false;
        if ((m_fields[F::RealName].IsEmpty() && !m_name.text.isEmpty()) ||
            (m_fields[F::Sex].IsEmpty() && !m_gender.text.isEmpty()))
            return false;
        if (!m_skipped.empty()) {
            bool contact = false;
            for (int f : kContactFields)
                contact = contact || !m_fields[f].IsEmpty();
            if (!contact) {
                m_sink.Skip(m_skipped.front().first, m_skipped.front().second);
                return true;
            }
        }
        m_asciiLine.clear();
        for (const Candidate& c : m_fields)
            m_asciiLine.append(c.ascii).append(char(31));
        const size_t before = m_sink.Count();
        if (!m_sink.AddAscii(m_asciiLine, m_begin, "card", m_leftOut))
            m_stopped = true;
        Added(before);
        return true;
    }

    // The lines skipped in a card that went into the table are counted.
    void Added(size_t before)
    {
        if (m_sink.Count() == before)
            return;
        for (const auto& [number, why] : m_skipped)
            m_sink.SkipLine(number, why);
        for (int k = 0; k < m_skippedUnnoted; ++k)
            m_sink.SkipLine(0, QString());
    }

    void Take(const Property& p, qsizetype number)
    {
        const int target = TargetOf(p.name);
        if (target == kIgnored)
            return;
        Candidate& c = target >= 0                 ? m_fields[target]
                       : target == kStructuredName ? m_name
                       : target == kGender         ? m_gender
                                                   : m_fields[F::ChatName];
        if (p.rank >= c.rank)
            return;
        if (p.value.size() > kMaxValueBytes) {
            Fault(number, QStringLiteral("a value longer than a contact can hold"));
            return;
        }
        if (target >= 0 && p.encoding == Encoding::Plain && IsPlainText(p.value)) {
            if (!p.value.isEmpty()) {
                c = m_stable ? Candidate{QString(), p.value, p.rank}
                             : Candidate{QString::fromLatin1(p.value), {}, p.rank};
                m_taken = true;
            }
            return;
        }
        const QString value =
            p.encoding == Encoding::QuotedPrintable
                ? DecodeText(DecodeQuotedPrintable(p.value), p.charset)
                : DecodeText(p.value, p.charset);
        QString text;
        if (target >= 0) {
            text = Unescaped(value);
        } else {
            const auto parts = FirstComponents(value);
            if (target == kStructuredName) {
                const QString family = Unescaped(parts[0]).trimmed();
                text = Unescaped(parts[1]).trimmed();
                if (!family.isEmpty())
                    text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + family;
            } else if (target == kGender) {
                text = Unescaped(parts[0]).trimmed();
                if (text.isEmpty())
                    text = Unescaped(parts[1]).trimmed();
                // A mail program's default for "not given" is no value.
                if (text.compare(QLatin1String("Unspecified"), Qt::CaseInsensitive) == 0)
                    text.clear();
            } else if (parts[0] == u"vnd.android.cursor.item/nickname") {
                text = Unescaped(parts[1]);
            }
        }
        if (!text.isEmpty()) {
            c = Candidate{std::move(text), {}, p.rank};
            m_taken = true;
        }
    }

    Sink m_sink;
    bool m_inCard = false;
    bool m_sawCard = false;
    bool m_stopped = false;
    bool m_version21 = false;
    qsizetype m_begin = 0;
    qsizetype m_faultLine = 0;
    QString m_fault;
    std::array<Candidate, F::Count> m_fields;
    Candidate m_name;
    Candidate m_gender;
    bool m_taken = false; // a candidate above holds a value
    std::array<QString, F::Count> m_noFields;
    int m_nested = 0;           // depth inside embedded (AGENT) cards
    bool m_agentFollows = false; // the line before was an AGENT with no value
    unsigned m_leftOut = 0;     // LeftOut bits of the card being read
    int m_emails = 0;
    static constexpr size_t kMaxSkippedPerCard = 50;
    std::vector<std::pair<qsizetype, QString>> m_skipped;
    int m_skippedUnnoted = 0;
    bool m_stable = false;
    QByteArray m_asciiLine;
    QByteArray m_line;
};

// The length of the line end at p: CR LF, LF, CR alone, or CR CR LF (what
// one phone maker's exports end every line with); 0 at the end of the bytes.
qsizetype LineEndAt(const char* p, qsizetype left)
{
    if (left == 0)
        return 0;
    if (p[0] == '\r' && left > 1 && p[1] == '\n')
        return 2;
    if (p[0] == '\r' && left > 2 && p[1] == '\r' && p[2] == '\n')
        return 3;
    return 1;
}

// The position of the first CR or LF at or after `pos`, or n.
qsizetype LineEndFrom(const char* p, qsizetype pos, qsizetype n)
{
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; pos + 16 <= n; pos += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + pos));
        const unsigned hits = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (hits)
            return pos + __builtin_ctz(hits);
    }
#endif
    while (pos < n && p[pos] != '\n' && p[pos] != '\r')
        ++pos;
    return pos;
}

bool IsBase64Line(QByteArrayView line)
{
    for (char c : line)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '+' || c == '/' || c == '=' || c == ' ' || c == '\t'))
            return false;
    return true;
}

bool IsQuotedPrintable(QByteArrayView line)
{
    Property p;
    return ParseProperty(line, p) && p.encoding == Encoding::QuotedPrintable;
}

} // namespace

QByteArray ContactsToVCard(std::span<const ContactRecord> contacts)
{
    static const std::array<QByteArray, F::Count> reservedNames = [] {
        std::array<QByteArray, F::Count> names;
        for (int i = 0; i < F::Count; ++i)
            if (IsReserved(i))
                names[i] = kReservedPrefix + QByteArray::number(i).rightJustified(2, '0');
        return names;
    }();
    QByteArray out;
    // Room for what the first contacts take, a little more for the rest.
    constexpr size_t kSampled = 64;
    QByteArray scratch;
    for (const ContactRecord& c : contacts) {
        const std::array<QByteArrayView, F::Count> f = c.AllFieldBytes();
        out.append("BEGIN:VCARD\r\nVERSION:3.0\r\n");
        AppendProperty(out, scratch, "FN", f[F::RealName]);
        AppendName(out, scratch, f[F::RealName]);
        const auto optional = [&](QByteArrayView name, int field) {
            if (!f[field].isEmpty())
                AppendProperty(out, scratch, name, f[field]);
        };
        optional("NICKNAME", F::ChatName);
        optional("EMAIL;TYPE=INTERNET", F::Email);
        optional("URL", F::Website);
        optional("NOTE", F::Notes);
        optional("X-GENDER", F::Sex);
        optional("UID", F::Identity);
        for (const ExtraProperty& e : kExtraProperties)
            optional(e.name, e.field);
        for (int i = 1; i < F::Count; ++i)
            if (IsReserved(i) && !f[i].isEmpty())
                AppendProperty(out, scratch, reservedNames[i], f[i]);
        out.append("END:VCARD\r\n");
        if (size_t(&c - contacts.data()) + 1 == kSampled && contacts.size() > kSampled)
            out.reserve(out.size() / qsizetype(kSampled) * qsizetype(contacts.size()) * 9 / 8);
    }
    return out;
}

bool ReadVCards(const QByteArray& raw, ContactImport& out, QString* error)
{
    const QByteArray bytes = WithoutByteOrderMark(raw);
    CardReader reader(out);
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    qsizetype number = 0;

    // The logical line being gathered: a view of the input while it is one
    // physical line, a copy once folds or soft line breaks join more to it.
    QByteArrayView logical;
    QByteArray joined;
    bool have = false;
    bool isJoined = false;
    int quotedPrintable = -1; // unknown until needed
    qsizetype logicalNumber = 0;
    const auto text = [&] { return isJoined ? QByteArrayView(joined) : logical; };
    const auto append = [&](QByteArrayView more, bool dropSoftBreak) {
        if (!isJoined) {
            joined.clear();
            joined.append(logical);
            isJoined = true;
        }
        if (dropSoftBreak)
            joined.chop(1);
        joined.append(more);
    };
    // A quoted-printable value ending in '=' goes on on the next line.
    const auto softBreak = [&](QByteArrayView next) {
        const QByteArrayView t = text();
        if (t.isEmpty() || t.back() != '=' || Is(Trimmed(next), "END:VCARD"))
            return false;
        if (quotedPrintable < 0)
            quotedPrintable = IsQuotedPrintable(t) ? 1 : 0;
        return quotedPrintable == 1;
    };
    const auto flush = [&] {
        if (have)
            reader.Line(text(), logicalNumber, !isJoined);
        have = false;
        isJoined = false;
        quotedPrintable = -1;
    };

    while (pos < n && !reader.Stopped()) {
        const qsizetype end = LineEndFrom(p, pos, n);
        const QByteArrayView line(p + pos, end - pos);
        ++number;
        pos = end;
        pos += LineEndAt(p + pos, n - pos);

        if (have && softBreak(line)) {
            append(line, true);
            continue;
        }
        if (have && !line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
            append(line.sliced(reader.FoldKeepsBlank() ? 0 : 1), false);
            continue;
        }
        flush();
        if (reader.inBase64) {
            if (line.isEmpty() || !IsBase64Line(line))
                reader.inBase64 = false;
            if (line.isEmpty() || reader.inBase64)
                continue;
        }
        if (Trimmed(line).isEmpty())
            continue;
        have = true;
        logical = line;
        logicalNumber = number;
    }
    if (!reader.Stopped())
        flush();
    reader.Finish();
    if (!reader.SawCard()) {
        if (error)
            *error = QStringLiteral("The file holds no vCard (no BEGIN:VCARD line); it is not "
                                    "an address book.");
        return false;
    }
    return true;
}
