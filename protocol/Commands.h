#ifndef PROTOCOL_COMMANDS_H
#define PROTOCOL_COMMANDS_H

#include <QByteArray>
#include <QList>
#include <QString>

// The command texts the plugin and the link driver send, framed (STX text ETX CR LF) and with
// every number in decimal without leading zeros or spaces.
//
// The program file commands keep their placeholders in templates, because the transfer worker
// builds each frame once and fills it per exchange; the filled builders below give the same
// bytes in one step.
class Commands
{
public:
    enum FileCommand { OpenForRead, OpenForWrite, BlockRead, BlockWrite, Close };

    // The framed template of command: "0100XFO,%1,R,0", "0100XFO,%1,W,0", "0100XFR,%1,%2",
    // "0100XFW,%1,%2,%3" or "0100XFC,%1" between STX and ETX CR LF.
    static QString frameTemplate(FileCommand command);
    // The frame of command made from frameTemplate (as frameTemplate answers it): program and
    // segment in decimal, the record unchanged, each placeholder filled once in its numeric order.
    // Arguments the command does not take are ignored.
    static QByteArray fill(const QString &frameTemplate, FileCommand command, int program,
                           int segment = 0, const QString &record = QString());

    // Milliseconds the controller needs before its reply to command can be read: 350 for a block
    // read, 300 for every other file command.
    static int pauseMs(FileCommand command);
    // Bytes of the reply to command that are read: 200 for block reads and writes, 16 for the
    // open and close commands, whose replies are short.
    static int readLimit(FileCommand command);

    static QByteArray openForRead(int program);
    static QByteArray openForWrite(int program);
    static QByteArray blockRead(int program, int segment);
    static QByteArray blockWrite(int program, int segment, const QString &record);
    static QByteArray close(int program);

    // "0100XRS,<address>W,<count>": count decimal words from address.
    static QByteArray readWords(int address, int count);
    // "0100XWS,<address>W,<v1>[,<v2>...]": decimal words written from address.
    static QByteArray writeWords(int address, const QList<int> &values);
};

#endif
