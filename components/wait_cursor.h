#pragma once

#include <QApplication>

// The wait cursor over every window of the program while a command works on
// the table, back to the arrow however the command ends (an error thrown out
// of it included). Helpers nest: the cursor comes back when the outermost one
// ends. Scope it to the work itself: a question or a window shown for the
// user afterwards must get the ordinary cursor.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
