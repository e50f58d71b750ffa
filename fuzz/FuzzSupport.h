#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Shared set-up of the libFuzzer harnesses: one non-GUI application for the whole run, Qt's
// messages kept off the terminal (millions of "cannot open" warnings would drown the fuzzer's
// own output and slow it down), and a private settings directory so that the CSV classes never
// write into the user's configuration.
namespace FuzzSupport {

inline void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "qFatal: %s\n", qPrintable(message));
        std::abort();
    }
}

// A directory that lives as long as the process.
inline const QTemporaryDir &scratchDir()
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    return dir;
}

inline QCoreApplication &app()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *instance = [] {
        qInstallMessageHandler(quietHandler);
        auto *a = new QCoreApplication(argc, argv);
        // After the application exists, so that the temporary directory can use its name.
        qputenv("XDG_CONFIG_HOME", scratchDir().path().toLocal8Bit());
        return a;
    }();
    return *instance;
}

// Stops the run with a message libFuzzer shows next to the crashing input.
[[noreturn]] inline void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

inline void check(bool condition, const char *what)
{
    if (!condition)
        fail(what);
}

} // namespace FuzzSupport

#endif
