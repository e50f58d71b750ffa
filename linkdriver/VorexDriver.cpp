#include "VorexDriver.h"

#include "CommSettings.h"
#include "Commands.h"
#include "CommunicatorCommand.h"
#include "EndCode.h"
#include "Frame.h"
#include "PortObject.h"
#include "ProtocolSettings.h"

#include <QList>
#include <QtEndian>

namespace {

const int ReplyBufferSize = 512;
// The controller answers at most 16 words per request.
const quint64 MaxWords = 16;

// Bytes per element of the data types served: 16-bit words (code 2) and 32-bit values (code 3),
// as the host's record sizes them; 0 for every other code or a command without elements.
int bytesPerElement(const CommunicatorCommand &command)
{
    if ((command.dataType != 2 && command.dataType != 3) || command.count == 0)
        return 0;
    return int(command.byteLength() / command.count);
}

bool isSuccess(const QByteArray &reply)
{
    return EndCode::isSuccess(Frame::endCodeOf(reply));
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
    // The one memory name the controller's data commands reach; letter case matters, as it
    // does for every other tag address of the host.
    if (!address.startsWith(QLatin1String("RAM")))
        return -1;
    const QString digits = address.mid(3);
    if (digits.isEmpty() || digits.size() > 5)
        return -1;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    const int number = digits.toInt();
    return number <= 65535 ? number : -1;
}

bool VorexDriver::fitsWord(qint64 value)
{
    return value >= MinWordValue && value <= MaxWordValue;
}

QByteArray VorexDriver::transact(PortObject *port, const QByteArray &frame)
{
    if (!port)
        return QByteArray();
    port->setOption(PortObject::OptionDiscardInput, 0);
    if (port->write(frame.constData(), frame.size()) != frame.size())
        return QByteArray();
    char buffer[ReplyBufferSize] = {};
    const int got = port->read(buffer, ReplyBufferSize - 1);
    QByteArray reply(buffer, qBound(0, got, ReplyBufferSize - 1));
    // The reply text must reach past its end code before the ETX.
    const int etx = reply.indexOf(Frame::Etx);
    if (!reply.startsWith(Frame::Stx) || !Frame::hasReplyHeader(reply) ||
        etx < Frame::PayloadOffset)
        return QByteArray();
    return reply.left(etx);
}

QByteArray VorexDriver::readTag(PortObject *port, CommunicatorCommand *command)
{
    if (!command)
        return QByteArray();
    const int address = wordAddress(command->address);
    const int width = bytesPerElement(*command);
    if (address < 0 || width == 0 || command->count < 1 || command->count > MaxWords)
        return QByteArray();

    const QByteArray reply = transact(port, Commands::readWords(address, int(command->count)));
    if (!isSuccess(reply) || reply.size() <= Frame::PayloadOffset ||
        reply.at(Frame::PayloadOffset) != ',')
        return QByteArray();

    const QList<QByteArray> fields = reply.mid(Frame::PayloadOffset + 1).split(',');
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
    const int width = bytesPerElement(*command);
    if (address < 0 || width == 0 || command->count < 1 || command->count > MaxWords ||
        quint64(value.size()) < command->count * width)
        return false;

    QList<int> values;
    for (quint64 i = 0; i < command->count; ++i) {
        const char *element = value.constData() + i * width;
        const int number =
            width == 4 ? qFromLittleEndian<qint32>(element) : qFromLittleEndian<qint16>(element);
        // The controller would refuse the whole write; a value it cannot hold never leaves here
        // truncated or wrapped.
        if (!fitsWord(number))
            return false;
        values << number;
    }
    return isSuccess(transact(port, Commands::writeWords(address, values)));
}
