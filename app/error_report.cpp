#include "app/error_report.h"

#include "platform/app_error.h"
#include "platform/app_title.h"
#include "platform/dialog_service.h"

#include <cstdio>

QString errorReportText(const QString& text)
{
    // The full stop rule compares character codes: "!" or ")" stay as they
    // are, a letter or digit gets the stop.
    if (!text.isEmpty() && text.back() > u'.')
        return text + u'.';
    return text;
}

QString errorReportText(const std::exception& error)
{
    if (const auto* app = dynamic_cast<const AppError*>(&error))
        return errorReportText(app->text());
    return errorReportText(QString::fromLocal8Bit(error.what()));
}

ErrorReportApplication::ErrorReportApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ErrorReportApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        reportCurrentException();
        return false;
    }
}

QString currentExceptionReportText()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return errorReportText(e);
    } catch (...) {
        return errorReportText(QStringLiteral("Unknown exception"));
    }
}

void showErrorReport(DialogService& dialogs, QWidget* parent, const QString& text)
{
    dialogs.message(parent, text, kAppTitle, DialogService::Icon::Stop, DialogService::Buttons::Ok);
}

void ErrorReportApplication::reportCurrentException()
{
    report(currentExceptionReportText());
}

void ErrorReportApplication::report(const QString& text)
{
    if (!m_dialogs) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return;
    }
    showErrorReport(*m_dialogs, activeWindow(), text);
}
