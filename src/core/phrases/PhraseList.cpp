#include "core/phrases/PhraseList.h"

#include "core/files/ConflictCopies.h"
#include "core/files/ErrorLog.h"
#include "core/phrases/PhraseMerge.h"

#include <QFileInfo>

namespace {

const QStringList kDefaultPhrases = {
    QStringLiteral("Double Click this phrase to copy it to the Clipboard"),
    QStringLiteral("Use the right mouse button to Add, Edit and Delete Phrases"),
};

// True when nothing at all is at the path, not even a broken link, a folder
// or a device: only then may a new file be put there.
bool NothingAt(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() && !info.isSymLink();
}

} // namespace

ListLoad PhraseList::Load(const QString& fileName)
{
    m_fileName = fileName;
    m_phrases.clear();
    m_saveRefusal.clear();
    m_unsaved = false;
    if (!fileName.isEmpty() && NothingAt(fileName))
        WriteListFile(fileName, kDefaultPhrases);  // a failure shows in the load below
    Problem trouble;
    const ListLoad result = LoadListFile(fileName, m_phrases, &trouble);
    if (result == ListLoad::Incomplete) {
        m_saveRefusal = QStringLiteral("The phrases were not saved: ") + fileName +
                        QStringLiteral(" could not be read completely when this list was loaded, and "
                                       "saving would replace the phrases in it with only the part "
                                       "that was read. Close the phrase window and open it again "
                                       "to read the file anew.");
    }
    m_agreed = m_phrases;
    if (!trouble.IsEmpty())
        emit problem(trouble);
    emit reloaded();
    return result;
}

bool PhraseList::HasRoom()
{
    if (m_phrases.size() < kMaxListItems)
        return true;
    emit problem(Problem{QStringLiteral("The phrase list is full: it holds %1 phrases, the most "
                                        "it can hold. Remove a phrase before adding another.")
                             .arg(kMaxListItems),
                         QStringLiteral("Add Phrase : the list is full")});
    return false;
}

void PhraseList::Add(const QString& phrase)
{
    if (!HasRoom())
        return;
    m_phrases.append(phrase);
    emit added(int(m_phrases.size()) - 1);
    Save();
}

void PhraseList::Edit(int row, const QString& text)
{
    if (row < 0 || row >= m_phrases.size())
        return;
    m_phrases[row] = text;
    emit changed(row);
    Save();
}

void PhraseList::Remove(int row)
{
    if (row < 0 || row >= m_phrases.size())
        return;
    m_phrases.removeAt(row);
    emit removed(row);
    Save();
}

int PhraseList::Find(const QString& text, int selected) const
{
    const int count = Count();
    for (int step = 1; step <= count; ++step) {
        const int row = (selected + step) % count;
        if (m_phrases.at(row).contains(text, Qt::CaseSensitive))
            return row;
    }
    return -1;
}

void PhraseList::Save()
{
    if (!m_saveRefusal.isEmpty()) {
        emit problem(Problem{m_saveRefusal,
                             QStringLiteral("SaveListboxToFile : not saved over ") + m_fileName +
                                 QStringLiteral(", which could not be read completely")});
        return;
    }
    // A failed write is remembered, so that closing the window or the
    // program tries once more instead of dropping the list.
    Problem trouble;
    const bool written = SaveListFile(m_phrases, m_fileName, &trouble);
    m_unsaved = !written && !m_fileName.isEmpty();
    if (written) {
        m_agreed = m_phrases;
        emit saved();
    }
    else if (!trouble.IsEmpty())
        emit saveFailed(trouble);
}

bool PhraseList::SaveUnsaved()
{
    if (m_unsaved)
        Save();
    return !m_unsaved;
}

void PhraseList::TakeOutsideChange()
{
    if (m_fileName.isEmpty())
        return;
    if (!m_unsaved) {
        Load(m_fileName);
        return;
    }
    QStringList theirs;
    Problem trouble;
    if (LoadListFile(m_fileName, theirs, &trouble) != ListLoad::Complete) {
        // The list stays unsaved, and is never written over that file.
        m_saveRefusal = QStringLiteral("The phrases were not saved: ") + m_fileName +
                        QStringLiteral(" was replaced by another program and could not be read "
                                       "completely.");
        if (!trouble.IsEmpty())
            emit problem(trouble);
        return;
    }
    m_phrases = MergePhrases(m_agreed, m_phrases, theirs);
    emit reloaded();
    if (m_phrases == theirs) {
        m_unsaved = false;
        m_agreed = m_phrases;
        return;
    }
    Save();
}

bool PhraseList::TakeConflictCopy(const QString& copyPath, const QString& fileName)
{
    const QString notMerged = QStringLiteral("The conflict copy ") + copyPath +
                              QStringLiteral(" that the sync program left was not merged into "
                                             "the phrases: ");
    // Held until the copy is moved: another copy of the program on this
    // file takes it, or took it, and this one leaves it to that one.
    const ConflictCopyClaim claim(copyPath);
    if (claim.TakenElsewhere())
        return false;
    QStringList theirs;
    Problem trouble;
    if (LoadListFile(copyPath, theirs, &trouble) != ListLoad::Complete) {
        emit problem(Problem{notMerged + QStringLiteral("it could not be read completely. It "
                                                        "stays where it is."),
                             QStringLiteral("Conflict copy not read completely: ") + copyPath +
                                 (trouble.logLine.isEmpty() ? QString()
                                                            : QStringLiteral(" (") +
                                                                  trouble.logLine +
                                                                  QStringLiteral(")"))});
        return false;
    }
    if (m_fileName != fileName)
        Load(fileName);  // not read yet (the phrase window was not opened)
    if (!m_saveRefusal.isEmpty()) {
        emit problem(Problem{notMerged + m_saveRefusal,
                             QStringLiteral("Conflict copy not merged: ") + copyPath});
        return false;
    }
    const QStringList merged = MergePhrases({}, m_phrases, theirs);
    if (merged != m_phrases) {
        m_phrases = merged;
        emit reloaded();
        Save();
        if (m_unsaved)
            return false;  // told; the copy stays
    }
    QString error;
    if (MoveConflictCopyToBackups(copyPath, fileName, &error).isEmpty() &&
        QFileInfo::exists(copyPath)) {
        emit problem(Problem{QStringLiteral("The conflict copy ") + copyPath +
                                 QStringLiteral(" was merged into the phrases but could not be "
                                                "moved into the backups folder: ") +
                                 error + QStringLiteral(". It stays where it is."),
                             QStringLiteral("Conflict copy not moved: ") + copyPath +
                                 QStringLiteral(": ") + error});
    }
    return true;
}
