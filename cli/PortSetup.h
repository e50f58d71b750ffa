#ifndef PORTSETUP_H
#define PORTSETUP_H

#include "FaultPlan.h"
#include "PortAddress.h"

#include <QString>

#include <memory>

class CommandLine;
#include "PortObject.h"

// The port options every command that talks to a controller shares: where (--port), the serial
// line settings, the retry count the port reports to the plugin, the read timeout, and the
// faults of the built-in simulated controller.
class PortSetup
{
public:
    static constexpr int DefaultRetries = 3;
    static constexpr int DefaultTimeoutMs = 500;

    static void declare(CommandLine &line);
    // Reads and checks the declared options; false with the reason recorded in line.
    bool parse(CommandLine &line);

    // Opens the port: the built-in simulated controller here, with the faults given, and a real
    // line through the ports library. The serial settings start from commText, the driver's
    // default communication text, and the options given override single fields. Null with a
    // reason.
    std::unique_ptr<PortObject> open(const QString &commText, QString *error) const;

    PortAddress address;
    int retries = DefaultRetries;
    int timeoutMs = DefaultTimeoutMs;
    FaultPlan faults;
    // Overrides of the communication text; 0 / empty: take the driver's.
    int baudRate = 0;
    QString parity;
    int dataBits = 0;
    int stopBits = 0;
};

#endif
