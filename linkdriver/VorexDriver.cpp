#include "VorexDriver.h"

#include "CommSettings.h"
#include "CommunicatorCommand.h"
#include "PortObject.h"
#include "ProtocolSettings.h"

#include <QList>
#include <QtEndian>

namespace {

const int ReplyBufferSize = 512;
// The controller answers at most 16 words per request.
const quint64 MaxWords = 16;

int bytesPerElement(int dataType)
{
    switch (dataType) {
    case 2:
        return 2;
    case 3:
        return 4;
    default:
        return 0;
    }
}

bool isSuccess(const QByteArray &reply)
{
    const QByteArray code = reply.mid(6, 2);
    return code == "00" || code == "01";
}

} // namespace

CommSettings *VorexDriver::createDefaultCommSettings()
{
    return new CommSettings(64, QStringLiteral("COM1"), 9600, 8, 0, 2);
}

ProtocolSettings *VorexDriver::createDefaultProtocolSettings()
{
    return new ProtocolSettings(500, 3, 1, 0);
}

int VorexDriver::wordAddress(const QString &address)
{
    int i = 0;
    while (i < address.size() && address.at(i).isLetter() && address.at(i).unicode() < 128)
        ++i;
    const QString digits = address.mid(i);
    if (digits.isEmpty() || digits.size() > 5)
        return -1;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    const int number = digits.toInt();
    return number <= 65535 ? number : -1;
}

QByteArray VorexDriver::transact(PortObject *port, const QByteArray &text)
{
    if (!port)
        return QByteArray();
    const QByteArray frame = '\x02' + text + "\x03\r\n";
    port->setOption(PortObject::OptionDiscardInput, 0);
    if (port->write(frame.constData(), frame.size()) != frame.size())
        return QByteArray();
    char buffer[ReplyBufferSize] = {};
    const int got = port->read(buffer, ReplyBufferSize - 1);
    QByteArray reply(buffer, qBound(0, got, ReplyBufferSize - 1));
    const int etx = reply.indexOf('\x03');
    if (!reply.startsWith('\x02') || reply.mid(1, 5) != "0100X" || etx < 8)
        return QByteArray();
    return reply.left(etx);
}

QByteArray VorexDriver::readTag(PortObject *port, CommunicatorCommand *command)
{
    if (!command)
        return QByteArray();
    const int address = wordAddress(command->address);
    const int width = bytesPerElement(command->dataType);
    if (address < 0 || width == 0 || command->count < 1 || command->count > MaxWords)
        return QByteArray();

    const QByteArray reply = transact(port, QByteArray("0100XRS,") + QByteArray::number(address) +
                                                "W," + QByteArray::number(command->count));
    if (!isSuccess(reply) || reply.size() < 9 || reply.at(8) != ',')
        return QByteArray();

    const QList<QByteArray> fields = reply.mid(9).split(',');
    if (quint64(fields.size()) != command->count)
        return QByteArray();
    QByteArray values;
    for (const QByteArray &field : fields) {
        bool ok = false;
        const int value = field.toInt(&ok);
        if (!ok)
            return QByteArray();
        char bytes[4];
        qToLittleEndian<qint32>(value, bytes);
        values.append(bytes, width);
    }
    return values;
}

bool VorexDriver::writeTag(PortObject *port, CommunicatorCommand *command, QByteArray &value)
{
    if (!command)
        return false;
    const int address = wordAddress(command->address);
    const int width = bytesPerElement(command->dataType);
    if (address < 0 || width == 0 || command->count < 1 || command->count > MaxWords ||
        quint64(value.size()) < command->count * width)
        return false;

    QByteArray text = QByteArray("0100XWS,") + QByteArray::number(address) + 'W';
    for (quint64 i = 0; i < command->count; ++i) {
        const char *element = value.constData() + i * width;
        const int v =
            width == 4 ? qFromLittleEndian<qint32>(element) : qFromLittleEndian<qint16>(element);
        text += ',' + QByteArray::number(v);
    }
    return isSuccess(transact(port, text));
}
