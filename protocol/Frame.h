#ifndef PROTOCOL_FRAME_H
#define PROTOCOL_FRAME_H

#include <QByteArray>
#include <QString>

// The controller's frame: STX, the command or reply text, ETX, CR, LF; no check characters.
// A reply text starts with "0100X" (station 01, sub-address 00, device code X) and carries a
// two-character end code right after it.
class Frame
{
public:
    static constexpr char Stx = '\x02';
    static constexpr char Etx = '\x03';
    static constexpr char Cr = '\r';
    static constexpr char Lf = '\n';
    // ETX CR LF: what follows the text of every frame.
    static constexpr int TrailerLength = 3;

    // The frame of text: STX text ETX CR LF.
    static QByteArray wrap(const QByteArray &text);
    // The same frame as Latin-1 text, for callers that fill placeholders afterwards.
    static QString wrap(const QString &text);
    // ETX CR LF.
    static QByteArray trailer();

    // True when characters 1 to 5 of reply are "0100X"; character 0 (STX) is not examined.
    static bool hasReplyHeader(const QByteArray &reply);
    static bool hasReplyHeader(const QString &reply);
    // Characters 6 and 7 of reply: the end code (shorter when the reply is).
    static QByteArray endCodeOf(const QByteArray &reply);
    static QString endCodeOf(const QString &reply);
    // Where the end code starts and what follows it in a reply.
    static constexpr int EndCodeOffset = 6;
    static constexpr int PayloadOffset = 8;
};

#endif
