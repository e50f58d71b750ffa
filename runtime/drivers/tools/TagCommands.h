#ifndef DRIVERTOOLS_TAGCOMMANDS_H
#define DRIVERTOOLS_TAGCOMMANDS_H

#include "CommunicatorCommand.h"

#include <QByteArray>
#include <QtGlobal>

// Helpers that read a host tag command: its element type and the byte size of its data.
namespace DriverTools {

// True when the command's dataType is 0, 1, 2, 3 or 5 respectively.
bool isType0(const CommunicatorCommand &command);
bool isType1(const CommunicatorCommand &command);
bool isType2(const CommunicatorCommand &command);
bool isType3(const CommunicatorCommand &command);
bool isType5(const CommunicatorCommand &command);

// The lowest bit of the first byte, 1 or 0; an empty array is 0.
int valueIsOn(const QByteArray &bytes);

// Byte size of the command's data by dataType: 0 or 6 (bits) count/8 rounded up (0 for a count
// of 0); 1 or 5 count; 2 twice, 3 four times, 4 eight times count; any other code 0.
// A size that does not fit a signed 32-bit integer answers -1.
qint32 commandByteLength(const CommunicatorCommand &command);

// A copy of bytes cut or padded with zero bytes to commandByteLength(command); an empty array
// when that length is -1.
QByteArray fitToCommand(const CommunicatorCommand &command, const QByteArray &bytes);

} // namespace DriverTools

#endif
