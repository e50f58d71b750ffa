// hmiPortFromDevice against a plain restatement of its contract, on UTF-8 device texts.

#include "FuzzSupport.h"
#include "StationLookup.h"

#include <limits>

namespace {

int expected(const QString &device)
{
    if (device.left(8).compare(QLatin1String("ETHERNET"), Qt::CaseInsensitive) == 0 &&
        device.size() >= 8)
        return 2000;
    int start = device.size();
    while (start > 0 && device.at(start - 1).unicode() >= '0' &&
           device.at(start - 1).unicode() <= '9')
        --start;
    if (device.isEmpty() || start == device.size() || start == 0)
        return -1;
    qint64 number = 0;
    for (int i = start; i < device.size(); ++i) {
        number = number * 10 + (device.at(i).unicode() - '0');
        if (number + 1000 > std::numeric_limits<int>::max())
            return -1;
    }
    return int(number + 1000);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString device = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const int got = DriverTools::hmiPortFromDevice(device);
    const int want = expected(device);
    if (got != want) {
        std::fprintf(stderr, "hmiPortFromDevice(\"%s\") = %d, expected %d\n", qPrintable(device),
                     got, want);
        FuzzSupport::fail("hmiPortFromDevice differs from its contract");
    }
    return 0;
}
