#pragma once

#include "platform/app_error.h"
#include "platform/spreadsheet.h"

#include <QSharedPointer>
#include <QStringList>

// The spreadsheet program of the tests: every call becomes one line of a log
// shared by all instances the factory makes, written the way the automation
// calls read ("WorkSheets(ФЛН-РК2).Cells(3, 1) := 7 (integer)"). A call whose
// line starts with `failAt` throws instead.
class RecordingSpreadsheet : public SpreadsheetApplication
{
public:
    struct Log
    {
        QStringList calls;
        QString failAt;
        int instances = 0;
    };

    static SpreadsheetFactory factory(const QSharedPointer<Log>& log)
    {
        return [log] {
            ++log->instances;
            log->calls << QStringLiteral("create Excel.Application");
            return std::unique_ptr<SpreadsheetApplication>(new RecordingSpreadsheet(log));
        };
    }

    explicit RecordingSpreadsheet(QSharedPointer<Log> log) : m_log(std::move(log)) {}

    void setVisible(bool visible) override { call(u"Visible := " + boolText(visible)); }
    void addWorkbook(int kind) override { call(QStringLiteral("Workbooks.Add(%1)").arg(kind)); }
    void setWorksheetName(int wb, int ws, const QString& name) override
    {
        call(QStringLiteral("Workbooks(%1).WorkSheets(%2).Name := %3").arg(wb).arg(ws).arg(name));
        m_name = name;
    }
    QString worksheetName(int wb, int ws) override
    {
        call(QStringLiteral("Workbooks(%1).WorkSheets(%2).Name").arg(wb).arg(ws));
        return m_name;
    }
    void setColumnWidth(const QString& sheet, int column, int width) override
    {
        call(QStringLiteral("WorkSheets(%1).Columns(%2).ColumnWidth := %3")
                 .arg(sheet)
                 .arg(column)
                 .arg(width));
    }
    void setColumnNumberFormat(const QString& sheet, int column, const QString& format) override
    {
        call(QStringLiteral("WorkSheets(%1).Columns(%2).NumberFormat := %3")
                 .arg(sheet)
                 .arg(column)
                 .arg(format));
    }
    void setRowFontBold(const QString& sheet, int row, bool bold) override
    {
        call(QStringLiteral("WorkSheets(%1).Rows(%2).Font.Bold := %3")
                 .arg(sheet)
                 .arg(row)
                 .arg(boldText(bold)));
    }
    void setRowFontColor(const QString& sheet, int row, int color) override
    {
        call(QStringLiteral("WorkSheets(%1).Rows(%2).Font.Color := %3")
                 .arg(sheet)
                 .arg(row)
                 .arg(color));
    }
    void setRowFontSize(const QString& sheet, int row, int points) override
    {
        call(QStringLiteral("WorkSheets(%1).Rows(%2).Font.Size := %3")
                 .arg(sheet)
                 .arg(row)
                 .arg(points));
    }
    void setCellInteger(const QString& sheet, int row, int column, qint32 value) override
    {
        cell(sheet, row, column, QString::number(value) + QStringLiteral(" (integer)"));
    }
    void setCellDate(const QString& sheet, int row, int column, double date) override
    {
        cell(sheet, row, column, QString::number(date, 'g', 17) + QStringLiteral(" (date)"));
    }
    void setCellNumber(const QString& sheet, int row, int column, double value) override
    {
        cell(sheet, row, column, QString::number(value, 'g', 17) + QStringLiteral(" (double)"));
    }
    void setCellText(const QString& sheet, int row, int column, const QString& text) override
    {
        cell(sheet, row, column, u'"' + text + QStringLiteral("\" (text)"));
    }
    void saveCopyAs(const QString& fileName) override
    {
        call(QStringLiteral("ActiveWorkbook.SaveCopyAs(%1)").arg(fileName));
    }
    void quit() override { call(QStringLiteral("Application.Quit")); }

private:
    static QString boolText(bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); }
    static QString boldText(bool b) { return boolText(b); }
    void cell(const QString& sheet, int row, int column, const QString& value)
    {
        call(QStringLiteral("WorkSheets(%1).Cells(%2, %3) := %4")
                 .arg(sheet)
                 .arg(row)
                 .arg(column)
                 .arg(value));
    }
    void call(const QString& line)
    {
        m_log->calls << line;
        if (!m_log->failAt.isEmpty() && line.startsWith(m_log->failAt))
            throw AppError(QStringLiteral("Call failed: ") + line);
    }

    QSharedPointer<Log> m_log;
    QString m_name = QStringLiteral("Лист1");
};
