#pragma once

#include "core/contacts/ContactRecord.h"

#include <QDateTime>
#include <QString>
#include <span>

// The identity a contact keeps for life, and the time of its last change.
//
// A new contact gets a random UUID. A contact of an older file has none; it
// gets one derived from its fields (and how many identical contacts came
// before it), so two machines that read the same older file give its
// contacts the same identities, and a merge of their books pairs them up.

// A fresh identity for a new contact.
QString NewContactIdentity();
// The text ChangedAt holds for a change made at `when`.
QString ChangeStamp(const QDateTime& when);
// Gives every contact without an identity, and every contact whose identity
// an earlier one already holds, one derived from its fields, unless its line
// would then be longer than `maxLineLength` characters (such a contact stays
// without one, so that the book can still be saved). Returns how many
// contacts it changed.
int GiveIdentities(std::span<ContactRecord> contacts, qsizetype maxLineLength);
