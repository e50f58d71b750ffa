#ifndef PROGRAMFILES_H
#define PROGRAMFILES_H

#include <QList>
#include <QString>
#include <QStringList>

// Program CSV files for the tests: rows made from the simulator's demo programs, saved and
// loaded with the same CSV library the plugin uses, and the error logs the plugin writes.
class ProgramFiles
{
public:
    // The header row followed by the rows of segments 1..segments of a demo program (1 to 3),
    // as a read from the simulated controller produces them.
    static QList<QStringList> demoRows(int program, int segments);
    static bool save(const QList<QStringList> &rows, const QString &fileName);
    // The rows of a program CSV file, header first; empty when it cannot be loaded.
    static QList<QStringList> load(const QString &fileName);
    // The whole text of a program CSV file (decoded by its byte-order mark).
    static QString text(const QString &fileName);
    // An error log's entries: its text split at CR LF (the log's line ends).
    static QStringList logLines(const QString &fileName);
    static QString appFile(const QString &name);
    // Removes a file of the application directory left by an earlier test.
    static void removeAppFile(const QString &name);
};

#endif
