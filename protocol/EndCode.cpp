#include "EndCode.h"

#include <QByteArray>

namespace {

struct Entry
{
    EndCode::Code code;
    const char *message;
};

const Entry Entries[] = {
    {EndCode::RequestError, "Request message is in error."},
    {EndCode::TooManyData,
     "The number of data is over 16. (Including read data count of RS request)."},
    {EndCode::UndefinedAddress,
     "The data address is not defined. All of message has been cancelled."},
    {EndCode::OutOfLimit, "The value of write data is out of the limit. Processing is continued "
                          "except for the relevant data address."},
    {EndCode::WriteInhibited,
     "The data cannot be written according to the status of DCP31/32. (Settings can be changed "
     "only READY mode regarding all of setup items and some of event configuration data) Write "
     "is attempted to the write inhibit data address."},
    {EndCode::ModeNotChangeable, "Mode can not be changed."},
    {EndCode::KeysInUse, "Operation keys of console are operated by an operator. Send the "
                         "request message after key operation."},
    {EndCode::FileAlreadyOpen, "File is already open."},
    {EndCode::FileNotOpen, "File is not open yet."},
    {EndCode::NoSuchProgramOrSegment,
     "Program number or segment number is in error. No program in the segment."},
    {EndCode::OpenAttributeViolated, "Attribute of File OPEN is violated."},
    {EndCode::BadBlockData, "Block data of File block WRITE is in error."},
    {EndCode::ProgramRunning, "The program being run cannot be deleted."},
    {EndCode::FileAccessInhibited, "File OPEN, File block WRITE and File DELETE are inhibited."},
    {EndCode::UndefinedCommand, "The command is undefined."},
};

} // namespace

EndCode::Code EndCode::fromText(const QString &text)
{
    const auto digit = [&text](int i) {
        const ushort u = text.at(i).unicode();
        return u >= '0' && u <= '9' ? int(u - '0') : -1;
    };
    if (text.size() != 2 || digit(0) < 0 || digit(1) < 0)
        return Unknown;
    const int number = digit(0) * 10 + digit(1);
    if (number == Normal || number == NormalWithWarning)
        return Code(number);
    for (const Entry &entry : Entries) {
        if (entry.code == number)
            return entry.code;
    }
    return Unknown;
}

bool EndCode::isSuccess(const QString &text)
{
    const Code code = fromText(text);
    return code == Normal || code == NormalWithWarning;
}

bool EndCode::isSuccess(const QByteArray &text)
{
    return isSuccess(QString::fromLatin1(text));
}

QString EndCode::message(const QString &text)
{
    const Code code = fromText(text);
    for (const Entry &entry : Entries) {
        if (entry.code == code)
            return QString::fromLatin1(entry.message);
    }
    return QString();
}
