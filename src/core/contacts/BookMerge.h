#pragma once

#include "core/contacts/ContactRecord.h"

#include <QList>
#include <QString>
#include <span>
#include <vector>

// Merging two copies of the address book that were changed apart since they
// parted at a common base. Contacts are matched by their identity; a field is
// taken from the side that changed it since the base. Nothing here reads or
// writes a file: the caller chooses the base and keeps the versions.

// One field changed on both sides to different values.
struct FieldConflict {
    QString contact;  // the contact's chat name, else its real name
    int field = 0;
    QString kept;
    QString other;
    bool otherIsMine = false;  // the value not kept is this side's
};

struct MergedBook {
    std::vector<ContactRecord> contacts;  // in list order, no spare slots
    QList<FieldConflict> conflicts;
    // The merge gives exactly this side's book: nothing to write.
    bool sameAsMine = false;
    // The merge gives exactly the other side's book: nothing to write over it.
    bool sameAsTheirs = false;
};

// The rules, for each contact:
//  - added on one side (not in the base): kept; added on both: kept once;
//  - changed on one side only: that side's fields;
//  - fields changed on both sides: each side's fields, and a field set to
//    different values on both takes the later change (ChangedAt; at equal
//    times the greater text, so both machines choose alike), the other value
//    listed in `conflicts`;
//  - deleted on one side and unchanged on the other: deleted; deleted on one
//    side and changed on the other: kept with the change.
// This side's order first, then the other side's new contacts in its order.
// The contact's ID (renumbered by every save) is this side's; a contact built
// from both sides has the later of the two change times.
MergedBook MergeBooks(std::span<const ContactRecord> base, std::span<const ContactRecord> mine,
                      std::span<const ContactRecord> theirs);

// The base for merging a copy of the book whose common past with this one
// is not known (a sync program's conflict copy: on the machine whose file
// lost, the file was already replaced by the winner, so the book as last
// read is no base). It is built from the change times, erring toward
// keeping: T is the latest change time of a contact identical on both
// sides (both held it; none identical: no T, and nothing is older).
//  - a contact on one side only, changed at or before T, existed when the
//    sides parted and the other side deleted it: it is in the base (so it
//    stays deleted unless changed since); changed after T, it was added
//    after parting and is not (kept), as is one without a change time;
//  - a contact on both sides, different: the side with the earlier change
//    time, when that is at or before T, did not change it since and is the
//    base; else the newest record of it changed at or before T in
//    `keptVersions` (earlier versions of the file); else none, so every
//    field that differs is a conflict (the later change kept).
std::vector<ContactRecord> BaseFromChangeTimes(
    std::span<const ContactRecord> mine, std::span<const ContactRecord> theirs,
    std::span<const std::vector<ContactRecord>> keptVersions = {});
// Whether BaseFromChangeTimes would look into the kept versions at all (so
// a caller reads them only then).
bool BaseWantsKeptVersions(std::span<const ContactRecord> mine,
                           std::span<const ContactRecord> theirs);

// The message telling the user of the conflicts, one line each; the version
// times name where the values not kept are ("the version of <time>").
QString ConflictMessage(const QList<FieldConflict>& conflicts, const QString& mineVersion,
                        const QString& theirsVersion);
