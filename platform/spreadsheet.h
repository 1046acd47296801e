#pragma once

#include <QString>

#include <functional>
#include <memory>

// The spreadsheet program as the workbook export drives it: one member per
// call of the export's automation sequence, in the order the export makes
// them, with the arguments it passes. Rows and columns count from 1, as the
// automation server counts them. Every failure throws AppError.
//
// Implementations: XlsxSpreadsheet writes a real workbook file; the tests
// record the calls.
class SpreadsheetApplication
{
public:
    // The argument of Workbooks.Add that asks for a workbook of one worksheet.
    static constexpr int kOneWorksheetTemplate = -4167;

    virtual ~SpreadsheetApplication() = default;

    virtual void setVisible(bool visible) = 0;      // Visible := visible
    virtual void addWorkbook(int templateKind) = 0; // Workbooks.Add(templateKind)
    // Workbooks(workbook).WorkSheets(worksheet).Name := name, and its get.
    virtual void setWorksheetName(int workbook, int worksheet, const QString& name) = 0;
    virtual QString worksheetName(int workbook, int worksheet) = 0;

    // The members below address the worksheet by name in the first workbook:
    // Workbooks(1).WorkSheets(sheet).
    virtual void setColumnWidth(const QString& sheet, int column, int width) = 0;
    // The format in the local (Russian) tokens, as the user would type it:
    // "ДД/ММ/ГГГГ Ч:ММ".
    virtual void setColumnNumberFormat(const QString& sheet, int column, const QString& format) = 0;
    virtual void setRowFontBold(const QString& sheet, int row, bool bold) = 0;
    // Blue-green-red, red in the lowest byte: 16711680 is pure blue.
    virtual void setRowFontColor(const QString& sheet, int row, int color) = 0;
    virtual void setRowFontSize(const QString& sheet, int row, int points) = 0;

    // Cells(row, column) := value, one call per cell, by the type sent.
    virtual void setCellInteger(const QString& sheet, int row, int column, qint32 value) = 0;
    // An automation date: days since 30 December 1899, the time of day as
    // the fraction.
    virtual void setCellDate(const QString& sheet, int row, int column, double date) = 0;
    virtual void setCellNumber(const QString& sheet, int row, int column, double value) = 0;
    virtual void setCellText(const QString& sheet, int row, int column, const QString& text) = 0;

    // ActiveWorkbook.SaveCopyAs(fileName): the name as the export has it,
    // without folder or extension; where the copy goes is the program's affair.
    virtual void saveCopyAs(const QString& fileName) = 0;
    virtual void quit() = 0; // Application.Quit
};

// Creates the automation object: one new instance for every export.
using SpreadsheetFactory = std::function<std::unique_ptr<SpreadsheetApplication>()>;
