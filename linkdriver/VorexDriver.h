#ifndef VOREXDRIVER_H
#define VOREXDRIVER_H

#include "DriverInterface.h"

#include <QByteArray>
#include <QString>

// The link driver: serves the controller's ordinary word tags with its decimal data commands,
// over the same port object and frame form as the program file commands (STX text ETX CR LF).
//
//   read   "0100XRS,<address>W,<count>"      -> STX "0100X" <end code> "," v1 "," v2 ... ETX CR LF
//   write  "0100XWS,<address>W,<v1>[,<v2>]"  -> STX "0100X" <end code> ETX CR LF
//
// A tag address is "RAM" followed by a decimal word number from 0 to 65535 ("RAM4509" is word
// 4509), in upper case, of one to five digits; leading zeros are taken ("RAM00001" is word 1).
// Any other address is refused before anything goes on the line. Values travel to the host as
// little-endian integers, 4 bytes per element for data type code 3 and 2 bytes for code 2; other
// codes are not served. A controller word holds a signed 16-bit value, so a write of a 32-bit
// element outside -32768..32767 is refused as a whole and sends nothing. The driver takes no
// pause of its own: the port's read waits for the whole reply.
class VorexDriver : public DriverInterface
{
public:
    int queryValue1() override { return 65535; }
    // True when the controller accepted the values; false, with nothing sent, for an address,
    // a type, a count or a value it cannot serve.
    bool writeTag(PortObject *port, CommunicatorCommand *command, QByteArray &value) override;
    // The element values, or an empty array when the address, the type or the reply is unusable.
    QByteArray readTag(PortObject *port, CommunicatorCommand *command) override;
    int queryFlag4() override { return 1; }
    int queryFlag5() override { return 1; }
    QString getDeviceName() override { return QStringLiteral("VOREX"); }
    QString getVendorName() override { return QStringLiteral("Yamatake"); }
    QString getVersion() override { return QStringLiteral("1.0.0"); }
    CommSettings *createDefaultCommSettings() override;
    ProtocolSettings *createDefaultProtocolSettings() override;
    QString getDefaultCommText() override { return QStringLiteral("RS485,9600,EVEN,8,1"); }
    int queryValue12() override { return 64; }
    void setFlag13(bool) override {}
    int queryValue14() override { return 0; }
    int queryValue15() override { return 0; }
    bool hasError() override { return false; }
    QString getErrorMessage() override { return QString(); }
    QObject *getObject() override { return nullptr; }

    // The range of a controller word.
    static constexpr qint64 MinWordValue = -32768;
    static constexpr qint64 MaxWordValue = 32767;

    // The word address of a tag address ("RAM4509" -> 4509), or -1 when it names none.
    static int wordAddress(const QString &address);
    // True when a controller word holds value unchanged.
    static bool fitsWord(qint64 value);

private:
    // Sends frame and answers the reply text up to ETX, or an empty text when the reply is
    // missing or not of the form STX "0100X" <end code>.
    static QByteArray transact(PortObject *port, const QByteArray &frame);
};

#endif
