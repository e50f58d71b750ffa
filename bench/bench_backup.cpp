// "dcp30 backup" of one controller against the same backup of four at once, each a simulated
// controller on a pseudo-terminal of its own ("dcp30 simulate --pty"). The four run as four
// processes whose time goes almost entirely into the controller's pauses, so the four should
// take hardly longer than the one: target at most 1.1 times. Also the cost of the segment-count
// probe: an empty program (open, block read of segment 1, close) against its pause floor.

#include "BenchTable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <vector>

namespace {

QString tool()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/dcp30");
}

// "dcp30 simulate --pty" in the background; where() is its device.
class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool start()
    {
        m_process.start(tool(), {QStringLiteral("simulate"), QStringLiteral("--pty")});
        const QDeadlineTimer deadline(10000);
        while (m_process.waitForStarted(10000) && !m_process.canReadLine() &&
               !deadline.hasExpired() && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(100);
        m_where = QString::fromUtf8(m_process.readLine()).trimmed();
        return !m_where.isEmpty();
    }
    QString where() const { return m_where; }

private:
    QProcess m_process;
    QString m_where;
};

// Seconds one "dcp30 backup" took, or a negative number when it failed.
double backup(const QStringList &ports, const QString &dir, const QString &programs)
{
    QStringList words{QStringLiteral("backup"),
                      QStringLiteral("--dir"),
                      dir,
                      QStringLiteral("--programs"),
                      programs,
                      QStringLiteral("--quiet")};
    for (const QString &port : ports)
        words << QStringLiteral("--port") << port;
    QProcess process;
    const auto start = bench::Clock::now();
    process.start(tool(), words);
    const bool finished = process.waitForFinished(600000);
    const double seconds = bench::since(start);
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "backup failed:\n%s\n", process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool smoke = bench::hasFlag(argc, argv, "--smoke");
    // The smoke run backs up empty programs only: a probe each, no reads.
    const QString programs = smoke ? QStringLiteral("18-19") : QStringLiteral("1-5");
    const int controllers = 4;
    std::vector<std::unique_ptr<Simulator>> simulators;
    QStringList ports;
    for (int i = 0; i < controllers; ++i) {
        simulators.push_back(std::make_unique<Simulator>());
        if (!simulators.back()->start()) {
            std::fprintf(stderr, "dcp30 simulate --pty did not start\n");
            return 1;
        }
        ports << simulators.back()->where();
    }
    QTemporaryDir dir;
    bench::printHeader();
    const double one = backup(ports.mid(0, 1), dir.filePath(QStringLiteral("one")), programs);
    const double four = backup(ports, dir.filePath(QStringLiteral("four")), programs);
    if (one <= 0 || four <= 0)
        return 1;
    const double ratio = four / one;
    bench::printRow(QStringLiteral("backup programs %1, 1 controller (pty)").arg(programs),
                    bench::seconds(one), QString(), bench::NaN, QString(), QString());
    bench::printRow(QStringLiteral("backup programs %1, %2 controllers at once (pty)")
                        .arg(programs)
                        .arg(controllers),
                    bench::seconds(four), bench::seconds(one), ratio, QStringLiteral("<= 1.1"),
                    smoke ? QString() : bench::verdict(ratio <= 1.1));
    // An empty program costs the probe only: open, segment 1, close.
    const double empty =
        backup(ports.mid(0, 1), dir.filePath(QStringLiteral("empty")), QStringLiteral("19"));
    const double floor = 0.3 + 0.35 + 0.3;
    bench::printRow(QStringLiteral("backup of an empty program (probe only)"),
                    bench::seconds(empty), bench::seconds(floor), empty / floor, QString(),
                    QString());
    return empty > 0 ? 0 : 1;
}
