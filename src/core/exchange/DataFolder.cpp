#include "core/exchange/DataFolder.h"

#include "core/contacts/BookMerge.h"
#include "core/contacts/ContactStore.h"
#include "core/exchange/Restore.h"
#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/files/FileStamp.h"
#include "core/files/ListFiles.h"
#include "core/phrases/PhraseMerge.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Platform.h"
#include "core/settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <span>
#include <vector>

namespace {

// --- the base of a merge ----------------------------------------------------
// Whether the folder's book is this one's copy on another machine or
// another book altogether is not known: the base is built from the change
// times, as for a sync program's conflict copy (a contact both hold alike
// dates the parting; without one, nothing counts as deleted). The phrases
// have no change times: their empty base keeps every phrase of both.

// --- small helpers ------------------------------------------------------------

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// A move that did not happen is logged here, whoever asked for it (the
// menu, the command line, a later start).
ExchangeResult Failed(const QString& error)
{
    LogError(QStringLiteral("Keep Data in a Folder: ") + error);
    ExchangeResult r;
    r.status = ExchangeResult::Failed;
    r.error = error;
    return r;
}

// Whether two paths name the same file: one inode, or (while the second does
// not exist yet) the same name in the same folder.
bool SameFile(const QString& a, const QString& b)
{
    const FileStamp sa = StampOfFile(a);
    const FileStamp sb = StampOfFile(b);
    if (sa.exists && sb.exists)
        return sa.device == sb.device && sa.inode == sb.inode;
    const QFileInfo ia(a);
    const QFileInfo ib(b);
    const QString fa = QFileInfo(ia.absolutePath()).canonicalFilePath();
    return ia.fileName() == ib.fileName() && !fa.isEmpty() &&
           fa == QFileInfo(ib.absolutePath()).canonicalFilePath();
}

// Reads a whole data file (through a link), at most `limit` bytes.
bool ReadWhole(const QString& path, qint64 limit, QByteArray& bytes, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("could not read ") + Shown(path) + QStringLiteral(": ") +
                file.errorString();
        return false;
    }
    bytes.clear();
    if (!ReadAtMost(file, limit + 1, bytes, &error)) {
        error = QStringLiteral("could not read ") + Shown(path) + QStringLiteral(": ") + error;
        return false;
    }
    if (bytes.size() > limit) {
        error = Shown(path) + QStringLiteral(" is larger than %1 MB").arg(limit >> 20);
        return false;
    }
    return true;
}

// A free path in backups/ for a version of `file` made at `when`, from
// `sequence` on.
QString FreeVersionName(const QString& file, const QDateTime& when, int sequence, VersionKind kind)
{
    const QString folder = BackupFolderFor(file) + QLatin1Char('/');
    QString name;
    do
        name = folder + BackupFileName(file, when, sequence++, kind);
    while (QFileInfo::exists(name) || QFileInfo(name).isSymLink());
    return name;
}

// The contacts as the file holds them: the IDs numbered as a save numbers
// them, one line each. Empty, with the reason, when a line would be longer
// than the loader reads.
QByteArray BookBytes(std::vector<ContactRecord>& contacts, QString& error)
{
    const QDate today = platform().Now().date();
    QByteArray bytes;
    for (size_t i = 0; i < contacts.size(); ++i) {
        if (i < 999)
            contacts[i].SetField(ContactField::ContactID, ContactIdFor(int(i) + 1, today));
        if (!contacts[i].LineFits(MaxContactLineLength)) {
            error = QStringLiteral("contact %1 of the merged book would be a line longer than %2 "
                                   "characters")
                        .arg(i + 1)
                        .arg(MaxContactLineLength);
            return {};
        }
        contacts[i].AppendUtf8Line(bytes, char(ContactDelimiter.unicode()));
        bytes.append("\r\n");
    }
    return bytes;
}

// One data file on its way from `from` to `to`.
struct Leg {
    QString from;
    QString to;
    bool stays = false;  // it is in the folder already
    bool merged = false; // the folder held a file of its own
    QStringList versionsCopied;  // the originals in from's backups/
};

// What the move has made so far, undone on failure: files it created are
// removed, a file it wrote over gets its bytes back (the version kept of it
// stays, in case that write fails too).
class Move {
public:
    explicit Move(const QDateTime& now) : m_now(now) {}
    const QDateTime& Now() const { return m_now; }

    // Writes bytes over (or to) a file atomically and reads them back.
    bool Write(const QString& path, const QByteArray& bytes, QString& error)
    {
        QByteArray before;
        const bool existed = QFileInfo(path).isFile();
        if (existed && !ReadWhole(path, MaxContactFileBytes, before, error))
            return false;
        OsError written;
        if (!WriteFileAtomically(path, bytes, &written)) {
            error = QStringLiteral("could not write ") + Shown(path) + QStringLiteral(": ") +
                    written.description;
            return false;
        }
        if (existed)
            m_replaced.append({path, before});
        else
            m_created.append(path);
        QByteArray back;
        if (!ReadWhole(path, MaxContactFileBytes, back, error))
            return false;
        if (back != bytes) {
            error = Shown(path) + QStringLiteral(" does not hold what was written to it");
            return false;
        }
        return true;
    }

    bool MakeFolder(const QString& folder, QString& error)
    {
        if (QFileInfo(folder).isDir())
            return true;
        if (!QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            error = QStringLiteral("could not create the folder ") + Shown(folder);
            return false;
        }
        m_folders.append(folder);
        return true;
    }

    void Undo()
    {
        for (auto it = m_replaced.crbegin(); it != m_replaced.crend(); ++it) {
            OsError error;
            if (!WriteFileAtomically(it->first, it->second, &error))
                LogError(QStringLiteral("Could not put back ") + it->first + QStringLiteral(": ") +
                         error.description);
        }
        for (auto it = m_created.crbegin(); it != m_created.crend(); ++it)
            if (!QFile::remove(*it))
                LogError(QStringLiteral("Could not remove the partial copy ") + *it);
        for (auto it = m_folders.crbegin(); it != m_folders.crend(); ++it)
            QDir().rmdir(*it);
    }

private:
    QDateTime m_now;
    QStringList m_created;
    QList<QPair<QString, QByteArray>> m_replaced;
    QStringList m_folders;
};

// Copies the kept versions of the file into the backups/ beside its new
// place. A name already taken there by the same bytes counts as copied; by
// other bytes, the copy takes the next free name of that time.
bool CopyVersions(Move& move, Leg& leg, QString& error)
{
    const QList<BackupVersion> versions = ListBackups(leg.from);
    if (versions.isEmpty())
        return true;
    const QString folder = BackupFolderFor(leg.to);
    if (!move.MakeFolder(folder, error))
        return false;
    for (const BackupVersion& v : versions) {
        QByteArray bytes;
        QString why;
        if (!ReadVersion(v.path, &bytes, &why)) {
            error = QStringLiteral("could not read the kept version ") + Shown(v.path) +
                    QStringLiteral(": ") + why;
            return false;
        }
        QString target = folder + QLatin1Char('/') + QFileInfo(v.path).fileName();
        if (QFileInfo::exists(target)) {
            QByteArray there;
            QString unread;
            if (ReadVersion(target, &there, &unread) && there == bytes) {
                leg.versionsCopied.append(v.path);
                continue;
            }
            target = FreeVersionName(leg.to, v.replacedAt, v.sequence + 1, v.kind);
        }
        if (!move.Write(target, bytes, error))
            return false;
        leg.versionsCopied.append(v.path);
    }
    return true;
}

// Keeps the folder's own file as a version before the merge replaces it, and
// this side's file beside it (it is removed once the move is done). The
// time of both goes into the conflict message.
bool KeepBothSides(Move& move, const Leg& leg, const QByteArray& mine, QString& error)
{
    OsError kept;
    if (KeepBackup(leg.to, move.Now(), &kept).isEmpty()) {
        error = QStringLiteral("could not keep ") + Shown(leg.to) +
                QStringLiteral(" in backups before merging into it: ") +
                (kept.number != 0 ? kept.description : QStringLiteral("it is not there"));
        return false;
    }
    if (mine.isEmpty())
        return true;  // nothing of this side to lose
    if (!move.MakeFolder(BackupFolderFor(leg.to), error))
        return false;
    return move.Write(FreeVersionName(leg.to, move.Now(), 1, VersionKind::Ordinary), mine, error);
}

struct ContactOutcome {
    int contacts = 0;
    QString conflicts;
};

bool MoveContactFile(Move& move, const ContactStore& book, Leg& leg, ContactOutcome& outcome,
                     QString& error)
{
    QByteArray mineBytes;
    const bool mineOnDisk = QFileInfo(leg.from).isFile();
    if (mineOnDisk && !ReadWhole(leg.from, MaxContactFileBytes, mineBytes, error))
        return false;
    const int count = std::clamp<int>(book.ContactCount, 0, int(book.Contacts.size()) - 1);
    std::vector<ContactRecord> mine(book.Contacts.begin() + 1, book.Contacts.begin() + 1 + count);
    outcome.contacts = count;
    if (!QFileInfo(leg.to).exists()) {
        // The file as it is; a book never saved (no file could be made) is
        // written from the table.
        if (!mineOnDisk)
            mineBytes = BookBytes(mine, error);
        return error.isEmpty() && move.Write(leg.to, mineBytes, error);
    }

    leg.merged = true;
    // Read as the program reads a book; what makes it unreadable is its
    // ReadOnlyReason.
    ContactStore theirs;
    theirs.ContactFilePath = leg.to;
    theirs.LoadContacts();
    if (theirs.ReadOnly) {
        error = QStringLiteral("the address book already in the folder cannot be merged: ") +
                theirs.ReadOnlyReason;
        return false;
    }
    // The sample contact of a first start gives way to a real book.
    if (mine.size() == 1 && IsUntouchedSample(mine.front()))
        mine.clear();
    const int theirCount = std::clamp<int>(theirs.ContactCount, 0, int(theirs.Contacts.size()) - 1);
    const std::span<const ContactRecord> theirSpan(theirs.Contacts.data() + 1, size_t(theirCount));
    MergedBook merged = MergeBooks(BaseFromChangeTimes(mine, theirSpan), mine, theirSpan);
    if (merged.contacts.size() > size_t(MaxContacts)) {
        error = QStringLiteral("the two address books hold more than %1 contacts together")
                    .arg(MaxContacts);
        return false;
    }
    const QByteArray bytes = BookBytes(merged.contacts, error);
    if (!error.isEmpty() || !KeepBothSides(move, leg, mineBytes, error) ||
        !move.Write(leg.to, bytes, error))
        return false;
    outcome.contacts = int(merged.contacts.size());
    if (!merged.conflicts.isEmpty()) {
        const QString when = VersionTimeText(move.Now());
        outcome.conflicts = ConflictMessage(merged.conflicts, when, when);
    }
    return true;
}

bool MovePhraseFile(Move& move, Leg& leg, int& phrases, QString& error)
{
    QStringList mine;
    Problem problem;
    const ListLoad mineRead = LoadListFile(leg.from, mine, &problem);
    if (mineRead == ListLoad::Incomplete) {
        error = problem.message;
        return false;
    }
    phrases = int(mine.size());
    if (!IsListFilePresent(leg.to)) {
        if (mineRead == ListLoad::Missing)
            return true;  // the phrase window creates the file in its new place
        QByteArray bytes;
        return ReadWhole(leg.from, kMaxListFileBytes, bytes, error) &&
               move.Write(leg.to, bytes, error);
    }
    leg.merged = true;
    QStringList theirs;
    if (LoadListFile(leg.to, theirs, &problem) != ListLoad::Complete) {
        error = QStringLiteral("the phrase file already in the folder cannot be merged: ") +
                problem.message;
        return false;
    }
    const QStringList merged = MergePhrases(QStringList(), mine, theirs);
    phrases = int(merged.size());
    if (merged == theirs)
        return true;
    QByteArray mineBytes;
    if (mineRead == ListLoad::Complete &&
        !ReadWhole(leg.from, kMaxListFileBytes, mineBytes, error))
        return false;
    if (!KeepBothSides(move, leg, mineBytes, error))
        return false;
    // Written as the phrase list writes it, then read back as it reads it.
    if (!move.Write(leg.to, ListFileBytes(merged), error))
        return false;
    QStringList back;
    if (LoadListFile(leg.to, back, &problem) != ListLoad::Complete || back != merged) {
        error = Shown(leg.to) + QStringLiteral(" does not hold the merged phrases");
        return false;
    }
    return true;
}

QString Count(int n, const char* one, const char* many)
{
    return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(n == 1 ? one : many);
}

} // namespace

ExchangeResult MoveDataFiles(const ContactStore& book, Settings& settings, const QString& folderName,
                             const TakeNewDataFiles& takeNew)
{
    const QString folder = QDir::cleanPath(QFileInfo(folderName).absoluteFilePath());
    if (!QFileInfo(folder).isDir())
        return Failed(QStringLiteral("there is no folder ") + Shown(folder));
    if (book.ReadOnly)
        return Failed(QStringLiteral("the contacts were not read completely, so they are not "
                                     "moved: ") +
                      book.ReadOnlyReason);
    if (book.ContactTableUnsaved())
        return Failed(QStringLiteral("the contacts are not saved yet; save them first"));
    const auto legTo = [&folder](const QString& from) {
        Leg leg;
        leg.from = from;
        leg.to = folder + QLatin1Char('/') + QFileInfo(from).fileName();
        return leg;
    };
    Leg contacts = legTo(settings.ContactFilePath);
    Leg phrases = legTo(settings.PhraseListFile);
    if (contacts.from.isEmpty() || phrases.from.isEmpty())
        return Failed(QStringLiteral("banterly.ini names no contact file or no phrase file"));
    if (contacts.to == phrases.to)
        return Failed(QStringLiteral("the contact file and the phrase file have the same name"));
    contacts.stays = SameFile(contacts.from, contacts.to);
    phrases.stays = SameFile(phrases.from, phrases.to);
    if (contacts.stays && phrases.stays) {
        ExchangeResult r;
        r.summary = QStringLiteral("The contacts and the phrases are kept in ") + Shown(folder) +
                    QStringLiteral(" already.");
        return r;
    }

    // Into the folder, each file complete and read back, before anything
    // names it.
    Move move(platform().Now());
    ContactOutcome contactOutcome;
    int phraseCount = 0;
    QString error;
    const bool copied =
        (contacts.stays || CopyVersions(move, contacts, error)) &&
        (phrases.stays || CopyVersions(move, phrases, error)) &&
        (contacts.stays || MoveContactFile(move, book, contacts, contactOutcome, error)) &&
        (phrases.stays || MovePhraseFile(move, phrases, phraseCount, error));
    const QList<IniEdit> edits = {
        {QStringLiteral("contacts"), QStringLiteral("dataFile"), contacts.to},
        {QStringLiteral("phrases"), QStringLiteral("PhraseList"), phrases.to},
    };
    if (copied && !platform().WriteProfileStrings(settings.IniFile, edits))
        error = QStringLiteral("could not write the new places into ") + Shown(settings.IniFile);
    if (!copied || !error.isEmpty()) {
        move.Undo();
        return Failed(error + QStringLiteral("; the data stays where it was"));
    }

    // banterly.ini names the new files: the program reads them from now on,
    // and only then are the old ones removed.
    settings.ContactFilePath = contacts.to;
    settings.PhraseListFile = phrases.to;
    if (takeNew)
        takeNew({contacts.to, phrases.to});
    QStringList left;
    for (const Leg* leg : {&contacts, &phrases}) {
        if (leg->stays)
            continue;
        QStringList originals = leg->versionsCopied;
        if (QFileInfo::exists(leg->from) || QFileInfo(leg->from).isSymLink())
            originals.prepend(leg->from);
        for (const QString& original : originals)
            if (!QFile::remove(original))
                left.append(Shown(original));
    }

    ExchangeResult r;
    r.summary = QStringLiteral("The contacts (%1) and the phrases (%2) are kept in %3 now")
                    .arg(Count(contactOutcome.contacts, "contact", "contacts"),
                         Count(phraseCount, "phrase", "phrases"), Shown(folder));
    if (contacts.merged || phrases.merged)
        r.summary += QStringLiteral(", merged with what the folder held (kept in %1)")
                         .arg(Shown(BackupFolderFor(contacts.merged ? contacts.to : phrases.to)));
    r.summary += QLatin1Char('.');
    if (!left.isEmpty()) {
        const QString line = QStringLiteral("These old files could not be removed: ") +
                             left.join(QStringLiteral(", "));
        LogError(line);
        r.summary += QLatin1Char('\n') + line;
    }
    if (!contactOutcome.conflicts.isEmpty()) {
        LogError(contactOutcome.conflicts);
        r.summary += QLatin1Char('\n') + contactOutcome.conflicts;
    }
    return r;
}
