#include "sim/simulated_instrument.h"

#include "platform/pseudo_terminal.h"

#include <QStringList>

#include <cmath>

namespace {

struct FaultName
{
    SimOptions::Fault fault;
    const char* name;
};
constexpr FaultName kFaultNames[] = {
    {SimOptions::Fault::None, "none"},
    {SimOptions::Fault::WrongType, "wrong-type"},
    {SimOptions::Fault::WrongVersion, "wrong-version"},
    {SimOptions::Fault::RestartBefore, "restart-before"},
    {SimOptions::Fault::RestartDuring, "restart-during"},
    {SimOptions::Fault::Silence, "silence"},
    {SimOptions::Fault::Stall, "stall"},
    {SimOptions::Fault::OddCharacters, "odd"},
    {SimOptions::Fault::BadPair, "bad-pair"},
    {SimOptions::Fault::NoStart, "no-start"},
};

constexpr int kPaceTickMs = 5;

} // namespace

std::optional<SimOptions::Fault> SimOptions::faultFromName(const QString& name)
{
    for (const FaultName& f : kFaultNames)
        if (name == QLatin1String(f.name))
            return f.fault;
    return std::nullopt;
}

QStringList SimOptions::faultNames()
{
    QStringList out;
    for (const FaultName& f : kFaultNames)
        out << QLatin1String(f.name);
    return out;
}

SimulatedInstrument::SimulatedInstrument(SimArchive archive, SimOptions options, QObject* parent)
    : QObject(parent), m_archive(std::move(archive)), m_options(options),
      m_pty(new PseudoTerminal(this))
{
    m_pace.setTimerType(Qt::PreciseTimer);
    m_pace.setInterval(kPaceTickMs);
    connect(&m_pace, &QTimer::timeout, this, &SimulatedInstrument::pump);
    connect(m_pty, &PseudoTerminal::readyRead, this, &SimulatedInstrument::onReadyRead);
    connect(m_pty, &PseudoTerminal::readyWrite, this, &SimulatedInstrument::pump);
}

SimulatedInstrument::~SimulatedInstrument() = default;

std::unique_ptr<SimulatedInstrument> SimulatedInstrument::startDemo(QString* error)
{
    SimOptions o;
    o.charsPerSecond = SimOptions::kLineRate;
    o.growBy = 12;
    const QDateTime start = QDateTime(QDate::currentDate().addDays(-3), QTime(0, 0));
    auto sim =
        std::make_unique<SimulatedInstrument>(SimArchive::generate(2026, 432, start, 600), o);
    if (!sim->start()) {
        if (error)
            *error = sim->errorString();
        return nullptr;
    }
    return sim;
}

bool SimulatedInstrument::start()
{
    if (!m_pty->open()) {
        m_error = m_pty->errorString();
        return false;
    }
    return true;
}

QString SimulatedInstrument::devicePath() const
{
    return m_pty->devicePath();
}

QByteArray SimulatedInstrument::identification() const
{
    QByteArray id = SimArchive::toWire(QByteArray(1, char(m_options.typeCode)));
    id.append(char('0' + m_options.versionDigit));
    for (const int b : m_options.versionBytes)
        id.append(SimArchive::toWire(QByteArray(1, char(b))));
    return id;
}

QByteArray SimulatedInstrument::archiveStream() const
{
    return 'S' + SimArchive::toWire(m_archive.image()) + 'P';
}

void SimulatedInstrument::onReadyRead()
{
    const QByteArray in = m_pty->readAll();
    for (const char c : in)
        handleCommand(c);
}

void SimulatedInstrument::handleCommand(char c)
{
    if (c != 'V' && c != 'N')
        return;
    emit commandReceived(c);
    if (m_options.fault == SimOptions::Fault::Silence)
        return;
    // A new command ends whatever was still going out.
    if (c == 'V') {
        if (m_options.fault == SimOptions::Fault::RestartBefore && !m_restartDone) {
            m_restartDone = true;
            queue("Z", false);
            return;
        }
        QByteArray id = identification();
        if (m_options.fault == SimOptions::Fault::WrongType)
            id = SimArchive::toWire(QByteArray(1, char(22))) + id.mid(2);
        else if (m_options.fault == SimOptions::Fault::WrongVersion)
            id[2] = '2';
        queue(id, false);
        return;
    }
    QByteArray stream = archiveStream();
    const qsizetype half = 5 + ((stream.size() - 6) / 2 & ~qsizetype(1));
    switch (m_options.fault) {
    case SimOptions::Fault::RestartDuring:
        if (!m_restartDone) {
            m_restartDone = true;
            queue(stream.left(half) + 'Z', false);
            return;
        }
        break;
    case SimOptions::Fault::Stall:
        queue(stream.left(half), false);
        return;
    case SimOptions::Fault::OddCharacters:
        stream.remove(stream.size() - 2, 1);
        break;
    case SimOptions::Fault::BadPair:
        // 256: a low nibble "0" and a high nibble of 16 ("@")
        stream[half] = '0';
        stream[half + 1] = '@';
        break;
    case SimOptions::Fault::NoStart:
        stream.remove(0, 1);
        break;
    default:
        break;
    }
    queue(stream, true);
}

void SimulatedInstrument::queue(const QByteArray& chars, bool isArchive)
{
    m_out = chars;
    m_outPos = 0;
    m_sendingArchive = isArchive;
    m_burstSent = 0;
    m_burstClock.start();
    if (m_options.charsPerSecond > 0)
        m_pace.start();
    pump();
}

void SimulatedInstrument::pump()
{
    qsizetype want = m_out.size() - m_outPos;
    if (want <= 0) {
        m_pace.stop();
        return;
    }
    if (m_options.charsPerSecond > 0) {
        // Paced by the clock, not by the tick count, so late ticks catch up
        // and the average rate is exact.
        const auto due =
            qint64(std::floor(m_burstClock.nsecsElapsed() * 1e-9 * m_options.charsPerSecond)) + 1;
        want = std::min<qsizetype>(want, qsizetype(due - m_burstSent));
        if (want <= 0)
            return;
    }
    const std::int64_t n = m_pty->write(m_out.constData() + m_outPos, want);
    if (n <= 0)
        return; // the line is full: readyWrite or the next tick goes on
    m_outPos += n;
    m_burstSent += n;
    if (m_outPos < m_out.size())
        return;
    m_pace.stop();
    m_out.clear();
    m_outPos = 0;
    if (m_sendingArchive) {
        m_sendingArchive = false;
        ++m_completed;
        if (m_options.growBy > 0)
            m_archive.grow(m_options.growBy);
        emit transferFinished();
    }
}
