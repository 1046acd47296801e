#pragma once

#include <QPrintDialog>

#include <functional>

// The print dialog of the report: printer, pages (all, "с … по …" within the
// report's pages, or a list such as 1,3,5-12), copies and collation.
// Debian 12's Qt refuses every entry of its own "Страницы" field, so this
// dialog reads and checks the list itself and hands it to the printer; the
// toolkit's check is never asked about it.
class PrintDialog : public QPrintDialog
{
    Q_OBJECT

public:
    // `pageCount` bounds "с/по" and the list; `printerName`, when not empty,
    // is what the printer field shows (jobs written to files have no printer
    // the dialog knows: "PDF → DIR").
    PrintDialog(QPrinter* printer, int pageCount, const QString& printerName,
                QWidget* parent = nullptr);

    // Where a refused page list is told; by default a message box over the
    // dialog. The dialog then stays open.
    void setRefusal(std::function<void(const QString& text)> tell) { m_tell = std::move(tell); }

    void accept() override;

    // The text that refuses `text`.
    static QString refusalText(const QString& text, int pageCount);

private:
    int m_pageCount;
    std::function<void(const QString&)> m_tell;
};
