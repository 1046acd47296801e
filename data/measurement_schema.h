#pragma once

#include <QString>

// The measurement table: its eight fields in file order, the captions the
// program shows for the temperature columns and the one sort tag it keeps.
// Every other file names fields through these constants.
namespace MeasurementSchema {

struct Field
{
    const char* name;
    char type; // 'N' number, 'C' character
    int length;
};

inline constexpr Field kFields[] = {
    {"N", 'N', 4},    {"MODE", 'C', 11}, {"EN_CH", 'N', 4}, {"DATE", 'C', 10},
    {"TIME", 'C', 8}, {"T_1", 'C', 6},   {"T_2", 'C', 6},   {"COMMENT", 'C', 50},
};

inline const QString kN = QStringLiteral("N");
inline const QString kMode = QStringLiteral("MODE");
inline const QString kEnCh = QStringLiteral("EN_CH");
inline const QString kDate = QStringLiteral("DATE");
inline const QString kTime = QStringLiteral("TIME");
inline const QString kT1 = QStringLiteral("T_1");
inline const QString kT2 = QStringLiteral("T_2");
inline const QString kComment = QStringLiteral("COMMENT");

// Captions of the temperature curves and columns.
inline const QString kT1Caption = QStringLiteral("T1, °C");
inline const QString kT2Caption = QStringLiteral("T2, °C");

// The sort tag that the grid's title clicks build.
inline const QString kSortTag = QStringLiteral("tab1");

// The key expression a sort by this field uses, so that every ordering of
// the table (grid, report, workbook, chart, `fln dump --sort`) is the same:
// temperatures by value, dates by the calendar, the other fields as they
// are (texts by the table language's collation, numbers by value).
inline QString sortExpression(const QString& field)
{
    const QString name = field.trimmed();
    if (name.compare(kT1, Qt::CaseInsensitive) == 0 || name.compare(kT2, Qt::CaseInsensitive) == 0)
        return QStringLiteral("VAL(%1)").arg(name.toUpper());
    if (name.compare(kDate, Qt::CaseInsensitive) == 0)
        return QStringLiteral("CTOD(%1)").arg(name.toUpper());
    return field;
}

} // namespace MeasurementSchema
