#pragma once

#include "core/exchange/Exchange.h"

#include <QString>
#include <functional>

class ContactStore;
class Settings;

// Moving the contact file, the phrase file and their kept versions
// (backups/) into another folder, such as one a sync program keeps in step
// between two machines. banterly.ini, the log and the lock stay in the
// program folder.
//
// The order keeps everything recoverable: the kept versions and then each
// data file are copied into the folder (each written atomically and read
// back), then banterly.ini is pointed at the copies with one replace of the
// file, then `takeNew` lets the program read its files from there, and only
// then are the originals removed. Any failure before the INI write removes
// what the move made in the folder, puts back a file it merged into, and
// leaves the program on its old files; the reason is in `error`, and in
// the log.
//
// A book (or phrase file) already in the folder is merged with this one,
// never overwritten: it is kept as a version in the folder's backups/ first,
// and so is this side's file, so a value the merge did not keep stays in
// one of them. The summary then names the conflicts.
//
// The book must be saved (not ContactTableUnsaved()) and completely read (not
// ReadOnly); the phrase file must be read completely. The caller saves what
// is unsaved first.
struct DataFiles {
    QString contactFile;
    QString phraseFile;
};
using TakeNewDataFiles = std::function<void(const DataFiles& files)>;

ExchangeResult MoveDataFiles(const ContactStore& book, Settings& settings, const QString& folder,
                             const TakeNewDataFiles& takeNew = {});
