#include "FaultRule.h"

#include <QStringList>

namespace {

const char *const commandNames[FaultRule::CommandCount] = {
    "any",   "open-read", "open-write", "block-read", "block-write",
    "close", "data-read", "data-write", "other"};
const char *const faultNames[FaultRule::FaultCount] = {
    "no-reply", "garbled", "truncated", "short", "long", "end-code", "split", "late", "stray"};

// Faults that take an optional "=N" and the smallest N each accepts.
int minimumParameter(FaultRule::Fault fault)
{
    switch (fault) {
    case FaultRule::Fault::Garbled:
    case FaultRule::Fault::Truncated:
    case FaultRule::Fault::Short:
    case FaultRule::Fault::Long:
    case FaultRule::Fault::Stray:
        return 1;
    case FaultRule::Fault::Split:
        return 2;
    default:
        return -1; // takes no parameter
    }
}

bool parseInt(const QString &text, int minimum, int &value)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    value = text.toInt();
    return value >= minimum;
}

bool validEndCode(const QString &text)
{
    if (text.size() != 2)
        return false;
    for (QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))))
            return false;
    }
    return true;
}

} // namespace

bool FaultRule::parse(const QString &text, FaultRule &rule, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("bad fault rule \"%1\": %2").arg(text, why);
        return false;
    };
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("it is empty"));

    FaultRule result;
    bool haveCommand = false, haveNth = false, haveCount = false, haveP = false, haveDelay = false;
    bool haveFault = false;
    const QStringList items = text.split(QLatin1Char(':'));
    for (const QString &item : items) {
        if (item.isEmpty())
            return fail(QStringLiteral("an item between \":\" is empty"));
        const int eq = item.indexOf(QLatin1Char('='));
        const QString key = eq < 0 ? item : item.left(eq);
        const QString value = eq < 0 ? QString() : item.mid(eq + 1);

        int commandIndex = -1;
        for (int i = 0; i < CommandCount; ++i) {
            if (Command(i) != Command::Other && key == QLatin1String(commandNames[i]))
                commandIndex = i;
        }
        int faultIndex = -1;
        for (int i = 0; i < FaultCount; ++i) {
            if (key == QLatin1String(faultNames[i]))
                faultIndex = i;
        }

        if (commandIndex >= 0) {
            if (eq >= 0)
                return fail(QStringLiteral("the command kind \"%1\" takes no value").arg(key));
            if (haveCommand)
                return fail(QStringLiteral("more than one command kind"));
            haveCommand = true;
            result.command = Command(commandIndex);
        } else if (key == QLatin1String("nth")) {
            if (haveNth)
                return fail(QStringLiteral("nth is given twice"));
            if (!parseInt(value, 1, result.nth))
                return fail(QStringLiteral("nth needs a whole number of at least 1, not \"%1\"")
                                .arg(value));
            haveNth = true;
        } else if (key == QLatin1String("count")) {
            if (haveCount)
                return fail(QStringLiteral("count is given twice"));
            if (!parseInt(value, 0, result.count))
                return fail(QStringLiteral("count needs a whole number of at least 0, not \"%1\"")
                                .arg(value));
            haveCount = true;
        } else if (key == QLatin1String("p")) {
            if (haveP)
                return fail(QStringLiteral("p is given twice"));
            bool ok = false;
            const double p = value.toDouble(&ok);
            if (!ok || !(p >= 0.0 && p <= 1.0))
                return fail(
                    QStringLiteral("p needs a probability from 0 to 1, not \"%1\"").arg(value));
            result.probability = p;
            haveP = true;
        } else if (key == QLatin1String("delay")) {
            if (haveDelay)
                return fail(QStringLiteral("delay is given twice"));
            if (!parseInt(value, 0, result.delayMs))
                return fail(
                    QStringLiteral("delay needs a number of milliseconds, not \"%1\"").arg(value));
            haveDelay = true;
        } else if (faultIndex >= 0) {
            if (haveFault)
                return fail(QStringLiteral("more than one fault"));
            haveFault = true;
            result.fault = Fault(faultIndex);
            if (result.fault == Fault::EndCode) {
                if (!validEndCode(value))
                    return fail(
                        QStringLiteral("end-code needs two characters 0-9 or A-Z, not \"%1\"")
                            .arg(value));
                result.endCode = value.toLatin1();
            } else if (eq >= 0) {
                const int minimum = minimumParameter(result.fault);
                if (minimum < 0)
                    return fail(QStringLiteral("the fault \"%1\" takes no value").arg(key));
                if (!parseInt(value, minimum, result.parameter))
                    return fail(QStringLiteral("%1 needs a whole number of at least %2, not \"%3\"")
                                    .arg(key)
                                    .arg(minimum)
                                    .arg(value));
            }
        } else {
            return fail(
                QStringLiteral("unknown item \"%1\" (expected a command kind, nth=, count=, "
                               "p=, delay= or a fault)")
                    .arg(item));
        }
    }
    if (!haveFault)
        return fail(QStringLiteral("no fault given (no-reply, garbled, truncated, short, long, "
                                   "end-code=XX, split, late or stray)"));
    if (haveNth && !haveCount)
        result.count = 1;
    rule = result;
    return true;
}

QString FaultRule::toString() const
{
    QStringList items;
    items << commandName(command);
    if (nth > 0)
        items << QStringLiteral("nth=%1").arg(nth);
    // count is written whenever it differs from what parse() would assume.
    if (count != (nth > 0 ? 1 : 0))
        items << QStringLiteral("count=%1").arg(count);
    if (probability < 1.0) {
        // The shortest form that reads back as the same number.
        QString p = QString::number(probability, 'g', 15);
        if (p.toDouble() != probability)
            p = QString::number(probability, 'g', 17);
        items << QStringLiteral("p=") + p;
    }
    QString faultItem = faultName(fault);
    if (fault == Fault::EndCode)
        faultItem += QLatin1Char('=') + QString::fromLatin1(endCode);
    else if (parameter > 0)
        faultItem += QStringLiteral("=%1").arg(parameter);
    items << faultItem;
    if (delayMs >= 0)
        items << QStringLiteral("delay=%1").arg(delayMs);
    return items.join(QLatin1Char(':'));
}

FaultRule::Command FaultRule::commandOf(const QByteArray &frame)
{
    const QByteArray prefix = QByteArrayLiteral("\x02") + "0100X";
    if (!frame.startsWith(prefix))
        return Command::Other;
    const QByteArray text = frame.mid(prefix.size());
    if (text.startsWith("FO,")) {
        const QList<QByteArray> args = text.split(',');
        if (args.size() >= 3 && args.at(2) == "R")
            return Command::OpenRead;
        if (args.size() >= 3 && args.at(2) == "W")
            return Command::OpenWrite;
        return Command::Other;
    }
    if (text.startsWith("FR,"))
        return Command::BlockRead;
    if (text.startsWith("FW,"))
        return Command::BlockWrite;
    if (text.startsWith("FC,"))
        return Command::Close;
    if (text.startsWith("RS,"))
        return Command::DataRead;
    if (text.startsWith("WS,"))
        return Command::DataWrite;
    return Command::Other;
}

QString FaultRule::commandName(Command command)
{
    const int i = int(command);
    return i >= 0 && i < CommandCount ? QString::fromLatin1(commandNames[i]) : QString();
}

QString FaultRule::faultName(Fault fault)
{
    const int i = int(fault);
    return i >= 0 && i < FaultCount ? QString::fromLatin1(faultNames[i]) : QString();
}

int FaultRule::effectiveDelayMs() const
{
    if (delayMs >= 0)
        return delayMs;
    switch (fault) {
    case Fault::Late:
        return 1000;
    case Fault::Split:
        return 20;
    default:
        return 0;
    }
}

bool FaultRule::operator==(const FaultRule &other) const
{
    return command == other.command && nth == other.nth && count == other.count &&
           probability == other.probability && fault == other.fault &&
           parameter == other.parameter && endCode == other.endCode && delayMs == other.delayMs;
}
