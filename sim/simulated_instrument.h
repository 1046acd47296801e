#pragma once

#include "sim/sim_archive.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class PseudoTerminal;

// The instrument's behaviour, and the faults it can show on request.
struct SimOptions
{
    enum class Fault
    {
        None,
        WrongType,     // identifies as another instrument type
        WrongVersion,  // another version digit
        RestartBefore, // answers the first "V" with "Z"
        RestartDuring, // sends "Z" halfway through the first archive
        Silence,       // never answers
        Stall,         // stops halfway through the archive
        OddCharacters, // one character short before the end marker
        BadPair,       // a character pair outside 0..255 in the records
        NoStart,       // the archive without its start marker
    };

    Fault fault = Fault::None;
    // Characters a second on the line; 0 sends as fast as the line takes them.
    // The real line: 9600 baud, 11 bits a character.
    double charsPerSecond = 0;
    int growBy = 0; // newer records added after every complete download
    int typeCode = 6;
    int versionDigit = 1;
    int versionBytes[3] = {3, 2, 1}; // byte 0, 1, 2: shown as 01.02.03

    static constexpr double kLineRate = 9600.0 / 11.0;
    static std::optional<Fault> faultFromName(const QString& name);
    static QStringList faultNames();
};

// A simulated "ФЛН-РК2" on a pseudo-terminal, speaking the wire protocol from
// the instrument's side. It lives on the thread that created it and is
// driven by its event loop, so it can share one process with the dialog.
class SimulatedInstrument : public QObject
{
    Q_OBJECT
public:
    SimulatedInstrument(SimArchive archive, SimOptions options, QObject* parent = nullptr);
    ~SimulatedInstrument() override;

    // The instrument of the demo mode: a few days of records at the line
    // rate, a dozen newer ones after every download so that Append has work.
    // Started already; null (with `error`) when no pseudo-terminal can be had.
    static std::unique_ptr<SimulatedInstrument> startDemo(QString* error = nullptr);

    bool start(); // false: see errorString
    QString devicePath() const;
    QString errorString() const { return m_error; }

    const SimArchive& archive() const { return m_archive; }
    // The identification block this instrument answers "V" with.
    QByteArray identification() const;
    // The characters a download of the current archive carries, "S" to "P".
    QByteArray archiveStream() const;
    int completedTransfers() const { return m_completed; }
    // Characters still waiting to go out.
    qsizetype pending() const { return m_out.size() - m_outPos; }

signals:
    void commandReceived(char command);
    // Every character of an archive (through "P") has been handed to the line.
    void transferFinished();

private:
    void onReadyRead();
    void handleCommand(char c);
    void queue(const QByteArray& chars, bool isArchive);
    void pump();

    SimArchive m_archive;
    SimOptions m_options;
    PseudoTerminal* m_pty;
    QTimer m_pace;
    QElapsedTimer m_burstClock;
    qint64 m_burstSent = 0;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    bool m_sendingArchive = false;
    bool m_restartDone = false;
    int m_completed = 0;
    QString m_error;
};
