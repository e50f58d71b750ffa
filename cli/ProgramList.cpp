#include "ProgramList.h"

#include "CommandLine.h"
#include "RecordGeometry.h"

#include <algorithm>

namespace {

bool programNumber(const QString &text, int &program)
{
    qint64 number = 0;
    if (!CommandLine::parseInt(text.trimmed(), number) || number < 1 ||
        number > RecordGeometry::MaxProgram)
        return false;
    program = int(number);
    return true;
}

} // namespace

bool ProgramList::parse(const QString &text, QList<int> &programs, QString *error)
{
    QList<int> found;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        const bool numbers = ends.size() <= 2 && programNumber(ends.first(), first) &&
                             programNumber(ends.last(), last);
        if (!numbers || last < first) {
            *error = QStringLiteral("\"%1\" is not a program number or a range of them (1 to "
                                    "%2, e.g. 1,3,5-7)")
                         .arg(part)
                         .arg(RecordGeometry::MaxProgram);
            return false;
        }
        for (int program = first; program <= last; ++program)
            found << program;
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    programs = found;
    return true;
}
