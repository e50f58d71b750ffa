#include "RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace {

// The command-line tool's names, so that the tools keep one settings file.
const QString organisation = QStringLiteral("dcp30");
const QString application = QStringLiteral("dcp30");
const QString key = QStringLiteral("editor/recentFiles");

void store(const QStringList &files)
{
    QSettings settings(organisation, application);
    settings.setValue(key, files);
}

} // namespace

QStringList RecentFiles::files()
{
    QSettings settings(organisation, application);
    return settings.value(key).toStringList();
}

void RecentFiles::add(const QString &fileName)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    QStringList list = files();
    list.removeAll(path);
    list.prepend(path);
    store(list.mid(0, MaxFiles));
}

void RecentFiles::remove(const QString &fileName)
{
    QStringList list = files();
    list.removeAll(QFileInfo(fileName).absoluteFilePath());
    store(list);
}
