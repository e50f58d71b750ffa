#include "Checksums.h"

#include <QtTest>

#include <functional>
#include <thread>
#include <vector>

using namespace DriverTools;

namespace {

const QByteArray checkInput("123456789");

enum class Update { Ccitt, Arc, Kermit, Dnp, Crc32 };

// Runs one update function over the bytes from `init` and applies the final xor, as a CRC model
// prescribes.
quint32 runModel(Update update, quint32 init, quint32 xorOut, const QByteArray &bytes)
{
    quint32 crc = init;
    for (char c : bytes) {
        const quint8 byte = quint8(c);
        switch (update) {
        case Update::Ccitt:
            crc = crc16CcittUpdate(quint16(crc), byte);
            break;
        case Update::Arc:
            crc = crc16ArcUpdate(crc, byte);
            break;
        case Update::Kermit:
            crc = crc16KermitUpdate(crc, byte);
            break;
        case Update::Dnp:
            crc = crc16DnpUpdate(crc, byte);
            break;
        case Update::Crc32:
            crc = crc32Update(crc, byte);
            break;
        }
    }
    return crc ^ xorOut;
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
    void crc16ArcOfBuffer_data();
    void crc16ArcOfBuffer();
    void reflectedUpdatesKeepUpperBits_data();
    void reflectedUpdatesKeepUpperBits();
    void simpleSums_data();
    void simpleSums();
    void crc16Step8005_data();
    void crc16Step8005();
};

void TestToolsChecksums::tablesFillOnceUnderConcurrentFirstUse()
{
    const quint32 expected[] = {0x31C3, 0xBB3D, 0x2189, 0xEA82, 0xCBF43926};
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures, &expected] {
            const quint32 got[] = {
                runModel(Update::Ccitt, 0, 0, checkInput),
                runModel(Update::Arc, 0, 0, checkInput),
                runModel(Update::Kermit, 0, 0, checkInput),
                runModel(Update::Dnp, 0, 0xFFFF, checkInput),
                runModel(Update::Crc32, 0xFFFFFFFFu, 0xFFFFFFFFu, checkInput),
            };
            for (int i = 0; i < 5; ++i)
                failures[t] += got[i] != expected[i];
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QCOMPARE(failures, std::vector<int>(4, 0));
}

void TestToolsChecksums::catalogueCheckValues_data()
{
    // Check values for the ASCII bytes "123456789", with each model's initial value and final
    // xor, from the CRC RevEng "Catalogue of parametrised CRC algorithms" (reveng.sourceforge.io).
    QTest::addColumn<Update>("update");
    QTest::addColumn<quint32>("init");
    QTest::addColumn<quint32>("xorOut");
    QTest::addColumn<quint32>("check");
    QTest::newRow("CRC-16/ARC") << Update::Arc << 0x0000u << 0x0000u << 0xBB3Du;
    QTest::newRow("CRC-16/MODBUS") << Update::Arc << 0xFFFFu << 0x0000u << 0x4B37u;
    QTest::newRow("CRC-16/MAXIM-DOW") << Update::Arc << 0x0000u << 0xFFFFu << 0x44C2u;
    QTest::newRow("CRC-16/USB") << Update::Arc << 0xFFFFu << 0xFFFFu << 0xB4C8u;
    QTest::newRow("CRC-16/KERMIT") << Update::Kermit << 0x0000u << 0x0000u << 0x2189u;
    QTest::newRow("CRC-16/IBM-SDLC") << Update::Kermit << 0xFFFFu << 0xFFFFu << 0x906Eu;
    QTest::newRow("CRC-16/MCRF4XX") << Update::Kermit << 0xFFFFu << 0x0000u << 0x6F91u;
    QTest::newRow("CRC-16/DNP") << Update::Dnp << 0x0000u << 0xFFFFu << 0xEA82u;
    QTest::newRow("CRC-16/XMODEM") << Update::Ccitt << 0x0000u << 0x0000u << 0x31C3u;
    QTest::newRow("CRC-16/IBM-3740") << Update::Ccitt << 0xFFFFu << 0x0000u << 0x29B1u;
    QTest::newRow("CRC-16/GENIBUS") << Update::Ccitt << 0xFFFFu << 0xFFFFu << 0xD64Eu;
    QTest::newRow("CRC-32/ISO-HDLC") << Update::Crc32 << 0xFFFFFFFFu << 0xFFFFFFFFu << 0xCBF43926u;
    QTest::newRow("CRC-32/JAMCRC") << Update::Crc32 << 0xFFFFFFFFu << 0x00000000u << 0x340BC6D9u;
}

void TestToolsChecksums::catalogueCheckValues()
{
    QFETCH(Update, update);
    QFETCH(quint32, init);
    QFETCH(quint32, xorOut);
    QFETCH(quint32, check);
    QCOMPARE(runModel(update, init, xorOut, checkInput), check);
}

void TestToolsChecksums::crc16ArcOfBuffer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("n");
    QTest::addColumn<quint16>("crc");
    QTest::newRow("check input") << checkInput << 9 << quint16(0xBB3D);
    QTest::newRow("abc") << QByteArray("abc") << 3 << quint16(0x9738);
    QTest::newRow("count limits the bytes") << QByteArray("abcdef") << 3 << quint16(0x9738);
    QTest::newRow("no bytes") << QByteArray("abc") << 0 << quint16(0);
    QTest::newRow("negative count") << QByteArray("abc") << -1 << quint16(0);
}

void TestToolsChecksums::crc16ArcOfBuffer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, n);
    QFETCH(quint16, crc);
    QCOMPARE(crc16Arc(bytes.constData(), n), crc);
    QCOMPARE(crc16Arc(nullptr, 5), quint16(0));
}

void TestToolsChecksums::reflectedUpdatesKeepUpperBits_data()
{
    QTest::addColumn<Update>("update");
    QTest::newRow("arc") << Update::Arc;
    QTest::newRow("kermit") << Update::Kermit;
    QTest::newRow("dnp") << Update::Dnp;
}

void TestToolsChecksums::reflectedUpdatesKeepUpperBits()
{
    QFETCH(Update, update);
    const quint32 plain = runModel(update, 0x1234, 0, checkInput);
    const quint32 tagged = runModel(update, 0xABCD1234u, 0, checkInput);
    QCOMPARE(tagged & 0xFFFF0000u, 0xABCD0000u);
    QCOMPARE(tagged & 0xFFFFu, plain);
    QCOMPARE(plain & 0xFFFF0000u, 0u);
}

void TestToolsChecksums::simpleSums_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("n");
    QTest::addColumn<quint8>("sum8");
    QTest::addColumn<quint32>("sum32");
    QTest::addColumn<quint8>("xor8");
    QByteArray allBytes;
    for (int i = 0; i < 3 * 256; ++i)
        allBytes.append(char(i & 0xFF));
    QTest::newRow("check input") << checkInput << 9 << quint8(0xDD) << 0x1DDu << quint8(0x31);
    QTest::newRow("every byte thrice")
        << allBytes << allBytes.size() << quint8(0x80) << 0x17E80u << quint8(0);
    QTest::newRow("count limits") << QByteArray("\x01\x02\x04", 3) << 2 << quint8(3) << 3u
                                  << quint8(3);
    QTest::newRow("high bytes are unsigned")
        << QByteArray("\xFF\xFF", 2) << 2 << quint8(0xFE) << 0x1FEu << quint8(0);
    QTest::newRow("none") << QByteArray("abc") << 0 << quint8(0) << 0u << quint8(0);
    QTest::newRow("negative count") << QByteArray("abc") << -7 << quint8(0) << 0u << quint8(0);
}

void TestToolsChecksums::simpleSums()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, n);
    QFETCH(quint8, sum8);
    QFETCH(quint32, sum32);
    QFETCH(quint8, xor8);
    QCOMPARE(DriverTools::sum8(bytes.constData(), n), sum8);
    QCOMPARE(DriverTools::sum32(bytes.constData(), n), sum32);
    QCOMPARE(DriverTools::xor8(bytes.constData(), n), xor8);
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
    QTest::newRow("zero") << quint16(0) << quint8(0) << quint8(0) << quint16(0);
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
