#include "MessageCenter.h"

#include "Console.h"

MessageCenter::MessageCenter(QObject *parent) : QObject(parent) {}

int MessageCenter::reportCount() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_reports.size();
}

QStringList MessageCenter::reports() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_reports;
}

void MessageCenter::showMessageAsync(QString source, QString text, bool flag)
{
    Q_UNUSED(flag);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reports.append(text);
    }
    Console::error(QStringLiteral("%1: %2").arg(source, text));
}
