#include "core/contacts/ContactCsv.h"

#include "core/platform/TextCodec.h"

#include <cstring>
#include <vector>

using namespace ContactImportDetail;

namespace {

namespace F = ContactField;

// The written columns, in the card's order.
struct WrittenColumn {
    const char* title;
    int field;
};
constexpr WrittenColumn kColumns[12] = {
    {"Chat Name", F::ChatName}, {"Real Name", F::RealName}, {"Met At", F::MetAt},
    {"E-mail", F::Email},       {"Web Site", F::Website},   {"Age", F::Age},
    {"Sex", F::Sex},            {"Height", F::Height},      {"Weight", F::Weight},
    {"Hair", F::Hair},          {"Eyes", F::Eyes},          {"Notes", F::Notes}};

// Columns read besides the field numbers.
enum Role : int { kIgnored = -1, kGivenName = -2, kMiddleName = -3, kFamilyName = -4 };

// How a column's text is read besides its role.
enum Reading : unsigned {
    kAsIs = 0,
    kTelling = 1,   // a header holding such a column is an address book's
    kList = 2,      // several values joined by " ::: ", the first is kept
    kGenderWord = 4 // "Unspecified" means no value
};

// Header titles known on reading.
struct Alias {
    const char* title;
    int role;
    unsigned reading;
};
constexpr Alias kAliases[] = {
    // this program's own
    {"Chat Name", F::ChatName, kTelling},
    {"Real Name", F::RealName, kAsIs},
    {"Met At", F::MetAt, kAsIs},
    {"E-mail", F::Email, kAsIs},
    {"Web Site", F::Website, kAsIs},
    {"Age", F::Age, kAsIs},
    {"Sex", F::Sex, kAsIs},
    {"Height", F::Height, kAsIs},
    {"Weight", F::Weight, kAsIs},
    {"Hair", F::Hair, kAsIs},
    {"Eyes", F::Eyes, kAsIs},
    {"Notes", F::Notes, kAsIs},
    // web mail and desktop address books
    {"Nickname", F::ChatName, kAsIs},
    {"Name", F::RealName, kAsIs},
    {"Display Name", F::RealName, kTelling},
    {"Given Name", kGivenName, kTelling},
    {"First Name", kGivenName, kTelling},
    {"Additional Name", kMiddleName, kAsIs},
    {"Middle Name", kMiddleName, kAsIs},
    {"Family Name", kFamilyName, kTelling},
    {"Last Name", kFamilyName, kTelling},
    {"E-mail 1 - Value", F::Email, kTelling | kList},
    {"Primary Email", F::Email, kTelling},
    {"E-mail Address", F::Email, kTelling},
    {"Website 1 - Value", F::Website, kList},
    {"Web Page 1", F::Website, kAsIs},
    {"Web Page", F::Website, kAsIs},
    {"Personal Web Page", F::Website, kAsIs},
    {"Gender", F::Sex, kGenderWord},
};

// Columns of data a contact has no field for, told by words in their
// titles, for the import summary.
struct LeftOutWord {
    const char* word;
    LeftOut kind;
};
constexpr LeftOutWord kLeftOutWords[] = {
    {"phone", LeftOut::PhoneNumbers}, {"mobile", LeftOut::PhoneNumbers},
    {"fax", LeftOut::PhoneNumbers},   {"pager", LeftOut::PhoneNumbers},
    {"street", LeftOut::Addresses},   {"city", LeftOut::Addresses},
    {"postal", LeftOut::Addresses},   {"zip", LeftOut::Addresses},
    {"address", LeftOut::Addresses},  {"birth", LeftOut::Birthdays},
    {"company", LeftOut::Organisations}, {"organization", LeftOut::Organisations},
    {"organisation", LeftOut::Organisations}, {"job title", LeftOut::Organisations},
};

unsigned LeftOutBitOf(const QString& title)
{
    // "E-mail Address" and its kind name an address of another sort.
    if (title.contains(QLatin1String("mail"), Qt::CaseInsensitive))
        return 0;
    for (const LeftOutWord& w : kLeftOutWords)
        if (title.contains(QLatin1String(w.word), Qt::CaseInsensitive))
            return 1u << int(w.kind);
    return 0;
}

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

// Splits CSV bytes into rows and fields (split at a comma, or at the
// separator given): fields quoted or not, quotes
// doubled inside quoted fields, rows ending in CR LF, LF or CR, line breaks
// inside quoted fields kept. A quote inside an unquoted field, and text
// after a closing quote, are taken as they are.
class CsvRows {
public:
    enum class Result { Row, End, Unclosed };

    CsvRows(QByteArrayView bytes, char separator)
        : m_p(bytes.data()), m_n(bytes.size()), m_separator(separator)
    {
    }

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
            while (end < m_n && m_p[end] != m_separator && m_p[end] != '\r' && m_p[end] != '\n')
                ++end;
            if (keep) {
                m_text.append(m_p + m_pos, end - m_pos);
                m_spans.emplace_back(start, m_text.size() - start);
            }
            m_pos = end;
            ++field;
            if (m_pos < m_n && m_p[m_pos] == m_separator) {
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
    char m_separator;
    qsizetype m_pos = 0;
    qsizetype m_line = 1;
    qsizetype m_rowLine = 1;
    QByteArray m_text;
    std::vector<std::pair<qsizetype, qsizetype>> m_spans;
};

// One web mail puts several addresses of one kind into one cell, joined by
// " ::: "; the first is kept.
QString FirstOfList(const QString& text)
{
    const qsizetype at = text.indexOf(QLatin1String(" ::: "));
    return at < 0 ? text : text.first(at);
}

struct Column {
    int role = kIgnored;
    unsigned reading = kAsIs;
    unsigned leftOut = 0;
};

// The columns of a header row; empty when it is not an address book's.
std::vector<Column> ReadHeader(CsvRows& csv)
{
    std::vector<Column> columns;
    bool telling = false;
    if (csv.Next(kMaxColumns) != CsvRows::Result::Row)
        return columns;
    for (int i = 0; i < csv.FieldCount(); ++i) {
        const QString title = DecodeLine(csv.Field(i)).trimmed();
        Column& c = columns.emplace_back();
        for (const Alias& a : kAliases)
            if (title.compare(QLatin1String(a.title), Qt::CaseInsensitive) == 0) {
                c.role = a.role;
                c.reading = a.reading;
                telling = telling || (a.reading & kTelling);
                break;
            }
        if (c.role == kIgnored)
            c.leftOut = LeftOutBitOf(title);
    }
    if (!telling)
        columns.clear();
    return columns;
}

QString JoinedName(const QString& given, const QString& middle, const QString& family)
{
    QString name;
    for (const QString& part : {given, middle, family}) {
        const QString word = part.trimmed();
        if (word.isEmpty())
            continue;
        if (!name.isEmpty())
            name += u' ';
        name += word;
    }
    return name;
}

} // namespace

QByteArray ContactsToCsv(std::span<const ContactRecord> contacts)
{
    QByteArray out("\xEF\xBB\xBF");
    out.reserve(qsizetype(contacts.size()) * 400 + 128);
    for (const WrittenColumn& c : kColumns) {
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
        for (const WrittenColumn& c : kColumns) {
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
    // The separator is the one that makes the header row an address book's:
    // a comma, or the semicolon or tab of spreadsheet programs in locales
    // that write the comma as the decimal point.
    char separator = ',';
    std::vector<Column> columns;
    for (const char s : {',', ';', '\t'}) {
        CsvRows header(bytes, s);
        columns = ReadHeader(header);
        if (!columns.empty()) {
            separator = s;
            break;
        }
    }
    if (columns.empty()) {
        if (error)
            *error = QStringLiteral("The file's first row does not name the columns of an "
                                    "address book (such as \"Chat Name\", \"First Name\", "
                                    "\"Display Name\" or \"Primary Email\").");
        return false;
    }
    CsvRows csv(bytes, separator);
    csv.Next(kMaxColumns);

    Sink sink(out);
    while (true) {
        const CsvRows::Result result = csv.Next(int(columns.size()));
        if (result == CsvRows::Result::End)
            break;
        if (result == CsvRows::Result::Unclosed) {
            sink.Skip(csv.RowLine(), QStringLiteral("a quoted field is never closed (the rest "
                                                    "of the file would be part of it)"));
            break;
        }
        std::array<QString, F::Count> fields;
        QString given, middle, family;
        bool blank = true;
        bool tooLong = false;
        unsigned leftOut = 0;
        for (int i = 0; i < csv.FieldCount(); ++i) {
            const QByteArrayView cell = csv.Field(i);
            if (cell.isEmpty())
                continue;
            blank = false;
            const Column& column = columns[size_t(i)];
            leftOut |= column.leftOut;
            if (column.role == kIgnored)
                continue;
            QString& target = column.role >= 0            ? fields[column.role]
                              : column.role == kGivenName  ? given
                              : column.role == kMiddleName ? middle
                                                           : family;
            if (!target.isEmpty())
                continue;
            if (cell.size() > kMaxValueBytes) {
                tooLong = true;
                break;
            }
            target = CleanText(DecodeLine(cell));
            if (column.reading & kList)
                target = FirstOfList(target);
            if ((column.reading & kGenderWord) &&
                target.trimmed().compare(QLatin1String("Unspecified"), Qt::CaseInsensitive) == 0)
                target.clear();
        }
        if (blank)
            continue;
        if (tooLong) {
            sink.Skip(csv.RowLine(), QStringLiteral("the row holds more text than a contact can "
                                                    "(%1 characters)")
                                         .arg(kMaxContactChars));
            continue;
        }
        if (fields[F::RealName].isEmpty())
            fields[F::RealName] = JoinedName(given, middle, family);
        if (!sink.Add(fields, csv.RowLine(), "row", leftOut))
            break;
    }
    sink.Finish();
    return true;
}
