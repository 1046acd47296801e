// The status bar of the main window, below the grid (our own): how many
// records the table has and how many rows are selected, what the footers
// sum up, the table's period, and after an export, a print or a save what
// was written where, with "Открыть папку".
#include "app/main.h"

#include "app/app_state.h"
#include "components/data_grid.h"
#include "data/count_text.h"
#include "data/recording_summary_text.h"
#include "data/table_period.h"
#include "platform/xlsx_spreadsheet.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace {

QLabel* statusLabel(QStatusBar* bar, const char* name)
{
    auto* label = new QLabel(bar);
    label->setObjectName(QString::fromLatin1(name));
    label->hide();
    return label;
}

void setStatusText(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

} // namespace

QString TForm1::recordsText(qint64 records)
{
    return QStringLiteral("В таблице %1 %2")
        .arg(groupedCount(records),
             russianPlural(records, QStringLiteral("запись"), QStringLiteral("записи"),
                           QStringLiteral("записей")));
}

QString TForm1::selectedText(qint64 rows)
{
    return QStringLiteral("%1 %2 %3")
        .arg(russianPlural(rows, QStringLiteral("выделена"), QStringLiteral("выделено"),
                           QStringLiteral("выделено")),
             groupedCount(rows),
             russianPlural(rows, QStringLiteral("строка"), QStringLiteral("строки"),
                           QStringLiteral("строк")));
}

void TForm1::buildStatusBar()
{
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    OutputStatus = statusLabel(StatusBar1, "OutputStatus");
    OutputStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    OpenFolder1 = new QToolButton(StatusBar1);
    OpenFolder1->setObjectName(QStringLiteral("OpenFolder1"));
    OpenFolder1->setText(QStringLiteral("Открыть папку"));
    OpenFolder1->setAutoRaise(true);
    OpenFolder1->hide();
    connect(OpenFolder1, &QToolButton::clicked, this, &TForm1::OpenFolder1Click);
    StatusBar1->addWidget(OutputStatus, 1);
    StatusBar1->addWidget(OpenFolder1);

    RecordsStatus = statusLabel(StatusBar1, "RecordsStatus");
    SelectedStatus = statusLabel(StatusBar1, "SelectedStatus");
    FootersStatus = statusLabel(StatusBar1, "FootersStatus");
    PeriodStatus = statusLabel(StatusBar1, "PeriodStatus");
    for (QLabel* l : {RecordsStatus, SelectedStatus, FootersStatus, PeriodStatus})
        StatusBar1->addPermanentWidget(l);
}

void TForm1::updateStatus()
{
    if (!StatusBar1)
        return;
    if (!m_state.tableOpen || !Dbf1.isOpen()) {
        for (QLabel* l : {RecordsStatus, SelectedStatus, FootersStatus, PeriodStatus})
            setStatusText(l, QString());
        return;
    }
    setStatusText(RecordsStatus, recordsText(Dbf1.rowCount()));
    const int selected = DBGridPro1->selectionCount();
    QString text = selectedText(selected);
    text[0] = text[0].toUpper();
    setStatusText(SelectedStatus, text);
    // The footers' own rule: two or more rows are summed up, else the table.
    setStatusText(FootersStatus, selected >= 2 ? QStringLiteral("Итоги: ") + selectedText(selected)
                                               : QStringLiteral("Итоги: вся таблица"));
    setStatusText(PeriodStatus, m_periodText);
}

void TForm1::updateTablePeriod()
{
    const std::optional<TablePeriod> period = tablePeriod(Dbf1, m_state.regional);
    m_periodText = period ? QStringLiteral("Период: %1 – %2")
                                .arg(momentText(period->first, m_state.regional),
                                     momentText(period->last, m_state.regional))
                          : QString();
}

void TForm1::showOutput(const QString& text, const QString& file)
{
    m_outputFile = file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
    setStatusText(OutputStatus, text);
    OpenFolder1->setVisible(!m_outputFile.isEmpty());
}

void TForm1::showFileOutput(const QString& what, const QString& file)
{
    showOutput(QStringLiteral("%1: %2").arg(what, QDir::toNativeSeparators(file)), file);
}

std::function<void(const QString&, const QString&)> TForm1::reportPrintedStatus()
{
    return [this](const QString& file, const QString& printer) {
        if (file.isEmpty())
            showOutput(QStringLiteral("Отчет отправлен на принтер «%1»").arg(printer), QString());
        else
            showFileOutput(QStringLiteral("Отчет сохранен"), file);
    };
}

std::function<bool(const QString&)> TForm1::desktopOpener() const
{
    return m_openWithDesktop ? m_openWithDesktop : std::function(XlsxSpreadsheet::openWithDesktop);
}

void TForm1::OpenFolder1Click()
{
    if (!m_outputFile.isEmpty())
        openFolderOf(m_outputFile);
}

void TForm1::openFolderOf(const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!desktopOpener()(folder))
        m_dialogs.message(
            this,
            QStringLiteral("Не удается открыть папку %1").arg(QDir::toNativeSeparators(folder)),
            QStringLiteral("Ошибка"), DialogService::Icon::Stop, DialogService::Buttons::Ok);
}
