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

// Replaces (or creates) a file atomically, written in one or more pieces:
// the bytes go to a temporary file beside it, unbuffered so that every count
// is checked, are synced, and only then is the temporary file renamed over
// the old one. A short write (disk full, file-size limit), a failed sync or a
// failed rename is a failure, and the old file is left as it was. Destroying
// a writer that was not committed throws the temporary file away.
class AtomicWriter {
public:
    explicit AtomicWriter(const QString& fileName);
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
    std::unique_ptr<QSaveFile> m_file;
    OsError m_error;
    bool m_failed = false;
};

// The same for bytes held whole in memory.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         OsError* error = nullptr);

// Tests stand in for a full disk: while set, every atomic write fails (at
// opening, before any byte is written) with "No space left on device" and
// the old files stay as they were.
void SimulateFullDisk(bool full);
