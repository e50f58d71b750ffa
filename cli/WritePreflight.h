#ifndef WRITEPREFLIGHT_H
#define WRITEPREFLIGHT_H

#include "ProgramFile.h"

#include <QList>
#include <QString>
#include <QStringList>

// The checks a program file passes before a write may open the controller's program (opening it
// for writing clears it), shared by "dcp30 validate" and "dcp30 write" so both judge alike:
// the file must be a regular file of at most ProgramFile::MaxFileBytes in UTF-16, load, and
// segments 1..M must be valid against the controller's range parameters, with every row
// present, labelled in order and of the header's length, a Tag of at most 8 characters and no
// cell a spreadsheet has changed.
//
// Use: load(), then check(); print() shows the problems.
class WritePreflight
{
public:
    enum class Result {
        Clean,      // may be written
        Problems,   // logLines() and findings() say why it may not
        CannotOpen, // no such file, not a regular file, far too large, or unreadable
        CannotLoad  // not UTF-16, or the loader found no rows
    };

    // Loads fileName. Clean when it loaded (findings are for check()); CannotOpen or CannotLoad
    // with the lines to show in reasons().
    Result load(const QString &fileName);
    // Judges segments 1..segments of the loaded file against paras (SP1 low and high limit,
    // event types 1 to 3). Clean or Problems.
    Result check(int segments, const QList<qint32> &paras);

    // Why load() failed, one line each.
    QStringList reasons() const { return m_reasons; }
    // The write log's lines for the missing and invalid rows ("Program 1:" first); empty when
    // every row is valid. The lines "dcp30 validate" prints, exactly.
    QStringList logLines() const { return m_logLines; }
    // The other problems, one message each (a missing row is in logLines() already).
    QStringList findings() const { return m_findings; }
    // The segments whose rows are valid: those a write sends.
    QList<int> validSegments() const { return m_validSegments; }
    // The segment rows of the loaded file (header removed).
    const QList<QStringList> &rows() const { return m_file.rows(); }

    // The problems on stdout: the log lines as they are, then "problem: <message>" per finding.
    void print() const;

private:
    bool readable(const QString &fileName);

    ProgramFile m_file;
    QStringList m_reasons;
    QStringList m_logLines;
    QStringList m_findings;
    QList<int> m_validSegments;
};

#endif
