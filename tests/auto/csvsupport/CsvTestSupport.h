#ifndef CSVTESTSUPPORT_H
#define CSVTESTSUPPORT_H

// Helpers shared by the CSV library's test suites (header only, not a suite of its own).

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <utility>

namespace CsvTestSupport {

// Keeps every settings file of the test under dir, whatever the environment says, so the real
// user's "default_dir" is never read or written.
inline void isolateSettings(const QString &dir)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("dcp30-tests"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
}

inline QString storedDefaultDir()
{
    return QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName())
        .value(QStringLiteral("default_dir"))
        .toString();
}

inline void clearDefaultDir()
{
    QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName())
        .remove(QStringLiteral("default_dir"));
}

// UTF-16 little-endian code units of text, after the byte-order mark FF FE when bom is set.
inline QByteArray utf16LeBytes(const QString &text, bool bom = true)
{
    QByteArray bytes;
    if (bom)
        bytes.append("\xFF\xFE", 2);
    for (const QChar ch : text) {
        bytes.append(char(ch.unicode() & 0xFF));
        bytes.append(char(ch.unicode() >> 8));
    }
    return bytes;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs f on the thread that context lives in and waits for it, as a queued request to the
// transfer worker would.
template <typename F> bool runOn(QObject *context, F &&f)
{
    if (context->thread() == QThread::currentThread()) {
        f();
        return true;
    }
    return QMetaObject::invokeMethod(context, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

} // namespace CsvTestSupport

#endif
