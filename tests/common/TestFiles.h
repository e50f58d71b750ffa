#ifndef TESTFILES_H
#define TESTFILES_H

// Whole files as bytes, for tests that set a file up or check that it was left alone.

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>

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

// UTF-16 little-endian code units of text after the byte-order mark FF FE, as program files hold.
inline QByteArray utf16WithBom(const QString &text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return bytes;
}

// The bytes the saver writes for rows without cells that need quoting (tabs, CR LF, UTF-16LE
// with a byte-order mark).
inline QByteArray programCsv(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows)
        text += row.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    return utf16WithBom(text);
}

} // namespace TestFiles

#endif
