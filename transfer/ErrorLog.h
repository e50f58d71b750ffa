#ifndef ERRORLOG_H
#define ERRORLOG_H

#include <QString>
#include <QStringList>

// A transfer's error log: its lines joined with line feeds, every line feed (also one inside a
// line) written as CR LF, UTF-8, no line end after the last line. The file is replaced whole or
// not at all: an interrupted write keeps the previous log.
class ErrorLog
{
public:
    // Writes lines to fileName; false when the file could not be created or written (logged in
    // the transfer category, not reported to anyone).
    static bool write(const QString &fileName, const QStringList &lines);
};

#endif
