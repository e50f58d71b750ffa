#include "CommunicatorCommand.h"

quint64 CommunicatorCommand::byteLength() const
{
    switch (dataType) {
    case 0:
        return count == 0 ? 1 : (count + 7) / 8;
    case 1:
    case 5:
        return count;
    case 2:
        return 2 * count;
    case 3:
        return 4 * count;
    case 4:
        return 8 * count;
    default:
        return 1;
    }
}

QString CommunicatorCommand::key() const
{
    // One pass: an address holding "%1" or "%2" stays as it is.
    return QStringLiteral("%1_%2_%3")
        .arg(address, QString::number(dataType), QString::number(count));
}
