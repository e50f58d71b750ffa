#ifndef PROTOCOL_ENDCODE_H
#define PROTOCOL_ENDCODE_H

#include <QString>

// The controller's end codes: the two characters after "0100X" in every reply. "00" and "01"
// mean success; every other code is a refusal, described to the user by message().
class EndCode
{
public:
    enum Code {
        Normal = 0,            // "00"
        NormalWithWarning = 1, // "01": treated exactly like "00"
        RequestError = 40,
        TooManyData = 41,
        UndefinedAddress = 42,
        OutOfLimit = 44,
        WriteInhibited = 45,
        ModeNotChangeable = 47,
        KeysInUse = 48,
        FileAlreadyOpen = 50,
        FileNotOpen = 51,
        NoSuchProgramOrSegment = 52,
        OpenAttributeViolated = 54,
        BadBlockData = 57,
        ProgramRunning = 58,
        FileAccessInhibited = 59,
        UndefinedCommand = 99,
        Unknown = -1 // any other text
    };

    // The code of an exact two-character text ("5" or "050" are Unknown).
    static Code fromText(const QString &text);
    // True for "00" and "01" only.
    static bool isSuccess(const QString &text);
    static bool isSuccess(const QByteArray &text);
    // The user's message for an end code text; the empty text for one not in the table.
    static QString message(const QString &text);
};

#endif
