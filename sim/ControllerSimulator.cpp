#include "ControllerSimulator.h"

#include "DemoPrograms.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcControllerSimulator, "dcp30.sim.controller", QtWarningMsg)

namespace {

const char STX = 0x02;
const char ETX = 0x03;
// Plain literals, not QString/QByteArray objects: the model may be used during static
// initialisation of other translation units.
constexpr char StationPrefix[] = "01";
constexpr char AddressPrefix[] = "0100X";
constexpr int AddressPrefixLength = 5;

// Plain decimal digits only (no sign, no blanks); at most 9 digits so the value fits an int.
bool parseUnsigned(const QString &text, int &value)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    int result = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        result = result * 10 + (c.unicode() - '0');
    }
    value = result;
    return true;
}

// An optional "-" followed by plain decimal digits.
bool parseSigned(const QString &text, qint64 &value)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    int magnitude = 0;
    if (!parseUnsigned(negative ? text.mid(1) : text, magnitude))
        return false;
    value = negative ? -qint64(magnitude) : qint64(magnitude);
    return true;
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

// "<addr>W" with a decimal address.
bool parseWordAddress(const QString &text, int &address)
{
    if (!text.endsWith(QLatin1Char('W')))
        return false;
    return parseUnsigned(text.left(text.size() - 1), address);
}

constexpr char Ok[] = "00";
constexpr char RequestError[] = "40";
constexpr char TooManyData[] = "41";
constexpr char UndefinedAddress[] = "42";
constexpr char ValueOutOfLimit[] = "44";
constexpr char AlreadyOpen[] = "50";
constexpr char NotOpen[] = "51";
constexpr char BadNumber[] = "52";
constexpr char AttributeViolated[] = "54";
constexpr char BadBlockData[] = "57";
constexpr char ProgramRunning[] = "58";
constexpr char WriteInhibited[] = "59";
constexpr char UndefinedCommand[] = "99";

} // namespace

ControllerSimulator::ControllerSimulator()
{
    resetLocked();
}

QByteArray ControllerSimulator::buildReply(const QByteArray &endCode, const QByteArray &payload)
{
    QByteArray reply;
    reply.reserve(AddressPrefixLength + 5 + endCode.size() + payload.size());
    reply += STX;
    reply += AddressPrefix;
    reply += endCode;
    reply += payload;
    reply += ETX;
    reply += "\r\n";
    return reply;
}

QByteArray ControllerSimulator::buildRequest(const QString &text)
{
    return STX + text.toLatin1() + ETX + QByteArrayLiteral("\r\n");
}

QByteArray ControllerSimulator::handleFrame(const QByteArray &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_frameCount;
    if (frame.size() < 4 || frame.at(0) != STX || !frame.endsWith(QByteArray(1, ETX) + "\r\n")) {
        qCDebug(lcControllerSimulator) << "ignoring a frame without STX ... ETX CR LF:" << frame;
        return {};
    }
    const QByteArray body = frame.mid(1, frame.size() - 4);
    for (char c : body) {
        if (uchar(c) < 0x20 || uchar(c) > 0x7E) {
            qCDebug(lcControllerSimulator) << "control or non-ASCII byte in request:" << frame;
            return body.startsWith(StationPrefix) ? buildReply(RequestError) : QByteArray();
        }
    }
    const QString text = QString::fromLatin1(body);
    if (!text.startsWith(QLatin1String(StationPrefix))) {
        qCDebug(lcControllerSimulator) << "frame for another station:" << text;
        return {};
    }
    if (!text.startsWith(QLatin1String(AddressPrefix)))
        return buildReply(RequestError);
    return handleText(text.mid(AddressPrefixLength));
}

QByteArray ControllerSimulator::handleText(const QString &text)
{
    const QStringList args = text.split(QLatin1Char(','));
    const QString command = args.first();
    if (command == QLatin1String("FO"))
        return fileOpen(args);
    if (command == QLatin1String("FR"))
        return blockRead(args);
    if (command == QLatin1String("FW"))
        return blockWrite(args);
    if (command == QLatin1String("FC"))
        return fileClose(args);
    if (command == QLatin1String("RS"))
        return dataRead(args);
    if (command == QLatin1String("WS"))
        return dataWrite(args);
    qCDebug(lcControllerSimulator) << "undefined command:" << text;
    return buildReply(UndefinedCommand);
}

QByteArray ControllerSimulator::fileOpen(const QStringList &args)
{
    int program = 0;
    if (args.size() != 4 || !parseUnsigned(args.at(1), program) ||
        (args.at(2) != QLatin1String("R") && args.at(2) != QLatin1String("W")) ||
        args.at(3) != QLatin1String("0"))
        return buildReply(RequestError);
    if (m_openMode != FileMode::Closed)
        return buildReply(AlreadyOpen);
    if (program < 1 || program > ProgramCount)
        return buildReply(BadNumber);
    const bool forWrite = args.at(2) == QLatin1String("W");
    if (forWrite && program == m_runningProgram)
        return buildReply(ProgramRunning);
    if (forWrite && m_writeInhibited)
        return buildReply(WriteInhibited);
    m_openProgram = program;
    m_openMode = forWrite ? FileMode::Write : FileMode::Read;
    if (forWrite)
        m_programs[program - 1] = QStringList();
    return buildReply(Ok);
}

QByteArray ControllerSimulator::blockRead(const QStringList &args)
{
    int program = 0;
    int segment = 0;
    if (args.size() != 3 || !parseUnsigned(args.at(1), program) ||
        !parseUnsigned(args.at(2), segment))
        return buildReply(RequestError);
    if (m_openMode == FileMode::Closed || program != m_openProgram)
        return buildReply(NotOpen);
    if (m_openMode != FileMode::Read)
        return buildReply(AttributeViolated);
    if (!validIndex(program, segment))
        return buildReply(BadNumber);
    const QStringList &records = m_programs.at(program - 1);
    if (segment > records.size() || records.at(segment - 1).isEmpty())
        return buildReply(BadNumber);
    const QString payload =
        QStringLiteral("XFR,%1,%2,%3").arg(program).arg(segment).arg(records.at(segment - 1));
    return buildReply(Ok, payload.toLatin1());
}

QByteArray ControllerSimulator::blockWrite(const QStringList &args)
{
    int program = 0;
    int segment = 0;
    if (args.size() != 4 || !parseUnsigned(args.at(1), program) ||
        !parseUnsigned(args.at(2), segment))
        return buildReply(RequestError);
    if (m_openMode == FileMode::Closed || program != m_openProgram)
        return buildReply(NotOpen);
    if (m_openMode != FileMode::Write)
        return buildReply(AttributeViolated);
    if (!validIndex(program, segment))
        return buildReply(BadNumber);
    if (!checkRecord(segment, args.at(3), nullptr))
        return buildReply(BadBlockData);
    QStringList &records = m_programs[program - 1];
    while (records.size() < segment)
        records.append(QString());
    records[segment - 1] = args.at(3).toUpper();
    return buildReply(Ok);
}

QByteArray ControllerSimulator::fileClose(const QStringList &args)
{
    int program = 0;
    if (args.size() != 2 || !parseUnsigned(args.at(1), program))
        return buildReply(RequestError);
    if (m_openMode == FileMode::Closed || program != m_openProgram)
        return buildReply(NotOpen);
    m_openMode = FileMode::Closed;
    m_openProgram = 0;
    return buildReply(Ok);
}

QByteArray ControllerSimulator::dataRead(const QStringList &args)
{
    int address = 0;
    int count = 0;
    if (args.size() != 3 || !parseWordAddress(args.at(1), address) ||
        !parseUnsigned(args.at(2), count) || count == 0)
        return buildReply(RequestError);
    if (count > MaxDataCount)
        return buildReply(TooManyData);
    if (address + count > WordMemorySize)
        return buildReply(UndefinedAddress);
    QByteArray payload;
    for (int i = 0; i < count; ++i)
        payload += ',' + QByteArray::number(m_words.at(address + i));
    return buildReply(Ok, payload);
}

QByteArray ControllerSimulator::dataWrite(const QStringList &args)
{
    int address = 0;
    if (args.size() < 3 || !parseWordAddress(args.at(1), address))
        return buildReply(RequestError);
    const int count = args.size() - 2;
    if (count > MaxDataCount)
        return buildReply(TooManyData);
    QVector<qint64> values(count);
    for (int i = 0; i < count; ++i) {
        if (!parseSigned(args.at(2 + i), values[i]))
            return buildReply(RequestError);
    }
    if (address + count > WordMemorySize)
        return buildReply(UndefinedAddress);
    bool outOfLimit = false;
    for (int i = 0; i < count; ++i) {
        if (values.at(i) < -32768 || values.at(i) > 32767)
            outOfLimit = true;
        else
            m_words[address + i] = qint16(values.at(i));
    }
    return buildReply(outOfLimit ? ValueOutOfLimit : Ok);
}

bool ControllerSimulator::validIndex(int program, int segment)
{
    return program >= 1 && program <= ProgramCount && segment >= 1 && segment <= SegmentCount;
}

bool ControllerSimulator::checkRecord(int segment, const QString &record, QString *error)
{
    if (record.size() != recordLength(segment)) {
        if (error)
            *error = QStringLiteral("segment %1 needs a record of %2 hex digits, not %3")
                         .arg(segment)
                         .arg(recordLength(segment))
                         .arg(record.size());
        return false;
    }
    for (int i = 0; i < record.size(); ++i) {
        if (!isHexDigit(record.at(i))) {
            if (error)
                *error = QStringLiteral("character %1 of the record is not a hex digit").arg(i);
            return false;
        }
    }
    return true;
}

QString ControllerSimulator::segmentRecord(int program, int segment) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!validIndex(program, segment))
        return {};
    const QStringList &records = m_programs.at(program - 1);
    return segment <= records.size() ? records.at(segment - 1) : QString();
}

bool ControllerSimulator::setSegmentRecord(int program, int segment, const QString &record,
                                           QString *error)
{
    if (!validIndex(program, segment)) {
        if (error)
            *error = QStringLiteral("program %1 segment %2 does not exist (programs 1..%3, "
                                    "segments 1..%4)")
                         .arg(program)
                         .arg(segment)
                         .arg(ProgramCount)
                         .arg(SegmentCount);
        return false;
    }
    if (!checkRecord(segment, record, error))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList &records = m_programs[program - 1];
    while (records.size() < segment)
        records.append(QString());
    records[segment - 1] = record;
    return true;
}

void ControllerSimulator::clearSegment(int program, int segment)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!validIndex(program, segment))
        return;
    QStringList &records = m_programs[program - 1];
    if (segment <= records.size())
        records[segment - 1].clear();
    while (!records.isEmpty() && records.last().isEmpty())
        records.removeLast();
}

QStringList ControllerSimulator::programRecords(int program) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (program < 1 || program > ProgramCount)
        return {};
    QStringList records = m_programs.at(program - 1);
    while (!records.isEmpty() && records.last().isEmpty())
        records.removeLast();
    return records;
}

bool ControllerSimulator::setProgramRecords(int program, const QStringList &records, QString *error)
{
    if (program < 1 || program > ProgramCount || records.size() > SegmentCount) {
        if (error)
            *error = QStringLiteral("program %1 with %2 segments does not fit (programs 1..%3, "
                                    "up to %4 segments)")
                         .arg(program)
                         .arg(records.size())
                         .arg(ProgramCount)
                         .arg(SegmentCount);
        return false;
    }
    for (int i = 0; i < records.size(); ++i) {
        QString reason;
        if (!records.at(i).isEmpty() && !checkRecord(i + 1, records.at(i), &reason)) {
            if (error)
                *error = reason;
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_programs[program - 1] = records;
    return true;
}

void ControllerSimulator::clearProgram(int program)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (program >= 1 && program <= ProgramCount)
        m_programs[program - 1].clear();
}

void ControllerSimulator::clearAllPrograms()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (QStringList &records : m_programs)
        records.clear();
}

qint16 ControllerSimulator::word(int address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return address >= 0 && address < WordMemorySize ? m_words.at(address) : 0;
}

void ControllerSimulator::setWord(int address, qint16 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (address >= 0 && address < WordMemorySize)
        m_words[address] = value;
}

QList<qint32> ControllerSimulator::rangeParameters() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return {m_words.at(SpLowLimitAddress), m_words.at(SpHighLimitAddress),
            m_words.at(Event1TypeAddress), m_words.at(Event2TypeAddress),
            m_words.at(Event3TypeAddress)};
}

int ControllerSimulator::openProgram() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openProgram;
}

ControllerSimulator::FileMode ControllerSimulator::openMode() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openMode;
}

void ControllerSimulator::closeAnyFile()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openMode = FileMode::Closed;
    m_openProgram = 0;
}

void ControllerSimulator::setRunningProgram(int program)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_runningProgram = program;
}

void ControllerSimulator::setFileWriteInhibited(bool inhibited)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeInhibited = inhibited;
}

int ControllerSimulator::frameCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frameCount;
}

void ControllerSimulator::resetToDefaults()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    resetLocked();
}

void ControllerSimulator::resetLocked()
{
    m_programs = QVector<QStringList>(ProgramCount);
    for (int p = DemoPrograms::FirstProgram; p <= DemoPrograms::LastProgram; ++p)
        m_programs[p - 1] = DemoPrograms::records(p);
    m_words = QVector<qint16>(WordMemorySize, 0);
    m_words[SpLowLimitAddress] = DefaultSpLowLimit;
    m_words[SpHighLimitAddress] = DefaultSpHighLimit;
    m_words[Event1TypeAddress] = DefaultEvent1Type;
    m_words[Event2TypeAddress] = DefaultEvent2Type;
    m_words[Event3TypeAddress] = DefaultEvent3Type;
    m_openProgram = 0;
    m_openMode = FileMode::Closed;
    m_runningProgram = 0;
    m_writeInhibited = false;
    m_frameCount = 0;
}
