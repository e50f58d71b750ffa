#include "WritePreflight.h"

#include "ProgramFile.h"

WritePreflight::Result WritePreflight::check(const QString &fileName, int segments,
                                             const QList<qint32> &paras, QStringList *lines)
{
    ProgramFile file;
    if (file.load(fileName) != ProgramFile::LoadResult::Loaded) {
        *lines = file.loaderErrors();
        return Result::CannotLoad;
    }
    *lines = ProgramFile::logLines(file.validate(segments, paras));
    return lines->isEmpty() ? Result::Clean : Result::Problems;
}
