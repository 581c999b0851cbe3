#pragma once

// Shared set-up for the contact window tests: a fake desktop, a fresh program
// folder, the settings the card reads and a contact table seeded in memory.

#include "ui/app/Windows.h"
#include "core/contacts/ContactStore.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QPair>
#include <QString>
#include <memory>

struct ContactsFixture {
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<TestFolder> folder;

    void Start(bool showStatFields = true)
    {
        fake = std::make_unique<FakePlatform>();
        folder = std::make_unique<TestFolder>();
        fake->programFolder = folder->Path();
        UnloadAllWindows();
        AppSettings().IniFile = folder->File(QStringLiteral("banterly.ini"));
        AppSettings().ContactFilePath = folder->File(QStringLiteral("chatcontacts.lis"));
        AppSettings().AlwaysOnTop = 1;
        AppSettings().ShowStatFields = showStatFields ? 1 : 0;
        ContactStore = ContactStoreValues{};
        ContactStore.ContactFilePath = AppSettings().ContactFilePath;
    }
    void Stop()
    {
        UnloadAllWindows();
        ContactStore = ContactStoreValues{};
        fake.reset();
        folder.reset();
    }
    // Contacts 1..n with a chat name and a real name each.
    void Seed(const QList<QPair<QString, QString>>& people)
    {
        ContactStore.Contacts.assign(people.size() + 2, ContactRecord());
        for (int i = 0; i < people.size(); ++i) {
            ContactStore.Contacts[i + 1].SetField(ContactField::ChatName, people[i].first);
            ContactStore.Contacts[i + 1].SetField(ContactField::RealName, people[i].second);
        }
        ContactStore.ContactCount = static_cast<int16_t>(people.size());
        ContactStore.CurrentContact = 0;
    }
    QString SavedFile() const
    {
        return QString::fromUtf8(folder->Read(QStringLiteral("chatcontacts.lis")));
    }
    bool Saved() const { return folder->Exists(QStringLiteral("chatcontacts.lis")); }
};
