#include "BlockReply.h"

#include "Frame.h"
#include "RecordGeometry.h"

#include <cctype>

QString BlockReply::blockData(const QString &reply, int program, int segment)
{
    return reply.mid(RecordGeometry::dataOffset(program, segment));
}

bool BlockReply::isIntact(const QString &reply, int program, int segment)
{
    const int offset = RecordGeometry::dataOffset(program, segment);
    const QString data = reply.mid(offset);
    const QString echo = QStringLiteral("XFR,%1,%2,").arg(program).arg(segment);
    if (data.size() != RecordGeometry::blockLength(segment) ||
        reply.mid(Frame::PayloadOffset, offset - Frame::PayloadOffset) != echo ||
        !data.endsWith(QString::fromLatin1(Frame::trailer())))
        return false;
    for (int i = 0; i < RecordGeometry::recordDigits(segment); ++i) {
        if (!isxdigit(static_cast<unsigned char>(data.at(i).toLatin1())))
            return false;
    }
    return true;
}
