#include "FileLocations.h"

#include <QCoreApplication>
#include <QDir>
#include <QVariant>

QString FileLocations::directory()
{
    const QCoreApplication *app = QCoreApplication::instance();
    const QString chosen = app ? app->property(DirectoryProperty).toString() : QString();
    if (chosen.isEmpty())
        return QCoreApplication::applicationDirPath();
    return QDir::cleanPath(chosen);
}

QString FileLocations::programFile(int program)
{
    return directory() + QDir::separator() + QStringLiteral("PROG_%1.txt").arg(program);
}

QString FileLocations::errorLog(int type, int program)
{
    const QString kind = type == 1 ? QStringLiteral("WRITE") : QStringLiteral("READ");
    return directory() + QDir::separator() +
           QStringLiteral("%1_PROG_%2_ERROR.txt").arg(kind).arg(program);
}
