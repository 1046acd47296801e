#pragma once

#include <QApplication>
#include <QString>

#include <exception>

class DialogService;

// The text of the default error report: the error's text, with a full stop
// appended when its last character sorts after ".". The windows and the
// command-line mode show the same text.
QString errorReportText(const QString& text);
// The text of any exception: AppError's own text, else what().
QString errorReportText(const std::exception& error);
// The text of the exception being handled (call from a catch block).
QString currentExceptionReportText();
// The default error report's box: the text, the application title as
// caption, the stop icon, OK.
void showErrorReport(DialogService& dialogs, QWidget* parent, const QString& text);

// The application with the default error report: an exception that leaves
// any handler (menu item, button, shortcut, timer, serial data, grid event)
// ends at the event loop, and is shown as a modal box with its text, the
// application title as caption and the stop icon. The program goes on in the
// state that the handler left.
class ErrorReportApplication : public QApplication
{
    Q_OBJECT

public:
    ErrorReportApplication(int& argc, char** argv);

    // The service that shows the box; until one is set, the report goes to
    // stderr.
    void setDialogService(DialogService* dialogs) { m_dialogs = dialogs; }

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the report for the exception being handled (call from a catch
    // block outside the event loop, for instance around the window set-up).
    void reportCurrentException();
    void report(const QString& text);

private:
    DialogService* m_dialogs = nullptr;
};
