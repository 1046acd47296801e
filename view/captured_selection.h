#pragma once

#include "data/captured_row.h"

class DataGrid;

// The grid's selection entries as captured rows. The grid captures the
// values of its bookmark fields "T_1;T_2;DATE;TIME" (index 0 to 3) when a
// row enters the selection; with no explicit selection the current row
// alone is read. Charts and the selection statistics read the rows here.
qsizetype capturedRowCount(const DataGrid& grid);
CapturedRow capturedRow(const DataGrid& grid, qsizetype index);

// The footer text of the column showing `field` ("" without such a column).
QString footerTextOf(const DataGrid& grid, const QString& field);
