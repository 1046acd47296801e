#include "app/cli_progress.h"

#include "platform/console_output.h"
#include "platform/terminal.h"

#include <QtGlobal>

CliProgressBar::CliProgressBar(QString label)
    : m_label(std::move(label)), m_interactive(isTerminal(stderr))
{
}

void CliProgressBar::show(int percent, const QString& detail)
{
    m_percent = qBound(0, percent, 100);
    m_detail = detail;
    m_shown = true;
    if (!m_interactive || m_percent == m_drawn)
        return;
    m_drawn = m_percent;
    writeErr(u'\r' + text());
}

void CliProgressBar::finish()
{
    if (!m_shown)
        return;
    writeErr(m_interactive ? QStringLiteral("\n") : text() + u'\n');
}

QString CliProgressBar::text() const
{
    constexpr int kWidth = 40;
    const int filled = m_percent * kWidth / 100;
    return m_label + QStringLiteral(" [") + QString(filled, u'#') +
           QString(kWidth - filled, u'.') + QStringLiteral("] %1 %  ").arg(m_percent, 3) +
           m_detail;
}
