#pragma once

#include "data/chart_data.h"
#include "data/recording_summary.h"
#include "platform/regional_settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSizeF>
#include <QString>

#include <functional>
#include <memory>

class QPainter;
class QPagedPaintDevice;

// The protocol ("Протокол") of a recording: one document that a user hands
// over, on A4 portrait pages. A heading (the table, the period, records,
// interval, gaps, clock steps back, limits, ΔH, the program), the verdict of
// each channel on its limits, the figures of the summary, the chart of T1 and
// T2 with the limit lines, the table per day and, when asked, the readings in
// compact blocks side by side. Every page carries the table's file name and
// "Страница k из n" at its top and when the protocol was made at its foot.
// Every figure is the summary's text: the protocol computes none itself.

// One reading as the table has it, with the side of its limits it lies on.
struct ProtocolReading
{
    QString moment; // DATE and TIME as the table writes them
    QString t1, t2, mode, comment;
    // -1: below the lower limit, 1: above the upper one, 0: within or no limit.
    qint8 side1 = 0, side2 = 0;
};

struct ProtocolContent
{
    QString tableFile; // the table's path
    // Which rows, said after the title ("Вся таблица: 4 записи"); empty: nothing.
    QString scope;
    RecordingSummary summary;
    bool withChart = true;
    ChartPoints chart; // both curves, in ascending order of X
    bool withReadings = false;
    QList<ProtocolReading> readings;
    // Why the readings are left out, said under the heading; empty: nothing to say.
    QString readingsNote;
    QString program; // "ФЛН-РК2 1.0.0.16"
    QDateTime made;  // local time
};

class ProtocolDocument
{
public:
    // Lays the pages out. The chart needs a QApplication (it is drawn by the
    // chart component, a widget that is never shown).
    ProtocolDocument(ProtocolContent content, const RegionalSettings& rs);
    ~ProtocolDocument();
    ProtocolDocument(const ProtocolDocument&) = delete;
    ProtocolDocument& operator=(const ProtocolDocument&) = delete;

    const ProtocolContent& content() const;
    int pageCount() const;
    // A4 portrait in points.
    static QSizeF pageSize() { return {595.28, 841.89}; }
    // Draws page `page` (0-based); the painter's unit is a point, its origin
    // the paper's top-left corner, whatever the device and zoom.
    void paintPage(QPainter& painter, int page) const;

    // The smallest text size of the pages, in points.
    static constexpr double kBodyPoints = 9;

private:
    struct Layout;
    std::unique_ptr<Layout> m;
};

// Draws the pages onto a paged device (a printer, a PDF writer) set up for
// A4 portrait with its full page; `progress(done, total)` after each page,
// false cancels. Returns false when cancelled.
bool paintProtocolPages(const ProtocolDocument& document, QPagedPaintDevice& device,
                        const QList<int>& pages,
                        const std::function<bool(int done, int total)>& progress = {});

// A file carried inside the PDF, listed and extracted by any PDF reader's
// attachments.
struct PdfAttachment
{
    QString name;
    QByteArray data;
    QString mimeType;
};

// Writes the protocol as a PDF file with `attachments`, unseen until whole
// (a cancel or a failure leaves an older file of that name as it was).
// Throws AppError ("Не удалось записать файл X: …") when it cannot be written.
bool writeProtocolPdf(const ProtocolDocument& document, const QString& fileName,
                      const QList<PdfAttachment>& attachments,
                      const std::function<bool(int done, int total)>& progress = {});
