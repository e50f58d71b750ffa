#include "Commands.h"

#include "Frame.h"

QString Commands::frameTemplate(FileCommand command)
{
    switch (command) {
    case OpenForRead:
        return Frame::wrap(QStringLiteral("0100XFO,%1,R,0"));
    case OpenForWrite:
        return Frame::wrap(QStringLiteral("0100XFO,%1,W,0"));
    case BlockRead:
        return Frame::wrap(QStringLiteral("0100XFR,%1,%2"));
    case BlockWrite:
        return Frame::wrap(QStringLiteral("0100XFW,%1,%2,%3"));
    case Close:
        return Frame::wrap(QStringLiteral("0100XFC,%1"));
    }
    return QString();
}

QByteArray Commands::openForRead(int program)
{
    return frameTemplate(OpenForRead).arg(program).toLatin1();
}

QByteArray Commands::openForWrite(int program)
{
    return frameTemplate(OpenForWrite).arg(program).toLatin1();
}

QByteArray Commands::blockRead(int program, int segment)
{
    return frameTemplate(BlockRead)
        .arg(QString::number(program), QString::number(segment))
        .toLatin1();
}

QByteArray Commands::blockWrite(int program, int segment, const QString &record)
{
    return frameTemplate(BlockWrite)
        .arg(QString::number(program), QString::number(segment), record)
        .toLatin1();
}

QByteArray Commands::close(int program)
{
    return frameTemplate(Close).arg(program).toLatin1();
}

QByteArray Commands::readWords(int address, int count)
{
    return Frame::wrap(QByteArray("0100XRS,") + QByteArray::number(address) + "W," +
                       QByteArray::number(count));
}

QByteArray Commands::writeWords(int address, const QList<int> &values)
{
    QByteArray text = QByteArray("0100XWS,") + QByteArray::number(address) + 'W';
    for (int value : values)
        text += ',' + QByteArray::number(value);
    return Frame::wrap(text);
}
