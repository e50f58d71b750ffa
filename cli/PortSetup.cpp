#include "PortSetup.h"

#include "CliLogging.h"
#include "CommandLine.h"
#include "PortFactory.h"
#include "SerialSettings.h"
#include "SimulatedPort.h"

void PortSetup::declare(CommandLine &line)
{
    line.addOption(QStringLiteral("port"), QStringLiteral("PORT"),
                   QStringLiteral("sim (default: the built-in simulated controller), a serial\n"
                                  "device such as /dev/ttyUSB0, or tcp:HOST:PORTNUMBER"));
    line.addOption(QStringLiteral("baud"), QStringLiteral("RATE"),
                   QStringLiteral("serial baud rate (default: the driver's, 9600)"));
    line.addOption(QStringLiteral("parity"), QStringLiteral("NONE|EVEN|ODD"),
                   QStringLiteral("serial parity (default: the driver's, EVEN)"));
    line.addOption(QStringLiteral("data-bits"), QStringLiteral("5-8"),
                   QStringLiteral("serial data bits (default: the driver's, 8)"));
    line.addOption(QStringLiteral("stop-bits"), QStringLiteral("1|2"),
                   QStringLiteral("serial stop bits (default: the driver's, 1)"));
    line.addOption(QStringLiteral("retries"), QStringLiteral("R"),
                   QStringLiteral("how often the plugin repeats a failed step (default 3)"));
    line.addOption(QStringLiteral("timeout"), QStringLiteral("MS"),
                   QStringLiteral("how long a read waits for a whole reply (default 500;\n"
                                  "sim answers at once and does not wait)"));
    line.addOption(QStringLiteral("fault"), QStringLiteral("RULE"),
                   QStringLiteral("a fault of the built-in simulated controller (--port sim\n"
                                  "only; repeatable; syntax: dcp30 simulate --help)"));
}

bool PortSetup::parse(CommandLine &line)
{
    QString reason;
    const QString text = line.isSet(QStringLiteral("port")) ? line.value(QStringLiteral("port"))
                                                            : QStringLiteral("sim");
    if (!PortAddress::parse(text, address, &reason)) {
        line.setError(reason);
        return false;
    }
    if (!line.intValue(QStringLiteral("retries"), 0, 10, retries) ||
        !line.intValue(QStringLiteral("timeout"), 0, 60000, timeoutMs) ||
        !line.intValue(QStringLiteral("baud"), 1, 4000000, baudRate) ||
        !line.intValue(QStringLiteral("data-bits"), 5, 8, dataBits) ||
        !line.intValue(QStringLiteral("stop-bits"), 1, 2, stopBits))
        return false;
    if (baudRate != 0 && !SerialSettings::isSupportedBaudRate(baudRate)) {
        line.setError(
            QStringLiteral("--baud %1 is not a baud rate this system supports").arg(baudRate));
        return false;
    }
    if (line.isSet(QStringLiteral("parity"))) {
        parity = line.value(QStringLiteral("parity"));
        SerialSettings::Parity check;
        if (!SerialSettings::parseParity(parity, check)) {
            line.setError(
                QStringLiteral("--parity must be NONE, EVEN or ODD, not \"%1\"").arg(parity));
            return false;
        }
    }
    const QStringList faultTexts = line.values(QStringLiteral("fault"));
    if (!faultTexts.isEmpty()) {
        if (address.kind != PortAddress::Kind::Simulated) {
            line.setError(QStringLiteral("--fault applies to the built-in simulated controller "
                                         "(--port sim) only; give it to dcp30 simulate instead"));
            return false;
        }
        if (!FaultPlan::parse(faultTexts, faults, &reason)) {
            line.setError(QStringLiteral("--fault: %1").arg(reason));
            return false;
        }
    }
    return true;
}

std::unique_ptr<PortObject> PortSetup::open(const QString &commText, QString *error) const
{
    if (address.kind == PortAddress::Kind::Simulated) {
        // The in-process line answers at once, so a read never needs to wait.
        auto port = std::make_unique<SimulatedPort>();
        port->setReadTimeout(0);
        port->setRetryCount(retries);
        port->setFaultPlan(faults);
        qCDebug(lcCli) << "port sim, retries" << retries;
        return port;
    }
    PortFactory::Options options;
    options.retries = retries;
    options.timeoutMs = timeoutMs;
    if (address.kind == PortAddress::Kind::Serial) {
        QString reason;
        if (!SerialSettings::fromCommText(commText, options.serial, &reason)) {
            if (error)
                *error = QStringLiteral("the driver's %1").arg(reason);
            return nullptr;
        }
        if (baudRate != 0)
            options.serial.baudRate = baudRate;
        if (!parity.isEmpty())
            SerialSettings::parseParity(parity, options.serial.parity);
        if (dataBits != 0)
            options.serial.dataBits = dataBits;
        if (stopBits != 0)
            options.serial.stopBits = stopBits;
        qCDebug(lcCli) << "port" << address.toString() << "line" << options.serial.toString();
    }
    qCDebug(lcCli) << "port" << address.toString() << "retries" << retries << "timeout" << timeoutMs
                   << "ms";
    return PortFactory::open(address, options, error);
}
