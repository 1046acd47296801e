// A full download of the largest archive (5,957 records) from the simulated
// instrument at the real line rate, side by side with the time the line
// itself needs for those characters (11 bits a character at 9600 baud).
// The simulator runs in a child process, so the CPU time measured here is
// the download dialog's and the port component's alone.
//
//   bench_download [--records N]
#include "data/archive_image.h"
#include "device/receive.h"
#include "sim/simulated_instrument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>

#include <cstdio>
#include <ctime>

namespace {

class SilentDialogs : public DialogService
{
public:
    QStringList messages;
    Answer message(QWidget*, const QString& text, const QString&, Icon, Buttons) override
    {
        messages << text;
        return Answer::Ok;
    }
    FileResult openFile(QWidget*, const FileRequest&) override { return {}; }
    FileResult saveFile(QWidget*, const FileRequest&) override { return {}; }
    bool chooseColor(QWidget*, QColor&) override { return false; }
    bool printSetup(QWidget*, QPrinter&, const PrintRequest&) override { return false; }
    int execModal(QDialog&) override { return 0; }
};

int runSimulator(int records)
{
    SimOptions o;
    o.charsPerSecond = SimOptions::kLineRate;
    SimulatedInstrument sim(
        SimArchive::generate(11, records, QDateTime(QDate(2026, 1, 1), QTime(0, 0)), 600), o);
    if (!sim.start())
        return 1;
    std::printf("%s\n", qPrintable(sim.devicePath()));
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    int records = 5957;
    bool simulator = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--records" && i + 1 < argc)
            records = QByteArray(argv[++i]).toInt();
        else if (QByteArray(argv[i]) == "--simulator")
            simulator = true;
    }
    if (simulator) {
        QCoreApplication app(argc, argv);
        return runSimulator(records);
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QProcess child;
    child.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--simulator"), QStringLiteral("--records"), QString::number(records)});
    if (!child.waitForReadyRead(10000)) {
        std::fprintf(stderr, "bench_download: the simulator did not start\n");
        return 1;
    }
    const QString device = QString::fromLocal8Bit(child.readLine()).trimmed();

    ArchiveImage archive;
    SilentDialogs dialogs;
    SerialPortMap ports;
    ports.setDevice(1, device);
    ports.setDevice(2, QStringLiteral("/nonexistent/tty"));
    TForm2 form(archive, dialogs, ports);

    QElapsedTimer wall;
    std::clock_t cpuStart = 0;
    // "N" goes out from the request timer; the clocks start right after it.
    QObject::connect(form.Timer2, &QTimer::timeout, [&] {
        wall.start();
        cpuStart = std::clock();
    });
    QSignalSpy finished(&form, &QDialog::finished);
    form.open();
    const int lineChars = 1 + 4 + records * 22 + 1;
    const double lineSeconds = lineChars * 11.0 / 9600.0;
    finished.wait(int(lineSeconds * 1000) + 20000);
    const double wallSeconds = wall.isValid() ? wall.nsecsElapsed() * 1e-9 : 0;
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    child.kill();
    child.waitForFinished();

    if (finished.isEmpty() || finished.first().first().toInt() != 1 ||
        archive.decodedLength != 2 + 11 * records) {
        std::fprintf(stderr, "bench_download: the download did not complete\n");
        return 1;
    }
    std::printf("records                  %d\n", records);
    std::printf("characters S..P          %d\n", lineChars);
    std::printf("line time (9600 8N2)     %.3f s\n", lineSeconds);
    std::printf("wall time \"N\" to end     %.3f s\n", wallSeconds);
    std::printf("wall / line              %.4f (%+.2f %%)\n", wallSeconds / lineSeconds,
                (wallSeconds / lineSeconds - 1) * 100);
    std::printf("program CPU time         %.3f s\n", cpuSeconds);
    std::printf("CPU / wall               %.2f %%\n", cpuSeconds / wallSeconds * 100);
    return 0;
}
