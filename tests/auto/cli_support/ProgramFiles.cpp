#include "ProgramFiles.h"

#include "CliProcess.h"
#include "DemoPrograms.h"
#include "KCSVLoader.h"
#include "KCSVSaver.h"
#include "ProgramFormat.h"

#include <QFile>
#include <QTextCodec>

QList<QStringList> ProgramFiles::demoRows(int program, int segments)
{
    ProgramFormat format;
    QList<QStringList> rows;
    format.generalHead(rows);
    const QStringList records = DemoPrograms::records(program);
    for (int s = 1; s <= segments && s <= records.size(); ++s)
        // A block read's data part: the record, then ETX CR LF.
        format.HEX2CSV(s, records.at(s - 1) + QStringLiteral("\x03\r\n"), rows);
    return rows;
}

bool ProgramFiles::save(const QList<QStringList> &rows, const QString &fileName)
{
    KCSVSaver saver;
    return saver.saveFile(rows, fileName);
}

QList<QStringList> ProgramFiles::load(const QString &fileName)
{
    KCSVLoader loader;
    if (!loader.openFile(fileName))
        return {};
    return loader.loadedData();
}

QString ProgramFiles::text(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QTextCodec::codecForName("UTF-16")->toUnicode(file.readAll());
}

QStringList ProgramFiles::logLines(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
}

QString ProgramFiles::appFile(const QString &name)
{
    return CliProcess::appDir() + QLatin1Char('/') + name;
}

void ProgramFiles::removeAppFile(const QString &name)
{
    QFile::remove(appFile(name));
}
