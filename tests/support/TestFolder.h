#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <sys/stat.h>

// A fresh temporary program folder for one test, with small file helpers.
class TestFolder {
public:
    TestFolder();
    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }
    void Write(const QString& name, const QByteArray& bytes) const;
    QByteArray Read(const QString& name) const;
    bool Exists(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// What lies at the path itself (a link is not followed); all zero when
// nothing does.
struct stat Lstat(const QString& path);
