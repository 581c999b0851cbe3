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
// (everything else, the kept versions themselves among them).
enum class PreviousVersion { Drop, Keep };

// Told just before a data file is replaced (the old file is still in place)
// and just after. Installed once by the program; nothing it does can fail a
// save.
class PreviousVersionKeeper {
public:
    virtual ~PreviousVersionKeeper() = default;
    virtual void BeforeReplace(const QString& fileName) = 0;
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

// Tests stand in for a full disk: while set, every atomic write fails (at
// opening, before any byte is written) with "No space left on device" and
// the old files stay as they were.
void SimulateFullDisk(bool full);
