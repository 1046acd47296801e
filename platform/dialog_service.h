#pragma once

#include <QColor>
#include <QString>

class QDialog;
class QWidget;
class QPrinter;

// Every question, message and common dialog of the program goes through this
// service. The real one shows Qt dialogs; tests install a scripted one that
// answers from a queue and records what was asked, so no test blocks on a
// modal window.
class DialogService
{
public:
    enum class Icon { None, Information, Question, Warning, Stop };
    // OpenFolderOk: "Открыть папку" (answered Yes) and OK.
    // SavePdfOk: "Сохранить в PDF…" (answered Yes) and OK.
    enum class Buttons { Ok, YesNo, OpenFolderOk, SavePdfOk };
    enum class Answer { Ok, Yes, No, Cancel };

    struct FileRequest
    {
        QString filter;           // "Описание|*.db" (one entry: description, bar, pattern)
        int filterIndex = 1;      // 1-based
        QString defaultExtension; // ".db": appended to a name typed without one
        QString initialDir;
        QString fileName;         // preset name (empty: none)
    };
    // What the print dialog offers besides the printer's own settings.
    struct PrintRequest
    {
        int pageCount = 1;   // "с/по" and a page list name pages 1..pageCount
        QString printerName; // shown as the printer when not empty ("PDF → DIR")
    };
    struct FileResult
    {
        bool accepted = false; // closed with OK
        QString fileName;      // full path; may be empty
    };

    virtual ~DialogService() = default;

    virtual Answer message(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                           Buttons buttons) = 0;
    virtual FileResult openFile(QWidget* parent, const FileRequest& request) = 0;
    virtual FileResult saveFile(QWidget* parent, const FileRequest& request) = 0;
    // Returns whether the user chose a colour; `color` holds the start colour
    // on entry and the chosen one on OK.
    virtual bool chooseColor(QWidget* parent, QColor& color) = 0;
    // The print dialog: printer and its set-up, the pages (all, or a list such
    // as 1,3,5-12), copies and collation, read back from `printer` on OK.
    virtual bool printSetup(QWidget* parent, QPrinter& printer, const PrintRequest& request) = 0;
    // Shows a window of the program modally (a preview, for instance) and
    // returns its result.
    virtual int execModal(QDialog& window) = 0;
};
