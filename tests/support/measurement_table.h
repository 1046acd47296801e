#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One row of a measurement table as a test writes it. Texts are stored as
// given (a one-digit temperature with the leading blank the program stores
// it with, where the test wants one); an empty text or a missing integer
// leaves the field blank. (Every member has its default here, so a row that
// names only some fields is no warning.)
struct TestRow
{
    std::optional<qint64> n{};
    QString mode{};
    std::optional<qint64> enCh{};
    QString date{};
    QString time{};
    QString t1{};
    QString t2{};
    QString comment{};
    bool deleted = false; // marked deleted once written
};

// Writes a closed measurement table of these rows at `path`, with the given
// language driver byte (the system's choice when none is given).
void writeMeasurementTable(const QString& path, const QList<TestRow>& rows,
                           std::optional<quint8> languageDriver = std::nullopt);
// The same for `count` rows that `row(i)` makes one at a time, i = 0, 1, ...:
// a big table is never held in memory.
void writeMeasurementTable(const QString& path, qint64 count,
                           const std::function<TestRow(qint64)>& row,
                           std::optional<quint8> languageDriver = std::nullopt);

// Rows N = 1, 2, ... with these T_1 texts and T_2 texts ("0,0" where none is
// given), "Оперативный", both channels, on 01.12.2026 a minute apart from
// 10:00:00.
QList<TestRow> minuteRows(const QStringList& t1, const QStringList& t2 = {});
