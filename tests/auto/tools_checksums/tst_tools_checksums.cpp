#include "Checksums.h"

#include <QtTest>

#include <thread>
#include <vector>

using namespace DriverTools;

namespace {

const QByteArray checkInput("123456789");

// One step of a CRC: the running value and the next byte give the new running value.
using Update = quint32 (*)(quint32, quint8);

quint32 ccittUpdate(quint32 crc, quint8 byte)
{
    return crc16CcittUpdate(quint16(crc), byte);
}

// Runs one update function over the bytes from `init` and applies the final xor, as a CRC model
// prescribes.
quint32 runModel(Update update, quint32 init, quint32 xorOut)
{
    quint32 crc = init;
    for (char c : checkInput)
        crc = update(crc, quint8(c));
    return crc ^ xorOut;
}

// One pass over every update function.
std::vector<quint32> allModels()
{
    return {runModel(ccittUpdate, 0, 0), runModel(crc16ArcUpdate, 0, 0),
            runModel(crc16KermitUpdate, 0, 0), runModel(crc16DnpUpdate, 0, 0),
            runModel(crc32Update, 0xFFFFFFFFu, 0)};
}

} // namespace

Q_DECLARE_METATYPE(Update)

class TestToolsChecksums : public QObject
{
    Q_OBJECT

private slots:
    // First, so that the tables are filled while several threads race for them.
    void tablesFillOnceUnderConcurrentFirstUse();
    void catalogueCheckValues_data();
    void catalogueCheckValues();
    void bufferChecks_data();
    void bufferChecks();
    void crc16Step8005_data();
    void crc16Step8005();
};

void TestToolsChecksums::tablesFillOnceUnderConcurrentFirstUse()
{
    // Every thread must see the tables complete; catalogueCheckValues then proves them right.
    std::vector<std::vector<quint32>> results(4);
    std::vector<std::thread> threads;
    for (std::vector<quint32> &result : results)
        threads.emplace_back([&result] { result = allModels(); });
    for (std::thread &thread : threads)
        thread.join();
    const std::vector<std::vector<quint32>> expected(4, allModels());
    QCOMPARE(results, expected);
}

void TestToolsChecksums::catalogueCheckValues_data()
{
    // Published check values for the ASCII bytes "123456789" with each model's initial value and
    // final xor.
    QTest::addColumn<Update>("update");
    QTest::addColumn<quint32>("init");
    QTest::addColumn<quint32>("xorOut");
    QTest::addColumn<quint32>("check");
    auto row = [](const char *name, Update update, quint32 init, quint32 xorOut, quint32 check) {
        QTest::newRow(name) << update << init << xorOut << check;
    };
    row("CRC-16/ARC", crc16ArcUpdate, 0x0000, 0x0000, 0xBB3D);
    row("CRC-16/MODBUS", crc16ArcUpdate, 0xFFFF, 0x0000, 0x4B37);
    row("CRC-16/KERMIT", crc16KermitUpdate, 0x0000, 0x0000, 0x2189);
    row("CRC-16/DNP", crc16DnpUpdate, 0x0000, 0xFFFF, 0xEA82);
    row("CRC-16/XMODEM", ccittUpdate, 0x0000, 0x0000, 0x31C3);
    row("CRC-16/IBM-3740", ccittUpdate, 0xFFFF, 0x0000, 0x29B1);
    row("CRC-32/ISO-HDLC", crc32Update, 0xFFFFFFFF, 0xFFFFFFFF, 0xCBF43926);
}

void TestToolsChecksums::catalogueCheckValues()
{
    QFETCH(Update, update);
    QFETCH(quint32, init);
    QFETCH(quint32, xorOut);
    QFETCH(quint32, check);
    QCOMPARE(runModel(update, init, xorOut), check);
    // The reflected 16-bit updates pass the bits above 16 through untouched.
    if (update != ccittUpdate && update != crc32Update)
        QCOMPARE(runModel(update, init | 0xABCD0000u, xorOut), check | 0xABCD0000u);
}

void TestToolsChecksums::bufferChecks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("n");
    QTest::addColumn<quint8>("sum8");
    QTest::addColumn<quint32>("sum32");
    QTest::addColumn<quint8>("xor8");
    QTest::addColumn<quint16>("crc16Arc");
    auto row = [](const char *name, const QByteArray &bytes, int n, quint8 sum8, quint32 sum32,
                  quint8 xor8, quint16 crc16Arc) {
        QTest::newRow(name) << bytes << n << sum8 << sum32 << xor8 << crc16Arc;
    };
    QByteArray allBytes;
    for (int i = 0; i < 3 * 256; ++i)
        allBytes.append(char(i & 0xFF));
    row("check input", checkInput, 9, 0xDD, 0x1DD, 0x31, 0xBB3D);
    row("every byte thrice", allBytes, allBytes.size(), 0x80, 0x17E80, 0, 0x47BB);
    row("count limits", QByteArray("\x01\x02\x04", 3), 2, 3, 3, 3, 0x5180);
    row("negative count", "abc", -7, 0, 0, 0, 0);
}

void TestToolsChecksums::bufferChecks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, n);
    QFETCH(quint8, sum8);
    QFETCH(quint32, sum32);
    QFETCH(quint8, xor8);
    QFETCH(quint16, crc16Arc);
    QCOMPARE(DriverTools::sum8(bytes.constData(), n), sum8);
    QCOMPARE(DriverTools::sum32(bytes.constData(), n), sum32);
    QCOMPARE(DriverTools::xor8(bytes.constData(), n), xor8);
    QCOMPARE(DriverTools::crc16Arc(bytes.constData(), n), crc16Arc);
    // A null buffer reads nothing.
    QCOMPARE(DriverTools::sum32(nullptr, n) + DriverTools::xor8(nullptr, n), 0u);
    QCOMPARE(DriverTools::sum8(nullptr, n) + DriverTools::crc16Arc(nullptr, n), 0);
}

void TestToolsChecksums::crc16Step8005_data()
{
    QTest::addColumn<quint16>("crc");
    QTest::addColumn<quint8>("low");
    QTest::addColumn<quint8>("high");
    QTest::addColumn<quint16>("result");
    QTest::newRow("top bit set applies the polynomial")
        << quint16(0x8001) << quint8(0x34) << quint8(0x12) << quint16(0x9233);
    QTest::newRow("top bit clear only shifts")
        << quint16(0x0001) << quint8(0x00) << quint8(0x80) << quint16(0x8002);
    QTest::newRow("negative high byte")
        << quint16(0x4000) << quint8(0xFF) << quint8(0xFF) << quint16(0x7FFF);
}

void TestToolsChecksums::crc16Step8005()
{
    QFETCH(quint16, crc);
    QFETCH(quint8, low);
    QFETCH(quint8, high);
    QFETCH(quint16, result);
    QCOMPARE(DriverTools::crc16Step8005(crc, low, high), result);
}

QTEST_APPLESS_MAIN(TestToolsChecksums)

#include "tst_tools_checksums.moc"
