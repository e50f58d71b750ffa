#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// The options of one subcommand: declares them, parses the words after the subcommand name,
// converts values with range checks, and formats the help and the one-line reasons for bad
// arguments. Every subcommand takes -h/--help.
class CommandLine
{
public:
    // synopsis: the usage lines without the leading "dcp30 ".
    CommandLine(const QString &command, const QStringList &synopsis, const QString &description);

    // An option taking a value when valueName is not empty, otherwise a flag.
    void addOption(const QString &name, const QString &valueName, const QString &description);

    // False with errorText() set when the words do not fit the declared options.
    bool parse(const QStringList &arguments);

    // The start every command shares: parses, prints the help when asked, and rejects more
    // positional words than maxPositional. Answers -1 when the command goes on, otherwise the
    // exit status to end it with.
    int parseCommand(const QStringList &arguments, int maxPositional = 0);

    bool helpRequested() const;
    QString helpText() const;
    QString usage() const;
    QString command() const { return m_command; }

    bool isSet(const QString &name) const;
    QString value(const QString &name) const;
    QStringList values(const QString &name) const;
    QStringList positional() const;

    // The option's integer in min..max. A missing option leaves value as it is and is an error
    // only when required. False with errorText() set.
    bool intValue(const QString &name, int min, int max, int &value, bool required = false);
    // A comma-separated list of exactly count signed integers.
    bool intListValue(const QString &name, int count, QList<int> &values);

    // Records a reason (the first one counts) for badArguments().
    void setError(const QString &reason);
    QString errorText() const { return m_error; }
    // Prints "dcp30 <command>: <reason>" and the usage on stderr; answers the exit status 2.
    int badArguments(const QString &reason = QString());

    // Strict decimal integer: optional sign, digits, nothing else.
    static bool parseInt(const QString &text, qint64 &value);

private:
    struct Declared
    {
        QString name;
        QString valueName;
        QString description;
    };

    QString m_command;
    QStringList m_synopsis;
    QString m_description;
    QList<Declared> m_declared;
    QCommandLineParser m_parser;
    QString m_error;
};

#endif
