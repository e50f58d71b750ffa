#ifndef PORTFACTORY_H
#define PORTFACTORY_H

#include "FaultPlan.h"
#include "PortAddress.h"
#include "SerialSettings.h"

#include <QString>

#include <memory>

#include "PortObject.h"

// Opens the port object a command hands to the plugin: the in-process simulated controller, a
// serial device or a TCP connection.
class PortFactory
{
public:
    struct Options
    {
        SerialSettings serial;
        int retries = 3;     // what the port's retryCount() answers
        int timeoutMs = 500; // how long a read waits for a whole reply (not for sim)
        FaultPlan faults;    // the simulated controller's faults (sim only)
    };

    // The open port, or null with a one-line reason in *error.
    static std::unique_ptr<PortObject> open(const PortAddress &address, const Options &options,
                                            QString *error);

    // A non-blocking descriptor of the serial device set to settings and with both queues
    // flushed, or -1. The device is locked (flock) against a second program using it at once.
    static int openSerial(const QString &path, const SerialSettings &settings, QString *error);
    // A connected non-blocking TCP socket, or -1 after timeoutMs without a connection.
    static int connectTcp(const QString &host, quint16 port, int timeoutMs, QString *error);
};

#endif
