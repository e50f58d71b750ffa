#include "ProgramProbe.h"

#include "CliLogging.h"
#include "EndCode.h"
#include "Frame.h"
#include "PortObject.h"
#include "RecordGeometry.h"

#include <QThread>

namespace {

const int ReplyBufferSize = 256;

QString describe(const QString &endCode)
{
    const QString message = EndCode::message(endCode);
    return message.isEmpty() ? QStringLiteral("end code %1").arg(endCode) : message;
}

} // namespace

ProgramProbe::ProgramProbe(PortObject *port, int retries) : m_port(port), m_retries(retries) {}

ProgramProbe::Answer ProgramProbe::exchange(Commands::FileCommand command, const QByteArray &frame,
                                            QString *endCode)
{
    ++m_exchanges;
    m_port->setOption(PortObject::OptionDiscardInput, 0);
    if (m_port->write(frame.constData(), frame.size()) != frame.size())
        return Answer::Silent;
    QThread::msleep(Commands::pauseMs(command));
    char buffer[ReplyBufferSize] = {};
    m_port->read(buffer, qMin(Commands::readLimit(command), ReplyBufferSize - 1));
    const QByteArray reply(buffer);
    qCDebug(lcCli) << "probe" << frame.trimmed() << "->" << reply.trimmed();
    if (!Frame::hasReplyHeader(reply))
        return Answer::Silent;
    *endCode = QString::fromLatin1(Frame::endCodeOf(reply));
    return EndCode::isSuccess(*endCode) ? Answer::Done : Answer::Refused;
}

ProgramProbe::Answer ProgramProbe::exchangeRepeated(Commands::FileCommand command,
                                                    const QByteArray &frame, const QString &label,
                                                    QString *endCode)
{
    Answer answer = Answer::Silent;
    for (int attempt = 0; attempt <= m_retries && !stopped(); ++attempt) {
        answer = exchange(command, frame, endCode);
        if (answer != Answer::Silent)
            return answer;
        m_errors << QStringLiteral("%1:no valid reply").arg(label);
    }
    return answer;
}

bool ProgramProbe::open(int program)
{
    QString endCode;
    Answer answer = exchangeRepeated(Commands::OpenForRead, Commands::openForRead(program),
                                     QStringLiteral("Open"), &endCode);
    if (answer == Answer::Refused && EndCode::fromText(endCode) == EndCode::FileAlreadyOpen) {
        // A transfer that failed earlier left a file open; it is closed and asked once more.
        m_errors << QStringLiteral("Open:%1").arg(describe(endCode));
        exchange(Commands::Close, Commands::close(program), &endCode);
        answer = exchange(Commands::OpenForRead, Commands::openForRead(program), &endCode);
    }
    if (answer == Answer::Refused)
        m_errors << QStringLiteral("Open:%1").arg(describe(endCode));
    return answer == Answer::Done;
}

ProgramProbe::Answer ProgramProbe::hasSegment(int program, int segment)
{
    QString endCode;
    const QString label = QStringLiteral("Seg%1").arg(segment);
    const Answer answer = exchangeRepeated(Commands::BlockRead,
                                           Commands::blockRead(program, segment), label, &endCode);
    if (answer != Answer::Refused || EndCode::fromText(endCode) == EndCode::NoSuchProgramOrSegment)
        return answer;
    m_errors << QStringLiteral("%1:%2").arg(label, describe(endCode));
    return Answer::Silent;
}

ProgramProbe::Result ProgramProbe::probe(int program, int *segments)
{
    m_errors.clear();
    if (stopped())
        return Result::Stopped;
    if (!open(program))
        return stopped() ? Result::Stopped : Result::Failed;
    // known: a segment the program has; beyond: the first one known to be missing.
    int known = 0;
    int beyond = RecordGeometry::MaxSegment + 1;
    Answer answer = hasSegment(program, 1);
    if (answer == Answer::Done)
        known = 1;
    else if (answer == Answer::Refused)
        beyond = 1;
    while (answer != Answer::Silent && known > 0 && beyond - known > 1 && !stopped()) {
        const int middle = (known + beyond) / 2;
        answer = hasSegment(program, middle);
        if (answer == Answer::Done)
            known = middle;
        else if (answer == Answer::Refused)
            beyond = middle;
    }
    QString endCode;
    exchange(Commands::Close, Commands::close(program), &endCode);
    if (stopped())
        return Result::Stopped;
    if (answer == Answer::Silent)
        return Result::Failed;
    if (known == 0)
        return Result::NoProgram;
    *segments = known;
    return Result::Found;
}
