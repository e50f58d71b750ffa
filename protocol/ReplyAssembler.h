#ifndef REPLYASSEMBLER_H
#define REPLYASSEMBLER_H

#include <QByteArray>

// Collects the bytes a line delivers and cuts them into controller replies. A reply is complete
// at the line feed that follows its ETX: serial adapters hand bytes over in bursts, and a pause
// between two bursts says nothing about where a reply ends. Bytes before STX are kept (the
// driver decides what a damaged reply means); nothing is ever reordered or dropped except by
// clear().
class ReplyAssembler
{
public:
    // Longest run of bytes kept without a complete reply; beyond it the oldest bytes are dropped,
    // so line noise can never grow the buffer without bound.
    static constexpr int MaxPending = 64 * 1024;

    void append(const QByteArray &bytes);
    void append(const char *data, int length);

    // Length of the first whole reply (up to and including the LF after the first ETX), or -1
    // while none is complete.
    int wholeReplyLength() const;
    bool hasWholeReply() const { return wholeReplyLength() >= 0; }

    // Moves up to maxLength bytes into buffer: the first whole reply when there is one, otherwise
    // everything pending. Answers the number of bytes moved; the rest stays pending.
    int take(char *buffer, int maxLength);

    int pendingSize() const { return m_pending.size(); }
    const QByteArray &pending() const { return m_pending; }
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
};

#endif
