#ifndef BENCHTABLE_H
#define BENCHTABLE_H

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// The one table every benchmark prints: a row per figure, the measured value next to the
// reference it is judged against, their ratio and the target. scripts/bench joins the rows of
// all binaries under a single header.
namespace bench {

inline bool hasFlag(int argc, char **argv, const char *flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], flag) == 0)
            return true;
    return false;
}

inline void printHeader()
{
    std::printf("%-52s %16s %16s %9s %9s  %s\n", "benchmark", "measured", "reference", "ratio",
                "target", "result");
    std::printf("%s\n", QByteArray(52 + 1 + 16 + 1 + 16 + 1 + 9 + 1 + 9 + 2 + 6, '-').constData());
    std::fflush(stdout);
}

// ratio NaN prints "-"; an empty target prints "-" and the result column stays empty unless given.
inline void printRow(const QString &name, const QString &measured, const QString &reference,
                     double ratio, const QString &target, const QString &result)
{
    const QByteArray r = std::isnan(ratio) ? QByteArray("-") : QByteArray::number(ratio, 'f', 3);
    std::printf("%-52s %16s %16s %9s %9s  %s\n", name.toUtf8().constData(),
                measured.toUtf8().constData(), reference.toUtf8().constData(), r.constData(),
                target.isEmpty() ? "-" : target.toUtf8().constData(), result.toUtf8().constData());
    std::fflush(stdout);
}

inline QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

inline QString seconds(double s)
{
    return QString::number(s, 'f', 4) + QStringLiteral(" s");
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

using Clock = std::chrono::steady_clock;

inline double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Shortest of reps runs of f: the run least disturbed by the rest of the machine.
template <typename F> double bestOf(int reps, F &&f)
{
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < reps; ++i) {
        const auto start = Clock::now();
        f();
        best = std::min(best, since(start));
    }
    return best;
}

// Keeps the compiler from dropping a computed value.
template <typename T> inline void keep(const T &value)
{
    asm volatile("" : : "g"(&value) : "memory");
}

} // namespace bench

#endif
