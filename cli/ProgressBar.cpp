#include "ProgressBar.h"

#include "Console.h"

ProgressBar::ProgressBar(const QString &label, bool enabled, int width)
    : m_label(label), m_enabled(enabled), m_width(qMax(1, width))
{
}

QString ProgressBar::render(int percent) const
{
    const int p = qBound(0, percent, 100);
    const int filled = p * m_width / 100;
    return QStringLiteral("%1 [%2%3] %4%")
        .arg(m_label)
        .arg(QString(filled, QLatin1Char('#')))
        .arg(QString(m_width - filled, QLatin1Char('-')))
        .arg(p, 3);
}

void ProgressBar::update(int percent)
{
    if (!m_enabled || percent == m_shown)
        return;
    m_shown = percent;
    Console::setStatusLine(render(percent));
}

void ProgressBar::finish()
{
    if (m_enabled && m_shown >= 0)
        Console::finishStatusLine();
    m_shown = -1;
}
