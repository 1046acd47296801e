#pragma once

#include "platform/spreadsheet.h"

#include <QHash>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;
class UnseenFile;

// The spreadsheet program of this platform: the calls build an .xlsx file
// with libxlsxwriter in its constant-memory mode (rows go to the file as they
// are written, so a million rows cost no more memory than ten).
//
// The workbook is written as an unseen file in the target folder and gets
// its name only when complete: a failed, cancelled, abandoned or killed
// export leaves no file. The saved copy is `<folder>/<name>.xlsx`, or
// "<name> (2).xlsx" and so on when that name is taken, the name being the
// target's own or else the save name; an earlier export is never
// overwritten. An explicit file (the command line's -o) is replaced.
// Rows must be written top to bottom, as the export writes them.
class XlsxSpreadsheet : public SpreadsheetApplication
{
public:
    struct Target
    {
        QString folder;    // where copies are saved under their save name
        QString file;      // non-empty: the copy goes exactly here instead
        bool open = false; // open the saved copy with the desktop's program on Quit
        std::function<void(const QString& path)> saved; // told the saved file's path
        // How the copy is opened (by default the desktop's program for it);
        // returns whether a program took it.
        std::function<bool(const QString& path)> opener;
        // Told the saved file's path when no program took it.
        std::function<void(const QString& path)> notOpened;
        // Non-empty: the copy's name in the folder instead of the save name
        // (the table's name, so that the user knows the workbook by it).
        QString name;
    };

    explicit XlsxSpreadsheet(Target target);
    ~XlsxSpreadsheet() override;

    // The user's documents folder, created when missing.
    static QString documentsFolder();
    // Hands a file or folder to the desktop's program for it; false when
    // none is registered or it would not start.
    static bool openWithDesktop(const QString& path);
    // A Russian number format's tokens (Д, М, Г, Ч, С) in the file's own
    // tokens (D, M, Y, H, S): "ДД/ММ/ГГГГ Ч:ММ" is stored as "DD/MM/YYYY H:MM".
    static QString fileNumberFormat(const QString& localFormat);

    void setVisible(bool visible) override;
    void addWorkbook(int templateKind) override;
    void setWorksheetName(int workbook, int worksheet, const QString& name) override;
    QString worksheetName(int workbook, int worksheet) override;
    void setColumnWidth(const QString& sheet, int column, int width) override;
    void setColumnNumberFormat(const QString& sheet, int column, const QString& format) override;
    void setRowFontBold(const QString& sheet, int row, bool bold) override;
    void setRowFontColor(const QString& sheet, int row, int color) override;
    void setRowFontSize(const QString& sheet, int row, int points) override;
    void setCellInteger(const QString& sheet, int row, int column, qint32 value) override;
    void setCellDate(const QString& sheet, int row, int column, double date) override;
    void setCellNumber(const QString& sheet, int row, int column, double value) override;
    void setCellText(const QString& sheet, int row, int column, const QString& text) override;
    void saveCopyAs(const QString& fileName) override;
    void quit() override;

private:
    struct RowFont
    {
        bool bold = false;
        std::optional<int> color; // RGB
        std::optional<int> size;
    };
    struct Column
    {
        std::optional<int> width;
        QString numberFormat; // the file's tokens
    };

    void requireWorkbook() const;
    void requireSheet(const QString& sheet) const;
    lxw_worksheet* sheetForCells(const QString& sheet, int row, int column);
    void writeNumber(const QString& sheet, int row, int column, double value);
    void startWriting();
    lxw_format* formatFor(int row, int column);
    lxw_format* makeFormat(const QString& numberFormat, const RowFont* font);
    void check(int error, const char* what);
    void discard();

    Target m_target;
    bool m_visible = false;
    bool m_hasWorkbook = false;
    QString m_sheetName = QStringLiteral("Лист1");
    QMap<int, Column> m_columns;
    QMap<int, RowFont> m_rowFonts;
    int m_lastFontRow = 0;

    std::unique_ptr<UnseenFile> m_file; // the workbook while it is written
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_worksheet = nullptr;
    std::vector<lxw_format*> m_columnFormats; // of rows without a font of their own
    QHash<QString, lxw_format*> m_formats;
    int m_row = 0;
    QString m_savedFile;
    bool m_quit = false;
};
