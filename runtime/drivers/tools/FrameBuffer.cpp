#include "FrameBuffer.h"

#include "ByteOrder.h"
#include "Checksums.h"
#include "TextNumbers.h"

#include <QVector>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 IntMax = std::numeric_limits<int>::max();

QByteArray hexByte(quint8 value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

} // namespace

int FrameBuffer::setData(const QByteArray &bytes)
{
    m_bytes = bytes;
    return 1;
}

int FrameBuffer::setData(const char *buffer, int n)
{
    if (buffer == nullptr || n < 0)
        m_bytes.clear();
    else
        m_bytes = QByteArray(buffer, n);
    return 1;
}

void FrameBuffer::clear()
{
    m_bytes.clear();
    m_layout.clear();
    m_total = 0;
}

QString FrameBuffer::hexDump() const
{
    return DriverTools::hexDump(m_bytes);
}

FrameBuffer::Span FrameBuffer::span(int i) const
{
    QVector<Span> spans(i + 1);
    qint64 offset = 0;
    for (int j = 0; j <= i; ++j) {
        const qint64 entry = m_layout.at(j);
        qint64 length = entry;
        if (entry < 0) {
            const qint64 k = -entry;
            length = 0;
            if (k < j) {
                const Span &source = spans.at(int(k));
                const QByteArray field = m_bytes.mid(
                    int(qMin(source.offset, IntMax)),
                    int(qMax<qint64>(0, qMin(source.length, m_bytes.size() - source.offset))));
                length = qMax<qint64>(0, DriverTools::toInt32LE(field));
            }
        }
        spans[j] = {offset, length};
        offset = qMin(offset + length, IntMax);
    }
    return spans.at(i);
}

int FrameBuffer::fieldLength(int i) const
{
    return isFieldIndex(i) ? int(span(i).length) : 0;
}

QByteArray FrameBuffer::fieldBytes(int i) const
{
    if (!isFieldIndex(i))
        return QByteArray();
    const Span s = span(i);
    if (s.offset >= m_bytes.size())
        return QByteArray();
    return m_bytes.mid(int(s.offset), int(qMin<qint64>(s.length, m_bytes.size() - s.offset)));
}

int FrameBuffer::fieldOffset(int i) const
{
    return isFieldIndex(i) ? int(span(i).offset) : -1;
}

bool FrameBuffer::setLayout(const QList<qint32> &layout)
{
    qint64 sum = 0;
    for (qint32 entry : layout) {
        if (entry > 0)
            sum += entry;
        if (sum > MaxLayoutSize)
            return false;
    }
    m_layout = layout;
    const int oldSize = m_bytes.size();
    m_bytes.resize(int(sum));
    if (m_bytes.size() > oldSize)
        std::fill(m_bytes.begin() + oldSize, m_bytes.end(), '\0');
    return true;
}

qint32 FrameBuffer::toInt32LE(const QByteArray &bytes)
{
    return DriverTools::toInt32LE(bytes);
}

quint8 FrameBuffer::xorExceptLast(int n) const
{
    const int used = n <= 0 ? m_bytes.size() : qMax(0, m_bytes.size() - n);
    return DriverTools::xor8(m_bytes.constData(), used);
}

int FrameBuffer::appendField(const QByteArray &bytes)
{
    m_bytes.append(bytes);
    m_layout.append(bytes.size());
    m_total = qint32(qMin(qint64(m_total) + bytes.size(), IntMax));
    return 1;
}

int FrameBuffer::appendBytes(const QByteArray &bytes)
{
    return appendField(bytes);
}

int FrameBuffer::appendText(const QString &text)
{
    return appendField(text.toLatin1());
}

int FrameBuffer::appendByte(quint8 value)
{
    return appendField(QByteArray(1, char(value)));
}

int FrameBuffer::appendHexByte(quint8 value)
{
    return appendField(hexByte(value));
}

int FrameBuffer::appendInt16(quint16 value)
{
    return appendField(DriverTools::fromInt16LE(value));
}

int FrameBuffer::appendInt32(quint32 value)
{
    return appendField(DriverTools::fromInt32LE(value));
}

int FrameBuffer::appendSum8()
{
    return appendByte(DriverTools::sum8(m_bytes.constData(), m_bytes.size()));
}

int FrameBuffer::appendSum8Hex()
{
    return appendHexByte(DriverTools::sum8(m_bytes.constData(), m_bytes.size()));
}

int FrameBuffer::appendXorHex()
{
    return appendHexByte(DriverTools::xor8(m_bytes.constData(), m_bytes.size()));
}
