#include "ProgramView.h"

#include "Console.h"
#include "ExitCode.h"
#include "ProgramColumns.h"

#include <QFileInfo>
#include <QRegularExpression>

int ProgramView::load(const QString &fileName)
{
    const ProgramFile::LoadResult loaded = m_file.load(fileName);
    if (loaded != ProgramFile::LoadResult::Loaded) {
        const bool unreadable = loaded == ProgramFile::LoadResult::CannotOpen;
        Console::error(
            QStringLiteral("dcp30: %1 %2:")
                .arg(unreadable ? QStringLiteral("cannot open") : QStringLiteral("cannot load"),
                     fileName));
        Console::error(m_file.loaderErrors().join(QLatin1Char('\n')));
        return unreadable ? ExitCode::CannotOpen : ExitCode::Failed;
    }
    return -1;
}

void ProgramView::judge(int segments, const RangeOptions &ranges)
{
    m_segments = segments > 0 ? segments : qBound(1, int(m_file.rows().size()), MaxSegments);
    m_problems.collect(m_file, m_segments, ranges);
}

SetpointProfile ProgramView::profile(const QList<qint32> &parameters) const
{
    QList<QStringList> rows{ProgramColumns::headerRow()};
    rows += m_file.rows().mid(0, m_segments);
    SetpointProfile profile;
    profile.build(rows, parameters, m_problems.segments());
    return profile;
}

int ProgramView::programNumber(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^PROG_([1-9][0-9]?)\\.txt$"));
    const QRegularExpressionMatch match = name.match(QFileInfo(fileName).fileName());
    const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
    return number <= 19 ? number : 0;
}

QString ProgramView::clock(int minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
