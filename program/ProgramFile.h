#ifndef PROGRAMFILE_H
#define PROGRAMFILE_H

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class KCSVLoader;

// A program CSV file as a program write takes it: loaded with the CSV loader, the header row
// removed, its segment rows validated against the controller's range parameters and converted
// into the records of the valid segments, with every problem in the write error log's words.
// The write transfer and the command-line validator both go through here, so that a file is
// judged alike everywhere.
//
// No GUI and no thread of its own: load() runs on the caller's thread, and a loader living on a
// worker thread reports into its message lists instead of showing dialogs. One ProgramFile is
// used by one thread at a time.
//
// Beyond what the write reports, findings for a check before a write: loader warnings, labels
// that do not match their position, segments without a row, a Tag cut to 8 characters and cells
// a spreadsheet has changed (SpreadsheetCells).
class ProgramFile
{
public:
    enum class LoadResult {
        Loaded,     // rows() holds the segment rows; the file may still have loader warnings
        CannotOpen, // no file name, or the file could not be opened
        CannotLoad  // the file was read but holds no rows or has a format error
    };

    // What one validation of segments 1..N gives.
    struct Validation
    {
        QMap<int, QString> records;  // the records of the valid segments, by segment number
        QStringList lines;           // the write log's lines for missing and invalid segments
        bool nothingToWrite = false; // at least one segment asked for and none is valid
    };

    enum class FindingKind {
        LoaderWarning,       // a row shorter or longer than the header (segment 0: the loader
                             // numbers file lines, which the message names)
        LabelMismatch,       // a row's label is not "SEG<n>" for its position n
        MissingRows,         // fewer rows than segments; segment is the first without a row
        TagTooLong,          // segment 1's Tag has more than 8 characters; only 8 are written
        SpreadsheetTime,     // a TIME holding a spreadsheet's time (seconds, AM/PM, a date)
        SpreadsheetTimeEvent // a time-event cell with one digit after the point ("0.1")
    };

    // Files larger than this are not program files (one of 30 segments is a few kilobytes).
    static constexpr qint64 MaxFileBytes = 10 * 1024 * 1024;

    struct Finding
    {
        FindingKind kind = FindingKind::LoaderWarning;
        int segment = 0; // 1-based; 0 when not tied to a segment
        int column = -1; // column index in the header row; -1 when not tied to a column
        QString message;

        bool operator==(const Finding &other) const
        {
            return kind == other.kind && segment == other.segment && column == other.column &&
                   message == other.message;
        }
    };

    // Loads fileName with a loader of its own, made on the calling thread. Returns how the load
    // ended; on anything but Loaded the rows are empty and loaderErrors() says why.
    LoadResult load(const QString &fileName);
    // The same with the caller's loader, which a worker keeps from one write to the next.
    LoadResult load(KCSVLoader &loader, const QString &fileName);

    // Takes rows (header removed) as if they had been loaded, for rows that come from elsewhere.
    void setRows(const QList<QStringList> &rows) { m_rows = rows; }
    // The segment rows of the last successful load (header removed); row n-1 is segment n's.
    const QList<QStringList> &rows() const { return m_rows; }
    // The loader's error messages after a failed load, its status report included (the text a
    // write sends to the message centre, joined by line feeds); empty after a successful one.
    QStringList loaderErrors() const { return m_errors; }
    // The loader's warnings of the last load, in file order.
    QStringList loaderWarnings() const { return m_warnings; }

    // Validates segments 1..segmentCnt under paras (SP1 low limit, SP1 high limit, event types
    // 1..3; missing ones count as 0). Returns the records of the valid segments and the lines
    // a write logs for the others, in segment order.
    Validation validate(int segmentCnt, const QList<qint32> &paras) const;

    // The write error log of a write that validated as validation and sent without trouble:
    // "Program 1:", the lines, the no-data line when nothing is valid; empty when all is valid.
    static QStringList logLines(const Validation &validation);
    // The line a write logs when no segment is valid (it begins with a line feed).
    static QString nothingToWriteLine();

    // Each returns its findings in segment order; empty when there are none.
    QList<Finding> warningFindings() const;
    QList<Finding> labelFindings(int segmentCnt) const;
    QList<Finding> missingRowFindings(int segmentCnt) const;
    QList<Finding> tagFindings() const;
    QList<Finding> spreadsheetFindings(int segmentCnt) const;
    // All of the above for segments 1..segmentCnt: loader warnings, labels, missing rows, the
    // Tag, spreadsheet cells, in that order.
    QList<Finding> findings(int segmentCnt) const;

private:
    QList<QStringList> m_rows;
    QStringList m_errors;
    QStringList m_warnings;
};

#endif
