#include "PortsCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "ExitCode.h"

#include <QSerialPortInfo>

namespace {

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("-") : text;
}

QString usbIds(const QSerialPortInfo &info)
{
    if (!info.hasVendorIdentifier() || !info.hasProductIdentifier())
        return QStringLiteral("-");
    return QStringLiteral("%1:%2")
        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
}

} // namespace

int PortsCommand::run(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("ports"), {QStringLiteral("ports")},
                     QStringLiteral("Lists the serial ports of this machine, one a line: the "
                                    "device (for --port),\nits description, manufacturer, "
                                    "serial number and USB vendor:product ids\n(\"-\" where the "
                                    "system knows none), so an RS-485 adapter can be found."));
    const int parsed = line.parseCommand(arguments);
    if (parsed >= 0)
        return parsed;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty()) {
        Console::out(QStringLiteral("no serial ports found"));
        return ExitCode::Success;
    }
    for (const QSerialPortInfo &info : ports)
        Console::out(QStringList{info.systemLocation(), orDash(info.description()),
                                 orDash(info.manufacturer()), orDash(info.serialNumber()),
                                 usbIds(info)}
                         .join(QLatin1Char('\t')));
    return ExitCode::Success;
}
