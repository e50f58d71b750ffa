// Whatever the line delivers as replies, a read and a write transfer must end without a crash,
// a hang or an access past the receive buffer.

#include "FuzzSupport.h"
#include "TransferInput.h"

namespace {

// Answers every exchange with the next reply of the input, cut to what the caller asked for.
class ReplayPort : public PortObject
{
public:
    ReplayPort(const uint8_t *data, size_t size, int retries)
        : m_data(data), m_size(size), m_retries(retries)
    {
    }
    int read(char *buffer, int maxLength) override
    {
        if (m_pos >= m_size || maxLength <= 0)
            return 0;
        size_t length = m_data[m_pos++];
        length = std::min(length, m_size - m_pos);
        const size_t placed = std::min(length, size_t(maxLength));
        std::memcpy(buffer, m_data + m_pos, placed);
        m_pos += length;
        return int(placed);
    }
    int write(const char *, int length) override { return length; }
    bool setOption(int, const QVariant &) override { return true; }
    int retryCount() override { return m_retries; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
    int m_retries;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < size_t(TransferInput::HeaderSize) || size > 32 * 1024)
        return 0;
    FuzzSupport::app();
    static const bool cleaned = [] {
        TransferInput::removeAppFiles();
        std::atexit(TransferInput::removeAppFiles);
        return true;
    }();
    (void)cleaned;
    const TransferInput::Header h = TransferInput::headerOf(data);
    ReplayPort port(data + TransferInput::HeaderSize, size - TransferInput::HeaderSize, h.retries);
    TransferInput::runTransfers(port, h);
    return 0;
}
