#ifndef RECENTFILES_H
#define RECENTFILES_H

#include <QStringList>

// The program files opened or saved last, newest first, kept in the application's settings
// (organisation and application "dcp30", as the command-line tool keeps its own).
class RecentFiles
{
public:
    static constexpr int MaxFiles = 8;

    // The files, newest first; empty when none was kept.
    static QStringList files();
    // Puts fileName (made absolute) first, drops its older place and the files past MaxFiles.
    static void add(const QString &fileName);
    // Drops fileName from the list (a file that cannot be opened any more).
    static void remove(const QString &fileName);
};

#endif
