#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>

class QSaveFile;

// A failure of the file system: the system's error number and its text.
struct OsError {
    int number = 0;
    QString description;
};

// Whether the version a write replaces is kept (the data files) or dropped
// (everything else, the kept versions themselves among them). Require: the
// file is replaced only once its current content is kept (a restore).
enum class PreviousVersion { Drop, Keep, Require };

// Told just before a data file is replaced (the old file is still in place)
// and just after. Installed once by the program. BeforeReplace returns false,
// with the reason in `error`, when a version that had to be kept (`required`,
// or one the keeper itself cannot let go, such as a file changed by another
// program) could not be: the file is then not replaced and the save fails.
class PreviousVersionKeeper {
public:
    virtual ~PreviousVersionKeeper() = default;
    virtual bool BeforeReplace(const QString& fileName, bool required, OsError* error) = 0;
    virtual void AfterReplace(const QString& fileName) = 0;
};
// Installs the keeper (not owned; nullptr: none) and returns the previous one.
PreviousVersionKeeper* SetPreviousVersionKeeper(PreviousVersionKeeper* keeper);

// Replaces (or creates) a file atomically, written in one or more pieces:
// the bytes go to a temporary file beside it, unbuffered so that every count
// is checked, are synced, and only then is the temporary file renamed over
// the old one. A short write (disk full, file-size limit), a failed sync or a
// failed rename is a failure, and the old file is left as it was. Destroying
// a writer that was not committed throws the temporary file away.
// Only a regular file is replaced: a pipe, socket, device or folder in its
// place (or at the end of a link) is refused and left alone. A symbolic link
// to a regular file is written through: its target is replaced in its own
// folder and the link stays. A new file is the user's alone (0600); a file
// that exists keeps its mode.
class AtomicWriter {
public:
    explicit AtomicWriter(const QString& fileName,
                          PreviousVersion previous = PreviousVersion::Drop);
    ~AtomicWriter();
    AtomicWriter(const AtomicWriter&) = delete;
    AtomicWriter& operator=(const AtomicWriter&) = delete;

    bool Open();
    bool Write(QByteArrayView bytes);
    bool Commit();
    // Why the last step failed.
    const OsError& Error() const { return m_error; }

private:
    bool Fail(int savedErrno);
    bool Fail(const OsError& error);

    QString m_fileName;
    PreviousVersion m_previous;
    std::unique_ptr<QSaveFile> m_file;
    OsError m_error;
    bool m_failed = false;
};

// The same for bytes held whole in memory.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         OsError* error = nullptr,
                         PreviousVersion previous = PreviousVersion::Drop);

// A copy of the program that could not claim its data folder writes
// nothing: while a reason is set, every atomic write fails at opening with
// that reason (reported as any failed save) and the old files stay as they
// were. Set once, before anything is written.
void RefuseWrites(const QString& reason);

// The file a write to this name replaces: the name itself, or the end of the
// chain of symbolic links it starts (which need not exist yet). Empty, with
// the reason in `error`, when that is not a regular file or the chain cannot
// be followed.
QString FileToReplace(const QString& fileName, OsError* error);

// Tests stand in for a full disk: while set, every atomic write fails (at
// opening, before any byte is written) with "No space left on device" and
// the old files stay as they were.
void SimulateFullDisk(bool full);
// Tests stand in for a disk that loses the data (a failing disk, a network
// share): while set, the sync before the rename fails with "Input/output
// error", after every byte was written.
void SimulateFailedSync(bool failed);
