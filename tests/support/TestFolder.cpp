#include "support/TestFolder.h"

#include <QFile>
#include <QFileInfo>

TestFolder::TestFolder() { m_dir.setAutoRemove(true); }

void TestFolder::Write(const QString& name, const QByteArray& bytes) const
{
    QFile f(File(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray TestFolder::Read(const QString& name) const
{
    QFile f(File(name));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool TestFolder::Exists(const QString& name) const { return QFileInfo::exists(File(name)); }

struct stat Lstat(const QString& path)
{
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}
