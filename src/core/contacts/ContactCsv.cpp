#include "core/contacts/ContactCsv.h"

#include "core/platform/TextCodec.h"

#include <cstring>
#include <vector>

using namespace ContactImportDetail;

namespace {

namespace F = ContactField;

// The written columns, in the card's order.
struct Column {
    const char* title;
    int field;
};
constexpr Column kColumns[12] = {
    {"Chat Name", F::ChatName}, {"Real Name", F::RealName}, {"Met At", F::MetAt},
    {"E-mail", F::Email},       {"Web Site", F::Website},   {"Age", F::Age},
    {"Sex", F::Sex},            {"Height", F::Height},      {"Weight", F::Weight},
    {"Hair", F::Hair},          {"Eyes", F::Eyes},          {"Notes", F::Notes}};

// Columns read besides the field numbers.
enum Role : int { kIgnored = -1, kGivenName = -2, kFamilyName = -3 };

// Header titles known on reading. A header is taken for an address book's
// when it holds at least one column marked as telling.
struct Alias {
    const char* title;
    int role;
    bool telling;
};
constexpr Alias kAliases[] = {
    // this program's own
    {"Chat Name", F::ChatName, true},
    {"Real Name", F::RealName, false},
    {"Met At", F::MetAt, false},
    {"E-mail", F::Email, false},
    {"Web Site", F::Website, false},
    {"Age", F::Age, false},
    {"Sex", F::Sex, false},
    {"Height", F::Height, false},
    {"Weight", F::Weight, false},
    {"Hair", F::Hair, false},
    {"Eyes", F::Eyes, false},
    {"Notes", F::Notes, false},
    // web mail and desktop address books
    {"Nickname", F::ChatName, false},
    {"Name", F::RealName, false},
    {"Display Name", F::RealName, true},
    {"Given Name", kGivenName, true},
    {"First Name", kGivenName, true},
    {"Family Name", kFamilyName, true},
    {"Last Name", kFamilyName, true},
    {"E-mail 1 - Value", F::Email, true},
    {"Primary Email", F::Email, true},
    {"E-mail Address", F::Email, true},
    {"Website 1 - Value", F::Website, false},
    {"Web Page 1", F::Website, false},
    {"Web Page", F::Website, false},
    {"Gender", F::Sex, false},
};

// Header columns past this many are ignored.
constexpr int kMaxColumns = 1024;

void AppendCsvField(QByteArray& out, QByteArrayView v)
{
    bool quote = false;
    for (char c : v)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    if (!quote) {
        out.append(v);
        return;
    }
    out.append('"');
    qsizetype done = 0;
    for (qsizetype i = 0; i < v.size(); ++i)
        if (v[i] == '"') {
            out.append(v.sliced(done, i + 1 - done)).append('"');
            done = i + 1;
        }
    out.append(v.sliced(done)).append('"');
}

// Splits CSV bytes into rows and fields: fields quoted or not, quotes
// doubled inside quoted fields, rows ending in CR LF, LF or CR, line breaks
// inside quoted fields kept. A quote inside an unquoted field, and text
// after a closing quote, are taken as they are.
class CsvRows {
public:
    enum class Result { Row, End, Unclosed };

    explicit CsvRows(QByteArrayView bytes) : m_p(bytes.data()), m_n(bytes.size()) {}

    // Reads the next row, keeping its first maxFields fields.
    Result Next(int maxFields)
    {
        if (m_pos >= m_n)
            return Result::End;
        m_rowLine = m_line;
        m_text.clear();
        m_spans.clear();
        int field = 0;
        while (true) {
            const bool keep = field < maxFields;
            const qsizetype start = m_text.size();
            if (m_pos < m_n && m_p[m_pos] == '"') {
                ++m_pos;
                while (true) {
                    const void* q = std::memchr(m_p + m_pos, '"', size_t(m_n - m_pos));
                    if (!q) {
                        m_pos = m_n;
                        return Result::Unclosed;
                    }
                    const qsizetype at = static_cast<const char*>(q) - m_p;
                    CountLines(m_pos, at);
                    if (keep)
                        m_text.append(m_p + m_pos, at - m_pos);
                    m_pos = at + 1;
                    if (m_pos < m_n && m_p[m_pos] == '"') {
                        if (keep)
                            m_text.append('"');
                        ++m_pos;
                        continue;
                    }
                    break;
                }
            }
            qsizetype end = m_pos;
            while (end < m_n && m_p[end] != ',' && m_p[end] != '\r' && m_p[end] != '\n')
                ++end;
            if (keep) {
                m_text.append(m_p + m_pos, end - m_pos);
                m_spans.emplace_back(start, m_text.size() - start);
            }
            m_pos = end;
            ++field;
            if (m_pos < m_n && m_p[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_pos < m_n) {
                m_pos += (m_p[m_pos] == '\r' && m_pos + 1 < m_n && m_p[m_pos + 1] == '\n') ? 2 : 1;
                ++m_line;
            }
            return Result::Row;
        }
    }

    qsizetype RowLine() const { return m_rowLine; }
    int FieldCount() const { return int(m_spans.size()); }
    QByteArrayView Field(int i) const
    {
        return QByteArrayView(m_text).sliced(m_spans[i].first, m_spans[i].second);
    }

private:
    void CountLines(qsizetype from, qsizetype to)
    {
        for (qsizetype i = from; i < to; ++i)
            if (m_p[i] == '\n' || (m_p[i] == '\r' && (i + 1 == m_n || m_p[i + 1] != '\n')))
                ++m_line;
    }

    const char* m_p;
    qsizetype m_n;
    qsizetype m_pos = 0;
    qsizetype m_line = 1;
    qsizetype m_rowLine = 1;
    QByteArray m_text;
    std::vector<std::pair<qsizetype, qsizetype>> m_spans;
};

// Address books put several addresses of one kind into one cell, joined by
// " ::: "; the first is kept.
QString FirstOfList(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String(" ::: "));
    return at < 0 ? text : text.first(at);
}

} // namespace

QByteArray ContactsToCsv(std::span<const ContactRecord> contacts)
{
    QByteArray out("\xEF\xBB\xBF");
    out.reserve(qsizetype(contacts.size()) * 400 + 128);
    for (const Column& c : kColumns) {
        if (c.field != kColumns[0].field)
            out.append(',');
        out.append(c.title);
    }
    out.append("\r\n");
    QByteArray line;
    std::array<QByteArrayView, F::Count> f;
    for (const ContactRecord& record : contacts) {
        line.clear();
        record.AppendUtf8Line(line, char(31));
        qsizetype start = 0;
        for (int i = 0; i < F::Count; ++i) {
            const qsizetype end = line.indexOf(char(31), start);
            f[i] = QByteArrayView(line).sliced(start, end - start);
            start = end + 1;
        }
        for (const Column& c : kColumns) {
            if (c.field != kColumns[0].field)
                out.append(',');
            AppendCsvField(out, f[c.field]);
        }
        out.append("\r\n");
    }
    return out;
}

bool ReadContactCsv(const QByteArray& raw, ContactImport& out, QString* error)
{
    const QByteArray bytes = WithoutByteOrderMark(raw);
    CsvRows csv(bytes);

    std::vector<int> roles;
    bool telling = false;
    if (csv.Next(kMaxColumns) == CsvRows::Result::Row) {
        for (int i = 0; i < csv.FieldCount(); ++i) {
            const QString title = DecodeLine(csv.Field(i)).trimmed();
            int role = kIgnored;
            for (const Alias& a : kAliases)
                if (title.compare(QLatin1String(a.title), Qt::CaseInsensitive) == 0) {
                    role = a.role;
                    telling = telling || a.telling;
                    break;
                }
            roles.push_back(role);
        }
    }
    if (!telling) {
        if (error)
            *error = QStringLiteral("The file's first row does not name the columns of an "
                                    "address book (such as \"Chat Name\", \"First Name\", "
                                    "\"Display Name\" or \"Primary Email\").");
        return false;
    }

    Sink sink(out);
    while (true) {
        const CsvRows::Result result = csv.Next(int(roles.size()));
        if (result == CsvRows::Result::End)
            break;
        if (result == CsvRows::Result::Unclosed) {
            sink.Skip(csv.RowLine(), QStringLiteral("a quoted field is never closed (the rest "
                                                    "of the file would be part of it)"));
            break;
        }
        std::array<QString, F::Count> fields;
        QString given;
        QString family;
        bool blank = true;
        bool tooLong = false;
        for (int i = 0; i < csv.FieldCount(); ++i) {
            const QByteArrayView cell = csv.Field(i);
            if (cell.isEmpty())
                continue;
            blank = false;
            const int role = roles[i];
            if (role == kIgnored)
                continue;
            QString& target = role >= 0 ? fields[role] : role == kGivenName ? given : family;
            if (!target.isEmpty())
                continue;
            if (cell.size() > kMaxValueBytes) {
                tooLong = true;
                break;
            }
            target = CleanText(DecodeLine(cell));
        }
        if (blank)
            continue;
        if (tooLong) {
            sink.Skip(csv.RowLine(), QStringLiteral("the row holds more text than a contact can "
                                                    "(%1 characters)")
                                         .arg(kMaxContactChars));
            continue;
        }
        fields[F::Email] = FirstOfList(fields[F::Email]);
        fields[F::Website] = FirstOfList(fields[F::Website]);
        if (fields[F::RealName].isEmpty()) {
            given = given.trimmed();
            family = family.trimmed();
            fields[F::RealName] =
                given.isEmpty() || family.isEmpty() ? given + family : given + u' ' + family;
        }
        if (!sink.Add(fields, csv.RowLine(), "row"))
            break;
    }
    sink.Finish();
    return true;
}
