#ifndef TESTFILES_H
#define TESTFILES_H

// Whole files as bytes, for tests that set a file up or check that it was left alone.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>

namespace TestFiles {

// The file's bytes; empty when it cannot be opened.
inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// True when the file now holds exactly bytes.
inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A file in the application directory, where the plugin keeps program files and logs.
inline QString appFile(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
}

} // namespace TestFiles

#endif
