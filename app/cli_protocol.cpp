// `fln protocol TABLE -o OUT.pdf [--from --to] [limits] [--readings|--no-readings]`:
// the protocol of the whole recording or of the period. The table is only read.
#include "app/about.h"
#include "app/cli_commands.h"
#include "app/cli_progress.h"
#include "app/command_line.h"
#include "data/dbf_table.h"
#include "data/summary_options.h"
#include "output/protocol_content.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/console_output.h"
#include "platform/interrupt_signals.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

int runProtocolCommand(const CommandLineOptions& o)
{
    // Ctrl-C and the stop signals end the job between pages, with no file left.
    InterruptSignals interrupts;
    const auto stopWhenInterrupted = [] {
        if (const int s = InterruptSignals::received())
            throw AppError(QStringLiteral("Протокол не записан: ") + InterruptSignals::describe(s));
    };
    const RegionalSettings rs = commandRegionalSettings(o);
    const SummaryOptions options = commandSummaryOptions(o, rs);
    const ProtocolReadings readings = o.isSet(QStringLiteral("readings")) ? ProtocolReadings::On
                                      : o.isSet(QStringLiteral("no-readings"))
                                          ? ProtocolReadings::Off
                                          : ProtocolReadings::Auto;
    const QString output = o.value(QStringLiteral("o"));

    DbfTable table;
    openTableForReading(table, o);
    const std::optional<QList<quint32>> period = periodRows(table, o, rs);
    const QList<quint32>* rows = period ? &*period : nullptr;
    ProtocolContent content = collectProtocol(table, rows, options, readings, rs);
    content.program = kAppTitle + u' ' + get_file_version(QCoreApplication::applicationFilePath());
    const QList<PdfAttachment> attachments = protocolAttachments(table, rows, content);
    stopWhenInterrupted();
    const ProtocolDocument document(std::move(content), rs);
    const int pages = document.pageCount();
    CliProgressBar bar(QStringLiteral("Протокол ..."));
    const auto show = [&bar, pages](int done) {
        bar.show(int(qint64(done) * 100 / std::max(1, pages)),
                 QStringLiteral("Страница %1 из %2").arg(done).arg(pages));
    };
    show(0);
    const bool written = writeProtocolPdf(document, output, attachments, [&show](int done, int) {
        show(done);
        return InterruptSignals::received() == 0;
    });
    bar.finish();
    if (!written)
        stopWhenInterrupted();
    writeOut(QFileInfo(output).absoluteFilePath() + u'\n');
    return kExitDone;
}
