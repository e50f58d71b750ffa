#include "CommandLine.h"

#include "Console.h"
#include "ExitCode.h"

namespace {
const int OptionColumn = 26;
}

CommandLine::CommandLine(const QString &command, const QStringList &synopsis,
                         const QString &description)
    : m_command(command), m_synopsis(synopsis), m_description(description)
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
}

void CommandLine::addOption(const QString &name, const QString &valueName,
                            const QString &description)
{
    m_declared.append({name, valueName, description});
    QCommandLineOption option(name, description, valueName);
    m_parser.addOption(option);
}

bool CommandLine::parse(const QStringList &arguments)
{
    QStringList words = arguments;
    words.prepend(QStringLiteral("dcp30"));
    if (!m_parser.parse(words)) {
        setError(m_parser.errorText());
        return false;
    }
    return true;
}

int CommandLine::parseCommand(const QStringList &arguments, int maxPositional)
{
    if (!parse(arguments))
        return badArguments();
    if (helpRequested()) {
        Console::out(helpText());
        return ExitCode::Success;
    }
    const QStringList words = positional();
    if (words.size() > maxPositional)
        return badArguments(
            QStringLiteral("unexpected argument \"%1\"").arg(words.at(maxPositional)));
    return -1;
}

bool CommandLine::helpRequested() const
{
    return m_parser.isSet(QStringLiteral("help"));
}

QString CommandLine::usage() const
{
    QStringList lines;
    for (int i = 0; i < m_synopsis.size(); ++i)
        lines << (i == 0 ? QStringLiteral("Usage: dcp30 ") : QStringLiteral("       dcp30 ")) +
                     m_synopsis.at(i);
    return lines.join(QLatin1Char('\n'));
}

QString CommandLine::helpText() const
{
    QStringList lines;
    lines << usage() << QString() << m_description << QString() << QStringLiteral("Options:");
    auto optionLine = [](const QString &left, const QString &description) {
        QString line = QStringLiteral("  ") + left;
        if (line.size() >= OptionColumn)
            return line + QLatin1Char('\n') + QString(OptionColumn, QLatin1Char(' ')) + description;
        return line.leftJustified(OptionColumn, QLatin1Char(' ')) + description;
    };
    for (const Declared &option : m_declared) {
        const QString left =
            QStringLiteral("--") + option.name +
            (option.valueName.isEmpty() ? QString() : QLatin1Char(' ') + option.valueName);
        // A description may hold several lines; the later ones are indented to the column.
        const QStringList parts = option.description.split(QLatin1Char('\n'));
        lines << optionLine(left, parts.first());
        for (int i = 1; i < parts.size(); ++i)
            lines << QString(OptionColumn, QLatin1Char(' ')) + parts.at(i);
    }
    lines << optionLine(QStringLiteral("-h, --help"), QStringLiteral("show this help"));
    return lines.join(QLatin1Char('\n'));
}

bool CommandLine::isSet(const QString &name) const
{
    return m_parser.isSet(name);
}

QString CommandLine::value(const QString &name) const
{
    return m_parser.value(name);
}

QStringList CommandLine::values(const QString &name) const
{
    return m_parser.values(name);
}

QStringList CommandLine::positional() const
{
    return m_parser.positionalArguments();
}

bool CommandLine::parseInt(const QString &text, qint64 &value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    int i = 0;
    if (text.at(0) == QLatin1Char('-') || text.at(0) == QLatin1Char('+'))
        i = 1;
    if (i == text.size())
        return false;
    for (int k = i; k < text.size(); ++k) {
        if (text.at(k) < QLatin1Char('0') || text.at(k) > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

bool CommandLine::intValue(const QString &name, int min, int max, int &value, bool required)
{
    if (!m_parser.isSet(name)) {
        if (required)
            setError(QStringLiteral("--%1 is required").arg(name));
        return !required;
    }
    const QString text = m_parser.value(name);
    qint64 number = 0;
    if (!parseInt(text, number) || number < min || number > max) {
        setError(QStringLiteral("--%1 must be a whole number from %2 to %3, not \"%4\"")
                     .arg(name)
                     .arg(min)
                     .arg(max)
                     .arg(text));
        return false;
    }
    value = int(number);
    return true;
}

bool CommandLine::intListValue(const QString &name, int count, QList<int> &values)
{
    const QString text = m_parser.value(name);
    const QStringList parts = text.split(QLatin1Char(','));
    QList<int> parsed;
    for (const QString &part : parts) {
        qint64 number = 0;
        if (!parseInt(part.trimmed(), number) || number < INT_MIN || number > INT_MAX)
            break;
        parsed << int(number);
    }
    if (parts.size() != count || parsed.size() != count) {
        setError(QStringLiteral("--%1 needs %2 whole numbers separated by commas, not \"%3\"")
                     .arg(name)
                     .arg(count)
                     .arg(text));
        return false;
    }
    values = parsed;
    return true;
}

void CommandLine::setError(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
}

int CommandLine::badArguments(const QString &reason)
{
    if (!reason.isEmpty())
        setError(reason);
    Console::error(QStringLiteral("dcp30 %1: %2").arg(m_command, m_error));
    Console::error(usage());
    return ExitCode::BadArguments;
}
