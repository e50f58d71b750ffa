#include "TagCommand.h"

#include "CommandLine.h"
#include "Console.h"
#include "DriverInterface.h"
#include "ExitCode.h"
#include "PluginSession.h"
#include "PortObject.h"
#include "PortSetup.h"

#include <QtEndian>

namespace {

const quint64 MaxCount = 1024;

int widthOf(int dataType)
{
    switch (dataType) {
    case 1:
    case 5:
        return 1;
    case 2:
        return 2;
    case 3:
        return 4;
    case 4:
        return 8;
    default:
        return 0;
    }
}

QString joined(const QList<qint64> &values)
{
    QStringList texts;
    for (qint64 v : values)
        texts << QString::number(v);
    return texts.join(QLatin1Char(' '));
}

int get(const PluginSession &session, const QString &address, int type, quint64 elements)
{
    const QByteArray answer = session.readTag(address, type, elements);
    if (answer.isEmpty()) {
        Console::error(QStringLiteral("dcp30: no value for %1: the controller did not answer, or "
                                      "it does not serve that address or type")
                           .arg(address));
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

} // namespace

QList<qint64> TagCommand::decode(const QByteArray &bytes, int dataType, quint64 count)
{
    QList<qint64> values;
    if (dataType == 0) {
        for (quint64 i = 0; i < count && int(i / 8) < bytes.size(); ++i)
            values << ((quint8(bytes.at(int(i / 8))) >> (i % 8)) & 1);
        return values;
    }
    const int width = widthOf(dataType);
    if (width == 0)
        return values;
    for (quint64 i = 0; i < count && int((i + 1) * width) <= bytes.size(); ++i) {
        const char *p = bytes.constData() + i * width;
        switch (dataType) {
        case 2:
            values << qFromLittleEndian<qint16>(p);
            break;
        case 3:
            values << qFromLittleEndian<qint32>(p);
            break;
        case 4:
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
    switch (dataType) {
    case 0:
        high = 1;
        break;
    case 1:
    case 5:
        low = -128;
        high = 255;
        break;
    case 2:
        low = -32768;
        high = 65535;
        break;
    case 3:
        low = INT_MIN;
        high = UINT_MAX;
        break;
    case 4:
        low = LLONG_MIN;
        high = LLONG_MAX;
        break;
    default:
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
    const int width = widthOf(dataType);
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
                       "WF0, WE0, RE0) hold one byte each; every other address goes to the link\n"
                       "driver, e.g. RAM4509 for word 4509 of the controller. Values are\n"
                       "decimal; VALUE may list several elements separated by commas. A write\n"
                       "of a controller tag is read back to check the controller took it."));
    line.addOption(QStringLiteral("type"), QStringLiteral("CODE"),
                   QStringLiteral("data type: 0 bits, 1 and 5 bytes, 2 16-bit, 3 32-bit\n"
                                  "(default), 4 64-bit integers"));
    line.addOption(QStringLiteral("count"), QStringLiteral("N"),
                   QStringLiteral("number of elements to read (default 1)"));
    PortSetup::declare(line);

    const int parsed = line.parseCommand(arguments, 3);
    if (parsed >= 0)
        return parsed;
    const QStringList words = line.positional();
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

    const bool own = PluginSession::isOwnTag(address);
    QByteArray value;
    if (!getting) {
        QList<qint64> values;
        for (const QString &text : words.at(2).split(QLatin1Char(','))) {
            qint64 number = 0;
            if (!CommandLine::parseInt(text.trimmed(), number))
                return line.badArguments(
                    QStringLiteral("VALUE must be decimal numbers separated by commas, not \"%1\"")
                        .arg(words.at(2)));
            values << number;
        }
        if (own && address == QLatin1String("RF0") && values.first() > 0)
            return line.badArguments(QStringLiteral("raising RF0 starts a program read: use "
                                                    "dcp30 read"));
        if (own && address == QLatin1String("WF0") && values.first() > 0)
            return line.badArguments(QStringLiteral("raising WF0 starts a program write: use "
                                                    "dcp30 write"));
        QString reason;
        if (!encode(values, own ? 1 : dataType, value, &reason))
            return line.badArguments(reason);
        if (own && values.size() != 1)
            return line.badArguments(
                QStringLiteral("%1 holds a single byte; give one value").arg(address));
        count = values.size();
    }

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
