#pragma once

#include "core/files/ListFiles.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The canned phrases and the file they are kept in. Every add, edit and
// remove writes the whole list back; a list that was not read completely is
// never written over its file. A save that fails keeps the list in memory
// and marks it, so a later SaveUnsaved() can try again.
class PhraseList : public QObject {
    Q_OBJECT
public:
    explicit PhraseList(QObject* parent = nullptr) : QObject(parent) {}

    const QStringList& Phrases() const { return m_phrases; }
    int Count() const { return int(m_phrases.size()); }
    QString At(int row) const { return m_phrases.value(row); }
    const QString& FileName() const { return m_fileName; }
    // The last save failed: the list differs from its file.
    bool Unsaved() const { return m_unsaved; }

    // Reads the list from the file anew (creating the file with the two
    // default phrases when nothing is at the path); emits reloaded().
    ListLoad Load(const QString& fileName);

    // False, after problem(), when the list holds as many phrases as it can.
    bool HasRoom();
    // Each appends, replaces or removes one phrase and saves the whole list;
    // the change stays in the list when the save fails or is refused.
    void Add(const QString& phrase);
    void Edit(int row, const QString& text);
    void Remove(int row);
    // Writes the list when its last save failed; false when it is still
    // unsaved.
    bool SaveUnsaved();

    // The file was replaced by another program (a sync program). With
    // nothing unsaved the list is read anew; after a failed save the new
    // file and the list are merged (MergePhrases, the base being the list as
    // last read or written) and saved once, unless the merge is the new
    // file as it stands. A list not read yet is left to be read when asked.
    void TakeOutsideChange();
    // A sync program left another machine's list beside `fileName` as a
    // conflict copy: its phrases this list lacks are added at its end (a
    // union: with no common base, a phrase removed on one machine comes
    // back rather than being lost), the list is saved once when it changed,
    // and the copy is moved into backups/. A copy not read completely is not
    // merged and stays, as it does when the save fails. False when it was
    // not merged (told through problem()).
    bool TakeConflictCopy(const QString& copyPath, const QString& fileName);

    // The first phrase holding `text` (case matters), searching from the one
    // after `selected` round to `selected` itself; -1 when none does.
    int Find(const QString& text, int selected) const;

signals:
    void reloaded();
    void added(int row);
    void changed(int row);
    void removed(int row);
    void saved();
    // A save that failed (the file stays as it was).
    void saveFailed(const Problem& problem);
    // Anything else the user must be told: a file that could not be read, a
    // save refused, a full list.
    void problem(const Problem& problem);

private:
    void Save();

    QStringList m_phrases;
    QString m_fileName;
    // Why the list must not be written over the file (it was not read
    // completely); empty when saving is allowed.
    QString m_saveRefusal;
    bool m_unsaved = false;
    // The list as last read from or written to its file.
    QStringList m_agreed;
};
