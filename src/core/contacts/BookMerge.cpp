#include "core/contacts/BookMerge.h"

#include "core/contacts/CardLayout.h"
#include "core/platform/TextCodec.h"

#include <QHash>

#include <optional>

namespace {

namespace F = ContactField;

using Index = QHash<QByteArrayView, const ContactRecord*>;

Index ByIdentity(std::span<const ContactRecord> book)
{
    Index index;
    index.reserve(qsizetype(book.size()));
    for (const ContactRecord& r : book)
        if (!r.FieldBytes(F::Identity).isEmpty())
            index.insert(r.FieldBytes(F::Identity), &r);
    return index;
}

// Whether two records are the same contact in the same state.
bool Same(const ContactRecord& a, const ContactRecord& b)
{
    return a.SameContent(b) && a.FieldBytes(F::ChangedAt) == b.FieldBytes(F::ChangedAt);
}

QString NameOf(const ContactRecord& r)
{
    const QString chat = r.Field(F::ChatName);
    return chat.isEmpty() ? r.Field(F::RealName) : chat;
}

// One contact changed on both sides; `base` is null when the base lacks it.
ContactRecord MergeContact(const ContactRecord* base, const ContactRecord& mine,
                           const ContactRecord& theirs, QList<FieldConflict>& conflicts)
{
    const auto mineFields = mine.AllFieldBytes();
    const auto theirsFields = theirs.AllFieldBytes();
    std::array<QByteArrayView, F::Count> baseFields{};
    if (base)
        baseFields = base->AllFieldBytes();
    const QByteArrayView mineTime = mineFields[F::ChangedAt];
    const QByteArrayView theirsTime = theirsFields[F::ChangedAt];
    const bool theirsLater = theirsTime > mineTime;
    ContactRecord merged = mine;
    QList<FieldConflict> found;
    for (int f = F::ChangedAt + 1; f < F::Count; ++f) {
        const QByteArrayView m = mineFields[f];
        const QByteArrayView t = theirsFields[f];
        if (m == t)
            continue;
        if (base && baseFields[f] == t)
            continue;  // changed here only
        const bool changedThereOnly = base && baseFields[f] == m;
        bool takeTheirs = changedThereOnly;
        if (!changedThereOnly) {
            takeTheirs = mineTime == theirsTime ? t > m : theirsLater;
            FieldConflict c;
            c.field = f;
            c.kept = Utf8Text(takeTheirs ? t : m);
            c.other = Utf8Text(takeTheirs ? m : t);
            c.otherIsMine = takeTheirs;
            found.append(c);
        }
        if (takeTheirs)
            merged.SetField(f, Utf8Text(t));
    }
    merged.SetField(F::ChangedAt, Utf8Text(theirsLater ? theirsTime : mineTime));
    const QString name = NameOf(merged);
    for (FieldConflict& c : found) {
        c.contact = name;
        conflicts.append(std::move(c));
    }
    return merged;
}

QString FieldName(int field)
{
    switch (field) {
    case F::ChatName: return QStringLiteral("chat name");
    case F::RealName: return QStringLiteral("real name");
    case F::MetAt: return QStringLiteral("place met");
    case F::Email: return QStringLiteral("e-mail");
    case F::Website: return QStringLiteral("web site");
    case F::Notes: return QStringLiteral("notes");
    case F::Age: return QStringLiteral("age");
    case F::Sex: return QStringLiteral("sex");
    case F::Height: return QStringLiteral("height");
    case F::Weight: return QStringLiteral("weight");
    case F::Hair: return QStringLiteral("hair");
    case F::Eyes: return QStringLiteral("eyes");
    default: return QStringLiteral("field %1").arg(field);
    }
}

} // namespace

MergedBook MergeBooks(std::span<const ContactRecord> base, std::span<const ContactRecord> mine,
                      std::span<const ContactRecord> theirs)
{
    const Index inBase = ByIdentity(base);
    const Index inMine = ByIdentity(mine);
    const Index inTheirs = ByIdentity(theirs);
    MergedBook out;
    out.contacts.reserve(mine.size() + theirs.size());
    for (const ContactRecord& m : mine) {
        const QByteArrayView id = m.FieldBytes(F::Identity);
        const ContactRecord* b = inBase.value(id);
        if (const ContactRecord* t = inTheirs.value(id)) {
            if (m.SameContent(*t))
                out.contacts.push_back(m);
            else
                out.contacts.push_back(MergeContact(b, m, *t, out.conflicts));
        } else if (!b || !b->SameContent(m)) {
            out.contacts.push_back(m);  // added here, or changed here and deleted there
        }
    }
    // A contact too long to take an identity pairs up by its fields alone.
    const auto inMineWithout = [&](const ContactRecord& t) {
        return std::any_of(mine.begin(), mine.end(), [&](const ContactRecord& m) {
            return m.FieldBytes(F::Identity).isEmpty() && m.SameContent(t);
        });
    };
    for (const ContactRecord& t : theirs) {
        const QByteArrayView id = t.FieldBytes(F::Identity);
        if (id.isEmpty() ? inMineWithout(t) : inMine.contains(id))
            continue;
        const ContactRecord* b = inBase.value(id);
        if (!b || !b->SameContent(t))
            out.contacts.push_back(t);  // added there, or changed there and deleted here
    }
    out.sameAsMine = out.contacts.size() == mine.size() &&
                     std::equal(mine.begin(), mine.end(), out.contacts.begin(), Same);
    out.sameAsTheirs = out.contacts.size() == theirs.size() &&
                       std::equal(theirs.begin(), theirs.end(), out.contacts.begin(), Same);
    return out;
}

namespace {

QByteArrayView StampOf(const ContactRecord& r) { return r.FieldBytes(F::ChangedAt); }

// What the two sides certainly agreed on: the latest change time of a
// contact identical on both; none when no contact is.
struct Agreement {
    const Index inMine;
    const Index inTheirs;
    std::optional<QByteArray> until;

    Agreement(std::span<const ContactRecord> mine, std::span<const ContactRecord> theirs)
        : inMine(ByIdentity(mine)), inTheirs(ByIdentity(theirs))
    {
        const auto agreed = [&](const ContactRecord& r) {
            if (!until || StampOf(r) > *until)
                until = StampOf(r).toByteArray();
        };
        for (const ContactRecord& m : mine) {
            const QByteArrayView id = m.FieldBytes(F::Identity);
            if (id.isEmpty()) {
                // Too long for an identity: paired by its fields.
                if (std::any_of(theirs.begin(), theirs.end(),
                                [&](const ContactRecord& t) { return Same(m, t); }))
                    agreed(m);
            } else if (const ContactRecord* t = inTheirs.value(id); t && Same(m, *t)) {
                agreed(m);
            }
        }
    }
    // A contact without a change time (added by an older copy of the
    // program) may be new: it counts as changed after T, so it is kept.
    bool Before(const ContactRecord& r) const
    {
        return until && !StampOf(r).isEmpty() && StampOf(r) <= *until;
    }
    // The side that did not change a contact set differently on both since
    // they parted; null when neither is known to be.
    const ContactRecord* Unchanged(const ContactRecord& m, const ContactRecord& t) const
    {
        if (StampOf(m) == StampOf(t))
            return nullptr;
        const ContactRecord& earlier = StampOf(m) < StampOf(t) ? m : t;
        return Before(earlier) ? &earlier : nullptr;
    }
};

} // namespace

bool BaseWantsKeptVersions(std::span<const ContactRecord> mine,
                           std::span<const ContactRecord> theirs)
{
    const Agreement agreement(mine, theirs);
    if (!agreement.until)
        return false;
    return std::any_of(mine.begin(), mine.end(), [&](const ContactRecord& m) {
        const ContactRecord* t = agreement.inTheirs.value(m.FieldBytes(F::Identity));
        return t && !Same(m, *t) && !agreement.Unchanged(m, *t);
    });
}

std::vector<ContactRecord> BaseFromChangeTimes(
    std::span<const ContactRecord> mine, std::span<const ContactRecord> theirs,
    std::span<const std::vector<ContactRecord>> keptVersions)
{
    const Agreement agreement(mine, theirs);
    std::vector<ContactRecord> base;
    if (!agreement.until)
        return base;  // nothing is known to be older than the parting
    // Contacts changed on both sides with no side known unchanged: their
    // newest record at or before T in a kept version.
    QHash<QByteArrayView, const ContactRecord*> older;
    for (const ContactRecord& m : mine) {
        const ContactRecord* t = agreement.inTheirs.value(m.FieldBytes(F::Identity));
        if (t && !Same(m, *t) && !agreement.Unchanged(m, *t))
            older.insert(m.FieldBytes(F::Identity), nullptr);
    }
    for (const std::vector<ContactRecord>& version : keptVersions)
        for (const ContactRecord& r : version) {
            auto it = older.find(r.FieldBytes(F::Identity));
            if (it != older.end() && agreement.Before(r) &&
                (!it.value() || StampOf(r) > StampOf(*it.value())))
                it.value() = &r;
        }
    base.reserve(mine.size() + theirs.size());
    for (const ContactRecord& m : mine) {
        const QByteArrayView id = m.FieldBytes(F::Identity);
        const ContactRecord* t = id.isEmpty() ? nullptr : agreement.inTheirs.value(id);
        if (!t) {
            if (agreement.Before(m))
                base.push_back(m);  // the other side deleted it
        } else if (Same(m, *t)) {
            base.push_back(m);
        } else if (const ContactRecord* unchanged = agreement.Unchanged(m, *t)) {
            base.push_back(*unchanged);
        } else if (const ContactRecord* kept = older.value(id)) {
            base.push_back(*kept);
        }
    }
    for (const ContactRecord& t : theirs) {
        const QByteArrayView id = t.FieldBytes(F::Identity);
        if (!id.isEmpty() && !agreement.inMine.contains(id) && agreement.Before(t))
            base.push_back(t);  // this side deleted it
    }
    return base;
}

QString ConflictMessage(const QList<FieldConflict>& conflicts, const QString& mineVersion,
                        const QString& theirsVersion)
{
    QStringList lines;
    for (const FieldConflict& c : conflicts) {
        const QString who = c.contact.isEmpty() ? QStringLiteral("A contact") : c.contact;
        const QString field = FieldName(c.field);
        lines.append(QStringLiteral("%1's %2 was changed on both machines; kept \"%3\"; the "
                                    "other value \"%4\" is in the version of %5.")
                         .arg(who, field, c.kept, c.other,
                              c.otherIsMine ? mineVersion : theirsVersion));
    }
    return lines.join(u'\n');
}
