#ifndef SERIALSETTINGS_H
#define SERIALSETTINGS_H

#include <QString>

// Line settings of a serial port: baud rate, parity, data bits and stop bits, read from a
// driver's communication text ("RS485,9600,EVEN,8,1": interface, baud rate, parity, data bits,
// stop bits) and applied to a terminal device as a raw line without flow control.
//
// The interface name is kept for display only: an RS-485 adapter switches its driver direction
// by itself, so the line is set up like any other serial line.
class SerialSettings
{
public:
    enum class Parity { None, Even, Odd };

    QString interfaceName = QStringLiteral("RS485");
    int baudRate = 9600;
    Parity parity = Parity::Even;
    int dataBits = 8;
    int stopBits = 1;

    // False (settings unchanged) with a reason in *error when the text is not of that form.
    static bool fromCommText(const QString &text, SerialSettings &settings, QString *error);

    // "NONE", "EVEN" or "ODD" in any letter case, or their first letters.
    static bool parseParity(const QString &text, Parity &parity);
    static QString parityName(Parity parity);
    static bool isSupportedBaudRate(int baudRate);

    // "9600,EVEN,8,1".
    QString toString() const;

    // Sets the terminal device fd to these settings, raw, without flow control, reads not
    // blocking in the line discipline. False with the reason in *error.
    bool apply(int fd, QString *error) const;
};

#endif
