#include "core/files/ListFiles.h"

#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace {

// Reads at most kMaxListFileBytes + 1 bytes, so that a larger file shows as
// larger. Returns false (with the reason) when opening or reading failed;
// `bytes` then holds what was read before the failure.
bool ReadListBytes(const QString& fileName, QByteArray& bytes, QString& reason)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return false;
    }
    const qint64 limit = kMaxListFileBytes + 1;
    // Room for the whole file and a little more, so that the read which
    // meets the end needs no new buffer.
    bytes.reserve(qsizetype(qBound<qint64>(0, file.size(), limit) + 4096));
    return ReadAtMost(file, limit, bytes, &reason);
}

// As DecodeLine, except that a byte-order mark at the start of a line is an
// ordinary character of the item: only the file's own mark, at its very
// start, is not part of an item.
QString DecodeListLine(QByteArrayView line)
{
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    if (line.startsWith(kBom) && IsValidUtf8(line)) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(line);
    }
    return DecodeLine(line);
}

// The failure goes to the caller, who tells the user; a caller that takes
// nothing leaves the log line as its only trace.
void Failure(const QString& logLine, const QString& message, Problem* problem)
{
    if (problem)
        *problem = Problem{message, logLine};
    else
        LogError(logLine);
}

} // namespace

bool ReadAtMost(QFile& file, qint64 limit, QByteArray& bytes, QString* error)
{
    constexpr qint64 kChunk = qint64(4) << 20;
    for (;;) {
        const qsizetype old = bytes.size();
        const qint64 want = std::min<qint64>(kChunk, limit - old);
        if (want <= 0)
            return true;
        bytes.resize(old + qsizetype(want));
        const qint64 got = file.read(bytes.data() + old, want);
        if (got < 0) {
            bytes.resize(old);
            *error = file.errorString();
            return false;
        }
        bytes.resize(old + qsizetype(got));
        if (got == 0)
            return true;
    }
}

bool IsListFilePresent(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(fileName).isFile();
}

QStringList ParseListFile(const QByteArray& bytes, bool* complete, int maxItems)
{
    QStringList items;
    bool whole = true;
    const char* p = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && p[end] != '\r' && p[end] != '\n')
            ++end;
        const qsizetype length = end - pos;
        qsizetype next = end;
        if (next < n && p[next++] == '\r' && next < n && p[next] == '\n')
            ++next;
        QString text = length > 0 ? DecodeListLine(QByteArrayView(p + pos, length)) : QString();
        if (!text.isEmpty()) {
            if (items.size() >= maxItems) {
                whole = false;
                break;
            }
            if (text.size() > kMaxListItemLength) {
                qsizetype keep = kMaxListItemLength;
                if (text.at(keep - 1).isHighSurrogate())
                    --keep;
                text.truncate(keep);
                whole = false;
            }
            items.append(std::move(text));
        }
        pos = next;
    }
    if (complete)
        *complete = whole;
    return items;
}

ListLoad LoadListFile(const QString& fileName, QStringList& items, Problem* problem)
{
    if (fileName.isEmpty())
        return ListLoad::NoFileName;
    if (!IsListFilePresent(fileName)) {
        Failure(QStringLiteral("LoadFileToListBox : cant find ") + fileName,
                    QStringLiteral("Cant find ") + fileName, problem);
        return ListLoad::Missing;
    }
    items.clear();
    QByteArray bytes;
    QString reason;
    const bool readAll = ReadListBytes(fileName, bytes, reason);
    RememberDataFile(fileName);
    const bool tooLarge = bytes.size() > kMaxListFileBytes;
    if (tooLarge)
        bytes.truncate(qsizetype(kMaxListFileBytes));
    bool parsedAll = true;
    items = ParseListFile(bytes, &parsedAll);

    if (!readAll) {
        Failure(QStringLiteral("LoadFileToListBox : cant read ") + fileName +
                        QStringLiteral(": ") + reason,
                    QStringLiteral("Cant read ") + fileName, problem);
        return ListLoad::Incomplete;
    }
    if (tooLarge || !parsedAll) {
        Failure(
            QStringLiteral("LoadFileToListBox : cant read all of ") + fileName +
                QStringLiteral(": larger than a list can hold"),
            QStringLiteral("Cant read all of ") + fileName +
                QStringLiteral(": a list holds at most %1 lines of up to %2 characters (%3 MB in "
                               "all). Only the part that was read is listed, and the file will "
                               "not be changed.")
                    .arg(kMaxListItems)
                    .arg(kMaxListItemLength)
                    .arg(kMaxListFileBytes / (1024 * 1024)),
            problem);
        return ListLoad::Incomplete;
    }
    return ListLoad::Complete;
}

QByteArray ListFileBytes(const QStringList& items)
{
    // Encoded straight into one buffer: a temporary array per item would
    // cost more than writing the file.
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    qsizetype space = 0;
    for (const QString& item : items)
        space += encoder.requiredSpace(item.size()) + 2;
    QByteArray bytes(space, Qt::Uninitialized);
    char* out = bytes.data();
    for (const QString& item : items) {
        out = encoder.appendToBuffer(out, item);
        *out++ = '\r';
        *out++ = '\n';
    }
    bytes.truncate(out - bytes.constData());
    return bytes;
}

bool WriteListFile(const QString& fileName, const QStringList& items, OsError* error,
                   PreviousVersion previous)
{
    return WriteFileAtomically(fileName, ListFileBytes(items), error, previous);
}

bool SaveListFile(const QStringList& items, const QString& fileName, Problem* problem)
{
    if (fileName.isEmpty()) {
        LogError(QStringLiteral("Cant save listbox because a filename wasnt specified"));
        return false;
    }
    OsError error;
    if (WriteListFile(fileName, items, &error))
        return true;
    const QString cause = QString::number(error.number) + QStringLiteral(" = ") + error.description;
    Failure(QStringLiteral("ErrorSaveListboxToFile: ") + cause,
            QStringLiteral("An Error occurred in SaveListboxToFile: ") + cause +
                QStringLiteral(" while saving '") + fileName + QStringLiteral("'"),
            problem);
    return false;
}
