#include "OutputTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Writes every byte to fd, retrying short writes; false with errno set.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= n;
    }
    return true;
}

} // namespace

bool OutputTarget::set(const QString &name, QString *error)
{
    m_name = name;
    if (name == QLatin1String("-")) {
        m_kind = Kind::StandardOutput;
        m_path = name;
        return true;
    }
    const QFileInfo info(name);
    m_path = info.absoluteFilePath();
    struct stat st = {};
    if (::stat(QFile::encodeName(m_path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) {
            *error = QStringLiteral("cannot write %1: it is a directory").arg(name);
            return false;
        }
        m_kind = Kind::Device; // a character device, a FIFO or a socket: written into
        return true;
    }
    m_kind = Kind::RegularFile;
    if (!info.dir().exists()) {
        *error = QStringLiteral("cannot write %1: the directory %2 does not exist")
                     .arg(name, info.dir().path());
        return false;
    }
    return true;
}

bool OutputTarget::write(const QByteArray &bytes, QString *error) const
{
    if (m_kind == Kind::StandardOutput) {
        if (writeAll(STDOUT_FILENO, bytes))
            return true;
        *error = QStringLiteral("cannot write to standard output: %1").arg(systemError());
        return false;
    }
    if (m_kind == Kind::Device) {
        // Opened as it is, never replaced: a device or FIFO stays what it is.
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && writeAll(fd, bytes);
        if (!written)
            *error = QStringLiteral("cannot write %1: %2").arg(m_name, systemError());
        if (fd >= 0 && ::close(fd) != 0 && written) {
            *error = QStringLiteral("cannot write %1: %2").arg(m_name, systemError());
            return false;
        }
        return written;
    }
    // The previous file is replaced only once the new one is complete on disk. Where the
    // directory takes no new file but the file itself is writable, it is written in place.
    QSaveFile file(m_path);
    file.setDirectWriteFallback(true);
    // Unbuffered: every failed write is seen by commit(), which does not see a failed flush.
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
        file.write(bytes) == bytes.size() && file.commit())
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(m_name, file.errorString());
    file.cancelWriting();
    return false;
}
