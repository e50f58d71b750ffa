#ifndef OUTPUTTARGET_H
#define OUTPUTTARGET_H

#include <QByteArray>
#include <QString>

// Where a command puts a file it made: a regular file, replaced whole or left as it was;
// standard output ("-"); or a device or FIFO, written into and never replaced by a file.
class OutputTarget
{
public:
    enum class Kind { RegularFile, StandardOutput, Device };

    // Takes name and checks it before any work is done: false with a one-line reason when the
    // file cannot be a target (its directory is missing, it is a directory).
    bool set(const QString &name, QString *error);

    // Writes bytes to the target; false with a reason naming the cause (a full disk, say), and
    // a regular file that was there keeps its previous content.
    bool write(const QByteArray &bytes, QString *error) const;

    Kind kind() const { return m_kind; }
    // The absolute path, or "-" for standard output.
    QString path() const { return m_path; }

private:
    Kind m_kind = Kind::RegularFile;
    QString m_name;
    QString m_path;
};

#endif
