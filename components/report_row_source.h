#pragma once

#include <QString>
#include <QStringList>

// The rows a report prints, read one at a time by position. The report never
// keeps rows: a page reads its own rows when it is drawn, so a table of a
// million rows costs no more memory than one of ten.
class ReportRowSource
{
public:
    virtual ~ReportRowSource() = default;

    // The name that field expressions use for this source ("[Name."FIELD"]").
    virtual QString dataSetName() const = 0;
    virtual QStringList fieldNames() const = 0;

    // Starts the walk at the first row and returns the number of rows; the
    // rows stay as they are until the report is prepared anew.
    virtual qint64 begin() = 0;
    // Ends the walk: the source stands on its last row.
    virtual void end() {}

    // The texts of every field of row `row` (0-based), in fieldNames() order.
    virtual QStringList rowTexts(qint64 row) const = 0;
};
