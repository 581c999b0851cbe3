#include "contacts/ContactRecord.h"

#include <cstring>

namespace {

constexpr char kEnd = '\xFF';

// The shared buffers of an empty record: copies only take a reference.
const QByteArray& EmptyText()
{
    static const QByteArray text(ContactField::Count, kEnd);
    return text;
}

const QByteArray& EmptySearch()
{
    static const QByteArray search(ContactField::Count, ' ');
    return search;
}

bool IsSevenBit(QByteArrayView bytes, char allowed)
{
    unsigned char high = 0;
    for (char c : bytes)
        high |= static_cast<unsigned char>(c == allowed ? 0 : c);
    return high < 0x80;
}

// Where a line is cut: just after its 82nd delimiter, or its end when it has
// fewer; `found` is how many delimiters lie before the cut.
template <typename Char>
qsizetype CutPoint(const Char* p, qsizetype n, Char delimiter, int& found)
{
    int count = 0;
    for (qsizetype i = 0; i < n; ++i)
        count += p[i] == delimiter;
    if (count <= ContactField::Count) {
        found = count;
        return n;
    }
    found = 0;
    for (qsizetype i = 0;; ++i)
        if (p[i] == delimiter && ++found == ContactField::Count)
            return i + 1;
}

} // namespace

ContactRecord::ContactRecord() : m_text(EmptyText()), m_search(EmptySearch()) {}

std::pair<qsizetype, qsizetype> ContactRecord::Span(int index) const
{
    const char* base = m_text.constData();
    const char* end = base + m_text.size();
    const char* p = base;
    for (int i = 0; i < index; ++i)
        p = static_cast<const char*>(std::memchr(p, kEnd, end - p)) + 1;
    const char* e = static_cast<const char*>(std::memchr(p, kEnd, end - p));
    return {p - base, e - base};
}

QString ContactRecord::Field(int index) const
{
    if (index < 0 || index >= ContactField::Count)
        return QString();
    const auto [b, e] = Span(index);
    return QString::fromUtf8(m_text.constData() + b, e - b);
}

void ContactRecord::SetField(int index, const QString& text)
{
    if (index < 0 || index >= ContactField::Count)
        return;
    const auto [b, e] = Span(index);
    const QByteArray utf8 = text.toUtf8();
    if (QByteArrayView(m_text).sliced(b, e - b) == utf8)
        return;
    QByteArray next;
    next.reserve(m_text.size() - (e - b) + utf8.size());
    next.append(m_text.constData(), b).append(utf8).append(m_text.constData() + e, m_text.size() - e);
    m_text = std::move(next);
    RefreshSearch();
}

void ContactRecord::Clear()
{
    m_text = EmptyText();
    m_search = EmptySearch();
}

void ContactRecord::RefreshSearch()
{
    const qsizetype n = m_text.size();
    const char* src = m_text.constData();
    if (IsSevenBit(m_text, kEnd)) {
        QByteArray search(n, Qt::Uninitialized);
        char* d = search.data();
        for (qsizetype i = 0; i < n; ++i) {
            const char c = src[i];
            d[i] = c == kEnd ? ' ' : (c >= 'a' && c <= 'z') ? char(c - 32) : c;
        }
        m_search = std::move(search);
        return;
    }
    QByteArray joined = m_text;
    joined.replace(kEnd, ' ');
    m_search = QString::fromUtf8(joined).toUpper().toUtf8();
}

void ContactRecord::AssignLine(QStringView line, QChar delimiter)
{
    int found = 0;
    const qsizetype cut = CutPoint(line.utf16(), line.size(), delimiter.unicode(), found);
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
    m_text = std::move(text);
    RefreshSearch();
}

bool ContactRecord::AssignAsciiLine(QByteArrayView line, char delimiter)
{
    const char* p = line.data();
    const qsizetype n = line.size();
    unsigned char high = 0;
    for (qsizetype i = 0; i < n; ++i)
        high |= static_cast<unsigned char>(p[i]);
    if (high >= 0x80)
        return false;
    int found = 0;
    const qsizetype cut = CutPoint(p, n, delimiter, found);
    const qsizetype size = cut + (ContactField::Count - found);
    QByteArray text(size, Qt::Uninitialized);
    QByteArray search(size, Qt::Uninitialized);
    char* t = text.data();
    char* s = search.data();
    for (qsizetype i = 0; i < cut; ++i) {
        const char c = p[i];
        const bool d = c == delimiter;
        t[i] = d ? kEnd : c;
        s[i] = d ? ' ' : (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    }
    std::memset(t + cut, kEnd, size - cut);
    std::memset(s + cut, ' ', size - cut);
    m_text = std::move(text);
    m_search = std::move(search);
    return true;
}

void ContactRecord::AppendUtf8Line(QByteArray& out, char delimiter) const
{
    const qsizetype at = out.size();
    out.append(m_text);
    char* p = out.data() + at;
    const qsizetype n = m_text.size();
    for (qsizetype i = 0; i < n; ++i)
        p[i] = p[i] == kEnd ? delimiter : p[i];
}
