#include "core/contacts/ContactRecord.h"
#include "core/platform/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kEnd = '\xFF';
constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// The shared buffer of an empty record: copies only take a reference.
const QByteArray& EmptyData()
{
    static const QByteArray data(ContactField::Count, kEnd);
    return data;
}

inline uint64_t Load(const char* p)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

inline void Store(char* p, uint64_t w) { std::memcpy(p, &w, 8); }

// Eight bytes at a time: 0x80 in every byte equal to b, 0 in the others.
inline uint64_t BytesEqual(uint64_t w, char b)
{
    const uint64_t x = w ^ (kOnes * static_cast<unsigned char>(b));
    return ~(((x & ~kHigh) + ~kHigh) | x | ~kHigh);
}

// True when every byte is below 0x80, leaving aside the byte `allowed`.
bool IsSevenBit(QByteArrayView bytes, char allowed)
{
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    uint64_t high = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t w = Load(p + i);
        high |= w & kHigh & ~BytesEqual(w, allowed);
    }
    for (; i < n; ++i)
        if (p[i] != allowed)
            high |= static_cast<unsigned char>(p[i]) & 0x80;
    return high == 0;
}

// How many bytes equal the delimiter.
int CountBytes(const char* p, qsizetype n, char delimiter)
{
    int count = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8)
        count += int(((BytesEqual(Load(p + i), delimiter) >> 7) * kOnes) >> 56);
    for (; i < n; ++i)
        count += p[i] == delimiter;
    return count;
}

// Where a line is cut: just after its 82nd delimiter, or its end when it has
// fewer; `found` is how many delimiters lie before the cut.
template <typename Char>
qsizetype CutAfter(const Char* p, qsizetype n, Char delimiter, int count, int& found)
{
    if (count <= ContactField::Count) {
        found = count;
        return n;
    }
    found = 0;
    for (qsizetype i = 0;; ++i)
        if (p[i] == delimiter && ++found == ContactField::Count)
            return i + 1;
}

// A byte of a 7-bit record as its search line has it.
inline char Folded(char c)
{
    return c == kEnd ? ' ' : (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Whether the folded text holds the needle at position i (its first byte
// already matched).
inline bool FoldedMatchAt(const char* text, qsizetype i, QByteArrayView needle)
{
    for (qsizetype k = 1; k < needle.size(); ++k)
        if (Folded(text[i + k]) != needle[k])
            return false;
    return true;
}

// Whether n bytes of 7-bit record text, folded as the search line has them,
// hold the needle.
bool FoldedContains(const char* text, qsizetype n, QByteArrayView needle)
{
    if (needle.size() > n)
        return false;
    const qsizetype starts = n - needle.size() + 1; // possible start positions
    const char first = needle[0];
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i end = _mm_set1_epi8(kEnd);
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i beforeA = _mm_set1_epi8('a' - 1);
    const __m128i afterZ = _mm_set1_epi8('z' + 1);
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i wanted = _mm_set1_epi8(first);
    for (; i + 16 <= starts; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        // 0xFF is negative as a signed byte, so it never counts as a letter.
        const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(v, beforeA), _mm_cmplt_epi8(v, afterZ));
        const __m128i upper = _mm_sub_epi8(v, _mm_and_si128(lower, caseBit));
        const __m128i ends = _mm_cmpeq_epi8(v, end);
        const __m128i folded =
            _mm_or_si128(_mm_andnot_si128(ends, upper), _mm_and_si128(ends, space));
        unsigned hits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(folded, wanted)));
        while (hits) {
            if (FoldedMatchAt(text, i + __builtin_ctz(hits), needle))
                return true;
            hits &= hits - 1;
        }
    }
#endif
    for (; i < starts; ++i)
        if (Folded(text[i]) == first && FoldedMatchAt(text, i, needle))
            return true;
    return false;
}

// Appends record text (valid UTF-8 and end bytes) as the search line holds
// it: upper-cased, each end byte a space. Upper-casing maps each character
// on its own, so 7-bit runs are done here and only the others are decoded.
void AppendUpperCased(QByteArray& out, QByteArrayView text)
{
    const char* p = text.data();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = i;
        while (run < n && (static_cast<unsigned char>(p[run]) < 0x80 || p[run] == kEnd))
            ++run;
        const qsizetype at = out.size();
        out.append(p + i, run - i);
        for (char* c = out.data() + at; c != out.data() + out.size(); ++c)
            *c = Folded(*c);
        i = run;
        while (run < n && static_cast<unsigned char>(p[run]) >= 0x80 && p[run] != kEnd)
            ++run;
        if (run > i)
            out.append(Utf8Text(QByteArrayView(p + i, run - i)).toUpper().toUtf8());
        i = run;
    }
}

} // namespace

ContactRecord::ContactRecord() : m_data(EmptyData()), m_split(ContactField::Count)
{
    static quint64 lastSerial = 0;
    m_serial = ++lastSerial;
}

qsizetype ContactRecord::LineLength() const
{
    // Every byte but a UTF-8 continuation byte starts a character; each
    // field's end byte stands for its delimiter. A record without a search
    // line is 7-bit text: one character a byte.
    if (m_split == m_data.size())
        return m_split;
    qsizetype n = 0;
    for (char c : Text())
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::pair<qsizetype, qsizetype> ContactRecord::Span(int index) const
{
    const char* base = m_data.constData();
    const char* end = base + m_split;
    const char* p = base;
    for (int i = 0; i < index; ++i)
        p = static_cast<const char*>(std::memchr(p, kEnd, end - p)) + 1;
    const char* e = static_cast<const char*>(std::memchr(p, kEnd, end - p));
    return {p - base, e - base};
}

std::pair<qsizetype, qsizetype> ContactRecord::Unsearched() const
{
    return {Span(ContactField::Identity).first, Span(ContactField::ChangedAt).second + 1};
}

QByteArrayView ContactRecord::FieldBytes(int index) const
{
    if (index < 0 || index >= ContactField::Count)
        return QByteArrayView();
    const auto [b, e] = Span(index);
    return QByteArrayView(m_data).sliced(b, e - b);
}

std::array<QByteArrayView, ContactField::Count> ContactRecord::AllFieldBytes() const
{
    std::array<QByteArrayView, ContactField::Count> fields;
    const char* p = m_data.constData();
    const char* end = p + m_split;
    for (QByteArrayView& f : fields) {
        const char* e = static_cast<const char*>(std::memchr(p, kEnd, end - p));
        f = QByteArrayView(p, e - p);
        p = e + 1;
    }
    return fields;
}

bool ContactRecord::SameContent(const ContactRecord& other) const
{
    return ContentBytes() == other.ContentBytes() &&
           FieldBytes(ContactField::Identity) == other.FieldBytes(ContactField::Identity);
}

QString ContactRecord::Field(int index) const
{
    if (index < 0 || index >= ContactField::Count)
        return QString();
    const auto [b, e] = Span(index);
    return Utf8Text(QByteArrayView(m_data).sliced(b, e - b));
}

void ContactRecord::SetField(int index, const QString& text)
{
    if (index >= 0 && index < ContactField::Count)
        SetValidUtf8(index, text.toUtf8());
}

void ContactRecord::SetFieldUtf8(int index, QByteArrayView utf8)
{
    if (!IsSevenBit(utf8, '\0'))
        SetField(index, Utf8Text(utf8));
    else if (index >= 0 && index < ContactField::Count)
        SetValidUtf8(index, utf8);
}

void ContactRecord::SetValidUtf8(int index, QByteArrayView utf8)
{
    const auto [b, e] = Span(index);
    if (QByteArrayView(m_data).sliced(b, e - b) == utf8 ||
        SpliceKeepingSearchLine(index, b, e, utf8))
        return;
    QByteArray next;
    next.reserve(m_split - (e - b) + utf8.size());
    next.append(m_data.constData(), b).append(utf8).append(m_data.constData() + e, m_split - e);
    SetText(std::move(next));
}

bool ContactRecord::SpliceKeepingSearchLine(int index, qsizetype begin, qsizetype end,
                                            QByteArrayView utf8)
{
    // A 7-bit record given 7-bit text stays without a search line; any other
    // record keeps its line when the field is one the line leaves out and
    // the text coming and going is 7-bit (so the record's own 7-bit state
    // does not change).
    const bool hasSearchLine = m_split < m_data.size();
    const bool unsearched = index == ContactField::Identity || index == ContactField::ChangedAt;
    if (!IsSevenBit(utf8, '\0') || (hasSearchLine && !unsearched) ||
        (hasSearchLine && !IsSevenBit(QByteArrayView(m_data).sliced(begin, end - begin), '\0')))
        return false;
    const qsizetype grow = utf8.size() - (end - begin);
    const qsizetype size = m_data.size();
    if (m_data.isDetached() && size + grow <= m_data.capacity()) {
        // Written in place: the record's own buffer has room.
        if (grow > 0)
            m_data.resize(size + grow);
        char* p = m_data.data();
        std::memmove(p + end + grow, p + end, size_t(size - end));
        if (!utf8.isEmpty())  // an empty text may have no data at all
            std::memcpy(p + begin, utf8.data(), size_t(utf8.size()));
        if (grow < 0)
            m_data.resize(size + grow);
    } else {
        QByteArray next;
        next.reserve(size + grow);
        next.append(m_data.constData(), begin)
            .append(utf8)
            .append(m_data.constData() + end, size - end);
        m_data = std::move(next);
    }
    m_split += grow;
    return true;
}

void ContactRecord::Clear()
{
    m_data = EmptyData();
    m_split = ContactField::Count;
}

void ContactRecord::SetText(QByteArray text)
{
    const qsizetype n = text.size();
    m_split = n;
    const bool sevenBit = IsSevenBit(text, kEnd);
    m_data = std::move(text);
    if (sevenBit)
        return;
    const auto [from, to] = Unsearched();
    QByteArray data;
    data.reserve(n + n - (to - from) + 16);
    data.append(m_data);
    AppendUpperCased(data, QByteArrayView(m_data).first(from));
    AppendUpperCased(data, QByteArrayView(m_data).sliced(to));
    m_data = std::move(data);
}

void ContactRecord::AssignLine(QStringView line, QChar delimiter)
{
    int count = 0;
    for (QChar c : line)
        count += c == delimiter;
    int found = 0;
    const qsizetype cut = CutAfter(line.utf16(), line.size(), delimiter.unicode(), count, found);
    const QStringView used = line.first(cut);
    QByteArray text;
    if (delimiter.unicode() < 0x80) {
        // An ASCII delimiter is one byte in UTF-8 and no other character
        // contains that byte.
        text = used.toUtf8();
        text.replace(char(delimiter.unicode()), kEnd);
    } else {
        qsizetype start = 0;
        for (int k = 0; k < found; ++k) {
            const qsizetype end = used.indexOf(delimiter, start);
            text.append(used.sliced(start, end - start).toUtf8()).append(kEnd);
            start = end + 1;
        }
        text.append(used.sliced(start).toUtf8());
    }
    text.append(ContactField::Count - found, kEnd);
    SetText(std::move(text));
}

void ContactRecord::AssignUtf8Line(QByteArrayView line, char delimiter)
{
    if (AssignAsciiLine(line, delimiter))
        return;
    // A 7-bit delimiter is a byte no other character's UTF-8 contains.
    const char* p = line.data();
    int found = 0;
    const qsizetype cut =
        CutAfter(p, line.size(), delimiter, CountBytes(p, line.size(), delimiter), found);
    QByteArray text;
    text.reserve(cut + (ContactField::Count - found));
    text.append(p, cut);
    text.replace(delimiter, kEnd);
    text.append(ContactField::Count - found, kEnd);
    SetText(std::move(text));
}

bool ContactRecord::AssignAsciiLine(QByteArrayView line, char delimiter)
{
    if (!IsSevenBit(line, '\0'))
        return false;
    const char* p = line.data();
    int found = 0;
    const qsizetype cut =
        CutAfter(p, line.size(), delimiter, CountBytes(p, line.size(), delimiter), found);
    const qsizetype size = cut + (ContactField::Count - found);
    QByteArray data(size, Qt::Uninitialized);
    char* text = data.data();
    qsizetype i = 0;
    for (; i + 8 <= cut; i += 8) {
        const uint64_t w = Load(p + i);
        Store(text + i, w | ((BytesEqual(w, delimiter) >> 7) * 0xFF));
    }
    for (; i < cut; ++i)
        text[i] = p[i] == delimiter ? kEnd : p[i];
    std::memset(text + cut, kEnd, size_t(size - cut));
    m_data = std::move(data);
    m_split = size;
    return true;
}

bool ContactRecord::SearchLineContains(QByteArrayView needle, bool needleIs7Bit) const
{
    if (m_split < m_data.size()) {
        const QByteArrayView line = QByteArrayView(m_data).sliced(m_split);
        return memmem(line.data(), size_t(line.size()), needle.data(), size_t(needle.size()));
    }
    // A 7-bit record upper-cases to 7-bit text only.
    if (needle.isEmpty() || !needleIs7Bit)
        return needle.isEmpty();
    const auto [from, to] = Unsearched();
    const char* text = m_data.constData();
    if (FoldedContains(text, from, needle) || FoldedContains(text + to, m_split - to, needle))
        return true;
    // A match across the unsearched fields: the end of the part before them
    // joined to the start of the part after them.
    const qsizetype before = std::min(needle.size() - 1, from);
    const qsizetype after = std::min(needle.size() - 1, m_split - to);
    QByteArray seam(text + from - before, before);
    seam.append(text + to, after);
    return FoldedContains(seam.constData(), seam.size(), needle);
}

void ContactRecord::AppendUtf8Line(QByteArray& out, char delimiter) const
{
    const qsizetype at = out.size();
    AppendText(out);
    EndsToDelimiter(out.data() + at, m_split, delimiter);
}

void ContactRecord::EndsToDelimiter(char* p, qsizetype n, char delimiter)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i end = _mm_set1_epi8(kEnd);
    const __m128i with = _mm_set1_epi8(delimiter);
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i ends = _mm_cmpeq_epi8(v, end);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i),
                         _mm_or_si128(_mm_andnot_si128(ends, v), _mm_and_si128(ends, with)));
    }
#endif
    const uint64_t with8 = kOnes * static_cast<unsigned char>(delimiter);
    for (; i + 8 <= n; i += 8) {
        const uint64_t w = Load(p + i);
        const uint64_t ends = (BytesEqual(w, kEnd) >> 7) * 0xFF;
        Store(p + i, (w & ~ends) | (with8 & ends));
    }
    for (; i < n; ++i)
        p[i] = p[i] == kEnd ? delimiter : p[i];
}
