#pragma once

#include <QString>

// The progress bar of a long command on stderr:
// "LABEL [##########..............................]  25 %  DETAIL".
// On a terminal it is redrawn in place, at most once a percent; into a log
// (stderr not a terminal) only its last state is written, once, on a line of
// its own, so that a log holds no carriage returns.
class CliProgressBar
{
public:
    explicit CliProgressBar(QString label);

    // `percent` is clamped to 0..100.
    void show(int percent, const QString& detail);
    // Ends the bar's line on a terminal; writes the last state into a log.
    // Nothing when the bar was never shown.
    void finish();

private:
    QString text() const;

    QString m_label;
    QString m_detail;
    int m_percent = 0;
    int m_drawn = -1;
    bool m_shown = false;
    bool m_interactive;
};
