#pragma once

#include <QString>

// What a command prints: its results on standard output, its messages and
// progress on standard error, both as UTF-8. Every command writes through
// these, so that the streams behave alike on every command.

// Writes `text` on standard output.
void writeOut(const QString& text);
// Writes `text` on standard error, flushed at once, so that a message is
// seen before a long job goes on.
void writeErr(const QString& text);
// Sends what was written on standard output so far on its way, for a reader
// that waits for it while the command goes on.
void flushOut();
