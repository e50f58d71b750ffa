#ifndef KCSVLOADER_H
#define KCSVLOADER_H

#include "KCSVInterface.h"

#include <QList>
#include <QStringList>
#include <QStringView>

class QTextStream;

// Reads a CSV text file into a table of rows, the header row first. It checks the first line for
// a wrong delimiter and switches to a better one for that load when it can, reassembles quoted
// fields (also across line breaks) and compares every later row's cell count with the header's.
//
// openFile() parses and collects the messages; loadedData() turns the outcome into a report (a
// message box on the GUI thread, two more error entries anywhere else) and hands out the rows.
//
// The whole parse is linear in the size of the file, also for quoted fields that span many lines
// or hold many doubled quotes.
class KCSVLoader : public KCSVInterface
{
    Q_OBJECT

public:
    // Result of the last openFile(); delimiter replacement and column mismatch are set by the
    // parse itself.
    enum Status {
        NoFileName = 0,
        OpenFailed = 1,
        FormatError = 2,
        Loaded = 3,
        DelimiterReplaced = 4,
        ColumnMismatch = 5
    };

    explicit KCSVLoader(QWidget *parentWidget = nullptr);

    // The rows of the last parse after reporting the status: an empty table for NoFileName,
    // OpenFailed and FormatError.
    QList<QStringList> loadedData();

    int statusCode() const { return status; }
    bool isDelimiterReplaced() const { return delimiterReplaced; }

public slots:
    QStringList errorMessageList();
    QStringList warningMessageList();
    // Loads fileName, or asks for a file on the GUI thread when it is empty. True when the parse
    // recorded no error.
    bool openFile(QString fileName = QString());

private:
    void readContent(QTextStream &stream, QStringList &errors, QStringList &warnings);
    // The header's cell count under delimiter, which the header check may replace for this load;
    // false (with the error recorded) when no delimiter fits the header.
    bool readHeaderCount(QStringView header, QStringList &errors, QString &delimiter,
                         int &headerCount);
    // Pads a row short of the header's cell count with empty cells and warns about a row of the
    // wrong count, naming its line; sets the status to ColumnMismatch.
    void fitToHeader(QStringList &row, int lineNumber, int headerCount, QStringList &warnings);
    bool checkHeaderDelimiter(const QString &line, QStringList &errors, QString &delimiter);
    bool detectDelimiter(QString &delimiter, const QString &line);

    // Shows title and text in an information box on the GUI thread, otherwise appends both to
    // the error list.
    void report(const QString &title, const QString &text);

    int status = NoFileName;
    QList<QStringList> rows;
    bool delimiterReplaced = false;
    QStringList errors;
    QStringList warnings;
};

#endif
