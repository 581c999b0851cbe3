#include "support/FakeSystem.h"

#include "core/platform/IniFile.h"

FakeSystem::FakeSystem() { m_previous = SetPlatform(this); }

FakeSystem::~FakeSystem() { SetPlatform(m_previous); }

void FakeSystem::Record(const QString& name, const QStringList& args)
{
    calls.append({name, args});
}

int FakeSystem::Count(const QString& name) const
{
    int n = 0;
    for (const Call& c : calls)
        n += c.name == name;
    return n;
}

QStringList FakeSystem::Args(const QString& name) const
{
    QStringList out;
    for (const Call& c : calls)
        if (c.name == name)
            out.append(c.args.value(0));
    return out;
}

void FakeSystem::MessageBox(const QString& text) { Record(QStringLiteral("MessageBox"), {text}); }

void FakeSystem::Beep() { Record(QStringLiteral("Beep")); }

QString FakeSystem::ProgramFolder() { return programFolder; }
QString FakeSystem::ProgramFileName() { return programFileName; }
QDateTime FakeSystem::Now() { return now; }
VersionNumbers FakeSystem::Version() { return version; }

int FakeSystem::ReadProfileString(const QString& section, const QString& key,
                                    const QString& defaultValue, QString& value, int bufferSize,
                                    const QString& file)
{
    Record(QStringLiteral("ReadProfileString"), {section, key, file});
    const std::optional<QString> found = Ini::ReadValue(file, section, key);
    value = found.value_or(defaultValue).left(qMax(0, bufferSize - 1));
    return int(value.size());
}

bool FakeSystem::WriteProfileString(const QString& section, const QString& key,
                                      const QString& value, const QString& file)
{
    Record(QStringLiteral("WriteProfileString"), {section, key, value, file});
    return Ini::WriteValue(file, section, key, value);
}


bool FakeSystem::WriteProfileStrings(const QString& file, const QList<IniEdit>& edits)
{
    Record(QStringLiteral("WriteProfileStrings"), {file});
    iniBatches.append({file, edits});
    return Ini::WriteValues(file, edits);
}

QStringList FakeSystem::IniEditTexts() const
{
    QStringList out;
    for (const IniBatch& batch : iniBatches)
        for (const IniEdit& e : batch.edits)
            out.append(e.section + QLatin1Char('/') + e.key + QLatin1Char('=') + e.value);
    return out;
}
