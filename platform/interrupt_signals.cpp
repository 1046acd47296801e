#include "platform/interrupt_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_received = 0;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int signalNumber)
{
    g_received = signalNumber;
    const char c = char(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}

} // namespace

InterruptSignals::InterruptSignals(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    g_received = 0;
    if (g_pipe[0] < 0)
        return;
    for (int s : kSignals) {
        struct sigaction sa = {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        ::sigaction(s, &sa, nullptr);
    }
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char c = 0;
        int last = 0;
        while (::read(g_pipe[0], &c, 1) == 1)
            last = c;
        if (last)
            emit interrupted(last);
    });
}

InterruptSignals::~InterruptSignals()
{
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
}

int InterruptSignals::received()
{
    return g_received;
}

QString InterruptSignals::describe(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT:
        return QStringLiteral("прервано пользователем (Ctrl-C)");
    case SIGHUP:
        return QStringLiteral("терминал закрыт (SIGHUP)");
    default:
        return QStringLiteral("получен сигнал завершения (SIGTERM)");
    }
}

void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    ::signal(SIGXFSZ, SIG_IGN);
#endif
}
