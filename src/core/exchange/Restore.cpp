#include "core/exchange/Restore.h"

#include "core/contacts/ContactStore.h"
#include "core/files/ListFiles.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/TextCodec.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 kReadChunk = qint64(4) << 20;

QString SystemErrorText(int number) { return QString::fromLocal8Bit(std::strerror(number)); }

// Opens a regular file for reading. A link is not followed, and a pipe or a
// device is refused before anything is read from it (opening does not wait
// for a writer). `regular` tells whether the path names a regular file.
bool OpenRegularFile(const QString& path, QFile& file, qint64* size, bool* regular,
                     QString* error)
{
    *regular = false;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *regular = errno != ELOOP;
        *error = errno == ELOOP ? QStringLiteral("Not a regular file") : SystemErrorText(errno);
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("Not a regular file");
        return false;
    }
    *regular = true;
    *size = st.st_size;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    return true;
}

// Counts contact lines as the loader reads them: a line ends at CR or LF;
// an empty line and one of blanks only hold no contact. A line with a
// character beyond ASCII is decoded first, as the loader does.
class ContactLineCounter {
public:
    void Feed(QByteArrayView block)
    {
        const char* p = block.data();
        const char* end = p + block.size();
        while (p < end && !m_full) {
            const char* e = p;
            while (e < end && *e != '\n' && *e != '\r')
                ++e;
            Part(QByteArrayView(p, e - p));
            if (e == end)
                return;
            EndLine();
            p = e + 1;
        }
    }
    void Finish()
    {
        if (!m_full)
            EndLine();
    }
    int Count() const { return m_count; }
    bool Full() const { return m_full; }

private:
    // A piece of the current line. Once it holds an ASCII character other
    // than a blank it is a contact, and its bytes need not be kept.
    void Part(QByteArrayView bytes)
    {
        if (m_lineIsContact)
            return;
        for (char c : bytes) {
            if (c != ' ' && static_cast<unsigned char>(c) < 0x80) {
                m_lineIsContact = true;
                m_line.clear();
                return;
            }
        }
        m_line.append(bytes);
    }

    void EndLine()
    {
        bool contact = m_lineIsContact;
        if (!contact && !m_line.isEmpty()) {
            const QString text = DecodeLine(m_line);
            contact = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c != u' '; });
        }
        m_line.clear();
        m_lineIsContact = false;
        if (!contact)
            return;
        if (m_count == MaxContacts)
            m_full = true;
        else
            ++m_count;
    }

    QByteArray m_line;  // the current line, while it holds only blanks and non-ASCII bytes
    bool m_lineIsContact = false;
    int m_count = 0;
    bool m_full = false;
};

} // namespace

VersionContent CountContactsInVersion(const QString& versionPath)
{
    VersionContent content;
    QFile file;
    qint64 size = 0;
    if (!OpenRegularFile(versionPath, file, &size, &content.regularFile, &content.error))
        return content;
    ContactLineCounter counter;
    QByteArray buffer;
    qint64 total = 0;
    while (!counter.Full()) {
        buffer.resize(0);
        const qint64 room = MaxContactFileBytes + 1 - total;
        if (!ReadAtMost(file, std::min(kReadChunk, room), buffer, &content.error))
            return content;
        if (buffer.isEmpty())
            break;
        total += buffer.size();
        if (total > MaxContactFileBytes) {
            // The loader reads no further than this.
            counter.Feed(QByteArrayView(buffer).first(buffer.size() - 1));
            content.complete = false;
            break;
        }
        counter.Feed(buffer);
    }
    counter.Finish();
    content.readable = true;
    content.count = counter.Count();
    content.complete = content.complete && !counter.Full();
    return content;
}

VersionContent CountPhrasesInVersion(const QString& versionPath)
{
    VersionContent content;
    QFile file;
    qint64 size = 0;
    if (!OpenRegularFile(versionPath, file, &size, &content.regularFile, &content.error))
        return content;
    QByteArray bytes;
    if (!ReadAtMost(file, kMaxListFileBytes + 1, bytes, &content.error))
        return content;
    const bool tooLarge = bytes.size() > kMaxListFileBytes;
    if (tooLarge)
        bytes.truncate(qsizetype(kMaxListFileBytes));
    bool whole = true;
    content.count = int(ParseListFile(bytes, &whole).size());
    content.readable = true;
    content.complete = whole && !tooLarge;
    return content;
}

QString DescribeVersionContent(const VersionContent& content, const QString& one,
                               const QString& many)
{
    if (!content.readable)
        return QStringLiteral("cannot be read: ") + content.error;
    QString text = QString::number(content.count) + QLatin1Char(' ') +
                   (content.count == 1 ? one : many);
    if (!content.complete)
        text += QStringLiteral(" (and more that Banterly does not read)");
    return text;
}

QString VersionTimeText(const QDateTime& time)
{
    return QLocale::c().toString(time, QStringLiteral("d MMM yyyy HH:mm:ss"));
}

bool ReadVersion(const QString& versionPath, QByteArray* bytes, QString* error)
{
    QFile file;
    qint64 size = 0;
    bool regular = false;
    bytes->clear();
    if (!OpenRegularFile(versionPath, file, &size, &regular, error))
        return false;
    if (size > kMaxRestoreBytes) {
        *error = QStringLiteral("The version is larger than %1 MB").arg(kMaxRestoreBytes >> 20);
        return false;
    }
    try {
        bytes->reserve(qsizetype(size) + 1);
        if (!ReadAtMost(file, kMaxRestoreBytes + 1, *bytes, error))
            return false;
    } catch (const std::bad_alloc&) {
        *error = QStringLiteral("not enough memory");
        return false;
    }
    // A version that grew or shrank while it was read is not trusted whole.
    if (bytes->size() != size) {
        *error = QStringLiteral("The version changed while it was read");
        return false;
    }
    return true;
}

bool WriteRestoredVersion(const QString& filePath, const QByteArray& bytes, QString* error)
{
    if (filePath.isEmpty()) {
        *error = QStringLiteral("No file is named to restore");
        return false;
    }
    OsError written;
    if (!WriteFileAtomically(filePath, bytes, &written, PreviousVersion::Require)) {
        *error = written.description;
        return false;
    }
    return true;
}

bool RestoreVersion(const QString& filePath, const QString& versionPath, QString* error)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    reason.clear();
    QByteArray bytes;
    return ReadVersion(versionPath, &bytes, &reason) &&
           WriteRestoredVersion(filePath, bytes, &reason);
}
