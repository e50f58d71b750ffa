#ifndef PORTOBJECT_H
#define PORTOBJECT_H

#include <QVariant>

// The host's communication channel, handed to the driver with every tag call.
// The order of the four virtual operations is part of the binary contract with the host.
class PortObject
{
public:
    // Option key the transfer worker sets (with 0) before every command. Our ports define it as
    // "discard every byte already received", so a late reply to an earlier request can never be
    // taken as the reply to the next one.
    static constexpr int OptionDiscardInput = 12;

    virtual ~PortObject() {}

    // Places up to maxLength received bytes of one reply in buffer; returns how many were placed
    // (the driver does not use the result: it zero-fills the buffer and reads it as text).
    virtual int read(char *buffer, int maxLength) = 0;
    // Sends length bytes; returns the number sent. Anything other than length is a send failure.
    virtual int write(const char *data, int length) = 0;
    // Sets a port option; returns whether the port knew the key.
    virtual bool setOption(int key, const QVariant &value) = 0;
    // How many times a failed step may be retried; asked afresh at every retry test.
    virtual int retryCount() = 0;
};

#endif
