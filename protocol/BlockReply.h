#ifndef PROTOCOL_BLOCKREPLY_H
#define PROTOCOL_BLOCKREPLY_H

#include <QString>

// The controller's answer to a block read, taken apart: STX "0100X" <end code> "XFR,"
// <program> "," <segment> "," <record> ETX CR LF. The block data are everything from the record
// on (the record and the trailer).
class BlockReply
{
public:
    // The block data of reply, a successful answer to the block read of program and segment:
    // the text from RecordGeometry::dataOffset on (empty when the reply is shorter).
    static QString blockData(const QString &reply, int program, int segment);

    // True when reply carries an intact block of program and segment: block data of exactly
    // RecordGeometry::blockLength(segment) characters, the echo "XFR,<program>,<segment>," right
    // after the end code, a record of hex digits only and the trailer ETX CR LF. A reply garbled
    // on the line fails one of these and is asked for again rather than converted.
    static bool isIntact(const QString &reply, int program, int segment);
};

#endif
