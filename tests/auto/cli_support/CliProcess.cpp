#include "CliProcess.h"

#include <QCoreApplication>
#include <QProcess>

QStringList CliProcess::Result::labelled(const QString &label) const
{
    QStringList values;
    const QString prefix = label + QStringLiteral(": ");
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix))
            values << line.mid(prefix.size());
    }
    return values;
}

QByteArray CliProcess::Result::describe() const
{
    return QStringLiteral("finished %1, exit %2\n--- stdout:\n%3\n--- stderr:\n%4")
        .arg(finished)
        .arg(exitCode)
        .arg(out, err)
        .toUtf8();
}

QString CliProcess::appDir()
{
    return QCoreApplication::applicationDirPath();
}

QString CliProcess::binary()
{
    return appDir() + QStringLiteral("/dcp30");
}

CliProcess::Result CliProcess::run(const QStringList &arguments, int timeoutMs,
                                   const QString &workingDirectory, const QString &program)
{
    Result result;
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program.isEmpty() ? binary() : program, arguments);
    if (!process.waitForStarted(10000))
        return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}
