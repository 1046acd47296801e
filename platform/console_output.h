#pragma once

#include <QString>

// What a command prints: its results on standard output, its messages and
// progress on standard error, both as UTF-8. Every command writes through
// these, so that the streams behave alike on every command. What a command
// prints is its result (a workbook's path, the rows): when it cannot be
// written the command has failed, even though its file was written.

// Writes `text` on standard output. Throws AppError when it cannot be
// written (a full disk, a closed file).
void writeOut(const QString& text);
// Sends what was written on standard output so far on its way, for a reader
// that waits for it while the command goes on. Throws as writeOut().
void flushOut();
// Flushes standard output at the command's end: throws AppError when
// anything written on it was lost.
void finishOut();
// Writes `text` on standard error, flushed at once, so that a message is
// seen before a long job goes on. A failure there has nowhere to be told.
void writeErr(const QString& text);

// A text from a file as a terminal may show it: control characters (C0,
// DEL, C1) become "�", so that no text of a table moves the cursor or
// changes the terminal's state. Line breaks stay where `lineBreaks` is set.
QString visibleText(const QString& text, bool lineBreaks = false);
