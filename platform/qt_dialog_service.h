#pragma once

#include "platform/dialog_service.h"

// The dialog service with Qt's own dialogs: message boxes, file dialogs, the
// colour dialog and the print dialog.
class QtDialogService : public DialogService
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override;
    FileResult openFile(QWidget* parent, const FileRequest& request) override;
    FileResult saveFile(QWidget* parent, const FileRequest& request) override;
    bool chooseColor(QWidget* parent, QColor& color) override;
    bool printSetup(QWidget* parent, QPrinter& printer, const PrintRequest& request) override;
    int execModal(QDialog& window) override;
};

// "Описание|*.db" (pairs of description and pattern separated by bars, as the
// Windows dialogs take them) as Qt's "Описание (*.db)"; several pairs are
// joined by ";;". Patterns separated by ';' become space-separated.
QString qtFileFilter(const QString& windowsFilter);
