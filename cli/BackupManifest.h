#ifndef BACKUPMANIFEST_H
#define BACKUPMANIFEST_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// "manifest.json" of a backup directory: which tool made the backup, from which port and when,
// and per program its segment count, its file, the file's SHA-256 and the problems of its read.
//
//   {"tool": "dcp30", "version": "1.0.0", "port": "/dev/ttyUSB0", "date": "2026-12-06T22:10:00Z",
//    "programs": [{"program": 1, "segments": 8, "file": "PROG_1.txt", "sha256": "9f...",
//                  "errors": []}, ...]}
//
// A program without segment 1 has segments 0 and no file; one whose read failed has its errors
// and no file (a file of an earlier backup may still be in the directory; it is not this one's).
class BackupManifest
{
public:
    struct Entry
    {
        int program = 0;
        int segments = 0;
        QString file;   // empty: no file of this backup
        QString sha256; // lower-case hex of the file's bytes
        QStringList errors;
    };
    enum class LoadResult { Loaded, Missing, Invalid };

    static QString fileName() { return QStringLiteral("manifest.json"); }
    // The lower-case hex SHA-256 of bytes.
    static QString sha256Of(const QByteArray &bytes);
    // The current time as ISO 8601 UTC ("2026-12-06T22:10:00Z").
    static QString nowUtc();

    // The manifest as indented JSON text.
    QByteArray toJson() const;
    // Reads directory's manifest. Missing when there is none; Invalid with a one-line reason in
    // *error when it is not a manifest.
    LoadResult load(const QString &directory, QString *error);
    // The entry of program, or null.
    const Entry *entry(int program) const;

    QString version;
    QString port;
    QString date;
    QList<Entry> entries;
};

#endif
