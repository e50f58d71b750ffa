#include "WritePreflight.h"

#include "Console.h"
#include "ProgramEncoding.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Enough bytes to tell the encoding by.
const qint64 EncodingHeadBytes = 4096;

} // namespace

bool WritePreflight::readable(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.exists()) {
        m_reasons << QStringLiteral("cannot open %1: no such file").arg(fileName);
        return false;
    }
    if (!info.isFile()) {
        m_reasons << QStringLiteral("cannot open %1: not a file").arg(fileName);
        return false;
    }
    if (info.size() > ProgramFile::MaxFileBytes) {
        m_reasons << QStringLiteral("%1 is %2 bytes, far larger than any program file (at most "
                                    "%3 bytes are taken); is it the right file?")
                         .arg(fileName)
                         .arg(info.size())
                         .arg(ProgramFile::MaxFileBytes);
        return false;
    }
    return true;
}

WritePreflight::Result WritePreflight::load(const QString &fileName)
{
    m_reasons.clear();
    if (!readable(fileName))
        return Result::CannotOpen;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_reasons << QStringLiteral("cannot open %1: %2").arg(fileName, file.errorString());
        return Result::CannotOpen;
    }
    const QStringList advice =
        ProgramEncoding::advice(ProgramEncoding::detect(file.read(EncodingHeadBytes)), fileName);
    if (!advice.isEmpty()) {
        m_reasons << QStringLiteral("cannot load %1:").arg(fileName) << advice;
        return Result::CannotLoad;
    }
    const ProgramFile::LoadResult loaded = m_file.load(fileName);
    if (loaded == ProgramFile::LoadResult::Loaded)
        return Result::Clean;
    const bool unreadable = loaded == ProgramFile::LoadResult::CannotOpen;
    m_reasons << QStringLiteral("%1 %2:").arg(unreadable ? QStringLiteral("cannot open")
                                                         : QStringLiteral("cannot load"),
                                              fileName)
              << m_file.loaderErrors();
    return unreadable ? Result::CannotOpen : Result::CannotLoad;
}

WritePreflight::Result WritePreflight::check(int segments, const QList<qint32> &paras)
{
    const ProgramFile::Validation validation = m_file.validate(segments, paras);
    m_logLines = ProgramFile::logLines(validation);
    m_validSegments = validation.records.keys();
    m_findings.clear();
    for (const ProgramFile::Finding &finding : m_file.findings(segments)) {
        if (finding.kind == ProgramFile::FindingKind::LoaderWarning)
            m_findings << finding.message +
                              QStringLiteral(" A missing or extra cell shifts every later value "
                                             "of its row.");
        else if (finding.kind != ProgramFile::FindingKind::MissingRows)
            m_findings << finding.message;
    }
    return m_logLines.isEmpty() && m_findings.isEmpty() ? Result::Clean : Result::Problems;
}

void WritePreflight::print() const
{
    for (const QString &line : m_logLines)
        Console::out(line);
    for (const QString &message : m_findings)
        Console::out(QStringLiteral("problem: %1").arg(message));
}
