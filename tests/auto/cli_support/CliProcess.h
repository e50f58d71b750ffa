#ifndef CLIPROCESS_H
#define CLIPROCESS_H

#include <QString>
#include <QStringList>

// Runs the built dcp30 tool (next to the test in bin/) and collects what it did. Every wait is
// bounded: a tool that does not end in time is killed and reported as not finished.
class CliProcess
{
public:
    struct Result
    {
        bool finished = false;
        int exitCode = -1;
        QString out;
        QString err;
        // stdout lines that start with label + ": ", the label removed ("error log" etc.).
        QStringList labelled(const QString &label) const;
        // For failure messages: exit code and both streams.
        QByteArray describe() const;
    };

    static QString binary();
    static QString appDir();
    // Runs program (default: binary()) with arguments.
    static Result run(const QStringList &arguments, int timeoutMs = 60000,
                      const QString &workingDirectory = QString(),
                      const QString &program = QString());
};

#endif
