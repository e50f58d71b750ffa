#include "ParallelBackup.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include "SignalWatcher.h"

#include <csignal>
#include <memory>
#include <vector>

namespace {

// One child backup and the part of a line its streams have delivered so far.
struct Child
{
    QString port;
    QString dir;
    QProcess process;
    QByteArray out;
    QByteArray err;
};

// Passes on the whole lines in buffer (all of it when flush), each through emitLine.
template <typename Emit> void passLines(QByteArray &buffer, bool flush, Emit emitLine)
{
    int end;
    while ((end = buffer.indexOf('\n')) >= 0) {
        emitLine(QString::fromUtf8(buffer.left(end)));
        buffer.remove(0, end + 1);
    }
    if (flush && !buffer.isEmpty()) {
        emitLine(QString::fromUtf8(buffer));
        buffer.clear();
    }
}

void connectStreams(Child &child)
{
    auto passErr = [&child](bool flush) {
        child.err += child.process.readAllStandardError();
        passLines(child.err, flush, [&child](const QString &text) {
            Console::error(QStringLiteral("[%1] %2").arg(child.port, text));
        });
    };
    auto passOut = [&child](bool flush) {
        child.out += child.process.readAllStandardOutput();
        passLines(child.out, flush, [](const QString &text) { Console::out(text); });
    };
    QObject::connect(&child.process, &QProcess::readyReadStandardError,
                     [passErr] { passErr(false); });
    QObject::connect(&child.process, &QProcess::readyReadStandardOutput,
                     [passOut] { passOut(false); });
    QObject::connect(&child.process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                     [passErr, passOut] {
                         passOut(true);
                         passErr(true);
                     });
}

// The children's worst exit status, each reported on stderr.
int collect(const std::vector<std::unique_ptr<Child>> &children)
{
    int status = ExitCode::Success;
    for (const auto &child : children) {
        const bool normal = child->process.exitStatus() == QProcess::NormalExit &&
                            child->process.error() != QProcess::FailedToStart;
        const int code = normal ? child->process.exitCode() : int(ExitCode::Failed);
        Console::error(QStringLiteral("dcp30: backup of %1 into %2: %3")
                           .arg(child->port, QDir::toNativeSeparators(child->dir),
                                code == 0 ? QStringLiteral("done")
                                : normal  ? QStringLiteral("exit status %1").arg(code)
                                          : QStringLiteral("the process failed: %1")
                                               .arg(child->process.errorString())));
        status = qMax(status, code);
    }
    return status;
}

} // namespace

QString ParallelBackup::directoryName(const QString &port)
{
    QString name = port;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    while (name.startsWith(QLatin1Char('_')))
        name.remove(0, 1);
    // "." and ".." are not names of a directory of its own.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("port") + name;
    return name;
}

QStringList ParallelBackup::withoutDirAndPort(const QStringList &arguments)
{
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString word = arguments.at(i);
        bool dropped = false;
        for (const QString &name : {QStringLiteral("dir"), QStringLiteral("port")}) {
            if (word == QLatin1String("--") + name || word == QLatin1String("-") + name) {
                ++i; // the value follows
                dropped = true;
            } else if (word.startsWith(QLatin1String("--") + name + QLatin1Char('=')) ||
                       word.startsWith(QLatin1String("-") + name + QLatin1Char('='))) {
                dropped = true;
            }
        }
        if (!dropped)
            kept << word;
    }
    return kept;
}

int ParallelBackup::run(CommandLine &line, const QStringList &arguments, const QString &dir,
                        const QStringList &ports)
{
    QSet<QString> names;
    for (const QString &port : ports) {
        if (names.contains(directoryName(port)))
            return line.badArguments(
                QStringLiteral("--port %1 is given twice or shares its directory name \"%2\" "
                               "with another port")
                    .arg(port, directoryName(port)));
        names.insert(directoryName(port));
    }
    const QStringList common = withoutDirAndPort(arguments);
    std::vector<std::unique_ptr<Child>> children;
    QEventLoop loop;
    int running = 0;
    for (const QString &port : ports) {
        auto child = std::make_unique<Child>();
        child->port = port;
        child->dir = QDir(dir).filePath(directoryName(port));
        connectStreams(*child);
        QObject::connect(&child->process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished),
                         &loop, [&running, &loop] {
                             if (--running == 0)
                                 loop.quit();
                         });
        const QStringList words = QStringList{QStringLiteral("backup"), QStringLiteral("--dir"),
                                              child->dir, QStringLiteral("--port"), port} +
                                  common;
        child->process.start(QCoreApplication::applicationFilePath(), words);
        if (child->process.waitForStarted(10000))
            ++running;
        children.push_back(std::move(child));
    }
    SignalWatcher interrupts;
    QObject::connect(&interrupts, &SignalWatcher::signalled, [&children](int number) {
        for (const auto &child : children) {
            if (child->process.state() != QProcess::NotRunning)
                ::kill(pid_t(child->process.processId()), number);
        }
    });
    if (running > 0)
        loop.exec();
    return collect(children);
}
