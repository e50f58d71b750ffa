#include "ProgramFile.h"

#include "KCSVLoader.h"
#include "ProgramColumns.h"
#include "ProgramFormat.h"
#include "SpreadsheetCells.h"

ProgramFile::LoadResult ProgramFile::load(const QString &fileName)
{
    KCSVLoader loader;
    return load(loader, fileName);
}

ProgramFile::LoadResult ProgramFile::load(KCSVLoader &loader, const QString &fileName)
{
    m_rows.clear();
    m_errors.clear();
    const bool opened = loader.openFile(fileName);
    QList<QStringList> rows;
    if (opened)
        rows = loader.loadedData();
    m_warnings = loader.warningMessageList();
    if (!opened || rows.isEmpty()) {
        // Off the GUI thread each call adds the loader's status report to its messages, and a
        // write reports exactly those.
        loader.loadedData();
        m_errors = loader.errorMessageList();
        const int status = loader.statusCode();
        return status == KCSVLoader::OpenFailed || status == KCSVLoader::NoFileName
                   ? LoadResult::CannotOpen
                   : LoadResult::CannotLoad;
    }
    rows.removeFirst();
    m_rows = rows;
    return LoadResult::Loaded;
}

ProgramFile::Validation ProgramFile::validate(int segmentCnt, const QList<qint32> &paras) const
{
    ProgramFormat format;
    format.setParameters(paras);
    Validation validation;
    format.validateSegments(segmentCnt, m_rows, validation.records, validation.lines);
    validation.nothingToWrite = segmentCnt >= 1 && validation.records.isEmpty();
    return validation;
}

QStringList ProgramFile::logLines(const Validation &validation)
{
    QStringList lines = validation.lines;
    if (validation.nothingToWrite)
        lines << nothingToWriteLine();
    if (!lines.isEmpty())
        lines.prepend(QStringLiteral("Program 1:"));
    return lines;
}

QString ProgramFile::nothingToWriteLine()
{
    return QStringLiteral(
        "\nThere is no data to write out. Maybe the format of all segments are incorrect.");
}

QList<ProgramFile::Finding> ProgramFile::warningFindings() const
{
    QList<Finding> findings;
    for (const QString &warning : m_warnings)
        findings << Finding{FindingKind::LoaderWarning, 0, -1, warning};
    return findings;
}

QList<ProgramFile::Finding> ProgramFile::labelFindings(int segmentCnt) const
{
    QList<Finding> findings;
    const int last = qMin(segmentCnt, m_rows.size());
    for (int segment = 1; segment <= last; ++segment) {
        const QStringList &row = m_rows.at(segment - 1);
        const QString label = row.value(0);
        const QString expected = QStringLiteral("SEG%1").arg(segment);
        if (label != expected)
            findings << Finding{FindingKind::LabelMismatch, segment, 0,
                                QStringLiteral("Row %1 is labelled \"%2\" but is written as "
                                               "segment %1 (\"%3\").")
                                    .arg(QString::number(segment), label, expected)};
    }
    return findings;
}

QList<ProgramFile::Finding> ProgramFile::missingRowFindings(int segmentCnt) const
{
    const int first = m_rows.size() + 1;
    if (segmentCnt < first)
        return {};
    const QString message = first == segmentCnt
                                ? QStringLiteral("Segment %1 has no row in the file.").arg(first)
                                : QStringLiteral("Segments %1 to %2 have no row in the file.")
                                      .arg(first)
                                      .arg(segmentCnt);
    return {Finding{FindingKind::MissingRows, first, -1, message}};
}

QList<ProgramFile::Finding> ProgramFile::tagFindings() const
{
    const int column = ProgramColumns::indexOfHeader(QStringLiteral("Tag"));
    if (m_rows.isEmpty() || m_rows.first().size() <= column)
        return {};
    const QString tag = m_rows.first().at(column);
    if (tag.size() <= ProgramColumns::TagCharacters)
        return {};
    return {Finding{FindingKind::TagTooLong, 1, column,
                    QStringLiteral("Tag \"%1\" has more than %2 characters; only \"%3\" is "
                                   "written.")
                        .arg(tag, QString::number(ProgramColumns::TagCharacters),
                             tag.left(ProgramColumns::TagCharacters))}};
}

QList<ProgramFile::Finding> ProgramFile::spreadsheetFindings(int segmentCnt) const
{
    return SpreadsheetCells::findings(m_rows, segmentCnt);
}

QList<ProgramFile::Finding> ProgramFile::findings(int segmentCnt) const
{
    return warningFindings() + labelFindings(segmentCnt) + missingRowFindings(segmentCnt) +
           tagFindings() + spreadsheetFindings(segmentCnt);
}
