#include "platform/print_dialog.h"

#include "platform/page_list.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QSignalBlocker>

PrintDialog::PrintDialog(QPrinter* printer, int pageCount, const QString& printerName,
                         QWidget* parent)
    : QPrintDialog(printer, parent), m_pageCount(std::max(1, pageCount))
{
    setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies |
               QAbstractPrintDialog::PrintShowPageSize);
    setMinMax(1, m_pageCount); // "с/по" cannot name a page the report does not have
    if (!printerName.isEmpty()) {
        // Shown only: the printer field's own changes would pick a system
        // printer by that name, so it hears nothing of this entry.
        if (auto* printers = findChild<QComboBox*>(QStringLiteral("printers"));
            printers && printers->count() == 0) {
            const QSignalBlocker quiet(printers);
            printers->addItem(printerName);
            printers->setCurrentIndex(0);
            printers->setEnabled(false);
        }
        if (auto* type = findChild<QLabel*>(QStringLiteral("type")))
            type->setText(QStringLiteral("PDF"));
    }
    m_tell = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("Ошибка"), text);
    };
}

QString PrintDialog::refusalText(const QString& text, int pageCount)
{
    return QStringLiteral("Неверный список страниц: \"%1\". Укажите номера страниц от 1 до %2 "
                          "и их диапазоны через запятую, например 1,3,5-%2.")
        .arg(text.trimmed())
        .arg(pageCount);
}

void PrintDialog::accept()
{
    auto* pagesChosen = findChild<QAbstractButton*>(QStringLiteral("pagesRadioButton"));
    auto* pagesText = findChild<QLineEdit*>(QStringLiteral("pagesLineEdit"));
    auto* allChosen = findChild<QAbstractButton*>(QStringLiteral("printAll"));
    QPageRanges pages;
    const bool listChosen = pagesChosen && pagesText && allChosen && pagesChosen->isChecked();
    if (listChosen) {
        pages = readPageList(pagesText->text(), m_pageCount);
        if (pages.isEmpty()) {
            m_tell(refusalText(pagesText->text(), m_pageCount));
            return;
        }
        allChosen->setChecked(true); // the toolkit's check would refuse the list
    }
    if (auto* printers = findChild<QComboBox*>(QStringLiteral("printers"));
        printers && !printers->isEnabled()) {
        const QSignalBlocker quiet(printers);
        printers->clear(); // the shown name is no printer of the system
    }
    QPrintDialog::accept();
    if (listChosen) {
        pagesChosen->setChecked(true);
        if (result() == QDialog::Accepted) {
            printer()->setPrintRange(QPrinter::PageRange);
            printer()->setPageRanges(pages);
        }
    }
}
