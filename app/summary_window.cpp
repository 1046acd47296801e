#include "app/summary_window.h"

#include "app/about.h"
#include "app/error_report.h"
#include "components/wait_cursor.h"
#include "data/count_text.h"
#include "data/dbf_table.h"
#include "data/recording_summary_text.h"
#include "data/statistics.h"
#include "data/summary_options.h"
#include "output/protocol_content.h"
#include "output/protocol_preview.h"
#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/dialog_service.h"
#include "platform/output_target.h"
#include "platform/printing_service.h"
#include "platform/settings_store.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

namespace {

const QString kTitle = QStringLiteral("Сводка");

QString limitField(const std::optional<double>& v, const RegionalSettings& rs)
{
    return v ? floatToText(*v, rs) : QString();
}

// A table that asks for room for all of its cells, so that the window can
// open showing them whole; the layout gives less only where the screen has
// no more, and the table scrolls then.
class WholeTable : public QTableWidget
{
public:
    using QTableWidget::QTableWidget;

    QSize sizeHint() const override
    {
        int w = 2 * frameWidth(), h = 2 * frameWidth();
        // The contents' widths: the stretched last column may be narrower
        // than its text before the window has a size.
        for (int c = 0; c < columnCount(); ++c)
            w += std::max(sizeHintForColumn(c), horizontalHeader()->isHidden()
                                                    ? 0
                                                    : horizontalHeader()->sectionSizeHint(c));
        for (int r = 0; r < rowCount(); ++r)
            h += rowHeight(r);
        if (!horizontalHeader()->isHidden())
            h += horizontalHeader()->sizeHint().height();
        return {w, h};
    }
    QSize minimumSizeHint() const override
    {
        const int line = verticalHeader()->defaultSectionSize();
        return {std::min(sizeHint().width(), 120), std::min(sizeHint().height(), 4 * line)};
    }
};

// The rows of the figures split at the channels' heading row: what
// describes the recording, and what describes each channel (heading first).
std::pair<QList<QStringList>, QList<QStringList>> splitFigures(const QList<QStringList>& rows)
{
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (rows[i].size() == 3 && rows[i].first().isEmpty())
            return {rows.first(i), rows.sliced(i)};
    return {rows, {}};
}

} // namespace

SummaryWindow::SummaryWindow(const DbfTable& table, const QList<quint32>& records,
                             const RegionalSettings& rs, SettingsStore& settings,
                             PrintingService& printing, QWidget* parent)
    : QDialog(parent), m_table(table), m_records(records), m_rs(rs), m_settings(settings),
      m_printing(printing)
{
    setObjectName(QStringLiteral("SummaryWindow"));
    setWindowTitle(kTitle);
    if (m_settings.isOpen())
        m_options = loadTableSummaryOptions(m_settings, m_table.tableFile());

    Period = new QLabel(this);
    Period->setObjectName(QStringLiteral("Period"));
    const auto field = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaximumWidth(90);
        e->setClearButtonEnabled(true);
        connect(e, &QLineEdit::editingFinished, this, &SummaryWindow::limitsEdited);
        return e;
    };
    Lower1 = field("Lower1", limitField(m_options.lower[0], m_rs));
    Upper1 = field("Upper1", limitField(m_options.upper[0], m_rs));
    Lower2 = field("Lower2", limitField(m_options.lower[1], m_rs));
    Upper2 = field("Upper2", limitField(m_options.upper[1], m_rs));
    ActivationEnergy = field("ActivationEnergy", floatToText(m_options.activationEnergy, m_rs));
    Problem = new QLabel(this);
    Problem->setObjectName(QStringLiteral("Problem"));
    Problem->setStyleSheet(QStringLiteral("color: #b00000"));

    // Each table keeps its own limits: the heading says whose they are.
    LimitsOf = new QLabel(
        QStringLiteral("Границы таблицы %1:").arg(QFileInfo(m_table.tableFile()).fileName()), this);
    LimitsOf->setObjectName(QStringLiteral("LimitsOf"));
    auto* limits = new QHBoxLayout;
    limits->addWidget(LimitsOf);
    limits->addSpacing(8);
    const auto labelled = [&](const QString& text, QWidget* w) {
        limits->addWidget(new QLabel(text, this));
        limits->addWidget(w);
    };
    labelled(QStringLiteral("T1 от"), Lower1);
    labelled(QStringLiteral("до"), Upper1);
    limits->addSpacing(16);
    labelled(QStringLiteral("T2 от"), Lower2);
    labelled(QStringLiteral("до"), Upper2);
    limits->addSpacing(16);
    labelled(QStringLiteral("ΔH, кДж/моль"), ActivationEnergy);
    limits->addStretch();

    // Rows as tight as the text allows: the channel figures are two dozen lines.
    const int line = fontMetrics().height() + 6;
    const auto grid = [this, line](const char* name) {
        auto* t = new WholeTable(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->verticalHeader()->hide();
        t->verticalHeader()->setMinimumSectionSize(line);
        t->verticalHeader()->setDefaultSectionSize(line);
        t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        t->horizontalHeader()->setStretchLastSection(true);
        return t;
    };
    Figures = grid("Figures");
    Channels = grid("Channels");
    Days = grid("Days");
    // The channels on the left; the recording above the days on the right.
    auto* right = new QVBoxLayout;
    right->addWidget(Figures);
    right->addWidget(Days, 1);
    auto* tables = new QHBoxLayout;
    tables->addWidget(Channels, 0, Qt::AlignTop);
    tables->addLayout(right, 1);
    Figures->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    Channels->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    CopyButton = new QPushButton(QStringLiteral("Копировать"), this);
    CopyButton->setObjectName(QStringLiteral("CopyButton"));
    PrintButton = new QPushButton(QStringLiteral("Печать"), this);
    PrintButton->setObjectName(QStringLiteral("PrintButton"));
    ProtocolButton = new QPushButton(QStringLiteral("Протокол…"), this);
    ProtocolButton->setObjectName(QStringLiteral("ProtocolButton"));
    CloseButton = new QPushButton(QStringLiteral("Закрыть"), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    connect(CopyButton, &QPushButton::clicked, this, &SummaryWindow::copyToClipboard);
    connect(PrintButton, &QPushButton::clicked, this, &SummaryWindow::print);
    connect(ProtocolButton, &QPushButton::clicked, this, &SummaryWindow::showProtocol);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    Written = new QLabel(this);
    Written->setObjectName(QStringLiteral("Written"));
    Written->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Problem, 1);
    buttons->addWidget(Written, 1);
    buttons->addWidget(CopyButton);
    buttons->addWidget(PrintButton);
    buttons->addWidget(ProtocolButton);
    buttons->addWidget(CloseButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Period);
    layout->addLayout(limits);
    layout->addLayout(tables, 1);
    layout->addLayout(buttons);

    recompute();
    fitToContents();
}

QString SummaryWindow::periodText() const
{
    return m_records.isEmpty() ? QStringLiteral("Вся таблица: ") +
                                     countText(m_summary.records, m_rs, QStringLiteral("запись"),
                                               QStringLiteral("записи"), QStringLiteral("записей"))
                               : QStringLiteral("Выделено: ") +
                                     countText(m_records.size(), m_rs, QStringLiteral("строка"),
                                               QStringLiteral("строки"), QStringLiteral("строк"));
}

void SummaryWindow::fitToContents()
{
    QSize want = sizeHint();
    // The frame and caption bar that the window system adds.
    const QSize frame(16, 40);
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        want = want.boundedTo(s->availableGeometry().size() - frame);
    resize(want.expandedTo(minimumSizeHint()));
}

void SummaryWindow::limitsEdited()
{
    SummaryOptions o;
    QLineEdit* const limitFields[2][2] = {{Lower1, Upper1}, {Lower2, Upper2}};
    for (int c = 0; c < 2; ++c) {
        for (int side = 0; side < 2; ++side) {
            QLineEdit* e = limitFields[c][side];
            std::optional<double>& v = side == 0 ? o.lower[size_t(c)] : o.upper[size_t(c)];
            if (!parseOptionalNumber(e->text(), m_rs, v)) {
                Problem->setText(QStringLiteral("«%1» — не число").arg(e->text()));
                e->setFocus();
                return;
            }
        }
    }
    // Nothing that the command would refuse is taken or stored.
    QString problem = readActivationEnergy(ActivationEnergy->text(), m_rs, o.activationEnergy);
    if (problem.isEmpty())
        problem = limitsProblem(o, m_rs);
    if (!problem.isEmpty()) {
        Problem->setText(problem);
        return;
    }
    Problem->clear();
    if (o.lower == m_options.lower && o.upper == m_options.upper &&
        o.activationEnergy == m_options.activationEnergy)
        return;
    m_options = o;
    if (m_settings.isOpen())
        saveTableSummaryOptions(m_settings, m_table.tableFile(), m_options);
    recompute();
}

void SummaryWindow::recompute()
{
    const WaitCursor wait;
    m_summary = m_records.isEmpty() ? summarizeTable(m_table, m_options, m_rs)
                                    : summarizeRecords(m_table, m_records, m_options, m_rs);
    Period->setText(periodText());
    const auto [recording, channels] = splitFigures(summaryRows(m_summary, m_rs));
    fill(Figures, recording, false);
    fill(Channels, channels, true);
    fill(Days, dayRows(m_summary, m_rs), true);
}

void SummaryWindow::fill(QTableWidget* table, const QList<QStringList>& rows, bool headingRow)
{
    table->clear();
    qsizetype columns = 0;
    for (const QStringList& row : rows)
        columns = std::max(columns, row.size());
    table->setColumnCount(int(columns));
    const qsizetype first = headingRow ? 1 : 0;
    table->setRowCount(int(std::max<qsizetype>(0, rows.size() - first)));
    if (headingRow && !rows.isEmpty()) {
        table->setHorizontalHeaderLabels(rows.first());
        table->horizontalHeader()->show();
    } else {
        table->horizontalHeader()->hide();
    }
    for (qsizetype r = first; r < rows.size(); ++r)
        for (qsizetype c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            // Figures line up on the right, as numbers do; labels stay left.
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(int(r - first), int(c), item);
        }
    table->resizeColumnsToContents();
    table->updateGeometry();
}

void SummaryWindow::copyToClipboard()
{
    QApplication::clipboard()->setText(periodText() + u'\n' +
                                       tabSeparatedText(summaryRows(m_summary, m_rs)) + u'\n' +
                                       tabSeparatedText(dayRows(m_summary, m_rs)));
}

void SummaryWindow::print()
{
    try {
        if (m_printing.hasPrinter()) {
            const ProtocolDocument page(printedContent(), m_rs);
            keepWritten(printProtocol(page, m_printing, kTitle, this));
            return;
        }
        if (!m_dialogs)
            throw AppError(PrintingService::kNoPrinterText);
    } catch (...) {
        if (!m_errorReport)
            throw;
        m_errorReport();
        return;
    }
    offerPdf();
}

ProtocolContent SummaryWindow::printedContent() const
{
    ProtocolContent c;
    c.tableFile = m_table.tableFile();
    c.scope = periodText();
    c.summary = m_summary;
    c.withChart = false;
    c.withReadings = false;
    c.program = kAppTitle + u' ' + get_file_version(QCoreApplication::applicationFilePath());
    c.made = QDateTime::currentDateTime();
    return c;
}

void SummaryWindow::showProtocol()
{
    if (!m_dialogs)
        return;
    std::unique_ptr<ProtocolDocument> document;
    QList<PdfAttachment> attachments;
    try {
        const WaitCursor wait;
        const QList<quint32>* chosen = m_records.isEmpty() ? nullptr : &m_records;
        ProtocolContent content =
            collectProtocol(m_table, chosen, m_options, ProtocolReadings::Auto, m_rs);
        content.program = printedContent().program;
        attachments = protocolAttachments(m_table, chosen, content);
        document = std::make_unique<ProtocolDocument>(std::move(content), m_rs);
    } catch (...) {
        if (!m_errorReport)
            throw;
        m_errorReport();
        return;
    }
    ProtocolPreview preview(*document, std::move(attachments), *m_dialogs, m_printing, this);
    preview.setTableFiles({m_table.tableFile(), m_table.indexFile()});
    preview.setSaveSuggestion(m_saveFolder, m_saveName);
    preview.setErrorReport(m_errorReport);
    m_dialogs->execModal(preview);
    keepWritten(preview.writtenFile());
}

void SummaryWindow::offerPdf()
{
    // The default error report's message, with a way to keep the page all the same.
    if (m_dialogs->message(this, errorReportText(PrintingService::kNoPrinterText), kAppTitle,
                           DialogService::Icon::Stop,
                           DialogService::Buttons::SavePdfOk) != DialogService::Answer::Yes)
        return;
    DialogService::FileRequest request;
    request.filter = QStringLiteral("Документ PDF|*.pdf");
    request.defaultExtension = QStringLiteral(".pdf");
    request.initialDir = m_saveFolder;
    request.fileName =
        (m_saveName.isEmpty() ? kTitle : kTitle + u' ' + m_saveName) + QStringLiteral(".pdf");
    const DialogService::FileResult chosen = m_dialogs->saveFile(this, request);
    if (!chosen.accepted || chosen.fileName.isEmpty())
        return;
    try {
        const QString written = saveAsPdf(chosen.fileName);
        Written->setText(QStringLiteral("Сохранено в %1").arg(QDir::toNativeSeparators(written)));
    } catch (...) {
        if (!m_errorReport)
            throw;
        m_errorReport();
    }
}

QString SummaryWindow::saveAsPdf(const QString& fileName)
{
    if (const QString refusal = refusedOutput(fileName, {m_table.tableFile(), m_table.indexFile()});
        !refusal.isEmpty())
        throw AppError(refusal);
    const ProtocolDocument page(printedContent(), m_rs);
    writeProtocolPdf(page, fileName, {});
    return keepWritten(QFileInfo(fileName).absoluteFilePath());
}

QString SummaryWindow::keepWritten(const QString& file)
{
    if (!file.isEmpty())
        m_writtenFile = file;
    return file;
}
