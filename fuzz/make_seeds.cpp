// Writes the seed corpora of the harnesses into <dir>/<harness>/: meaningful inputs the fuzzer
// starts from, most of them taken from the simulated controller's demo programs so that the
// first runs already reach the deep paths (valid rows, intact block replies).
//
//   fuzz_make_seeds <dir>

#include "ControllerSimulator.h"
#include "DemoPrograms.h"
#include "TransferInput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

QString outDir;

void put(const char *harness, const QString &name, const QByteArray &bytes)
{
    const QString dir = outDir + QLatin1Char('/') + QLatin1String(harness);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    file.write(bytes);
}

// Forwards frames to the simulated controller and keeps every reply the worker reads, cut to
// the length it asked for, in the harness's input layout.
class RecordingPort : public PortObject
{
public:
    explicit RecordingPort(ControllerSimulator &sim, int retries) : m_sim(sim), m_retries(retries)
    {
    }
    int read(char *buffer, int maxLength) override
    {
        const QByteArray reply = m_pending.left(qMin(maxLength, 255));
        m_pending.clear();
        std::memcpy(buffer, reply.constData(), size_t(reply.size()));
        replies += char(reply.size());
        replies += reply;
        return reply.size();
    }
    int write(const char *data, int length) override
    {
        m_pending = m_sim.handleFrame(QByteArray(data, length));
        return length;
    }
    bool setOption(int, const QVariant &) override { return true; }
    int retryCount() override { return m_retries; }

    QByteArray replies;

private:
    ControllerSimulator &m_sim;
    QByteArray m_pending;
    int m_retries;
};

void transferSeed(const QString &name, const TransferInput::Header &h,
                  void (*prepare)(ControllerSimulator &) = nullptr)
{
    ControllerSimulator sim;
    if (prepare)
        prepare(sim);
    RecordingPort port(sim, h.retries);
    TransferInput::runTransfers(port, h);
    put("fuzz_transfer_replies", name, TransferInput::headerBytes(h) + port.replies);
}

QByteArray utf8Row(const QStringList &cells)
{
    return cells.join(QChar(0x1F)).toUtf8();
}

QByteArray csv2hexSeed(int segment, const QList<int> &paras, const QStringList &row)
{
    QByteArray b;
    b += char(segment - 1);
    b += char(paras.size());
    for (int i = 0; i < 5; ++i) {
        const quint16 v = quint16(qint16(i < paras.size() ? paras.at(i) : 0));
        b += char(v & 0xff);
        b += char(v >> 8);
    }
    return b + utf8Row(row);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds <dir>\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);

    // Program CSV files.
    const QByteArray demoCsv = TransferInput::demoCsvBytes();
    put("fuzz_csvloader", QStringLiteral("demo1_utf16le.csv"), demoCsv);
    {
        const QString text =
            QStringLiteral("a\tb\tc\r\n\"x\"\"y\"\t\"multi\nline\"\t3\r\n1\t2\r\n");
        QByteArray bytes("\xff\xfe", 2);
        for (const QChar c : text) {
            bytes.append(char(c.unicode() & 0xff));
            bytes.append(char(c.unicode() >> 8));
        }
        put("fuzz_csvloader", QStringLiteral("quoted.csv"), bytes);
    }
    put("fuzz_csvloader", QStringLiteral("comma_utf8.csv"), "-,SP1,TIME\r\nSEG1,10,0:30\r\n");

    // Rows and records of every demo program.
    ProgramFormat format;
    for (int p = DemoPrograms::FirstProgram; p <= DemoPrograms::LastProgram; ++p) {
        const QStringList records = DemoPrograms::records(p);
        for (int s = 1; s <= records.size(); ++s) {
            QList<QStringList> rows;
            format.HEX2CSV(s, records.at(s - 1), rows);
            if (s <= 2 || s == records.size()) {
                put("fuzz_csv2hex", QStringLiteral("prog%1_seg%2").arg(p).arg(s),
                    csv2hexSeed(s, TransferInput::rangeParameters(), rows.first()));
                put("fuzz_hex2csv", QStringLiteral("prog%1_seg%2").arg(p).arg(s),
                    char(s + 4) + records.at(s - 1).toLatin1() + "\x03\r\n");
            }
        }
    }
    put("fuzz_hex2csv", QStringLiteral("unset_and_garbage"),
        QByteArray(1, char(7)) + "7FFF7FFF0x12-001 zz" + QByteArray(100, 'F'));

    // Replies of whole transfers against the simulated controller.
    using Header = TransferInput::Header;
    transferSeed(QStringLiteral("read8_write8"), Header{1, 8, 4, 8, 1});
    transferSeed(QStringLiteral("read10_prog12_write3"), Header{2, 10, 12, 3, 0});
    transferSeed(QStringLiteral("read_empty_program"), Header{7, 2, 5, 1, 2});
    transferSeed(QStringLiteral("write_refused_running"), Header{3, 1, 3, 8, 1},
                 [](ControllerSimulator &sim) { sim.setRunningProgram(3); });
    transferSeed(QStringLiteral("write_inhibited"), Header{1, 0, 2, 10, 3},
                 [](ControllerSimulator &sim) { sim.setFileWriteInhibited(true); });
    TransferInput::removeAppFiles();

    // Format texts with their values: buffer size / 4, format, zero, values.
    auto packing = [](const char *name, int size4, const QByteArray &format,
                      const QByteArray &values) {
        put("fuzz_packing", QLatin1String(name), char(size4) + format + '\0' + values);
    };
    packing("nN", 4, "nN", QByteArray("\x34\x12\0\0\x78\x56\x34\x12", 8));
    packing("2x", 1, "2x", QByteArray());
    packing("4C", 2, "4C", "ABCD");
    packing("3n2V", 8, "3n2VC", QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c", 12));
    packing("mixed", 16, "CsIXx2cnv", QByteArray("\xff\x00\x00\x00\x01\x80", 6));
    packing("overflow", 1, "9C", "123456789");

    // Text numbers.
    put("fuzz_parsehex", QStringLiteral("prefixed"), QByteArray(1, char(8)) + "0x1A2b");
    put("fuzz_parsehex", QStringLiteral("limit_cuts"), QByteArray(1, char(3)) + "FFFFzz");
    put("fuzz_parsehex", QStringLiteral("too_big"), QByteArray(1, char(20)) + "123456789");
    put("fuzz_addressnumber", QStringLiteral("d100"), QByteArray(1, char(0)) + "D100");
    put("fuzz_addressnumber", QStringLiteral("hex"), QByteArray(1, char(1)) + "RAM4509");
    put("fuzz_addressnumber", QStringLiteral("octal"), QByteArray(1, char(2)) + "X17");
    put("fuzz_hmiport", QStringLiteral("com1"), "COM1");
    put("fuzz_hmiport", QStringLiteral("ethernet"), "ethernet0");
    put("fuzz_hmiport", QStringLiteral("tty"), "/dev/ttyUSB12");
    return 0;
}
