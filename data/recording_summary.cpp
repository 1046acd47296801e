#include "data/recording_summary.h"

#include "data/dbf_table.h"
#include "data/measurement_schema.h"
#include "platform/app_error.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

constexpr qint64 kDaySeconds = 86400;
constexpr double kZeroCelsius = 273.15;

const QString kOperational = QStringLiteral("Оперативный");
const QString kObservation = QStringLiteral("Наблюдения");

// Exactly `count` decimal digits; -1 when one is not a digit.
int digits(const char* p, int count)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

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

// The mean kinetic temperature of `values` (°C) with these extremes; none
// when a reading is at or below absolute zero.
template <typename Values>
std::optional<double> kineticMean(const Values& values, double coolest, double hottest,
                                  double activationEnergy)
{
    if (values.empty() || !(coolest + kZeroCelsius > 0))
        return std::nullopt;
    BoltzmannFactors boltzmann(activationEnergy, hottest);
    long double sum = 0;
    for (double x : values)
        sum += boltzmann(x);
    const double t = boltzmann.celsius(sum, qint64(values.size()));
    return std::isfinite(t) ? std::optional<double>(t) : std::nullopt;
}

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
        : m_table(table), m_rs(rs)
    {
        m_date = field(table, MeasurementSchema::kDate);
        m_time = field(table, MeasurementSchema::kTime);
        m_mode = field(table, MeasurementSchema::kMode);
        m_t[0] = field(table, MeasurementSchema::kT1);
        m_t[1] = field(table, MeasurementSchema::kT2);
        m_dateSep = rs.dateSeparator.unicode() < 0x80 ? char(rs.dateSeparator.unicode()) : 0;
        m_timeSep = rs.timeSeparator.unicode() < 0x80 ? char(rs.timeSeparator.unicode()) : 0;
        m_modes = {{kOperational, 0}, {kObservation, 0}};
        moments.reserve(size_t(expected));
        records.reserve(size_t(expected));
        values[0].reserve(size_t(expected));
        values[1].reserve(size_t(expected));
    }

    void add(quint32 rec)
    {
        const char* p = m_table.peekRecord(rec);
        if (!p)
            return;
        // The moment first, then T_1 and T_2: the first text that does not
        // convert is the one reported, as the chart's conversion does.
        const qint64 at = moment(p);
        double v[2];
        for (int c = 0; c < 2; ++c)
            if (!m_table.numberAt(p, m_t[c], m_rs, v[c]))
                v[c] = textToFloat(QString(), m_rs); // an empty text throws
        countMode(p);
        if (moments.empty()) {
            extremes[0].start(v[0], at);
            extremes[1].start(v[1], at);
        } else {
            extremes[0].add(v[0], at);
            extremes[1].add(v[1], at);
        }
        moments.push_back(at);
        records.push_back(rec);
        values[0].push_back(v[0]);
        values[1].push_back(v[1]);
    }

    QList<std::pair<QString, qint64>> modes() const { return m_modes; }

    std::vector<qint64> moments;
    std::vector<quint32> records;
    std::array<std::vector<double>, 2> values;
    std::array<Extremes, 2> extremes;

private:
    static int field(const DbfTable& table, const QString& name)
    {
        const int f = table.fieldIndex(name);
        if (f < 0)
            throw AppError(QStringLiteral("Field '%1' not found").arg(name));
        return f;
    }

    qint64 moment(const char* p)
    {
        const QByteArrayView date = m_table.fieldBytes(p, m_date);
        QByteArrayView time = m_table.fieldBytes(p, m_time);
        while (!time.isEmpty() && (time.back() == ' ' || time.back() == '\0'))
            time.chop(1);
        if (date.size() >= 10 && m_dateSep && m_timeSep && (time.size() == 5 || time.size() == 8)) {
            // Rows of one day share the day's text: it is read once.
            if (m_dayValid && std::memcmp(date.data(), m_dayText, 10) == 0) {
                if (const std::optional<int> s = seconds(time))
                    return m_day * kDaySeconds + *s;
            } else if (const std::optional<qint64> day = julianDay(date)) {
                if (const std::optional<int> s = seconds(time)) {
                    std::memcpy(m_dayText, date.data(), 10);
                    m_day = *day;
                    m_dayValid = true;
                    return m_day * kDaySeconds + *s;
                }
            }
        }
        // Anything else goes through the general conversion, which decides
        // and reports.
        const QString text = m_table.decodeAt(p, m_date).toString() + u' ' +
                             m_table.decodeAt(p, m_time).toString();
        const QDateTime dt = textToDateTime(text, m_rs);
        return momentOf(dt.date(), dt.time());
    }

    std::optional<qint64> julianDay(QByteArrayView date) const
    {
        if (date.size() > 10 && date.sliced(10).trimmed().size() > 0)
            return std::nullopt;
        const char* d = date.data();
        int a = -1, b = -1, c = -1;
        if (m_rs.dateOrder == RegionalSettings::DateOrder::YearMonthDay) {
            if (d[4] == m_dateSep && d[7] == m_dateSep)
                a = digits(d, 4), b = digits(d + 5, 2), c = digits(d + 8, 2);
        } else if (d[2] == m_dateSep && d[5] == m_dateSep) {
            a = digits(d, 2), b = digits(d + 3, 2), c = digits(d + 6, 4);
        }
        if (a < 0 || b < 0 || c < 0)
            return std::nullopt;
        QDate qd;
        switch (m_rs.dateOrder) {
        case RegionalSettings::DateOrder::DayMonthYear:
            qd = QDate(c, b, a);
            break;
        case RegionalSettings::DateOrder::MonthDayYear:
            qd = QDate(c, a, b);
            break;
        case RegionalSettings::DateOrder::YearMonthDay:
            qd = QDate(a, b, c);
            break;
        }
        if (!qd.isValid())
            return std::nullopt;
        return qd.toJulianDay();
    }

    std::optional<int> seconds(QByteArrayView time) const
    {
        const char* t = time.data();
        if (t[2] != m_timeSep || (time.size() == 8 && t[5] != m_timeSep))
            return std::nullopt;
        const int h = digits(t, 2), m = digits(t + 3, 2);
        const int s = time.size() == 8 ? digits(t + 6, 2) : 0;
        if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
            return std::nullopt;
        return (h * 60 + m) * 60 + s;
    }

    void countMode(const char* p)
    {
        // Each distinct MODE text is decoded once; rows are matched by bytes.
        const QByteArrayView bytes = m_table.fieldBytes(p, m_mode);
        if (m_modeKey < 0 || bytes != QByteArrayView(m_modeBytes[m_modeKey])) {
            m_modeKey = -1;
            for (qsizetype i = 0; i < m_modeBytes.size() && m_modeKey < 0; ++i)
                if (bytes == QByteArrayView(m_modeBytes[i]))
                    m_modeKey = i;
            if (m_modeKey < 0) {
                const QString text = m_table.decodeAt(p, m_mode).toString().trimmed();
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

    const DbfTable& m_table;
    const RegionalSettings& m_rs;
    int m_date = -1, m_time = -1, m_mode = -1;
    int m_t[2] = {-1, -1};
    char m_dateSep = 0, m_timeSep = 0;
    char m_dayText[10] = {};
    bool m_dayValid = false;
    qint64 m_day = 0;
    QList<QByteArray> m_modeBytes; // the byte texts met, each with its entry in m_modes
    QList<qsizetype> m_modeIndex;
    qsizetype m_modeKey = -1; // the byte text of the row before
    QList<std::pair<QString, qint64>> m_modes;
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

// The rows in ascending order of their moments, equal moments in the order
// of the walk: a least-significant-digit radix sort of the moments' offsets
// from the earliest, 11 bits a pass (three passes cover 270 years in
// seconds), which costs the same for shuffled and for nearly sorted rows.
std::vector<quint32> stableOrder(const std::vector<qint64>& at)
{
    const size_t n = at.size();
    const qint64 low = *std::min_element(at.begin(), at.end());
    const quint64 span = quint64(*std::max_element(at.begin(), at.end()) - low);
    constexpr int kBits = 11;
    constexpr size_t kBuckets = size_t(1) << kBits;
    std::vector<quint32> order(n), next(n);
    std::iota(order.begin(), order.end(), 0u);
    for (int shift = 0; shift == 0 || (shift < 64 && (span >> shift) != 0); shift += kBits) {
        std::vector<size_t> count(kBuckets + 1, 0);
        for (size_t i = 0; i < n; ++i)
            ++count[((quint64(at[i] - low) >> shift) & (kBuckets - 1)) + 1];
        for (size_t b = 1; b <= kBuckets; ++b)
            count[b] += count[b - 1];
        for (size_t i = 0; i < n; ++i) {
            const quint32 row = order[i];
            next[count[(quint64(at[row] - low) >> shift) & (kBuckets - 1)]++] = row;
        }
        order.swap(next);
    }
    return order;
}

RecordingSummary finish(Walk& w, const SummaryOptions& options)
{
    RecordingSummary s;
    s.modes = w.modes();
    s.activationEnergy = options.activationEnergy;
    for (int c = 0; c < 2; ++c) {
        s.channels[size_t(c)].lower = options.lower[size_t(c)];
        s.channels[size_t(c)].upper = options.upper[size_t(c)];
    }
    const size_t n = w.moments.size();
    s.records = qint64(n);
    if (n == 0)
        return s;
    const std::vector<qint64>& at = w.moments;

    // Time order: equal moments keep the order of the walk.
    std::vector<quint32> byTime;
    const bool timeSorted = std::is_sorted(at.begin(), at.end());
    if (!timeSorted)
        byTime = stableOrder(at);
    // The passes in time order read copies laid out in that order: indexing
    // through the order at every pass would miss the cache at every row.
    std::vector<qint64> atByTime;
    std::array<std::vector<double>, 2> valuesByTime;
    if (!timeSorted) {
        atByTime.resize(n);
        valuesByTime[0].resize(n);
        valuesByTime[1].resize(n);
        for (size_t i = 0; i < n; ++i) {
            const quint32 k = byTime[i];
            atByTime[i] = at[k];
            valuesByTime[0][i] = w.values[0][k];
            valuesByTime[1][i] = w.values[1][k];
        }
    }
    const std::vector<qint64>& tAt = timeSorted ? at : atByTime;
    const std::array<const std::vector<double>*, 2> tValues = {
        timeSorted ? &w.values[0] : &valuesByTime[0], timeSorted ? &w.values[1] : &valuesByTime[1]};
    s.first = tAt[0];
    s.last = tAt[n - 1];

    // The interval: the most frequent positive step, the shorter one of equals.
    {
        QHash<qint64, qint64> counts;
        qint64 step = 0, run = 0;
        const auto flush = [&] {
            if (run > 0)
                counts[step] += run;
        };
        for (size_t i = 1; i < n; ++i) {
            const qint64 d = tAt[i] - tAt[i - 1];
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
        qint64 best = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            if (it.value() > best || (it.value() == best && it.key() < s.interval))
                s.interval = it.key(), best = it.value();
    }

    // Gaps, in time order.
    if (s.interval > 0) {
        for (size_t i = 1; i < n; ++i) {
            const qint64 from = tAt[i - 1], to = tAt[i];
            if (2 * (to - from) > 3 * s.interval) {
                s.gaps.append({from, to});
                s.missingSeconds += to - from - s.interval;
                if (!s.longestGap || to - from > s.longestGap->seconds())
                    s.longestGap = Gap{from, to};
            }
        }
    }

    // Clock faults, in record order.
    {
        const std::vector<quint32>& rec = w.records;
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

    // Channels: extremes from the walk, the rest over the kept readings.
    for (size_t c = 0; c < 2; ++c) {
        ChannelSummary& ch = s.channels[c];
        const std::vector<double>& v = w.values[c];
        const Extremes& e = w.extremes[c];
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
        ch.mkt = kineticMean(v, ch.min, ch.max, options.activationEnergy);

        // Limits and the days, in time order.
        RunCounter below, above;
        qint64 within = 0;
        const std::vector<double>& tv = *tValues[c];
        for (size_t i = 0; i < n; ++i) {
            const bool isBelow = ch.lower && tv[i] < *ch.lower;
            const bool isAbove = ch.upper && tv[i] > *ch.upper;
            below.feed(isBelow, tAt[i]);
            above.feed(isAbove, tAt[i]);
            within += !isBelow && !isAbove;
        }
        ch.below = below.finish(s.interval);
        ch.above = above.finish(s.interval);
        if (ch.lower || ch.upper) {
            ch.withinReadings = within;
            ch.withinShare = double(within) / double(ch.count);
        }
    }

    // Days, in time order (each day is one stretch of it).
    DaySummary day;
    std::array<long double, 2> sums{};
    std::array<qint64, 2> out{};
    const auto closeDay = [&] {
        for (size_t c = 0; c < 2; ++c) {
            day.channels[c].mean = double(sums[c] / (long double)(day.records));
            day.channels[c].outSeconds = out[c] * s.interval;
        }
        s.days.append(day);
    };
    qint64 dayNo = 0;
    for (size_t i = 0; i < n; ++i) {
        const qint64 d = tAt[i] >= 0 ? tAt[i] / kDaySeconds : (tAt[i] - kDaySeconds + 1) / kDaySeconds;
        if (i == 0 || d != dayNo) {
            if (i > 0)
                closeDay();
            dayNo = d;
            day = DaySummary{QDate::fromJulianDay(d), 0, {}};
            sums = {};
            out = {};
        }
        for (size_t c = 0; c < 2; ++c) {
            const double x = (*tValues[c])[i];
            DayChannel& dc = day.channels[c];
            if (day.records == 0 || x < dc.min)
                dc.min = x;
            if (day.records == 0 || x > dc.max)
                dc.max = x;
            sums[c] += x;
            const ChannelSummary& ch = s.channels[c];
            out[c] += (ch.lower && x < *ch.lower) || (ch.upper && x > *ch.upper);
        }
        ++day.records;
    }
    closeDay();
    return s;
}

} // namespace

RecordingSummary summarizeTable(const DbfTable& table, const SummaryOptions& options,
                                const RegionalSettings& rs)
{
    const qint64 n = table.isOpen() ? table.rowCount() : 0;
    Walk w(table, rs, n);
    for (qint64 i = 0; i < n; ++i)
        w.add(table.recordAt(i));
    return finish(w, options);
}

RecordingSummary summarizeRecords(const DbfTable& table, const QList<quint32>& records,
                                  const SummaryOptions& options, const RegionalSettings& rs)
{
    Walk w(table, rs, records.size());
    for (quint32 rec : records)
        w.add(rec);
    return finish(w, options);
}

std::optional<double> meanKineticTemperature(const QList<double>& celsius,
                                             double activationEnergy)
{
    if (celsius.isEmpty())
        return std::nullopt;
    const auto [coolest, hottest] = std::minmax_element(celsius.begin(), celsius.end());
    return kineticMean(celsius, *coolest, *hottest, activationEnergy);
}

QDateTime momentDateTime(qint64 moment)
{
    const qint64 day = moment >= 0 ? moment / kDaySeconds : (moment - kDaySeconds + 1) / kDaySeconds;
    const qint64 second = moment - day * kDaySeconds;
    // No zone: the instrument's clock, with no hour of it skipped or doubled.
    return QDateTime(QDate::fromJulianDay(day), QTime(0, 0).addSecs(int(second)), Qt::UTC);
}

qint64 momentOf(const QDate& date, const QTime& time)
{
    return date.toJulianDay() * kDaySeconds + time.msecsSinceStartOfDay() / 1000;
}
