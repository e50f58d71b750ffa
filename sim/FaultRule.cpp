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

// The items a rule holds at most once, as bits of what a parse has seen so far.
enum Seen : unsigned {
    SeenCommand = 1u << 0,
    SeenNth = 1u << 1,
    SeenCount = 1u << 2,
    SeenP = 1u << 3,
    SeenDelay = 1u << 4,
    SeenFault = 1u << 5
};

// The items that take a whole number, with the smallest they accept and what the message says
// the number must be.
struct NumberItem
{
    const char *key;
    Seen seen;
    int minimum;
    int FaultRule::*field;
    const char *need;
};
const NumberItem numberItems[] = {
    {"nth", SeenNth, 1, &FaultRule::nth, "a whole number of at least 1"},
    {"count", SeenCount, 0, &FaultRule::count, "a whole number of at least 0"},
    {"delay", SeenDelay, 0, &FaultRule::delayMs, "a number of milliseconds"},
};

// Index of the command kind named key ("other" names none), -1 if key names none.
int commandIndexOf(const QString &key)
{
    for (int i = 0; i < FaultRule::CommandCount; ++i) {
        if (FaultRule::Command(i) != FaultRule::Command::Other &&
            key == QLatin1String(commandNames[i]))
            return i;
    }
    return -1;
}

// Index of the fault named key, -1 if key names none.
int faultIndexOf(const QString &key)
{
    for (int i = 0; i < FaultRule::FaultCount; ++i) {
        if (key == QLatin1String(faultNames[i]))
            return i;
    }
    return -1;
}

// One item of a rule text: "key" or "key=value".
struct Item
{
    QString text;
    QString key;
    QString value; // empty without "="
    bool hasValue;
};

// Each item parser takes its item into result and answers why it cannot, or a null string when
// it can.

QString parseCommandItem(int index, const Item &item, FaultRule &result, unsigned &seen)
{
    if (item.hasValue)
        return QStringLiteral("the command kind \"%1\" takes no value").arg(item.key);
    if (seen & SeenCommand)
        return QStringLiteral("more than one command kind");
    seen |= SeenCommand;
    result.command = FaultRule::Command(index);
    return QString();
}

QString parseNumberItem(const NumberItem &number, const Item &item, FaultRule &result,
                        unsigned &seen)
{
    if (seen & number.seen)
        return QStringLiteral("%1 is given twice").arg(item.key);
    if (!parseInt(item.value, number.minimum, result.*number.field))
        return QStringLiteral("%1 needs %2, not \"%3\"")
            .arg(item.key, QLatin1String(number.need), item.value);
    seen |= number.seen;
    return QString();
}

QString parseProbabilityItem(const Item &item, FaultRule &result, unsigned &seen)
{
    if (seen & SeenP)
        return QStringLiteral("p is given twice");
    bool ok = false;
    const double p = item.value.toDouble(&ok);
    if (!ok || !(p >= 0.0 && p <= 1.0))
        return QStringLiteral("p needs a probability from 0 to 1, not \"%1\"").arg(item.value);
    result.probability = p;
    seen |= SeenP;
    return QString();
}

QString parseFaultItem(int index, const Item &item, FaultRule &result, unsigned &seen)
{
    if (seen & SeenFault)
        return QStringLiteral("more than one fault");
    seen |= SeenFault;
    result.fault = FaultRule::Fault(index);
    if (result.fault == FaultRule::Fault::EndCode) {
        if (!validEndCode(item.value))
            return QStringLiteral("end-code needs two characters 0-9 or A-Z, not \"%1\"")
                .arg(item.value);
        result.endCode = item.value.toLatin1();
        return QString();
    }
    if (!item.hasValue)
        return QString();
    const int minimum = minimumParameter(result.fault);
    if (minimum < 0)
        return QStringLiteral("the fault \"%1\" takes no value").arg(item.key);
    if (!parseInt(item.value, minimum, result.parameter))
        return QStringLiteral("%1 needs a whole number of at least %2, not \"%3\"")
            .arg(item.key)
            .arg(minimum)
            .arg(item.value);
    return QString();
}

// One item of the text into result: the parser its key names takes it.
QString parseItem(const QString &text, FaultRule &result, unsigned &seen)
{
    if (text.isEmpty())
        return QStringLiteral("an item between \":\" is empty");
    const int eq = text.indexOf(QLatin1Char('='));
    const Item item{text, eq < 0 ? text : text.left(eq), eq < 0 ? QString() : text.mid(eq + 1),
                    eq >= 0};

    const int commandIndex = commandIndexOf(item.key);
    if (commandIndex >= 0)
        return parseCommandItem(commandIndex, item, result, seen);
    for (const NumberItem &number : numberItems) {
        if (item.key == QLatin1String(number.key))
            return parseNumberItem(number, item, result, seen);
    }
    if (item.key == QLatin1String("p"))
        return parseProbabilityItem(item, result, seen);
    const int faultIndex = faultIndexOf(item.key);
    if (faultIndex >= 0)
        return parseFaultItem(faultIndex, item, result, seen);
    return QStringLiteral("unknown item \"%1\" (expected a command kind, nth=, count=, p=, delay= "
                          "or a fault)")
        .arg(item.text);
}

// The whole text into result; why it cannot, or a null string.
QString parseItems(const QString &text, FaultRule &result)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("it is empty");
    unsigned seen = 0;
    for (const QString &item : text.split(QLatin1Char(':'))) {
        const QString why = parseItem(item, result, seen);
        if (!why.isNull())
            return why;
    }
    if (!(seen & SeenFault))
        return QStringLiteral("no fault given (no-reply, garbled, truncated, short, long, "
                              "end-code=XX, split, late or stray)");
    if ((seen & SeenNth) && !(seen & SeenCount))
        result.count = 1;
    return QString();
}

} // namespace

bool FaultRule::parse(const QString &text, FaultRule &rule, QString *error)
{
    FaultRule result;
    const QString why = parseItems(text, result);
    if (!why.isNull()) {
        if (error)
            *error = QStringLiteral("bad fault rule \"%1\": %2").arg(text, why);
        return false;
    }
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
