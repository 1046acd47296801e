#include "data/recording_summary.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "data/table_period.h"
#include "data/table_row_reader.h"
#include "data/time_order.h"
#include "platform/app_error.h"
#include "platform/heap_tuning.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

constexpr double kZeroCelsius = 273.15;

const QString kOperational = QStringLiteral("Оперативный");
const QString kObservation = QStringLiteral("Наблюдения");

// The terms of the mean kinetic temperature, exp(ΔH/(R·Tmax) − ΔH/(R·T)) of
// readings in tenths of a degree, each computed once per value: a recording
// holds a few hundred distinct readings among a million rows. Taken relative
// to the hottest reading Tmax (the log-sum-exp form), every term lies in
// (0, 1] and the hottest is 1, so their sum neither overflows nor vanishes
// whatever the readings are, and
//     MKT = ΔH/R / (ΔH/(R·Tmax) − ln(Σ terms / n))
// lies between the coolest and the hottest reading.
class BoltzmannFactors
{
public:
    BoltzmannFactors(double activationEnergy, double hottestCelsius)
        : m_ratio(activationEnergy * 1000.0 / kGasConstant),
          m_hottest(m_ratio / (hottestCelsius + kZeroCelsius))
    {
    }

    double operator()(double celsius)
    {
        const double scaled = celsius * 10.0;
        const double tenths = std::nearbyint(scaled);
        if (tenths == scaled && std::fabs(tenths) < kHalfRange) {
            double& slot = m_cache[size_t(qint64(tenths) + kHalfRange)];
            if (std::isnan(slot))
                slot = compute(celsius);
            return slot;
        }
        return compute(celsius);
    }

    // The temperature in °C of `sum` terms of `count` readings.
    double celsius(long double sum, qint64 count) const
    {
        const long double denominator = m_hottest - std::log(sum / (long double)(count));
        return double(m_ratio / denominator - kZeroCelsius);
    }

private:
    static constexpr qint64 kHalfRange = 20000;

    double compute(double celsius) const
    {
        return std::exp(m_hottest - m_ratio / (celsius + kZeroCelsius));
    }

    double m_ratio;
    double m_hottest; // ΔH/(R·Tmax)
    std::vector<double> m_cache = std::vector<double>(2 * kHalfRange, std::nan(""));
};

struct Extremes
{
    double min = 0, max = 0;
    long double sum = 0; // a million readings of 1e308 do not overflow it
    qint64 minAt = 0, maxAt = 0;

    void start(double v, qint64 at)
    {
        min = max = sum = v;
        minAt = maxAt = at;
    }
    void add(double v, qint64 at)
    {
        if (v < min || (v == min && at < minAt))
            min = v, minAt = at;
        if (v > max || (v == max && at < maxAt))
            max = v, maxAt = at;
        sum += v;
    }
};

// The one walk over the rows: every row's moment, record number and
// readings are kept (24 bytes a row) for the passes in time and record
// order that follow.
class Walk
{
public:
    Walk(const DbfTable& table, const RegionalSettings& rs, qint64 expected)
        : m_rows(table), m_rs(rs), m_moments(table, rs)
    {
        m_mode = field(table, MeasurementSchema::kMode);
        m_t[0] = field(table, MeasurementSchema::kT1);
        m_t[1] = field(table, MeasurementSchema::kT2);
        m_modes = {{kOperational, 0}, {kObservation, 0}};
        moments.reserve(size_t(expected));
        records.reserve(size_t(expected));
        values[0].reserve(size_t(expected));
        values[1].reserve(size_t(expected));
    }

    // The live rows of the table's browsing order.
    void addAll()
    {
        for (bool row = m_rows.viewFirst(); row; row = m_rows.viewNext())
            add();
    }
    void addRecord(quint32 rec)
    {
        if (m_rows.viewRecord(rec))
            add();
    }

    QList<std::pair<QString, qint64>> modes() const { return m_modes; }

    // In large pages: a million rows fill some 28 MB.
    LargeVector<qint64> moments;
    LargeVector<quint32> records;
    std::array<LargeVector<double>, 2> values;
    std::array<Extremes, 2> extremes;

private:
    static int field(const DbfTable& table, const QString& name)
    {
        const int f = table.fieldIndex(name);
        if (f < 0)
            throw AppError(QStringLiteral("Field '%1' not found").arg(name));
        return f;
    }

    void add()
    {
        // The moment first, then T_1 and T_2: the first text that does not
        // convert is the one reported, as the chart's conversion does.
        const qint64 at = moment();
        double v[2];
        for (int c = 0; c < 2; ++c)
            if (!m_rows.number(m_t[c], m_rs, v[c]))
                v[c] = textToFloat(QString(), m_rs); // an empty text throws
        countMode();
        if (moments.empty()) {
            extremes[0].start(v[0], at);
            extremes[1].start(v[1], at);
        } else {
            extremes[0].add(v[0], at);
            extremes[1].add(v[1], at);
        }
        moments.push_back(at);
        records.push_back(m_rows.recNo());
        values[0].push_back(v[0]);
        values[1].push_back(v[1]);
    }

    qint64 moment() { return m_moments.read(m_rows); }

    void countMode()
    {
        // Each distinct MODE text is decoded once; rows are matched by bytes.
        const QByteArrayView bytes = m_rows.fieldBytes(m_mode);
        if (m_modeKey < 0 || bytes != QByteArrayView(m_modeBytes[m_modeKey])) {
            m_modeKey = -1;
            for (qsizetype i = 0; i < m_modeBytes.size() && m_modeKey < 0; ++i)
                if (bytes == QByteArrayView(m_modeBytes[i]))
                    m_modeKey = i;
            if (m_modeKey < 0) {
                const QString text = m_rows.value(m_mode).toString().trimmed();
                qsizetype at = -1;
                for (qsizetype i = 0; i < m_modes.size() && at < 0; ++i)
                    if (m_modes[i].first == text)
                        at = i;
                if (at < 0) {
                    m_modes.append({text, 0});
                    at = m_modes.size() - 1;
                }
                m_modeBytes.append(bytes.toByteArray());
                m_modeIndex.append(at);
                m_modeKey = m_modeBytes.size() - 1;
            }
        }
        ++m_modes[m_modeIndex[m_modeKey]].second;
    }

    TableRowReader m_rows;
    const RegionalSettings& m_rs;
    RowMomentReader m_moments; // DATE and TIME, checked first
    int m_mode = -1;
    int m_t[2] = {-1, -1};
    QList<QByteArray> m_modeBytes; // the byte texts met, each with its entry in m_modes
    QList<qsizetype> m_modeIndex;
    qsizetype m_modeKey = -1; // the byte text of the row before
    QList<std::pair<QString, qint64>> m_modes;
};

// The walk's moments and readings in time order, equal moments in the order
// of the walk. The passes in time order read copies laid out in that order:
// indexing through the order at every pass would miss the cache at every
// row, and so would permuting the rows in place along the order's cycles. A
// walk already in time order (a recording as the instrument writes it) is
// read as it is.
class TimeOrdered
{
public:
    explicit TimeOrdered(const Walk& w)
    {
        const LargeVector<qint64>& at = w.moments;
        if (std::is_sorted(at.begin(), at.end())) {
            moments = &at;
            values = {&w.values[0], &w.values[1]};
            return;
        }
        const LargeVector<quint32> order = timeOrder(at);
        m_moments.reserve(order.size());
        m_values[0].reserve(order.size());
        m_values[1].reserve(order.size());
        for (const quint32 k : order) {
            m_moments.push_back(at[k]);
            m_values[0].push_back(w.values[0][k]);
            m_values[1].push_back(w.values[1][k]);
        }
        moments = &m_moments;
        values = {&m_values[0], &m_values[1]};
    }

    const LargeVector<qint64>* moments;
    std::array<const LargeVector<double>*, 2> values;

private:
    LargeVector<qint64> m_moments;
    std::array<LargeVector<double>, 2> m_values;
};

// Runs of consecutive out-of-limit readings on one side, fed in time order.
struct RunCounter
{
    LimitSide side;
    qint64 run = 0;
    qint64 runStart = 0;

    void feed(bool out, qint64 at)
    {
        if (out) {
            if (run == 0) {
                runStart = at;
                ++side.excursions;
                if (!side.firstAt)
                    side.firstAt = at;
            }
            ++run;
            ++side.readings;
            return;
        }
        close();
    }
    void close()
    {
        if (run > side.longestReadings) {
            side.longestReadings = run;
            side.longestAt = runStart;
        }
        run = 0;
    }
    LimitSide finish(qint64 interval)
    {
        close();
        side.seconds = side.readings * interval;
        side.longestSeconds = side.longestReadings * interval;
        return side;
    }
};

bool isBelow(const ChannelSummary& ch, double x)
{
    return ch.lower && x < *ch.lower;
}

bool isAbove(const ChannelSummary& ch, double x)
{
    return ch.upper && x > *ch.upper;
}

// The interval: the most frequent positive step in time order, the shorter
// one of equals; 0 without one.
qint64 loggingInterval(const LargeVector<qint64>& at)
{
    QHash<qint64, qint64> counts;
    qint64 step = 0, run = 0;
    const auto flush = [&] {
        if (run > 0)
            counts[step] += run;
    };
    for (size_t i = 1; i < at.size(); ++i) {
        const qint64 d = at[i] - at[i - 1];
        if (d <= 0)
            continue;
        if (d != step) {
            flush();
            step = d;
            run = 0;
        }
        ++run;
    }
    flush();
    qint64 interval = 0, best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > best || (it.value() == best && it.key() < interval))
            interval = it.key(), best = it.value();
    return interval;
}

// Gaps: steps longer than 1.5 × the interval, in time order.
void findGaps(const LargeVector<qint64>& at, RecordingSummary& s)
{
    if (s.interval <= 0)
        return;
    for (size_t i = 1; i < at.size(); ++i) {
        const qint64 from = at[i - 1], to = at[i];
        if (2 * (to - from) > 3 * s.interval) {
            s.gaps.append({from, to});
            s.missingSeconds += to - from - s.interval;
            if (!s.longestGap || to - from > s.longestGap->seconds())
                s.longestGap = Gap{from, to};
        }
    }
}

// Clock steps in record order: a moment earlier than, or equal to, the
// record's before it.
void findClockSteps(const Walk& w, RecordingSummary& s)
{
    const LargeVector<qint64>& at = w.moments;
    const LargeVector<quint32>& rec = w.records;
    const size_t n = at.size();
    std::vector<quint32> byRecord;
    const bool recordSorted = std::is_sorted(rec.begin(), rec.end());
    if (!recordSorted) {
        byRecord.resize(n);
        std::iota(byRecord.begin(), byRecord.end(), 0u);
        std::sort(byRecord.begin(), byRecord.end(),
                  [&rec](quint32 a, quint32 b) { return rec[a] < rec[b]; });
    }
    const auto recordIndex = [&](size_t i) { return recordSorted ? i : size_t(byRecord[i]); };
    for (size_t i = 1; i < n; ++i) {
        const qint64 before = at[recordIndex(i - 1)], now = at[recordIndex(i)];
        if (now < before) {
            ++s.clockBack;
            if (!s.firstClockBackAt)
                s.firstClockBackAt = now;
        } else if (now == before) {
            ++s.equalMoments;
        }
    }
}

// A channel's figures over all its readings: the extremes from the walk,
// the mean, the deviation and the mean kinetic temperature.
void summarizeChannel(const LargeVector<double>& v, const Extremes& e, double activationEnergy,
                      ChannelSummary& ch)
{
    const size_t n = v.size();
    ch.count = qint64(n);
    ch.min = e.min, ch.minAt = e.minAt;
    ch.max = e.max, ch.maxAt = e.maxAt;
    ch.mean = double(e.sum / (long double)(n));
    // Extended precision: the squares of readings near 1e308 fit.
    long double squares = 0;
    for (double x : v) {
        const long double d = (long double)(x)-ch.mean;
        squares += d * d;
    }
    ch.stdev = double(std::sqrt(squares / (long double)(n)));
    ch.mkt = meanKineticTemperature(v, activationEnergy);
}

// The runs out of a channel's limits and the share of readings within them,
// in time order.
void countLimitRuns(const LargeVector<qint64>& at, const LargeVector<double>& v, qint64 interval,
                    ChannelSummary& ch)
{
    RunCounter below, above;
    qint64 within = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const bool out[2] = {isBelow(ch, v[i]), isAbove(ch, v[i])};
        below.feed(out[0], at[i]);
        above.feed(out[1], at[i]);
        within += !out[0] && !out[1];
    }
    ch.below = below.finish(interval);
    ch.above = above.finish(interval);
    if (ch.lower || ch.upper) {
        ch.withinReadings = within;
        ch.withinShare = double(within) / double(ch.count);
    }
}

// A table per calendar day, in time order (each day is one stretch of it).
QList<DaySummary> summarizeDays(const TimeOrdered& t, const RecordingSummary& s)
{
    QList<DaySummary> days;
    const LargeVector<qint64>& at = *t.moments;
    DaySummary day;
    std::array<long double, 2> sums{};
    std::array<qint64, 2> out{};
    const auto closeDay = [&] {
        for (size_t c = 0; c < 2; ++c) {
            day.channels[c].mean = double(sums[c] / (long double)(day.records));
            day.channels[c].outSeconds = out[c] * s.interval;
        }
        days.append(day);
    };
    qint64 dayNo = 0;
    for (size_t i = 0; i < at.size(); ++i) {
        const qint64 d = momentDay(at[i]);
        if (i == 0 || d != dayNo) {
            if (i > 0)
                closeDay();
            dayNo = d;
            day = DaySummary{QDate::fromJulianDay(d), 0, {}};
            sums = {};
            out = {};
        }
        for (size_t c = 0; c < 2; ++c) {
            const double x = (*t.values[c])[i];
            DayChannel& dc = day.channels[c];
            if (day.records == 0 || x < dc.min)
                dc.min = x;
            if (day.records == 0 || x > dc.max)
                dc.max = x;
            sums[c] += x;
            const ChannelSummary& ch = s.channels[c];
            out[c] += isBelow(ch, x) || isAbove(ch, x);
        }
        ++day.records;
    }
    if (!at.empty())
        closeDay();
    return days;
}

RecordingSummary finish(const Walk& w, const SummaryOptions& options)
{
    RecordingSummary s;
    s.modes = w.modes();
    s.activationEnergy = options.activationEnergy;
    for (size_t c = 0; c < 2; ++c) {
        s.channels[c].lower = options.lower[c];
        s.channels[c].upper = options.upper[c];
    }
    s.records = qint64(w.moments.size());
    if (s.records == 0)
        return s;

    // What the order of the walk gives, then the rest in time order.
    findClockSteps(w, s);
    for (size_t c = 0; c < 2; ++c)
        summarizeChannel(w.values[c], w.extremes[c], options.activationEnergy, s.channels[c]);
    const TimeOrdered t(w);
    const LargeVector<qint64>& at = *t.moments;
    s.first = at.front();
    s.last = at.back();
    s.interval = loggingInterval(at);
    findGaps(at, s);
    for (size_t c = 0; c < 2; ++c)
        countLimitRuns(at, *t.values[c], s.interval, s.channels[c]);
    s.days = summarizeDays(t, s);
    return s;
}

} // namespace

RecordingSummary summarizeTable(const DbfTable& table, const SummaryOptions& options,
                                const RegionalSettings& rs)
{
    // Room for every record of the file: counting the live ones first would
    // read the whole file once more.
    Walk w(table, rs, table.isOpen() ? qint64(table.recordCount()) : 0);
    if (table.isOpen())
        w.addAll();
    return finish(w, options);
}

RecordingSummary summarizeRecords(const DbfTable& table, const QList<quint32>& records,
                                  const SummaryOptions& options, const RegionalSettings& rs)
{
    Walk w(table, rs, records.size());
    for (quint32 rec : records)
        w.addRecord(rec);
    return finish(w, options);
}

std::optional<double> meanKineticTemperature(std::span<const double> celsius,
                                             double activationEnergy)
{
    if (celsius.empty())
        return std::nullopt;
    const auto [coolest, hottest] = std::minmax_element(celsius.begin(), celsius.end());
    if (!(*coolest + kZeroCelsius > 0))
        return std::nullopt;
    BoltzmannFactors boltzmann(activationEnergy, *hottest);
    long double sum = 0;
    for (double x : celsius)
        sum += boltzmann(x);
    const double t = boltzmann.celsius(sum, qint64(celsius.size()));
    return std::isfinite(t) ? std::optional<double>(t) : std::nullopt;
}
