#pragma once

#include "output/protocol_document.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QStringList>

#include <functional>

class DialogService;
class PrintingService;
class QLabel;

// The pages of a protocol one under the other at the view's width, drawn
// only where they are visible.
class ProtocolPageView : public QAbstractScrollArea
{
public:
    explicit ProtocolPageView(const ProtocolDocument& document, QWidget* parent = nullptr);
    // Pixels a page takes across and down.
    QSizeF pageSize() const;
    static constexpr int kGap = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollBars();
    const ProtocolDocument& m_document;
};

// "Протокол": the protocol's pages, "Печать" on the current printer (all
// pages) and "Сохранить в PDF…" (the PDF with its attached files). The
// windows that make a protocol hand it the services and what the PDF
// carries.
class ProtocolPreview : public QDialog
{
    Q_OBJECT

public:
    static const QString kTitle; // "Протокол"

    ProtocolPreview(const ProtocolDocument& document, QList<PdfAttachment> attachments,
                    DialogService& dialogs, PrintingService& printing, QWidget* parent = nullptr);

    // The table's files, which a saved protocol never replaces; where the
    // save dialog starts and the name it offers.
    void setTableFiles(QStringList files) { m_tableFiles = std::move(files); }
    void setSaveSuggestion(const QString& folder, const QString& name)
    {
        m_folder = folder;
        m_name = name;
    }
    // Errors of printing and saving go here (the default error report).
    void setErrorReport(std::function<void()> report) { m_errorReport = std::move(report); }

    // The buttons' work. print(): the file the job became ("" on a
    // printer); throws without a printer. saveAsPdf(): the file written;
    // throws AppError on a refusal or a failed write.
    QString print();
    QString saveAsPdf(const QString& fileName);
    // Asks for a name and saves; empty when cancelled.
    QString askAndSave();
    // The last file printed to or saved; empty: none.
    QString writtenFile() const { return m_written; }

    ProtocolPageView* pageView() const { return m_view; }

private:
    void guarded(const std::function<void()>& work);

    const ProtocolDocument& m_document;
    QList<PdfAttachment> m_attachments;
    DialogService& m_dialogs;
    PrintingService& m_printing;
    ProtocolPageView* m_view = nullptr;
    QLabel* m_status = nullptr;
    QStringList m_tableFiles;
    QString m_folder, m_name, m_written;
    std::function<void()> m_errorReport;
};

// Prints every page of the protocol on the current printer as the job
// `title`; returns the file the job became ("" on a printer). Throws the
// printing service's error without a printer.
QString printProtocol(const ProtocolDocument& document, PrintingService& printing,
                      const QString& title, QWidget* progressParent = nullptr);
