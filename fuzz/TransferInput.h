#ifndef TRANSFERINPUT_H
#define TRANSFERINPUT_H

#include "DemoPrograms.h"
#include "FileAccessor.h"
#include "PortObject.h"
#include "TransferTestSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <algorithm>
#include <cstring>

// The input of the transfer harness, shared with the seed maker so that both agree on it.
//
//   byte 0  read: program number (1..19)      byte 1  read: segment count (0..30)
//   byte 2  write: program number (1..19)     byte 3  write: segment count (0..10)
//   byte 4  retry count (0..3)
//   then one reply per exchange: a length byte and that many bytes. Once the input runs out
//   the controller stays silent.
//
// The read transfer runs first, then the write of demo program 1 (8 segments) installed as the
// write program's CSV file.
namespace TransferInput {

constexpr int HeaderSize = 5;

struct Header
{
    int readProgram = 1;
    int readSegments = 8;
    int writeProgram = 2;
    int writeSegments = 8;
    int retries = 1;
};

inline Header headerOf(const uint8_t *data)
{
    Header h;
    h.readProgram = 1 + data[0] % 19;
    h.readSegments = data[1] % 31;
    h.writeProgram = 1 + data[2] % 19;
    h.writeSegments = data[3] % 11;
    h.retries = data[4] % 4;
    return h;
}

inline QByteArray headerBytes(const Header &h)
{
    QByteArray b;
    b += char(h.readProgram - 1);
    b += char(h.readSegments);
    b += char(h.writeProgram - 1);
    b += char(h.writeSegments);
    b += char(h.retries);
    return b;
}

// The range parameters the write is validated against: the simulated controller's defaults,
// under which every demo record is valid.
inline QList<int> rangeParameters()
{
    return {-200, 1300, 0, 50, 8};
}

// Demo program 1 as a program CSV file: UTF-16LE with a byte order mark, tab separated, CR LF.
inline QByteArray demoCsvBytes()
{
    return TestFiles::programCsv(TestSupport::rowsOf(DemoPrograms::records(1)));
}

inline QString appFile(const QString &name)
{
    return QCoreApplication::applicationDirPath() + QDir::separator() + name;
}

inline void installWriteCsv(int program)
{
    static const QByteArray bytes = demoCsvBytes();
    QFile file(appFile(QStringLiteral("PROG_%1.txt").arg(program)));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

// Removes the program files and error logs the transfers leave in the application directory.
inline void removeAppFiles()
{
    QDir dir(QCoreApplication::applicationDirPath());
    for (const QString &name : dir.entryList(
             {QStringLiteral("PROG_*.txt"), QStringLiteral("*_PROG_*_ERROR.txt")}, QDir::Files))
        dir.remove(name);
}

// Runs both transfers with zero pauses on the calling thread.
inline void runTransfers(PortObject &port, const Header &h)
{
    FileAccessor worker;
    worker.setPauseHook([](int) {});
    worker.setPort(&port);
    worker.readProgramFileProcess(h.readProgram, h.readSegments, 0);
    installWriteCsv(h.writeProgram);
    worker.writeProgramFileProcess(rangeParameters(), h.writeProgram, h.writeSegments, 0);
}

} // namespace TransferInput

#endif
