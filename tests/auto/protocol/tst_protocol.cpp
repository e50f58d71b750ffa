// The line's vocabulary on its own: the exact bytes of every file command, the read limits (the
// pauses are checked on the transfers' own exchanges), the end codes and their messages, where a
// record sits in a block reply, and where the assembler ends a reply.

#include "BlockReply.h"
#include "Commands.h"
#include "EndCode.h"
#include "Frame.h"
#include "RecordGeometry.h"
#include "ReplyAssembler.h"

#include <QtTest>

using Bursts = QByteArrayList;
using C = Commands;

namespace {

QByteArray framed(const QByteArray &text)
{
    return '\x02' + text + "\x03\r\n";
}

// A block-read reply of program and segment carrying record.
QString blockReply(int program, int segment, const QString &record)
{
    return QString::fromLatin1(framed(
        QStringLiteral("0100X00XFR,%1,%2,%3").arg(program).arg(segment).arg(record).toLatin1()));
}

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT

private slots:
    void fileCommands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("built"); // by the command's own builder
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("segment");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("readLimit");
        const QString record = QStringLiteral("0064000A%1"); // a "%1" in a record stays as it is
        QTest::newRow("open for read, 17 bytes")
            << int(C::OpenForRead) << C::openForRead(3) << 3 << 0 << framed("0100XFO,3,R,0") << 16;
        QTest::newRow("open for write, program 12") << int(C::OpenForWrite) << C::openForWrite(12)
                                                    << 12 << 0 << framed("0100XFO,12,W,0") << 16;
        QTest::newRow("block read, program 12, segment 10")
            << int(C::BlockRead) << C::blockRead(12, 10) << 12 << 10 << framed("0100XFR,12,10")
            << 200;
        QTest::newRow("block write, program 7, segment 1")
            << int(C::BlockWrite) << C::blockWrite(7, 1, record) << 7 << 1
            << framed("0100XFW,7,1,0064000A%1") << 200;
        QTest::newRow("close, program 19")
            << int(C::Close) << C::close(19) << 19 << 0 << framed("0100XFC,19") << 16;
    }

    void fileCommands()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, built);
        QFETCH(int, program);
        QFETCH(int, segment);
        QFETCH(QByteArray, bytes);
        QFETCH(int, readLimit);
        const auto c = Commands::FileCommand(command);
        QCOMPARE(built, bytes);
        const QString record = c == Commands::BlockWrite ? QStringLiteral("0064000A%1") : QString();
        QCOMPARE(Commands::fill(Commands::frameTemplate(c), c, program, segment, record), bytes);
        QCOMPARE(Commands::readLimit(c), readLimit);
    }

    void endCodes_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("header");
        QTest::addColumn<bool>("success");
        QTest::addColumn<QString>("message");
        const auto reply = [](const char *endCode) {
            return QString::fromLatin1(framed(QByteArray("0100X") + endCode));
        };
        QTest::newRow("00") << reply("00") << true << true << QString();
        QTest::newRow("01 is success too") << reply("01") << true << true << QString();
        QTest::newRow("41") << reply("41") << true << false
                            << "The number of data is over 16. (Including read data count of RS "
                               "request).";
        QTest::newRow("50") << reply("50") << true << false << "File is already open.";
        QTest::newRow("unknown 43") << reply("43") << true << false << QString();
        // A reply one character short: the end code is "0" and ETX, which no table knows.
        QTest::newRow("one short") << reply("0") << true << false << QString();
        QTest::newRow("wrong station")
            << QString::fromLatin1(framed("0200X00")) << false << true << QString();
        QTest::newRow("nothing") << QString() << false << false << QString();
    }

    void endCodes()
    {
        QFETCH(QString, reply);
        QFETCH(bool, header);
        QFETCH(bool, success);
        QFETCH(QString, message);
        QCOMPARE(Frame::hasReplyHeader(reply), header);
        QCOMPARE(Frame::hasReplyHeader(reply.toLatin1()), header);
        const QString endCode = Frame::endCodeOf(reply);
        QCOMPARE(EndCode::isSuccess(endCode), success);
        QCOMPARE(EndCode::isSuccess(endCode.toLatin1()), success);
        QCOMPARE(EndCode::message(endCode), message);
    }

    void geometry_data()
    {
        QTest::addColumn<int>("program");
        QTest::addColumn<int>("segment");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length");
        QTest::newRow("9, 9") << 9 << 9 << 16 << 95;
        QTest::newRow("10, 1") << 10 << 1 << 17 << 123;
        QTest::newRow("1, 10") << 1 << 10 << 17 << 95;
        QTest::newRow("10, 10") << 10 << 10 << 18 << 95;
    }

    void geometry()
    {
        QFETCH(int, program);
        QFETCH(int, segment);
        QFETCH(int, offset);
        QFETCH(int, length);
        QCOMPARE(RecordGeometry::dataOffset(program, segment), offset);
        QCOMPARE(RecordGeometry::blockLength(segment), length);
        // The block data start right after the echo of the two numbers.
        const QString record = QString(RecordGeometry::recordDigits(segment), QLatin1Char('7'));
        const QString reply = blockReply(program, segment, record);
        QCOMPARE(reply.indexOf(record), offset);
        QCOMPARE(BlockReply::blockData(reply, program, segment), record + "\x03\r\n");
        QVERIFY(BlockReply::isIntact(reply, program, segment));
    }

    void blockReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("segment");
        QTest::addColumn<bool>("intact");
        const QString first(120, QLatin1Char('A'));
        const QString other(92, QLatin1Char('0'));
        QTest::newRow("segment 1") << blockReply(3, 1, first) << 1 << true;
        QTest::newRow("segment 1 with 92 digits") << blockReply(3, 1, other) << 1 << false;
        QTest::newRow("segment 2 with 120 digits") << blockReply(3, 2, first) << 2 << false;
        QTest::newRow("echo of another segment") << blockReply(3, 3, other) << 2 << false;
        QTest::newRow("not a hex digit first")
            << blockReply(3, 2, QString(other).replace(0, 1, QLatin1Char('@'))) << 2 << false;
        QTest::newRow("no trailer") << blockReply(3, 2, other).chopped(3) + "xyz" << 2 << false;
    }

    void blockReplies()
    {
        QFETCH(QString, reply);
        QFETCH(int, segment);
        QFETCH(bool, intact);
        QCOMPARE(BlockReply::isIntact(reply, 3, segment), intact);
    }

    void assembler_data()
    {
        QTest::addColumn<Bursts>("bursts");
        QTest::addColumn<Bursts>("replies");
        QTest::addColumn<QByteArray>("left");
        const QByteArray a = framed("0100X00");
        const QByteArray b = framed("0100X00XFR,1,2,0096");
        const QByteArray lf = framed("0100X00,a\nb"); // an LF before ETX does not end it
        Bursts bytes;
        for (char c : a)
            bytes << QByteArray(1, c);
        QTest::newRow("byte by byte") << bytes << Bursts{a} << QByteArray();
        QTest::newRow("LF only after ETX ends it")
            << Bursts{lf.chopped(3), lf.right(3).left(2), lf.right(1)} << Bursts{lf}
            << QByteArray();
        QTest::newRow("two replies and the start of a third")
            << Bursts{a + b + b.left(6)} << Bursts{a, b} << b.left(6);
        QTest::newRow("noise before STX stays with the reply")
            << Bursts{"\xff\xff", a} << Bursts{"\xff\xff" + a} << QByteArray();
        const QByteArray noEtx = QByteArray(a).replace('\x03', "");
        QTest::newRow("no ETX, no reply") << Bursts{noEtx} << Bursts{} << noEtx;
        const QByteArray noise(ReplyAssembler::MaxPending + 10, 'n');
        QTest::newRow("endless noise keeps the newest bytes")
            << Bursts{noise, "0100X"} << Bursts{}
            << noise.right(ReplyAssembler::MaxPending - 5) + "0100X";
    }

    void assembler()
    {
        QFETCH(Bursts, bursts);
        QFETCH(Bursts, replies);
        QFETCH(QByteArray, left);
        ReplyAssembler assembler;
        Bursts got;
        char buffer[256];
        for (const QByteArray &burst : bursts) {
            assembler.append(burst);
            while (assembler.hasWholeReply())
                got << QByteArray(buffer, assembler.take(buffer, sizeof buffer));
        }
        QCOMPARE(got, replies);
        QCOMPARE(assembler.pending(), left);
    }
};

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
