#include "FileSnapshot.h"

#include <sys/stat.h>

FileSnapshot FileSnapshot::of(const QString &path)
{
    FileSnapshot snapshot;
    struct stat info;
    const QByteArray name = path.toLocal8Bit();
    if (::stat(name.constData(), &info) != 0)
        return snapshot;
    snapshot.m_exists = true;
    snapshot.m_device = quint64(info.st_dev);
    snapshot.m_inode = quint64(info.st_ino);
    snapshot.m_size = qint64(info.st_size);
    snapshot.m_modifiedSeconds = qint64(info.st_mtim.tv_sec);
    snapshot.m_modifiedNanoseconds = qint64(info.st_mtim.tv_nsec);
    return snapshot;
}

bool FileSnapshot::changedIn(const FileSnapshot &other) const
{
    if (!other.m_exists)
        return false;
    if (!m_exists)
        return true;
    // Files are replaced whole (written aside and renamed), which gives them a new identity even
    // when size and time stamp happen to match.
    return m_device != other.m_device || m_inode != other.m_inode || m_size != other.m_size ||
           m_modifiedSeconds != other.m_modifiedSeconds ||
           m_modifiedNanoseconds != other.m_modifiedNanoseconds;
}
