#pragma once

#include <QList>
#include <QPageRanges>
#include <QString>

// Page lists as the print dialog takes them: "1,3,5-12", blanks allowed.

// The ranges that `text` names within 1..pageCount; empty ranges when the
// text is no such list: an empty text or item, a word, page 0, a range that
// runs backwards or a page past the last one.
QPageRanges readPageList(const QString& text, int pageCount);

// The pages (0-based) of `ranges` in order, those past pageCount left out;
// no ranges: every page.
QList<int> pageIndexes(const QPageRanges& ranges, int pageCount);
