#pragma once

#include <QElapsedTimer>
#include <QString>

// Progress of work that may take a while, on stderr. On a terminal, once the work has
// taken a second: a bar with the share done, the rate and the time left, redrawn in
// place. Otherwise a plain line every few seconds.
class Progress final
{
public:
    explicit Progress(QString label);
    ~Progress() { finish(); }

    // done of total units (total ≤ 0: unknown); unit names the rate, e.g. "MB".
    void update(double done, double total, const QString &unit, const QString &text = {});
    // Clears the bar from the terminal.
    void finish();

    static bool isTerminal();

private:
    QString m_label;
    QElapsedTimer m_clock;
    qint64 m_lastDrawMs = -1;
    bool m_drawn = false;
    bool m_terminal;
};
