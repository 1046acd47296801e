#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT, SIGTERM and SIGHUP as a Qt signal on the event loop, for the
// command line: a job that is interrupted stops cleanly and says why instead
// of dying with its files half written. While an object lives the signals do
// not end the process; the default handling comes back when it goes.
class InterruptSignals : public QObject
{
    Q_OBJECT

public:
    explicit InterruptSignals(QObject* parent = nullptr);
    ~InterruptSignals() override;

    // The signal caught so far (also one that came while no event loop ran); 0: none.
    static int received();
    // "прервано пользователем (Ctrl-C)" and the like.
    static QString describe(int signalNumber);

Q_SIGNALS:
    void interrupted(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};

// Makes a write past the file-size limit (`ulimit -f`) fail with EFBIG,
// which every writer reports with its usual message, instead of ending the
// process by SIGXFSZ without a word. Called once at program start.
void ignoreFileSizeSignal();
