#ifndef PORTFACTORY_H
#define PORTFACTORY_H

#include "PortAddress.h"
#include "PortObject.h"
#include "SerialSettings.h"

#include <QString>

#include <memory>

// Opens the port object of a real line: a serial device (locked against a second program) or a
// TCP connection to a serial-to-Ethernet converter.
//
// The built-in simulated controller ("sim") is not opened here: its port is part of the
// simulator (sim/SimulatedPort), with a fault plan that only a test or a command line sets, and
// the program that offers it creates it. That keeps this library to the lines that leave the
// process, free of the controller model, and usable by any host without the command-line tool.
class PortFactory
{
public:
    struct Options
    {
        SerialSettings serial;
        int retries = 3;     // what the port's retryCount() answers
        int timeoutMs = 500; // how long a read waits for a whole reply
    };

    // The open port of a serial or TCP address, or null with a one-line reason in *error (also
    // for the simulated address, which names no line).
    static std::unique_ptr<PortObject> open(const PortAddress &address, const Options &options,
                                            QString *error);

    // A non-blocking descriptor of the serial device set to settings and with both queues
    // flushed, or -1. The device is locked (flock) against a second program using it at once.
    static int openSerial(const QString &path, const SerialSettings &settings, QString *error);
    // A connected non-blocking TCP socket, or -1 after timeoutMs without a connection.
    static int connectTcp(const QString &host, quint16 port, int timeoutMs, QString *error);
};

#endif
