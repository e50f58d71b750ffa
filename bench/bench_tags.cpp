// readTag and writeTag of the driver, for one of its own tags (the first and the last in the
// order the address is compared) and for a tag passed to a link driver that does nothing. The
// floor is one virtual call through the driver interface plus one address comparison, the least
// any driver must do per call.

#include "BenchTable.h"
#include "CommunicatorCommand.h"
#include "DriverDCP30.h"

#include <QCoreApplication>

namespace {

// A link driver that answers at once; also serves as the floor with its single comparison.
class NoopDriver : public DriverInterface
{
public:
    int queryValue1() override { return 0; }
    bool writeTag(PortObject *, CommunicatorCommand *command, QByteArray &) override
    {
        return command->address == own;
    }
    QByteArray readTag(PortObject *, CommunicatorCommand *command) override
    {
        if (command->address == own)
            return QByteArray();
        return QByteArray();
    }
    int queryFlag4() override { return 0; }
    int queryFlag5() override { return 0; }
    QString getDeviceName() override { return QString(); }
    QString getVendorName() override { return QString(); }
    QString getVersion() override { return QString(); }
    CommSettings *createDefaultCommSettings() override { return nullptr; }
    ProtocolSettings *createDefaultProtocolSettings() override { return nullptr; }
    QString getDefaultCommText() override { return QString(); }
    int queryValue12() override { return 0; }
    void setFlag13(bool) override {}
    int queryValue14() override { return 0; }
    int queryValue15() override { return 0; }
    bool hasError() override { return false; }
    QString getErrorMessage() override { return QString(); }
    QObject *getObject() override { return nullptr; }

    QString own = QStringLiteral("SegCnt0");
};

// Nanoseconds per call, the best of several batches.
template <typename F> double nsPerCall(long calls, int reps, F &&call)
{
    const double t = bench::bestOf(reps, [&] {
        for (long i = 0; i < calls; ++i)
            call();
    });
    return t * 1e9 / calls;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool smoke = bench::hasFlag(argc, argv, "--smoke");
    bench::printHeader();
    const long calls = smoke ? 1000 : 2000000;
    const int reps = smoke ? 1 : 7;

    DriverDCP30 driver;
    driver.replaceLinkDriver(new NoopDriver);
    NoopDriver floorDriver;
    // Through a pointer the compiler cannot see through, as the host calls a plugin.
    DriverInterface *volatile floorTarget = &floorDriver;
    DriverInterface *volatile target = &driver;

    CommunicatorCommand command;
    command.address = QStringLiteral("SegCnt0"); // the floor compares equal texts in full
    QByteArray value(1, char(5));

    const double floorRead = nsPerCall(calls, reps, [&] {
        QByteArray r = floorTarget->readTag(nullptr, &command);
        bench::keep(r);
    });
    const double floorWrite = nsPerCall(calls, reps, [&] {
        bool r = floorTarget->writeTag(nullptr, &command, value);
        bench::keep(r);
    });
    const QString floorReadText = QString::number(floorRead, 'f', 1) + QStringLiteral(" ns");
    const QString floorWriteText = QString::number(floorWrite, 'f', 1) + QStringLiteral(" ns");

    struct Case
    {
        const char *label;
        const char *address;
        char value;
    };
    const Case cases[] = {{"own, first (SegCnt0)", "SegCnt0", 5},
                          {"own, last (RE0)", "RE0", 0},
                          {"delegated (RAM3501)", "RAM3501", 5}};
    for (const Case &c : cases) {
        command.address = QString::fromLatin1(c.address);
        const double ns = nsPerCall(calls, reps, [&] {
            QByteArray r = target->readTag(nullptr, &command);
            bench::keep(r);
        });
        bench::printRow(QStringLiteral("readTag %1 ns/call").arg(QLatin1String(c.label)),
                        QString::number(ns, 'f', 1) + QStringLiteral(" ns"), floorReadText,
                        ns / floorRead, QString(), QString());
    }
    for (const Case &c : cases) {
        command.address = QString::fromLatin1(c.address);
        value = QByteArray(1, c.value);
        const double ns = nsPerCall(calls, reps, [&] {
            bool r = target->writeTag(nullptr, &command, value);
            bench::keep(r);
        });
        bench::printRow(QStringLiteral("writeTag %1 ns/call").arg(QLatin1String(c.label)),
                        QString::number(ns, 'f', 1) + QStringLiteral(" ns"), floorWriteText,
                        ns / floorWrite, QString(), QString());
    }
    return 0;
}
