#include "platform/qt_dialog_service.h"

#include "platform/print_dialog.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStringList>

QString qtFileFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns.simplified() + u')';
    }
    if (parts.size() % 2 == 1 && !parts.last().isEmpty())
        filters << parts.last(); // a description without patterns
    return filters.join(QStringLiteral(";;"));
}

namespace {

QMessageBox::Icon qtIcon(DialogService::Icon icon)
{
    switch (icon) {
    case DialogService::Icon::Information:
        return QMessageBox::Information;
    case DialogService::Icon::Question:
        return QMessageBox::Question;
    case DialogService::Icon::Warning:
        return QMessageBox::Warning;
    case DialogService::Icon::Stop:
        return QMessageBox::Critical;
    case DialogService::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void prepare(QFileDialog& dialog, const DialogService::FileRequest& request)
{
    const QString filter = qtFileFilter(request.filter);
    if (!filter.isEmpty()) {
        const QStringList filters = filter.split(QStringLiteral(";;"));
        dialog.setNameFilters(filters);
        const int index = request.filterIndex - 1;
        if (index >= 0 && index < filters.size())
            dialog.selectNameFilter(filters[index]);
    }
    QString suffix = request.defaultExtension;
    if (suffix.startsWith(u'.'))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    if (!request.initialDir.isEmpty())
        dialog.setDirectory(request.initialDir);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    // Wide enough that the name, size, type and date columns show whole
    // (Qt's own size cuts them to "43,…KiB"), within the screen.
    QSize size(900, 540);
    if (const QScreen* screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size.expandedTo(dialog.minimumSizeHint()));
}

DialogService::FileResult run(QFileDialog& dialog)
{
    DialogService::FileResult result;
    result.accepted = dialog.exec() == QDialog::Accepted;
    if (result.accepted && !dialog.selectedFiles().isEmpty())
        result.fileName = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
    return result;
}

} // namespace

DialogService::Answer QtDialogService::message(QWidget* parent, const QString& text,
                                               const QString& caption, Icon icon, Buttons buttons)
{
    QMessageBox box(
        qtIcon(icon), caption, text,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    QPushButton* action = nullptr; // the extra button, answered Yes
    if (buttons == Buttons::OpenFolderOk)
        action = box.addButton(QStringLiteral("Открыть папку"), QMessageBox::ActionRole);
    else if (buttons == Buttons::SavePdfOk)
        action = box.addButton(QStringLiteral("Сохранить в PDF…"), QMessageBox::ActionRole);
    const int r = box.exec();
    if (action && box.clickedButton() == action)
        return Answer::Yes;
    if (r == QMessageBox::Yes)
        return Answer::Yes;
    if (r == QMessageBox::No)
        return Answer::No;
    if (r == QMessageBox::Ok)
        return Answer::Ok;
    return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
}

DialogService::FileResult QtDialogService::openFile(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    prepare(dialog, request);
    return run(dialog);
}

DialogService::FileResult QtDialogService::saveFile(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program's save dialog does not ask before an existing file is chosen.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    prepare(dialog, request);
    return run(dialog);
}

bool QtDialogService::chooseColor(QWidget* parent, QColor& color)
{
    const QColor chosen = QColorDialog::getColor(color, parent);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}

bool QtDialogService::printSetup(QWidget* parent, QPrinter& printer, const PrintRequest& request)
{
    PrintDialog dialog(&printer, request.pageCount, request.printerName, parent);
    dialog.setRefusal([this, &dialog](const QString& text) {
        message(&dialog, text, QStringLiteral("Ошибка"), Icon::Stop, Buttons::Ok);
    });
    return dialog.exec() == QDialog::Accepted;
}

int QtDialogService::execModal(QDialog& window)
{
    return window.exec();
}
