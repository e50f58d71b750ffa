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

#include <type_traits>

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

inline QSettings appSettings()
{
    return QSettings(QCoreApplication::organizationName(), QCoreApplication::applicationName());
}

inline QString storedDefaultDir()
{
    return appSettings().value(QStringLiteral("default_dir")).toString();
}

// UTF-16 little-endian code units of text, after the byte-order mark FF FE when bom is set.
inline QByteArray utf16LeBytes(const QString &text, bool bom = true)
{
    QByteArray bytes = bom ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (const QChar ch : text)
        bytes.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
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

} // namespace CsvTestSupport

// A thread of its own, like the transfer worker's: objects made by make() live there, and run()
// executes a function there and waits for its result. Everything made is deleted on that thread.
class WorkerThread
{
public:
    WorkerThread()
    {
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~WorkerThread()
    {
        run([this] {
            qDeleteAll(m_objects);
            m_context.moveToThread(nullptr);
        });
        m_thread.quit();
        m_thread.wait();
    }

    template <typename F> auto run(F &&function) -> decltype(function())
    {
        if constexpr (std::is_void_v<decltype(function())>) {
            QMetaObject::invokeMethod(&m_context, function, Qt::BlockingQueuedConnection);
        } else {
            decltype(function()) result{};
            QMetaObject::invokeMethod(&m_context, function, Qt::BlockingQueuedConnection, &result);
            return result;
        }
    }

    template <typename T> T *make()
    {
        m_objects.append(run([] { return new T; }));
        return static_cast<T *>(m_objects.last());
    }

private:
    QThread m_thread;
    QObject m_context;
    QList<QObject *> m_objects;
};

#endif
