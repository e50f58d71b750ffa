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

QByteArray Commands::fill(const QString &frameTemplate, FileCommand command, int program,
                          int segment, const QString &record)
{
    switch (command) {
    case BlockRead:
        return frameTemplate.arg(QString::number(program), QString::number(segment)).toLatin1();
    case BlockWrite:
        return frameTemplate.arg(QString::number(program), QString::number(segment), record)
            .toLatin1();
    case OpenForRead:
    case OpenForWrite:
    case Close:
        break;
    }
    return frameTemplate.arg(program).toLatin1();
}

int Commands::pauseMs(FileCommand command)
{
    return command == BlockRead ? 350 : 300;
}

int Commands::readLimit(FileCommand command)
{
    return command == BlockRead || command == BlockWrite ? 200 : 16;
}

QByteArray Commands::openForRead(int program)
{
    return fill(frameTemplate(OpenForRead), OpenForRead, program);
}

QByteArray Commands::openForWrite(int program)
{
    return fill(frameTemplate(OpenForWrite), OpenForWrite, program);
}

QByteArray Commands::blockRead(int program, int segment)
{
    return fill(frameTemplate(BlockRead), BlockRead, program, segment);
}

QByteArray Commands::blockWrite(int program, int segment, const QString &record)
{
    return fill(frameTemplate(BlockWrite), BlockWrite, program, segment, record);
}

QByteArray Commands::close(int program)
{
    return fill(frameTemplate(Close), Close, program);
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
