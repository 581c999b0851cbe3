#include "core/contacts/ContactIdentity.h"

#include <QSet>
#include <QUuid>

#include <deque>
#include <vector>

namespace {

// The name space of identities derived from a contact's fields.
const QUuid kDerivedNamespace(QStringLiteral("{6a0f5e1c-3b7d-4c52-9f0e-b1d2c3a4e5f6}"));

// A UUID as text.
constexpr qsizetype kIdentityChars = 36;

QString DerivedIdentity(const ContactRecord& record, int occurrence)
{
    QByteArray key = record.ContentBytes().toByteArray();
    key.append(QByteArray::number(occurrence));
    return QUuid::createUuidV5(kDerivedNamespace, key).toString(QUuid::WithoutBraces);
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
    int changed = 0;
    // Identical contacts take the next free occurrence, in file order.
    for (ContactRecord* r : without) {
        const qsizetype held = r->FieldBytes(ContactField::Identity).size();
        if (!r->LineFits(maxLineLength - kIdentityChars + held)) {
            r->SetField(ContactField::Identity, QString());
            continue;
        }
        ++changed;
        for (int occurrence = 0;; ++occurrence) {
            const QString id = DerivedIdentity(*r, occurrence);
            QByteArray bytes = id.toUtf8();
            if (!taken.contains(bytes)) {
                taken.insert(given.emplace_back(std::move(bytes)));
                r->SetField(ContactField::Identity, id);
                break;
            }
        }
    }
    return changed;
}
