#include "ReplyAssembler.h"

#include "Frame.h"

#include <cstring>

void ReplyAssembler::append(const QByteArray &bytes)
{
    append(bytes.constData(), bytes.size());
}

void ReplyAssembler::append(const char *data, int length)
{
    if (!data || length <= 0)
        return;
    m_pending.append(data, length);
    if (m_pending.size() > MaxPending)
        m_pending.remove(0, m_pending.size() - MaxPending);
}

int ReplyAssembler::wholeReplyLength() const
{
    const int etx = m_pending.indexOf(Frame::Etx);
    if (etx < 0)
        return -1;
    const int lf = m_pending.indexOf(Frame::Lf, etx + 1);
    return lf < 0 ? -1 : lf + 1;
}

int ReplyAssembler::take(char *buffer, int maxLength)
{
    if (!buffer || maxLength <= 0)
        return 0;
    int n = wholeReplyLength();
    if (n < 0)
        n = m_pending.size();
    n = qMin(n, maxLength);
    if (n > 0) {
        std::memcpy(buffer, m_pending.constData(), size_t(n));
        m_pending.remove(0, n);
    }
    return n;
}
