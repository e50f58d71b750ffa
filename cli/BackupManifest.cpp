#include "BackupManifest.h"

#include "RecordGeometry.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonObject entryObject(const BackupManifest::Entry &entry)
{
    QJsonObject object;
    object.insert(QStringLiteral("program"), entry.program);
    object.insert(QStringLiteral("segments"), entry.segments);
    if (!entry.file.isEmpty()) {
        object.insert(QStringLiteral("file"), entry.file);
        object.insert(QStringLiteral("sha256"), entry.sha256);
    }
    object.insert(QStringLiteral("errors"), QJsonArray::fromStringList(entry.errors));
    return object;
}

bool readEntry(const QJsonValue &value, BackupManifest::Entry &entry)
{
    const QJsonObject object = value.toObject();
    entry.program = object.value(QStringLiteral("program")).toInt(0);
    entry.segments = object.value(QStringLiteral("segments")).toInt(-1);
    entry.file = object.value(QStringLiteral("file")).toString();
    entry.sha256 = object.value(QStringLiteral("sha256")).toString();
    for (const QJsonValue &line : object.value(QStringLiteral("errors")).toArray())
        entry.errors << line.toString();
    // A file name with a directory part could lead a restore out of the backup.
    const bool fileOk =
        entry.file.isEmpty() || entry.file == QStringLiteral("PROG_%1.txt").arg(entry.program);
    return entry.program >= 1 && entry.program <= RecordGeometry::MaxProgram &&
           entry.segments >= 0 && entry.segments <= RecordGeometry::MaxSegment && fileOk &&
           (entry.file.isEmpty() || entry.segments > 0);
}

} // namespace

QString BackupManifest::sha256Of(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString BackupManifest::nowUtc()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

QByteArray BackupManifest::toJson() const
{
    QJsonObject root;
    root.insert(QStringLiteral("tool"), QStringLiteral("dcp30"));
    root.insert(QStringLiteral("version"), version);
    root.insert(QStringLiteral("port"), port);
    root.insert(QStringLiteral("date"), date);
    QJsonArray programs;
    for (const Entry &entry : entries)
        programs.append(entryObject(entry));
    root.insert(QStringLiteral("programs"), programs);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

BackupManifest::LoadResult BackupManifest::load(const QString &directory, QString *error)
{
    QFile file(QDir(directory).filePath(fileName()));
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot open %1: %2").arg(file.fileName(), file.errorString());
        return LoadResult::Invalid;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject root = document.object();
    if (document.isNull() || root.value(QStringLiteral("tool")).toString() != "dcp30") {
        *error = QStringLiteral("%1 is not a backup manifest of dcp30%2")
                     .arg(file.fileName(), document.isNull()
                                               ? QStringLiteral(": ") + parseError.errorString()
                                               : QString());
        return LoadResult::Invalid;
    }
    version = root.value(QStringLiteral("version")).toString();
    port = root.value(QStringLiteral("port")).toString();
    date = root.value(QStringLiteral("date")).toString();
    entries.clear();
    for (const QJsonValue &value : root.value(QStringLiteral("programs")).toArray()) {
        Entry entry;
        if (!readEntry(value, entry)) {
            *error = QStringLiteral("%1 holds an entry that is not a program of a backup: %2")
                         .arg(file.fileName(),
                              QString::fromUtf8(
                                  QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact)));
            return LoadResult::Invalid;
        }
        entries << entry;
    }
    return LoadResult::Loaded;
}

const BackupManifest::Entry *BackupManifest::entry(int program) const
{
    for (const Entry &entry : entries) {
        if (entry.program == program)
            return &entry;
    }
    return nullptr;
}
