#ifndef DRIVERTOOLS_FRAMEBUFFER_H
#define DRIVERTOOLS_FRAMEBUFFER_H

#include <QByteArray>
#include <QList>
#include <QString>

// A protocol frame under construction or under analysis: its bytes, a field layout and the total
// length of what the append operations added.
//
// A layout entry of 0 or more is the field's length in bytes. A negative entry -k makes the field
// as long as the number held in field k, read as toInt32LE of field k's bytes (so a one- or
// two-byte length field also works). Out-of-contract layouts get these answers:
// - a reference to the field itself or to a later one, or to a field whose number is negative,
//   gives length 0 (lengths only ever come from fields before the one they size);
// - offsets add up the resolved lengths of the fields before, so a reference field takes up the
//   room its length field names; offsets beyond the int range are held at INT_MAX;
// - fieldLength of an index that names no field answers 0, fieldBytes an empty array and
//   fieldOffset -1; fieldBytes is cut at the end of the frame bytes.
class FrameBuffer
{
public:
    // setLayout refuses layouts whose fixed lengths add up to more than this many bytes.
    static constexpr int MaxLayoutSize = 16 * 1024 * 1024;

    FrameBuffer() = default;

    int fieldCount() const { return m_layout.size(); }
    // Number of frame bytes.
    int size() const { return m_bytes.size(); }
    // Sum of the lengths added through the append operations (held at INT_MAX).
    qint32 totalLength() const { return m_total; }
    const QList<qint32> &layout() const { return m_layout; }

    // Replace the frame bytes; layout and total stay. A null buffer or a negative n leaves the
    // bytes empty; otherwise the caller guarantees that buffer holds n bytes. Both answer 1.
    int setData(const QByteArray &bytes);
    int setData(const char *buffer, int n);
    // Empties bytes, layout and total.
    void clear();

    // Writable pointer to the frame bytes (valid until the frame next changes).
    char *data() { return m_bytes.data(); }
    QByteArray bytes() const { return m_bytes; }
    // DriverTools::hexDump of the frame bytes.
    QString hexDump() const;

    int fieldLength(int i) const;
    QByteArray fieldBytes(int i) const;
    int fieldOffset(int i) const;
    bool isFieldIndex(int i) const { return i >= 0 && i < m_layout.size(); }

    // The layout becomes the list and the frame bytes are resized (zero-filled) to the sum of its
    // entries of 0 or more, reference entries counting 0. Answers false and changes nothing when
    // that sum exceeds MaxLayoutSize.
    bool setLayout(const QList<qint32> &layout);

    static qint32 toInt32LE(const QByteArray &bytes);

    // Exclusive or of all frame bytes except the last n (all of them for n <= 0, none when n
    // reaches the size).
    quint8 xorExceptLast(int n) const;

    // Each appends bytes, adds their count to the layout as a new field and to the total, and
    // answers 1.
    int appendBytes(const QByteArray &bytes);
    // The text's characters as Latin-1 bytes (characters outside Latin-1 become "?").
    int appendText(const QString &text);
    int appendByte(quint8 value);
    // The two upper-case hexadecimal characters of the byte ("%02X").
    int appendHexByte(quint8 value);
    int appendInt16(quint16 value);
    int appendInt32(quint32 value);
    // One byte: the 8-bit sum of all frame bytes so far (0 for an empty frame).
    int appendSum8();
    // "%02X" of the 8-bit sum / of the exclusive or of all frame bytes so far.
    int appendSum8Hex();
    int appendXorHex();

private:
    struct Span
    {
        qint64 offset = 0;
        qint64 length = 0;
    };
    // Offset and length of field i, resolving the fields before it in order.
    Span span(int i) const;
    int appendField(const QByteArray &bytes);

    QByteArray m_bytes;
    QList<qint32> m_layout;
    qint32 m_total = 0;
};

#endif
