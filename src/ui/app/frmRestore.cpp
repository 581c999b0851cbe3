#include "ui/app/frmRestore.h"

#include "core/files/Backups.h"
#include "core/files/ErrorLog.h"
#include "core/exchange/Restore.h"
#include "ui/desktop/Desktop.h"
#include "core/platform/Platform.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

enum FileKind { kContacts = 0, kPhrases = 1 };

struct KindTexts {
    const char* label;
    const char* one;
    const char* many;
    const char* what;
};
const KindTexts kKinds[2] = {
    {"Contacts", "contact", "contacts", "The contacts"},
    {"Phrases", "phrase", "phrases", "The phrases"},
};

constexpr int kPathRole = Qt::UserRole;
constexpr int kTimeRole = Qt::UserRole + 1;
constexpr int kHoldsRole = Qt::UserRole + 2;

QString Latin1(const char* text) { return QString::fromLatin1(text); }

} // namespace

frmRestore::frmRestore()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Restore from a Backup"));
    resize(440, 300);

    cboFile = new QComboBox(this);
    cboFile->setObjectName(QStringLiteral("cboFile"));
    for (const KindTexts& k : kKinds)
        cboFile->addItem(Latin1(k.label));

    lstVersions = new QListWidget(this);
    lstVersions->setObjectName(QStringLiteral("lstVersions"));
    lstVersions->setSelectionMode(QAbstractItemView::SingleSelection);

    cmdRestore = new QPushButton(QStringLiteral("&Restore"), this);
    cmdRestore->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore->setAutoDefault(false);
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);

    auto* fileRow = new QHBoxLayout();
    auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
    fileLabel->setBuddy(cboFile);
    fileRow->addWidget(fileLabel);
    fileRow->addWidget(cboFile, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(cmdRestore);
    buttons->addWidget(cmdClose);
    auto* versionsLabel = new QLabel(QStringLiteral("Kept &versions, newest first:"), this);
    versionsLabel->setBuddy(lstVersions);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(versionsLabel);
    layout->addWidget(lstVersions, 1);
    layout->addLayout(buttons);

    connect(cboFile, &QComboBox::currentIndexChanged, this, &frmRestore::RefreshVersions);
    connect(lstVersions, &QListWidget::currentItemChanged, this, &frmRestore::UpdateButtons);
    connect(cmdRestore, &QPushButton::clicked, this, &frmRestore::cmdRestore_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
}

void frmRestore::Load()
{
    RefreshVersions();
    lstVersions->setFocus();
}

void frmRestore::RefreshVersions()
{
    const int kind = cboFile->currentIndex();
    const KindTexts& k = kKinds[kind];
    const QString file = FileOf ? FileOf(kind) : QString();
    const BusyPointer busy;
    lstVersions->clear();
    cboFile->setToolTip(QDir::toNativeSeparators(file));
    if (!file.isEmpty()) {
        for (const BackupVersion& v : ListBackups(file)) {
            const VersionContent content = kind == kContacts ? CountContactsInVersion(v.path)
                                                             : CountPhrasesInVersion(v.path);
            if (!content.regularFile)  // gone or replaced since it was listed
                continue;
            const QString when = VersionTimeText(v.replacedAt);
            const QString holds = DescribeVersionContent(content, Latin1(k.one), Latin1(k.many));
            // The version of another program's change, which thinning keeps.
            const QString pinned = v.kind == VersionKind::Pinned
                                       ? QStringLiteral("   (another program's, kept until deleted)")
                                       : QString();
            auto* item =
                new QListWidgetItem(when + QStringLiteral("   ") + holds + pinned, lstVersions);
            item->setData(kPathRole, v.path);
            item->setData(kTimeRole, when);
            item->setData(kHoldsRole, holds);
            item->setToolTip(QDir::toNativeSeparators(v.path));
        }
    }
    if (lstVersions->count() == 0) {
        auto* none = new QListWidgetItem(QStringLiteral("No versions are kept."), lstVersions);
        none->setFlags(Qt::NoItemFlags);
    } else {
        lstVersions->setCurrentRow(0);
    }
    UpdateButtons();
}

void frmRestore::UpdateButtons()
{
    const QListWidgetItem* item = lstVersions->currentItem();
    cmdRestore->setEnabled(item && !item->data(kPathRole).toString().isEmpty());
}

void frmRestore::cmdRestore_Click()
{
    const QListWidgetItem* item = lstVersions->currentItem();
    if (!item || item->data(kPathRole).toString().isEmpty())
        return;
    const int kind = cboFile->currentIndex();
    const QString what = Latin1(kKinds[kind].what);
    const QString version = item->data(kPathRole).toString();
    const QString when = item->data(kTimeRole).toString();
    const QString holds = item->data(kHoldsRole).toString();
    auto failed = [&](const QString& error) {
        RefreshVersions();
        ReportFailure(what + QStringLiteral(" could not be restored from the version of ") + when +
                      QStringLiteral(": ") + error);
    };

    // Read first: the save below thins the kept versions out and may remove
    // this one.
    QByteArray bytes;
    QString error;
    if (!ReadVersion(version, &bytes, &error)) {
        failed(error);
        return;
    }
    // What the program holds and has not written yet would be lost under the
    // restored file; the failed save has told the user why.
    if (SaveUnsavedFirst && !SaveUnsavedFirst(kind)) {
        ReportFailure(what + QStringLiteral(" were not restored: the changes not yet saved could "
                                            "not be saved first, and restoring would lose them."));
        return;
    }
    if (!FileOf || !WriteRestoredVersion(FileOf(kind), bytes, &error)) {
        failed(error);
        return;
    }
    emit restored(kind);
    RefreshVersions();
    platform().MessageBox(what + QStringLiteral(" were restored from the version of ") + when +
                          QStringLiteral(" (") + holds + QStringLiteral(")."));
}
