#include "core/contacts/ContactIdentity.h"

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <QUuid>

#include <cstring>
#include <deque>
#include <vector>

namespace {

// A UUID as text.
constexpr qsizetype kIdentityChars = 36;

// A 64-bit hash taken eight bytes at a time, with a given start: the same
// on every machine and in every version of the program, which a hash of the
// library's need not be.
quint64 Mix(quint64 h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

quint64 Hash64(QByteArrayView bytes, quint64 hash)
{
    const char* p = bytes.data();
    qsizetype n = bytes.size();
    hash ^= quint64(n) * 0x9e3779b97f4a7c15ull;
    for (; n >= 8; p += 8, n -= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        hash = (hash ^ qFromLittleEndian(w)) * 0x100000001b3ull;
        hash ^= hash >> 29;
    }
    quint64 tail = 0;
    for (qsizetype i = 0; i < n; ++i)
        tail |= quint64(static_cast<unsigned char>(p[i])) << (8 * i);
    return Mix(hash ^ tail);
}

// An identity made of the fields after ChangedAt and the occurrence, written
// like a UUID (version 8, "defined by the maker").
QString DerivedIdentity(const ContactRecord& record, int occurrence)
{
    const QByteArrayView content = record.ContentBytes();
    const quint64 high = Mix(Hash64(content, 0xcbf29ce484222325ull) + quint64(occurrence));
    const quint64 low = Mix(Hash64(content, 0x84222325cbf29ce4ull) ^ high);
    QByteArray raw(16, Qt::Uninitialized);
    for (int i = 0; i < 8; ++i) {
        raw[i] = char(high >> (56 - 8 * i));
        raw[8 + i] = char(low >> (56 - 8 * i));
    }
    raw[6] = char((raw[6] & 0x0f) | 0x80);
    raw[8] = char((raw[8] & 0x3f) | 0x80);
    return QUuid::fromRfc4122(raw).toString(QUuid::WithoutBraces);
}

} // namespace

QString NewContactIdentity() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QString ChangeStamp(const QDateTime& when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

int GiveIdentities(std::span<ContactRecord> contacts, qsizetype maxLineLength)
{
    // Views into the records that keep theirs, and into `given`.
    QSet<QByteArrayView> taken;
    taken.reserve(qsizetype(contacts.size()));
    std::vector<ContactRecord*> without;
    for (ContactRecord& r : contacts) {
        const QByteArrayView id = r.FieldBytes(ContactField::Identity);
        if (id.isEmpty() || taken.contains(id))
            without.push_back(&r);
        else
            taken.insert(id);
    }
    if (without.empty())
        return 0;
    std::deque<QByteArray> given;
    // The next occurrence to try for each content (by its first identity):
    // a book of many identical contacts (blank ones, say) is not searched
    // from the start again for each of them.
    QHash<QString, int> nextOccurrence;
    int changed = 0;
    // Identical contacts take the next free occurrence, in file order.
    for (ContactRecord* r : without) {
        const qsizetype held = r->FieldBytes(ContactField::Identity).size();
        if (!r->LineFits(maxLineLength - kIdentityChars + held)) {
            r->SetField(ContactField::Identity, QString());
            continue;
        }
        ++changed;
        const QString first = DerivedIdentity(*r, 0);
        int occurrence = nextOccurrence.value(first, 0);
        for (;; ++occurrence) {
            const QString id = occurrence == 0 ? first : DerivedIdentity(*r, occurrence);
            QByteArray bytes = id.toUtf8();
            if (!taken.contains(bytes)) {
                taken.insert(given.emplace_back(std::move(bytes)));
                r->SetField(ContactField::Identity, id);
                break;
            }
        }
        nextOccurrence.insert(first, occurrence + 1);
    }
    return changed;
}
