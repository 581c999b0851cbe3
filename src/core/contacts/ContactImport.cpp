#include "core/contacts/ContactImport.h"

#include "core/contacts/ContactStore.h"

#include <QStringDecoder>

namespace ContactImportDetail {

namespace {
constexpr qsizetype kMaxNotes = 500;
}

QString CleanText(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* d = out.data();
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == 0xFEFF)
            continue; // a byte-order mark the decoder would drop at the start only
        if (c >= 32)
            d[n++] = QChar(c);
        else if (c == '\n' || (c == '\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            d[n++] = QLatin1Char(' ');
    }
    out.truncate(n);
    return out;
}

QByteArray WithoutByteOrderMark(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.sliced(3);
    const bool le = bytes.startsWith("\xFF\xFE");
    if (le || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = decoder.decode(QByteArrayView(bytes).sliced(2));
        return text.toUtf8();
    }
    return bytes;
}

bool Sink::Room(qsizetype line, const char* what)
{
    if (m_full)
        return false;
    if (m_out.contacts.size() >= size_t(MaxContacts)) {
        m_full = true;
        m_out.unreadable.append(QStringLiteral("line %1: the address book holds at most %2 "
                                               "contacts; this %3 and the ones after it were "
                                               "not read")
                                    .arg(line)
                                    .arg(MaxContacts)
                                    .arg(QLatin1String(what)));
        return false;
    }
    return true;
}

bool Sink::Fits(qsizetype chars, qsizetype identityChars, qsizetype line, const char* what)
{
    // A card with nothing but its UID holds nothing kept here either.
    if (chars == identityChars) {
        Skip(line, qstrcmp(what, "row") == 0
                       ? QStringLiteral("the row holds none of the fields kept here (name, "
                                        "e-mail, web site, notes...)")
                       : QStringLiteral("the card holds none of the fields kept here (name, "
                                        "e-mail, web site, notes...)"));
        return false;
    }
    if (chars > kMaxContactChars) {
        Skip(line, QStringLiteral("the %1 holds more text than a contact can (%2 characters)")
                       .arg(QLatin1String(what))
                       .arg(kMaxContactChars));
        return false;
    }
    return true;
}

void Sink::CountLeftOut(unsigned leftOut)
{
    for (int k = 0; k < int(LeftOut::Count); ++k)
        if (leftOut & (1u << k))
            ++m_out.leftOut[k];
}

bool Sink::Add(std::array<QString, ContactField::Count>& fields, qsizetype line,
               const char* what, unsigned leftOut)
{
    if (!Room(line, what))
        return false;
    fields[ContactField::ContactID].clear();
    qsizetype chars = 0;
    for (const QString& f : fields)
        chars += f.size();
    if (!Fits(chars, fields[ContactField::Identity].size(), line, what))
        return true;
    QString joined;
    joined.reserve(chars + ContactField::Count);
    for (const QString& f : fields)
        joined.append(f).append(QChar(31));
    m_out.contacts.emplace_back().AssignLine(joined, QChar(31));
    CountLeftOut(leftOut);
    return true;
}

bool Sink::AddAscii(QByteArrayView fields, qsizetype line, const char* what, unsigned leftOut)
{
    if (!Room(line, what))
        return false;
    const qsizetype identityStart = fields.indexOf(char(31)) + 1;
    const qsizetype identityChars =
        qMax<qsizetype>(0, fields.indexOf(char(31), identityStart) - identityStart);
    if (!Fits(fields.size() - ContactField::Count, identityChars, line, what))
        return true;
    ContactRecord& record = m_out.contacts.emplace_back();
    if (!record.AssignAsciiLine(fields, char(31)))
        record.AssignLine(QString::fromLatin1(fields), QChar(31));
    CountLeftOut(leftOut);
    return true;
}

bool Sink::AddUtf8(QByteArrayView fields, qsizetype chars, qsizetype identityChars,
                   qsizetype line, const char* what, unsigned leftOut)
{
    if (!Room(line, what))
        return false;
    if (!Fits(chars, identityChars, line, what))
        return true;
    m_out.contacts.emplace_back().AssignUtf8Line(fields, char(31));
    CountLeftOut(leftOut);
    return true;
}

void Sink::SkipLine(qsizetype line, const QString& why)
{
    ++m_out.skippedLines;
    if (!why.isEmpty() && m_out.skippedLineNotes.size() < kMaxNotes)
        m_out.skippedLineNotes.append(QStringLiteral("line %1: ").arg(line) + why);
}

bool Sink::Noting() const { return m_out.unreadable.size() < kMaxNotes; }

void Sink::Skip(qsizetype line, const QString& why)
{
    if (!Noting()) {
        ++m_leftOut;
        return;
    }
    m_out.unreadable.append(QStringLiteral("line %1: ").arg(line) + why);
}

void Sink::Finish()
{
    if (m_leftOut > 0)
        m_out.unreadable.append(
            QStringLiteral("%1 more cards or rows were skipped").arg(m_leftOut));
    m_leftOut = 0;
}

} // namespace ContactImportDetail

bool SameContact(const ContactRecord& a, const ContactRecord& b)
{
    for (int f : {ContactField::ChatName, ContactField::RealName, ContactField::Email})
        if (a.Field(f).compare(b.Field(f), Qt::CaseInsensitive) != 0)
            return false;
    return true;
}
