#include "TagCommand.h"

#include "CommandLine.h"
#include "CommunicatorCommand.h"
#include "Console.h"
#include "DriverInterface.h"
#include "ExitCode.h"
#include "LineEcho.h"
#include "PluginSession.h"
#include "PortObject.h"
#include "PortSetup.h"
#include "VorexDriver.h"

#include <QtEndian>

#include <limits>

namespace {

const quint64 MaxCount = 1024;

// Bytes per element of a data type code as the host's record sizes them; 0 for bits (packed
// eight to a byte) and for codes the host does not know.
int elementWidth(int dataType)
{
    if (dataType < 1 || dataType > 5)
        return 0;
    CommunicatorCommand command;
    command.dataType = dataType;
    command.count = 1;
    return int(command.byteLength());
}

// The values an element holds so that it reads back as written: bits 0 and 1, bytes (codes 1 and
// 5) unsigned, the wider integers signed. False for a code the host does not know.
bool elementRange(int dataType, qint64 &low, qint64 &high)
{
    const int width = elementWidth(dataType);
    if (dataType == 0 || width == 1) {
        low = 0;
        high = dataType == 0 ? 1 : 255;
        return true;
    }
    if (width == 0)
        return false;
    high = width == 8 ? std::numeric_limits<qint64>::max() : (qint64(1) << (8 * width - 1)) - 1;
    low = -high - 1;
    return true;
}

QString joined(const QList<qint64> &values)
{
    QStringList texts;
    for (qint64 v : values)
        texts << QString::number(v);
    return texts.join(QLatin1Char(' '));
}

// What a tag address can be, for the reasons of refused ones.
QString addressForms()
{
    return QStringLiteral("tag addresses are the plugin's own tags (%1) and RAM<word> for word 0 "
                          "to 65535 of the controller")
        .arg(PluginSession::ownTags().join(QStringLiteral(", ")));
}

// Empty when address names a tag the plugin or its link driver serves, otherwise why not.
QString addressProblem(const QString &address)
{
    if (address.isEmpty())
        return QStringLiteral("ADDRESS is empty: %1").arg(addressForms());
    if (PluginSession::isOwnTag(address) || VorexDriver::wordAddress(address) >= 0)
        return QString();
    // Tag addresses are compared exactly, as the runtime does: "rf0" would reach the
    // controller instead of the plugin's read flag.
    QString meant;
    for (const QString &tag : PluginSession::ownTags()) {
        if (address.compare(tag, Qt::CaseInsensitive) == 0)
            meant = tag;
    }
    if (meant.isEmpty() && VorexDriver::wordAddress(address.toUpper()) >= 0)
        meant = address.toUpper();
    if (!meant.isEmpty())
        return QStringLiteral("\"%1\" is not a tag: did you mean \"%2\"? (tag addresses are "
                              "case-sensitive)")
            .arg(address, meant);
    return QStringLiteral("unknown tag address \"%1\": %2").arg(address, addressForms());
}

// QCommandLineParser takes every word that starts with "-" for an option, so a negative VALUE
// ("-300", "-1,5") would need "--" before it. Such a word that is not an option's value is
// marked with a leading NUL, which no argument of a process can hold, and unmarked after parsing.
QStringList markNegativeValues(const QStringList &arguments)
{
    QStringList marked;
    bool optionValueNext = false;
    for (const QString &word : arguments) {
        const bool negative = word.size() > 1 && word.at(0) == QLatin1Char('-') &&
                              word.at(1) >= QLatin1Char('0') && word.at(1) <= QLatin1Char('9');
        marked << (negative && !optionValueNext ? QChar(0) + word : word);
        optionValueNext = !negative && word.startsWith(QLatin1Char('-')) &&
                          !word.contains(QLatin1Char('=')) && word != QLatin1String("--") &&
                          word != QLatin1String("-h") && word != QLatin1String("--help");
    }
    return marked;
}

QStringList unmarked(QStringList words)
{
    for (QString &word : words) {
        if (word.startsWith(QChar(0)))
            word.remove(0, 1);
    }
    return words;
}

int get(const PluginSession &session, const QString &address, int type, quint64 elements)
{
    const QByteArray answer = session.readTag(address, type, elements);
    if (answer.isEmpty()) {
        Console::error(QStringLiteral("dcp30: no value for %1: the controller did not answer, or "
                                      "it does not serve that address or type")
                           .arg(address));
        LineEcho::report(session.port());
        return ExitCode::Failed;
    }
    Console::out(joined(TagCommand::decode(answer, type, elements)));
    return ExitCode::Success;
}

int set(const PluginSession &session, const QString &address, const QByteArray &value, int type,
        quint64 elements, bool own)
{
    session.writeTag(address, value, type, elements);
    if (own) {
        // Own tags change by rules of their own (clamping, acknowledging an error flag with an
        // even value): show what the tag holds now.
        Console::out(QString::number(session.readByte(address)));
        return ExitCode::Success;
    }
    // The plugin does not pass on whether the controller took a delegated write, so the value
    // is read back, as a screen would show it.
    const QByteArray back = session.readTag(address, type, elements);
    if (back.isEmpty()) {
        Console::error(QStringLiteral("dcp30: %1 cannot be read back: the controller did not "
                                      "answer, or it does not serve that address or type")
                           .arg(address));
        LineEcho::report(session.port());
        return ExitCode::Failed;
    }
    const QList<qint64> wanted = TagCommand::decode(value, type, elements);
    const QList<qint64> held = TagCommand::decode(back, type, elements);
    if (held != wanted) {
        Console::error(QStringLiteral("dcp30: %1 holds %2, not %3: the value was not taken")
                           .arg(address, joined(held), joined(wanted)));
        return ExitCode::Failed;
    }
    return ExitCode::Success;
}

// The bytes of a tag set's VALUE text; false with the reason in line's error.
bool valueBytes(CommandLine &line, const QString &address, bool own, int dataType,
                const QString &text, QByteArray &value, int &count)
{
    QList<qint64> values;
    for (const QString &part : text.split(QLatin1Char(','))) {
        qint64 number = 0;
        if (!CommandLine::parseInt(part.trimmed(), number)) {
            line.setError(
                QStringLiteral("VALUE must be decimal numbers separated by commas, not \"%1\"")
                    .arg(text));
            return false;
        }
        values << number;
    }
    if (own && address == QLatin1String("RF0") && values.first() > 0)
        line.setError(QStringLiteral("raising RF0 starts a program read: use dcp30 read"));
    if (own && address == QLatin1String("WF0") && values.first() > 0)
        line.setError(QStringLiteral("raising WF0 starts a program write: use dcp30 write"));
    QString reason;
    if (!TagCommand::encode(values, own ? 1 : dataType, value, &reason))
        line.setError(reason);
    if (own && values.size() != 1)
        line.setError(QStringLiteral("%1 holds a single byte; give one value").arg(address));
    for (qint64 v : values) {
        if (!own && !VorexDriver::fitsWord(v))
            line.setError(QStringLiteral("%1 does not fit a controller word (%2 to %3)")
                              .arg(v)
                              .arg(VorexDriver::MinWordValue)
                              .arg(VorexDriver::MaxWordValue));
    }
    count = values.size();
    return line.errorText().isEmpty();
}

} // namespace

QList<qint64> TagCommand::decode(const QByteArray &bytes, int dataType, quint64 count)
{
    QList<qint64> values;
    if (dataType == 0) {
        for (quint64 i = 0; i < count && int(i / 8) < bytes.size(); ++i)
            values << ((quint8(bytes.at(int(i / 8))) >> (i % 8)) & 1);
        return values;
    }
    const int width = elementWidth(dataType);
    if (width == 0)
        return values;
    for (quint64 i = 0; i < count && int((i + 1) * width) <= bytes.size(); ++i) {
        const char *p = bytes.constData() + i * width;
        switch (width) {
        case 2:
            values << qFromLittleEndian<qint16>(p);
            break;
        case 4:
            values << qFromLittleEndian<qint32>(p);
            break;
        case 8:
            values << qFromLittleEndian<qint64>(p);
            break;
        default:
            values << quint8(*p);
            break;
        }
    }
    return values;
}

bool TagCommand::encode(const QList<qint64> &values, int dataType, QByteArray &bytes,
                        QString *error)
{
    bytes.clear();
    qint64 low = 0;
    qint64 high = 0;
    if (!elementRange(dataType, low, high)) {
        if (error)
            *error = QStringLiteral("data type code %1 is not one of 0 to 5").arg(dataType);
        return false;
    }
    for (qint64 v : values) {
        if (v < low || v > high) {
            if (error)
                *error = QStringLiteral("%1 does not fit data type %2 (%3 to %4)")
                             .arg(v)
                             .arg(dataType)
                             .arg(low)
                             .arg(high);
            return false;
        }
    }
    if (dataType == 0) {
        bytes = QByteArray(int((values.size() + 7) / 8), '\0');
        for (int i = 0; i < values.size(); ++i) {
            if (values.at(i))
                bytes[i / 8] = char(quint8(bytes.at(i / 8)) | (1 << (i % 8)));
        }
        return true;
    }
    const int width = elementWidth(dataType);
    for (qint64 v : values) {
        char element[8];
        qToLittleEndian<qint64>(v, element);
        bytes.append(element, width);
    }
    return true;
}

int TagCommand::run(const QStringList &arguments)
{
    CommandLine line(
        QStringLiteral("tag"),
        {QStringLiteral("tag get ADDRESS [--type CODE] [--count N] [--port PORT]"),
         QStringLiteral("tag set ADDRESS VALUE [--type CODE] [--port PORT]")},
        QStringLiteral("Reads or writes one tag through the plugin. The plugin's own tags\n"
                       "(SegCnt0, ReadProgress0, WriteProgress0, ProgramID0, StorageType0, RF0,\n"
                       "WF0, WE0, RE0) hold one byte each; RAM<word> goes to the link driver,\n"
                       "e.g. RAM4509 for word 4509 (0 to 65535) of the controller. Addresses\n"
                       "are case-sensitive. Values are decimal, negative ones too (tag set\n"
                       "RAM4509 -300); VALUE may list several elements separated by commas. A\n"
                       "controller word holds -32768 to 32767, and a write of one is read back\n"
                       "to check the controller took it."));
    line.addOption(QStringLiteral("type"), QStringLiteral("CODE"),
                   QStringLiteral("data type: 0 bits, 1 and 5 bytes, 2 16-bit, 3 32-bit\n"
                                  "(default), 4 64-bit integers"));
    line.addOption(QStringLiteral("count"), QStringLiteral("N"),
                   QStringLiteral("number of elements to read (default 1)"));
    PortSetup::declare(line);

    // Too many words are refused below, by their unmarked text.
    const int parsed = line.parseCommand(markNegativeValues(arguments), arguments.size());
    if (parsed >= 0)
        return parsed;
    const QStringList words = unmarked(line.positional());
    if (words.isEmpty())
        return line.badArguments(QStringLiteral("say get or set"));
    const bool getting = words.first() == QLatin1String("get");
    if (!getting && words.first() != QLatin1String("set"))
        return line.badArguments(
            QStringLiteral("unknown action \"%1\": say get or set").arg(words.first()));
    const int expectedWords = getting ? 2 : 3;
    if (words.size() < expectedWords)
        return line.badArguments(getting ? QStringLiteral("tag get needs an ADDRESS")
                                         : QStringLiteral("tag set needs an ADDRESS and a VALUE"));
    if (words.size() > expectedWords)
        return line.badArguments(
            QStringLiteral("unexpected argument \"%1\"").arg(words.at(expectedWords)));
    const QString address = words.at(1);
    int dataType = 3;
    int count = 1;
    PortSetup portSetup;
    if (!line.intValue(QStringLiteral("type"), 0, 5, dataType) ||
        !line.intValue(QStringLiteral("count"), 1, int(MaxCount), count) || !portSetup.parse(line))
        return line.badArguments();
    if (!getting && line.isSet(QStringLiteral("count")))
        return line.badArguments(
            QStringLiteral("tag set takes its count from the number of values"));
    const QString problem = addressProblem(address);
    if (!problem.isEmpty())
        return line.badArguments(problem);

    const bool own = PluginSession::isOwnTag(address);
    QByteArray value;
    if (!getting && !valueBytes(line, address, own, dataType, words.at(2), value, count))
        return line.badArguments();

    PluginSession session;
    QString reason;
    if (!session.load(!own, &reason) || !session.openPort(portSetup, &reason)) {
        Console::error(QStringLiteral("dcp30: %1").arg(reason));
        return ExitCode::CannotOpen;
    }
    const int type = own ? 1 : dataType;
    return getting ? get(session, address, type, own ? 1 : quint64(count))
                   : set(session, address, value, type, quint64(count), own);
}
