#pragma once

#include "core/contacts/ContactImport.h"

#include <QByteArray>
#include <QString>
#include <span>

// vCard address books.
//
// Writing gives vCard 3.0 in UTF-8 with CR LF line ends, lines folded at 75
// bytes: chat name as NICKNAME, real name as FN and N, e-mail as EMAIL, web
// site as URL, notes as NOTE, sex as X-GENDER, the other card fields as
// X-BANTERLY-MET-AT, -AGE, -HEIGHT, -WEIGHT, -HAIR and -EYES, and every
// reserved field that is not empty as X-BANTERLY-FIELD-nn, the identity as
// UID (read back on import unless the book already holds it). The ID is not
// written.
QByteArray ContactsToVCard(std::span<const ContactRecord> contacts);

// Reads vCard 2.1, 3.0 and 4.0 cards (folded lines, quoted-printable with a
// CHARSET, grouped properties, preferred values). A card that cannot be read
// is skipped and listed in out.unreadable. Returns false, with *error set
// when error is given, when the bytes hold no card at all.
bool ReadVCards(const QByteArray& bytes, ContactImport& out, QString* error);
