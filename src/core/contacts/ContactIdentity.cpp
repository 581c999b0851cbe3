#include "core/contacts/ContactIdentity.h"

#include <QHash>
#include <QSet>
#include <QtEndian>
#include <QUuid>

#include <array>
#include <cstring>
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
// like a UUID (version 8, "defined by the maker"), in lower-case hex.
struct Derived {
    std::array<char, kIdentityChars> text;
    QByteArrayView View() const { return QByteArrayView(text.data(), kIdentityChars); }
};

Derived DerivedIdentity(const ContactRecord& record, int occurrence)
{
    const QByteArrayView content = record.ContentBytes();
    const quint64 high = Mix(Hash64(content, 0xcbf29ce484222325ull) + quint64(occurrence));
    const quint64 low = Mix(Hash64(content, 0x84222325cbf29ce4ull) ^ high);
    unsigned char raw[16];
    for (int i = 0; i < 8; ++i) {
        raw[i] = static_cast<unsigned char>(high >> (56 - 8 * i));
        raw[8 + i] = static_cast<unsigned char>(low >> (56 - 8 * i));
    }
    raw[6] = static_cast<unsigned char>((raw[6] & 0x0f) | 0x80);
    raw[8] = static_cast<unsigned char>((raw[8] & 0x3f) | 0x80);
    static constexpr char kHex[] = "0123456789abcdef";
    Derived id;
    char* out = id.text.data();
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            *out++ = '-';
        *out++ = kHex[raw[i] >> 4];
        *out++ = kHex[raw[i] & 0x0f];
    }
    return id;
}

} // namespace

QString NewContactIdentity() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }

QString ChangeStamp(const QDateTime& when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

int GiveIdentities(std::span<ContactRecord> contacts, qsizetype maxLineLength)
{
    // Views of the identities in the records.
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
    // The next occurrence to try for each content (by its first identity):
    // a book of many identical contacts (blank ones, say) is not searched
    // from the start again for each of them.
    QHash<QByteArray, int> nextOccurrence;
    int changed = 0;
    // Identical contacts take the next free occurrence, in file order. A
    // record takes its identity once and is not changed again here, so the
    // view of its identity in `taken` stays valid.
    for (ContactRecord* r : without) {
        const qsizetype held = r->FieldBytes(ContactField::Identity).size();
        if (!r->LineFits(maxLineLength - kIdentityChars + held)) {
            r->SetField(ContactField::Identity, QString());
            continue;
        }
        ++changed;
        const Derived first = DerivedIdentity(*r, 0);
        const auto next = nextOccurrence.isEmpty()
                              ? nextOccurrence.cend()
                              : nextOccurrence.constFind(first.View().toByteArray());
        int occurrence = next == nextOccurrence.cend() ? 0 : next.value();
        for (;; ++occurrence) {
            const Derived id = occurrence == 0 ? first : DerivedIdentity(*r, occurrence);
            if (!taken.contains(id.View())) {
                r->SetFieldUtf8(ContactField::Identity, id.View());
                taken.insert(r->FieldBytes(ContactField::Identity));
                break;
            }
        }
        // Only a content whose first identity was taken can ask again.
        if (occurrence > 0 || next != nextOccurrence.cend())
            nextOccurrence.insert(first.View().toByteArray(), occurrence + 1);
    }
    return changed;
}
