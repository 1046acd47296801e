#pragma once

#include <QString>
#include <stdexcept>

// The one exception type of the program. It carries the text the user sees:
// the table layer's failure texts, the regional conversion errors, range
// errors and the registry texts. Commands do not catch it; the default error
// report (the event loop, or the command-line mode) shows it.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString& text);

    const QString& text() const noexcept { return m_text; }

    // "'%s' is not a valid ..."-style texts: every %s is replaced in turn.
    static AppError format(const QString& pattern, const QStringList& args);

private:
    QString m_text;
};

// A range check failure (a buffer position or an 8/16-bit value out of range).
class RangeError : public AppError
{
public:
    RangeError();
    static const QString kText; // "Range check error"
};
