#include "Frame.h"

namespace {
const char ReplyHeader[] = "0100X";
constexpr int ReplyHeaderOffset = 1;
constexpr int ReplyHeaderLength = 5;
constexpr int EndCodeLength = 2;
} // namespace

QByteArray Frame::wrap(const QByteArray &text)
{
    return Stx + text + trailer();
}

QString Frame::wrap(const QString &text)
{
    return QString::fromLatin1(wrap(text.toLatin1()));
}

QByteArray Frame::trailer()
{
    const char bytes[] = {Etx, Cr, Lf};
    return QByteArray(bytes, TrailerLength);
}

bool Frame::hasReplyHeader(const QByteArray &reply)
{
    return reply.mid(ReplyHeaderOffset, ReplyHeaderLength) == ReplyHeader;
}

bool Frame::hasReplyHeader(const QString &reply)
{
    return reply.mid(ReplyHeaderOffset, ReplyHeaderLength) == QLatin1String(ReplyHeader);
}

QByteArray Frame::endCodeOf(const QByteArray &reply)
{
    return reply.mid(EndCodeOffset, EndCodeLength);
}

QString Frame::endCodeOf(const QString &reply)
{
    return reply.mid(EndCodeOffset, EndCodeLength);
}
