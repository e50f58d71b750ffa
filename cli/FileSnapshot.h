#ifndef FILESNAPSHOT_H
#define FILESNAPSHOT_H

#include <QString>

// What a file looked like at one moment: whether it existed, its identity, size and modification
// time to the nanosecond. Comparing the snapshots from before and after a transfer tells whether
// the transfer wrote the file, without removing a file an earlier run left (a user's old error
// log is information too).
class FileSnapshot
{
public:
    static FileSnapshot of(const QString &path);

    bool exists() const { return m_exists; }
    qint64 size() const { return m_size; }
    // True when other shows a file that was created or rewritten since this snapshot.
    bool changedIn(const FileSnapshot &other) const;

private:
    bool m_exists = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_size = 0;
    qint64 m_modifiedSeconds = 0;
    qint64 m_modifiedNanoseconds = 0;
};

#endif
