#ifndef PROGRESSBAR_H
#define PROGRESSBAR_H

#include <QString>

// The progress of a transfer as an operator screen shows it: a label, a bar filled by the
// progress tag's percentage and the percentage itself, drawn as the console's status line.
class ProgressBar
{
public:
    static constexpr int DefaultWidth = 30;

    // enabled false draws nothing (not a terminal, or --quiet).
    ProgressBar(const QString &label, bool enabled, int width = DefaultWidth);

    // The line for a percentage, clamped to 0..100:
    // "<label> [##########--------------------]  33%".
    QString render(int percent) const;

    void update(int percent);
    void finish();
    bool isEnabled() const { return m_enabled; }

private:
    QString m_label;
    bool m_enabled;
    int m_width;
    int m_shown = -1;
};

#endif
