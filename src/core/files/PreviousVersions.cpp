#include "core/files/PreviousVersions.h"

#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/files/FileStamp.h"
#include "core/platform/AtomicFile.h"
#include "core/platform/Platform.h"

#include <QDir>
#include <QHash>

namespace {

class Keeper : public PreviousVersionKeeper {
public:
    bool BeforeReplace(const QString& fileName, bool required, OsError* refusal) override
    {
        // Only a file that is there can be overwritten: one removed from
        // outside is simply written again.
        const auto remembered = m_stamps.constFind(fileName);
        const bool changedOutside = remembered != m_stamps.cend() &&
                                    StampOfFile(fileName).exists &&
                                    ChangedOnDisk(*remembered, fileName);
        // The version the user is told about is pinned: thinning never takes it.
        OsError error;
        const QString kept = KeepBackup(fileName, platform().Now(), &error,
                                        changedOutside ? VersionKind::Pinned
                                                       : VersionKind::Ordinary);
        if (kept.isEmpty() && error.number != 0) {
            // What another program wrote, or what a restore replaces, exists
            // nowhere else: it is not written over unless kept.
            if (changedOutside) {
                *refusal = {error.number,
                            QStringLiteral("the file was changed by another program since "
                                           "Banterly read it, and that version could not be "
                                           "kept in backups (") +
                                error.description +
                                QStringLiteral("), so Banterly did not write over it")};
                return false;
            }
            if (required) {
                *refusal = {error.number,
                            QStringLiteral("the current file could not be kept in backups first (") +
                                error.description + QStringLiteral(")")};
                return false;
            }
            LogError(QStringLiteral("Could not keep the previous version of ") + fileName +
                     QStringLiteral(": ") + error.description);
        }
        if (changedOutside && m_tellUser)
            m_tellUser(QStringLiteral("The file ") + QDir::toNativeSeparators(fileName) +
                       QStringLiteral(" was changed by another program since Banterly read it. "
                                      "That version was kept as ") +
                       QDir::toNativeSeparators(kept) +
                       QStringLiteral("; Banterly now saves its own content there."));
        return true;
    }

    void AfterReplace(const QString& fileName) override
    {
        if (m_stamps.contains(fileName))
            m_stamps.insert(fileName, StampOfFile(fileName));
        // The versions due are removed while the program goes on; what could
        // not be removed last time (each line names its version) is logged now.
        const QString failures = PruneBackupsInBackground(fileName, platform().Now());
        if (!failures.isEmpty())
            LogError(failures);
    }

    void Remember(const QString& fileName) { m_stamps.insert(fileName, StampOfFile(fileName)); }
    void SetTellUser(TellUser tellUser) { m_tellUser = std::move(tellUser); }

private:
    QHash<QString, FileStamp> m_stamps;
    TellUser m_tellUser;
};

Keeper& TheKeeper()
{
    static Keeper keeper;
    return keeper;
}

} // namespace

void KeepPreviousVersions(TellUser tellUser)
{
    TheKeeper().SetTellUser(std::move(tellUser));
    SetPreviousVersionKeeper(&TheKeeper());
}

void RememberDataFile(const QString& fileName) { TheKeeper().Remember(fileName); }
