#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>
#include <array>

// The fields of a contact that have a meaning; every other field of the 82 is
// reserved: read from the file, written back unchanged and searched. Older
// copies of the program keep Identity and ChangedAt as reserved fields.
namespace ContactField {
enum : int {
    ContactID = 0,
    // Written by the program, never shown or searched: the contact's identity
    // (the same on every machine, never given to another contact) and the
    // time of its last change (UTC, "2026-12-09T22:05:09.123Z").
    Identity = 1,
    ChangedAt = 2,
    Notes = 18,
    ChatName = 24,
    Sex = 25,
    RealName = 26,
    Email = 40,
    Website = 41,
    Height = 42,
    MetAt = 55,
    Hair = 59,
    Weight = 60,
    Eyes = 61,
    Age = 79,
};
constexpr int Count = 82;
// The fields the card shows: CardFields in contacts/CardLayout.h.
} // namespace ContactField

// One contact: 82 text fields, numbered 0 to 81.
//
// A table of tens of thousands of contacts is kept compact: the fields live in
// one UTF-8 buffer, each field followed by the byte 0xFF (a byte that never
// occurs in UTF-8). A search looks at all fields upper-cased and joined by
// spaces; for a record of 7-bit text that line is folded on the fly while
// searching, and for any other record it is kept in the same buffer behind
// the fields, refreshed whenever a field changes. Either way a search
// allocates nothing per record.
class ContactRecord {
public:
    ContactRecord();

    // The text of field 0 to 81; empty for any other index.
    QString Field(int index) const;
    // Sets field 0 to 81; other indexes are ignored.
    void SetField(int index, const QString& text);
    // The same for text given as UTF-8 (bytes that are not valid UTF-8 are
    // decoded as SetField's text would hold them).
    void SetFieldUtf8(int index, QByteArrayView utf8);
    // Empties all 82 fields; the record stays the same contact (Serial).
    void Clear();
    // A number that tells this contact from every other one made in this run;
    // copies of a record share it. Never written to the file.
    quint64 Serial() const { return m_serial; }
    // The number of characters of the record's file line: every field and
    // its delimiter (a character outside the Basic Multilingual Plane counts
    // as one, as the reader counts it).
    qsizetype LineLength() const;
    // Whether that number is at most `limit`, cheaply for short lines.
    bool LineFits(qsizetype limit) const { return m_split <= limit || LineLength() <= limit; }
    bool operator==(const ContactRecord& other) const { return Text() == other.Text(); }
    // The UTF-8 bytes of field 0 to 81, without a copy.
    QByteArrayView FieldBytes(int index) const;
    // The same for all 82 fields at once.
    std::array<QByteArrayView, ContactField::Count> AllFieldBytes() const;
    // The fields after ChangedAt, each followed by the byte 0xFF.
    QByteArrayView ContentBytes() const { return Text().sliced(Unsearched().second); }
    // Whether every field but the ID and the change time is the same.
    bool SameContent(const ContactRecord& other) const;

    // Reads a line: field k is the text between delimiter k and k + 1; text
    // after the 82nd delimiter is ignored and missing fields are empty.
    void AssignLine(QStringView line, QChar delimiter);
    // The same for a line of valid UTF-8 and a 7-bit delimiter.
    void AssignUtf8Line(QByteArrayView line, char delimiter);
    // The same for a line of 7-bit bytes only. Returns false, changing
    // nothing, when the line holds any other byte.
    bool AssignAsciiLine(QByteArrayView line, char delimiter);
    // Appends the fields as UTF-8, each followed by the delimiter.
    void AppendUtf8Line(QByteArray& out, char delimiter) const;
    // For writing many records at once: appends the fields each followed by
    // the byte 0xFF; EndsToDelimiter then turns those bytes of a whole block
    // into the delimiter.
    void AppendText(QByteArray& out) const { out.append(Text()); }
    static void EndsToDelimiter(char* p, qsizetype n, char delimiter);

    // Whether the search line (all fields but Identity and ChangedAt
    // upper-cased, each followed by a space) contains `needle`, which is upper-cased UTF-8 and not empty;
    // `needleIs7Bit` tells whether all its bytes are below 0x80.
    bool SearchLineContains(QByteArrayView needle, bool needleIs7Bit) const;

private:
    QByteArrayView Text() const { return QByteArrayView(m_data).first(m_split); }
    // Byte range [begin, end) of a field inside the text.
    std::pair<qsizetype, qsizetype> Span(int index) const;
    // Where the fields a search skips lie: from the end of the ID's end byte
    // to the end of ChangedAt's.
    std::pair<qsizetype, qsizetype> Unsearched() const;
    // Takes a new text (82 fields, each followed by 0xFF).
    void SetText(QByteArray text);
    // Sets field 0 to 81 to valid UTF-8.
    void SetValidUtf8(int index, QByteArrayView utf8);
    // Puts valid UTF-8 in place of the bytes [begin, end) of the text where
    // that leaves the search line as it is; false, changing nothing, where it
    // does not.
    bool SpliceKeepingSearchLine(int index, qsizetype begin, qsizetype end, QByteArrayView utf8);

    // One allocation per record: the text, then, only when the text is not
    // all 7-bit, its search line.
    QByteArray m_data;
    qsizetype m_split = 0;
    quint64 m_serial = 0;
};
