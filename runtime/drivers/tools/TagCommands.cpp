#include "TagCommands.h"

#include <limits>

namespace DriverTools {

bool isType0(const CommunicatorCommand &command)
{
    return command.dataType == 0;
}

bool isType1(const CommunicatorCommand &command)
{
    return command.dataType == 1;
}

bool isType2(const CommunicatorCommand &command)
{
    return command.dataType == 2;
}

bool isType3(const CommunicatorCommand &command)
{
    return command.dataType == 3;
}

bool isType5(const CommunicatorCommand &command)
{
    return command.dataType == 5;
}

int valueIsOn(const QByteArray &bytes)
{
    return bytes.isEmpty() ? 0 : (quint8(bytes.at(0)) & 1);
}

qint32 commandByteLength(const CommunicatorCommand &command)
{
    const quint64 count = command.count;
    const quint64 limit = quint64(std::numeric_limits<qint32>::max());
    quint64 perElement = 0;
    switch (command.dataType) {
    case 0:
    case 6:
        // count / 8 rounded up, written so that the largest count cannot wrap around
        return count / 8 + (count % 8 != 0) > limit ? -1 : qint32(count / 8 + (count % 8 != 0));
    case 1:
    case 5:
        perElement = 1;
        break;
    case 2:
        perElement = 2;
        break;
    case 3:
        perElement = 4;
        break;
    case 4:
        perElement = 8;
        break;
    default:
        return 0;
    }
    if (count > limit / perElement)
        return -1;
    return qint32(count * perElement);
}

QByteArray fitToCommand(const CommunicatorCommand &command, const QByteArray &bytes)
{
    const qint32 length = commandByteLength(command);
    if (length < 0)
        return QByteArray();
    QByteArray copy = bytes.left(length);
    if (copy.size() < length)
        copy.append(length - copy.size(), '\0');
    return copy;
}

} // namespace DriverTools
