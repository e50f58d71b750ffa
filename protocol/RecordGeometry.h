#ifndef PROTOCOL_RECORDGEOMETRY_H
#define PROTOCOL_RECORDGEOMETRY_H

// Where a segment record sits in the controller's replies and how long it is. A record is
// 16-bit words written as 4 upper-case hex digits: 120 digits for segment 1 (it also holds the
// program-wide words and the tag), 92 for every other segment.
//
// A block-read reply is STX "0100X" <end code> "XFR," <program> "," <segment> "," <record>
// ETX CR LF; the block data are the record with the trailer ETX CR LF.
class RecordGeometry
{
public:
    static constexpr int FirstSegmentDigits = 120;
    static constexpr int OtherSegmentDigits = 92;
    static constexpr int WordDigits = 4;
    static constexpr int MaxProgram = 19;
    static constexpr int MaxSegment = 30;

    // Hex digits of segment's record.
    static constexpr int recordDigits(int segment)
    {
        return segment == 1 ? FirstSegmentDigits : OtherSegmentDigits;
    }
    // Length of the block data of segment: the record and ETX CR LF (123 or 95).
    static constexpr int blockLength(int segment) { return recordDigits(segment) + 3; }
    // Offset of the block data in a block-read reply: 16, plus 1 for a two-digit program number,
    // plus 1 for a two-digit segment number (numbers up to 99 only).
    static constexpr int dataOffset(int program, int segment)
    {
        return 16 + (program > 9 ? 1 : 0) + (segment > 9 ? 1 : 0);
    }
};

#endif
