#pragma once

#include "data/record_moment.h"
#include "platform/regional_settings.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>
#include <span>

class DbfTable;

// The analysis of a recording that the footers cannot give: when it starts
// and stops, its logging interval, gaps and clock faults, per channel the
// extremes with their moments, mean, deviation and mean kinetic temperature,
// the time out of the user's limits, and a table per calendar day.
//
// Moments are the instrument's clock as DATE and TIME give it, counted in
// whole seconds on one continuous scale with no time zone in between, so a
// length is always the difference of the texts (momentOf, momentDateTime).

// The default activation energy of the mean kinetic temperature, kJ/mol.
inline constexpr double kDefaultActivationEnergy = 83.144;
// The gas constant, J/(mol·K).
inline constexpr double kGasConstant = 8.3144;

// What the user may set: a lower and an upper limit per channel (none: no
// limit on that side) and the activation energy ΔH.
struct SummaryOptions
{
    std::array<std::optional<double>, 2> lower;
    std::array<std::optional<double>, 2> upper;
    double activationEnergy = kDefaultActivationEnergy; // kJ/mol
};

// One side of a channel's limits. A reading equal to the limit is within.
struct LimitSide
{
    qint64 readings = 0;   // out of the limit on this side
    qint64 seconds = 0;    // readings × interval
    qint64 excursions = 0; // runs of consecutive such readings, in time order
    std::optional<qint64> firstAt;   // the first run's start
    std::optional<qint64> longestAt; // the longest run's start (the first of equals)
    qint64 longestReadings = 0;
    qint64 longestSeconds = 0; // its readings × interval
};

struct ChannelSummary
{
    qint64 count = 0;
    double min = 0, max = 0; // the readings themselves
    qint64 minAt = 0, maxAt = 0; // the earliest moment of each
    double mean = 0;
    double stdev = 0; // of the population
    std::optional<double> mkt; // none when a reading is at or below absolute zero
    std::optional<double> lower, upper;
    LimitSide below, above;
    // Readings within the limits (neither side out), and their share of the
    // time, 0..1: every reading stands for one interval. None without a limit.
    std::optional<qint64> withinReadings;
    std::optional<double> withinShare;
};

struct Gap
{
    qint64 from = 0;
    qint64 to = 0;
    qint64 seconds() const { return to - from; }
};

struct DayChannel
{
    double min = 0, mean = 0, max = 0;
    qint64 outSeconds = 0; // readings out of either limit × interval
};

struct DaySummary
{
    QDate date;
    qint64 records = 0;
    std::array<DayChannel, 2> channels;
};

struct RecordingSummary
{
    qint64 records = 0;
    std::optional<qint64> first, last; // the earliest and the latest moment
    qint64 interval = 0; // the most frequent positive step in time order; 0: none
    // Records per MODE text: "Оперативный" and "Наблюдения" always, in that
    // order, then any other text met.
    QList<std::pair<QString, qint64>> modes;

    // Steps longer than 1.5 × the interval in time order.
    QList<Gap> gaps;
    qint64 missingSeconds = 0; // Σ (gap length − interval)
    std::optional<Gap> longestGap;

    // In record order: a moment earlier than the record's before it.
    qint64 clockBack = 0;
    std::optional<qint64> firstClockBackAt;
    qint64 equalMoments = 0; // a moment equal to the record's before it

    std::array<ChannelSummary, 2> channels;
    QList<DaySummary> days; // in date order
    double activationEnergy = kDefaultActivationEnergy;

    qint64 span() const { return first && last ? *last - *first : 0; }
};

// The live rows of the open table in its browsing order.
RecordingSummary summarizeTable(const DbfTable& table, const SummaryOptions& options,
                                const RegionalSettings& rs);
// The rows with these record numbers (the grid's selection).
RecordingSummary summarizeRecords(const DbfTable& table, const QList<quint32>& records,
                                  const SummaryOptions& options, const RegionalSettings& rs);

// The mean kinetic temperature of temperatures in °C, ΔH in kJ/mol; none
// for no values or a value at or below absolute zero.
std::optional<double> meanKineticTemperature(std::span<const double> celsius,
                                             double activationEnergy = kDefaultActivationEnergy);
