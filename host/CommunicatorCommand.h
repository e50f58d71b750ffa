#ifndef COMMUNICATORCOMMAND_H
#define COMMUNICATORCOMMAND_H

#include <QString>

// The host's record describing one tag access. The host creates it and passes a pointer;
// drivers read its address and build their own for internal reads. It is polymorphic but has no
// virtual destructor, as the host's binary layout requires.
class CommunicatorCommand
{
public:
    CommunicatorCommand() = default;

    // Byte size of the data: code 0 packs eight bits to a byte (1 for a count of 0), 1 and 5 one
    // byte, 2 two, 3 four and 4 eight bytes per element; any other code answers 1.
    virtual quint64 byteLength() const;
    // "<address>_<dataType>_<count>", e.g. "RAM3501_3_1"; the address is taken as it is.
    virtual QString key() const;

    qint32 hostValue = 1; // host-defined
    qint32 dataType = 3;
    quint64 count = 1;
    QString address = QStringLiteral("S>NULL");
    qint32 hostValue2 = 0; // host-defined
    QString hostText;      // host-defined
    bool hostFlag = false; // host-defined
};

#endif
