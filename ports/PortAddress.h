#ifndef PORTADDRESS_H
#define PORTADDRESS_H

#include <QString>

// Where a port leads, written as text (the form the command line's --port takes):
//   "sim"                  the built-in simulated controller, in this process
//   "tcp:HOST:PORTNUMBER"  a serial-to-Ethernet converter (HOST may be "[v6 address]")
//   anything else          the path of a serial device (/dev/ttyUSB0, a pseudo-terminal)
class PortAddress
{
public:
    enum class Kind { Simulated, Serial, Tcp };

    Kind kind = Kind::Simulated;
    QString path; // Serial
    QString host; // Tcp
    quint16 tcpPort = 0;

    // False with a one-line reason in *error for a text that names no port.
    static bool parse(const QString &text, PortAddress &address, QString *error);
    QString toString() const;
};

#endif
