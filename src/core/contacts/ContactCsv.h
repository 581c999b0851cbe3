#pragma once

#include "core/contacts/ContactImport.h"

#include <QByteArray>
#include <QString>
#include <span>

// Contacts as comma-separated values (RFC 4180: CR LF line ends, quoted
// fields where needed), UTF-8 with a byte-order mark: a header row naming
// the twelve card fields, then one row per contact. Reserved fields and the
// ID are not written.
QByteArray ContactsToCsv(std::span<const ContactRecord> contacts);

// Reads a CSV address book: this program's own export, or the exports of the
// common web and desktop address books, told apart by their header row.
// Columns not known are ignored. A row that cannot be read is skipped and
// listed in out.unreadable. Returns false, with *error set when error is
// given, when the header is not that of an address book.
bool ReadContactCsv(const QByteArray& bytes, ContactImport& out, QString* error);
