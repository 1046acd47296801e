#pragma once

#include "components/grid_column.h"

#include <QString>

// The text form of a column list, as kept in the registry value of a stored
// column layout:
//
//   object TUniDataStorage
//     Data = <
//       item
//         FieldName = 'N'
//         Width = 100
//         Alignment = talCenter
//       end>
//   end
//
// Every line ends with CR LF. A column writes only the stored properties that
// differ from their defaults, in a fixed order; caption, footer text and the
// read-only flag are never stored.

QString writeColumnLayout(const GridColumnList& columns);

// Reads the text back into a column list (the stored properties only). A text
// that is not in this notation, or that names a property a column does not
// have, throws AppError with a text that says what and on which line.
GridColumnList readColumnLayout(const QString& text);

// Every line end (CR LF, lone LF, lone CR) becomes CR LF.
QString normalizeLineEnds(const QString& text);
