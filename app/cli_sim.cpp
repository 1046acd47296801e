// `fln sim [options]`: the simulated instrument on a pseudo-terminal, for the
// download dialog, `fln download` or any serial program to talk to.
#include "app/cli_commands.h"

#include "app/command_line.h"
#include "platform/console_output.h"
#include "sim/simulated_instrument.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <stdexcept>

namespace {

// The parser names the executable in its usage line; the user typed "fln sim".
QString helpOf(const QCommandLineParser& p)
{
    QString text = p.helpText();
    const qsizetype options = text.indexOf(QLatin1String(" [options]"));
    if (text.startsWith(QLatin1String("Usage: ")) && options > 0)
        text.replace(7, options - 7, QStringLiteral("fln sim"));
    return text;
}

int usage(const QString& error, const QString& help)
{
    writeErr(QStringLiteral("fln sim: %1\n\n").arg(error) + help);
    return kExitUsage;
}

} // namespace

int runSimCommand(const CommandLineOptions& options)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("The simulated instrument on a pseudo-terminal. "
                                               "Prints the device path on its first line."));
    const QCommandLineOption records(QStringLiteral("records"),
                                     QStringLiteral("Records in the archive (0..5957)."),
                                     QStringLiteral("N"), QStringLiteral("500"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the generated archive."),
                                  QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("Time of the first record, yyyy-MM-ddTHH:mm:ss."),
                                   QStringLiteral("TIME"), QStringLiteral("2026-01-10T00:00:00"));
    const QCommandLineOption interval(QStringLiteral("interval"),
                                      QStringLiteral("Seconds between records."),
                                      QStringLiteral("S"), QStringLiteral("600"));
    const QCommandLineOption csv(QStringLiteral("csv"),
                                 QStringLiteral("Read the archive from FILE "
                                                "(MODE;EN_CH;T_1;T_2;DATE;TIME lines)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption fast(QStringLiteral("fast"),
                                  QStringLiteral("Send as fast as the line takes the characters "
                                                 "instead of 9600 baud."));
    const QCommandLineOption fault(
        QStringLiteral("fault"),
        QStringLiteral("Misbehave: %1.").arg(SimOptions::faultNames().join(QStringLiteral(", "))),
        QStringLiteral("NAME"), QStringLiteral("none"));
    const QCommandLineOption grow(QStringLiteral("grow"),
                                  QStringLiteral("Add N newer records after every download."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    p.addOptions({records, seed, start, interval, csv, fast, fault, grow});
    p.addHelpOption();
    if (!p.parse(QStringList{QStringLiteral("fln sim")} + options.arguments))
        return usage(p.errorText(), helpOf(p));
    if (p.isSet(QStringLiteral("help"))) {
        writeOut(helpOf(p));
        return kExitDone;
    }
    if (!p.positionalArguments().isEmpty())
        return usage(
            QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first()),
            helpOf(p));

    bool ok = false;
    const int recordCount = p.value(records).toInt(&ok);
    if (!ok || recordCount < 0 || recordCount > SimArchive::kMaxRecords)
        return usage(QStringLiteral("--records must be 0..%1").arg(SimArchive::kMaxRecords),
                     helpOf(p));
    const uint seedValue = p.value(seed).toUInt(&ok);
    if (!ok)
        return usage(QStringLiteral("--seed must be a number"), helpOf(p));
    const QDateTime first = QDateTime::fromString(p.value(start), Qt::ISODate);
    if (!first.isValid() || first.date().year() < 2000 || first.date().year() > 2255)
        return usage(QStringLiteral("--start must be a time in 2000..2255"), helpOf(p));
    const int seconds = p.value(interval).toInt(&ok);
    if (!ok || seconds <= 0)
        return usage(QStringLiteral("--interval must be a positive number"), helpOf(p));
    const int growBy = p.value(grow).toInt(&ok);
    if (!ok || growBy < 0)
        return usage(QStringLiteral("--grow must be 0 or more"), helpOf(p));
    const auto faultValue = SimOptions::faultFromName(p.value(fault));
    if (!faultValue)
        return usage(QStringLiteral("unknown fault '%1'").arg(p.value(fault)), helpOf(p));

    SimArchive archive;
    try {
        archive = p.isSet(csv) ? SimArchive::fromCsv(p.value(csv))
                               : SimArchive::generate(seedValue, recordCount, first, seconds);
    } catch (const std::runtime_error& e) {
        writeErr(QStringLiteral("fln sim: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return kExitFailed;
    }

    SimOptions o;
    o.fault = *faultValue;
    o.charsPerSecond = p.isSet(fast) ? 0 : SimOptions::kLineRate;
    o.growBy = growBy;
    SimulatedInstrument sim(std::move(archive), o);
    if (!sim.start()) {
        writeErr(QStringLiteral("fln sim: no pseudo-terminal: %1\n").arg(sim.errorString()));
        return kExitFailed;
    }
    // The device's path is read by whoever started the simulator, at once.
    writeOut(sim.devicePath() + u'\n');
    flushOut();
    QObject::connect(&sim, &SimulatedInstrument::commandReceived, [](char c) {
        writeErr(QStringLiteral("fln sim: command %1\n").arg(QChar::fromLatin1(c)));
    });
    QObject::connect(&sim, &SimulatedInstrument::transferFinished, [&sim] {
        writeErr(QStringLiteral("fln sim: archive sent (%1 records now)\n")
                     .arg(sim.archive().records().size()));
    });
    // Runs until the process is stopped.
    return QCoreApplication::exec();
}
