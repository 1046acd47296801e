#include "data/recording_summary_text.h"

#include "data/measurement_schema.h"
#include "data/statistics.h"
#include "platform/json_writer.h"

#include <cmath>

namespace {

const QString kNone = QStringLiteral("—");

QString dateText(const QDate& d, const RegionalSettings& rs)
{
    const QString dd = QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'));
    const QString mm = QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'));
    const QString yyyy = QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
    const QString sep(rs.dateSeparator);
    switch (rs.dateOrder) {
    case RegionalSettings::DateOrder::MonthDayYear:
        return mm + sep + dd + sep + yyyy;
    case RegionalSettings::DateOrder::YearMonthDay:
        return yyyy + sep + mm + sep + dd;
    case RegionalSettings::DateOrder::DayMonthYear:
        break;
    }
    return dd + sep + mm + sep + yyyy;
}

QString optionalMoment(const std::optional<qint64>& m, const RegionalSettings& rs)
{
    return m ? momentText(*m, rs) : kNone;
}

// Rounded to two decimals; a value beyond the reach of hundredths as it is.
double round2(double v)
{
    const double r = std::round(v * 100) / 100;
    return std::isfinite(r) ? r : v;
}

// A fixed number of decimals, the regional separator; every temperature of
// one column of a table has the same number.
QString fixedText(double v, int decimals, const RegionalSettings& rs)
{
    if (!std::isfinite(v))
        return kNone;
    // Beyond what fixed digits can say: the general format.
    if (std::fabs(v) >= 1e15)
        return floatToText(v, rs);
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(v * scale) / scale;
    return decimalText(r == 0 ? 0.0 : r, 'f', decimals, rs.decimalSeparator); // no "-0,00"
}

QString fixed2(double v, const RegionalSettings& rs)
{
    return fixedText(v, 2, rs);
}

// A limit in the style of its column; one with more decimals than that
// (a user may type 2,125) keeps them all rather than show another value.
QString limitText(const std::optional<double>& v, const RegionalSettings& rs)
{
    if (!v)
        return kNone;
    return std::round(*v * 100) / 100 == *v ? fixed2(*v, rs) : floatToText(*v, rs);
}

QString count(qint64 n, const RegionalSettings& rs)
{
    return groupedInteger(n, rs);
}

// "97,5 %": tenths of a per cent, never rounded to 100 % while a reading is
// out, nor to 0 % while one is within.
QString shareText(double share, const RegionalSettings& rs)
{
    double percent = std::round(share * 1000) / 10;
    if (share < 1 && percent >= 100)
        percent = 99.9;
    if (share > 0 && percent <= 0)
        percent = 0.1;
    return fixedText(percent, 1, rs) + QStringLiteral("\u00A0%");
}

// JSON pieces; null for no figure.
void jRounded(JsonWriter& w, double v)
{
    const double r = round2(v);
    w.number(r == 0 ? 0.0 : r);
}
void jMoment(JsonWriter& w, qint64 m)
{
    w.string(momentDateTime(m).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
}
void jOptMoment(JsonWriter& w, const std::optional<qint64>& m)
{
    if (m)
        jMoment(w, *m);
    else
        w.null();
}

// `value` where it is known, else null.
void jOptInteger(JsonWriter& w, bool known, qint64 value)
{
    if (known)
        w.integer(value);
    else
        w.null();
}

void jSide(JsonWriter& w, const LimitSide& side)
{
    w.beginObject();
    w.key(QStringLiteral("readings")).integer(side.readings);
    w.key(QStringLiteral("seconds")).integer(side.seconds);
    w.key(QStringLiteral("excursions")).integer(side.excursions);
    jOptMoment(w.key(QStringLiteral("first_at")), side.firstAt);
    jOptInteger(w.key(QStringLiteral("longest_s")), side.excursions != 0, side.longestSeconds);
    w.endObject();
}

void jGap(JsonWriter& w, const Gap& g)
{
    w.beginObject();
    jMoment(w.key(QStringLiteral("from")), g.from);
    jMoment(w.key(QStringLiteral("to")), g.to);
    w.key(QStringLiteral("seconds")).integer(g.seconds());
    w.endObject();
}

void jChannel(JsonWriter& w, const ChannelSummary& c, bool any)
{
    // Without a record the extremes and their moments are no figures.
    const auto figure = [&w, any](const QString& key, auto write) {
        w.key(key);
        if (any)
            write();
        else
            w.null();
    };
    const auto optional = [&w](const QString& key, const std::optional<double>& v, auto write) {
        w.key(key);
        if (v)
            write(*v);
        else
            w.null();
    };
    w.beginObject();
    w.key(QStringLiteral("count")).integer(c.count);
    figure(QStringLiteral("min"), [&] { w.number(c.min); });
    figure(QStringLiteral("min_at"), [&] { jMoment(w, c.minAt); });
    figure(QStringLiteral("max"), [&] { w.number(c.max); });
    figure(QStringLiteral("max_at"), [&] { jMoment(w, c.maxAt); });
    figure(QStringLiteral("mean"), [&] { jRounded(w, c.mean); });
    figure(QStringLiteral("stdev"), [&] { jRounded(w, c.stdev); });
    optional(QStringLiteral("mkt"), c.mkt, [&w](double v) { jRounded(w, v); });
    optional(QStringLiteral("lower"), c.lower, [&w](double v) { w.number(v); });
    optional(QStringLiteral("upper"), c.upper, [&w](double v) { w.number(v); });
    jSide(w.key(QStringLiteral("below")), c.below);
    jSide(w.key(QStringLiteral("above")), c.above);
    w.key(QStringLiteral("within"));
    if (c.withinReadings) {
        w.beginObject();
        w.key(QStringLiteral("readings")).integer(*c.withinReadings);
        w.key(QStringLiteral("share")).number(c.withinShare.value_or(0));
        w.endObject();
    } else {
        w.null();
    }
    w.endObject();
}

void jDayChannel(JsonWriter& w, const DayChannel& c)
{
    w.beginObject();
    w.key(QStringLiteral("min")).number(c.min);
    jRounded(w.key(QStringLiteral("mean")), c.mean);
    w.key(QStringLiteral("max")).number(c.max);
    w.key(QStringLiteral("out_s")).integer(c.outSeconds);
    w.endObject();
}

} // namespace

QString momentText(qint64 moment, const RegionalSettings& rs)
{
    const QDateTime dt = momentDateTime(moment);
    const QString sep(rs.timeSeparator);
    return dateText(dt.date(), rs) + u' ' +
           dt.time().toString(QStringLiteral("HH'%1'mm'%1'ss").arg(sep));
}

QList<QStringList> summaryRows(const RecordingSummary& s, const RegionalSettings& rs)
{
    QList<QStringList> rows;
    rows << QStringList{QStringLiteral("Записей"), count(s.records, rs)};
    rows << QStringList{QStringLiteral("Начало"), optionalMoment(s.first, rs)};
    rows << QStringList{QStringLiteral("Конец"), optionalMoment(s.last, rs)};
    rows << QStringList{QStringLiteral("Продолжительность"),
                        s.first ? durationText(s.span()) : kNone};
    rows << QStringList{QStringLiteral("Интервал"), s.interval ? durationText(s.interval) : kNone};
    for (const auto& [mode, n] : s.modes)
        rows << QStringList{QStringLiteral("Режим «%1»").arg(mode), count(n, rs)};
    rows << QStringList{QStringLiteral("Пропусков"), count(s.gaps.size(), rs)};
    rows << QStringList{QStringLiteral("Пропущено времени"), durationText(s.missingSeconds)};
    rows << QStringList{QStringLiteral("Самый длинный пропуск"),
                        s.longestGap ? QStringLiteral("%1 – %2 (%3)")
                                           .arg(momentText(s.longestGap->from, rs),
                                                momentText(s.longestGap->to, rs),
                                                durationText(s.longestGap->seconds()))
                                     : kNone};
    rows << QStringList{QStringLiteral("Шагов часов назад"), count(s.clockBack, rs)};
    rows << QStringList{QStringLiteral("Первый шаг назад"), optionalMoment(s.firstClockBackAt, rs)};
    rows << QStringList{QStringLiteral("Повторов момента"), count(s.equalMoments, rs)};

    rows << QStringList{QString(), MeasurementSchema::kT1Caption, MeasurementSchema::kT2Caption};
    const auto both = [&](const QString& label, const auto& cell) {
        QStringList row{label};
        for (const ChannelSummary& c : s.channels)
            row << (s.records ? cell(c) : kNone);
        rows << row;
    };
    both(QStringLiteral("Показаний"), [&](const ChannelSummary& c) { return count(c.count, rs); });
    both(QStringLiteral("Минимум"), [&](const ChannelSummary& c) { return fixed2(c.min, rs); });
    both(QStringLiteral("Время минимума"),
         [&](const ChannelSummary& c) { return momentText(c.minAt, rs); });
    both(QStringLiteral("Максимум"), [&](const ChannelSummary& c) { return fixed2(c.max, rs); });
    both(QStringLiteral("Время максимума"),
         [&](const ChannelSummary& c) { return momentText(c.maxAt, rs); });
    both(QStringLiteral("Среднее"), [&](const ChannelSummary& c) { return fixed2(c.mean, rs); });
    both(QStringLiteral("Стандартное отклонение"),
         [&](const ChannelSummary& c) { return fixed2(c.stdev, rs); });
    both(QStringLiteral("MKT (ΔH = %1 кДж/моль)").arg(floatToText(s.activationEnergy, rs)),
         [&](const ChannelSummary& c) { return c.mkt ? fixed2(*c.mkt, rs) : kNone; });
    rows << QStringList{QStringLiteral("Нижняя граница"), limitText(s.channels[0].lower, rs),
                        limitText(s.channels[1].lower, rs)};
    rows << QStringList{QStringLiteral("Верхняя граница"), limitText(s.channels[0].upper, rs),
                        limitText(s.channels[1].upper, rs)};
    both(QStringLiteral("Доля времени в границах"), [&](const ChannelSummary& c) {
        return c.withinShare ? shareText(*c.withinShare, rs) : kNone;
    });
    for (int below = 1; below >= 0; --below) {
        const QString side =
            below ? QStringLiteral("Ниже границы") : QStringLiteral("Выше границы");
        const auto sideRow = [&](const QString& what, auto cell) {
            QStringList row{side + QStringLiteral(": ") + what};
            for (const ChannelSummary& c : s.channels) {
                const bool limited = below ? bool(c.lower) : bool(c.upper);
                row << (limited ? cell(below ? c.below : c.above) : kNone);
            }
            rows << row;
        };
        sideRow(QStringLiteral("показаний"),
                [&](const LimitSide& l) { return count(l.readings, rs); });
        sideRow(QStringLiteral("время"),
                [](const LimitSide& l) { return durationText(l.seconds); });
        sideRow(QStringLiteral("выходов"),
                [&](const LimitSide& l) { return count(l.excursions, rs); });
        sideRow(QStringLiteral("первый выход"),
                [&](const LimitSide& l) { return optionalMoment(l.firstAt, rs); });
        sideRow(QStringLiteral("самый долгий"), [&](const LimitSide& l) {
            return l.longestAt ? QStringLiteral("%1 (%2)").arg(momentText(*l.longestAt, rs),
                                                               durationText(l.longestSeconds))
                               : kNone;
        });
    }
    return rows;
}

QList<QStringList> dayRows(const RecordingSummary& s, const RegionalSettings& rs)
{
    QList<QStringList> rows;
    QStringList head{QStringLiteral("Дата"), QStringLiteral("Записей")};
    for (const QString& ch : {QStringLiteral("T1"), QStringLiteral("T2")})
        head << ch + QStringLiteral(" мин") << ch + QStringLiteral(" сред")
             << ch + QStringLiteral(" макс") << ch + QStringLiteral(" вне границ");
    rows << head;
    for (const DaySummary& d : s.days) {
        QStringList row{dateText(d.date, rs), count(d.records, rs)};
        // The extremes are readings, with their one decimal; the mean has two.
        for (const DayChannel& c : d.channels)
            row << fixedText(c.min, 1, rs) << fixed2(c.mean, rs) << fixedText(c.max, 1, rs)
                << durationText(c.outSeconds);
        rows << row;
    }
    return rows;
}

QList<QStringList> verdictRows(const RecordingSummary& s, const RegionalSettings& rs)
{
    QList<QStringList> rows{{QStringLiteral("Канал"), QStringLiteral("Заключение"),
                             QStringLiteral("Показаний вне границ"),
                             QStringLiteral("Время вне границ"), QStringLiteral("Выходов"),
                             QStringLiteral("Время в границах")}};
    const QString names[2] = {MeasurementSchema::kT1Caption, MeasurementSchema::kT2Caption};
    for (int i = 0; i < 2; ++i) {
        const ChannelSummary& c = s.channels[size_t(i)];
        if (!c.lower && !c.upper) {
            rows << QStringList{names[i], QStringLiteral("границы не заданы"), kNone, kNone, kNone,
                                kNone};
            continue;
        }
        // A reading is out on one side only: the sides add up.
        const qint64 out = c.below.readings + c.above.readings;
        rows << QStringList{names[i],
                            out ? QStringLiteral("вне пределов") : QStringLiteral("в пределах"),
                            count(out, rs),
                            durationText(c.below.seconds + c.above.seconds),
                            count(c.below.excursions + c.above.excursions, rs),
                            c.withinShare ? shareText(*c.withinShare, rs) : kNone};
    }
    return rows;
}

QString limitsText(const ChannelSummary& c, const RegionalSettings& rs)
{
    if (c.lower && c.upper)
        return QStringLiteral("от %1 до %2").arg(limitText(c.lower, rs), limitText(c.upper, rs));
    if (c.lower)
        return QStringLiteral("не ниже ") + limitText(c.lower, rs);
    if (c.upper)
        return QStringLiteral("не выше ") + limitText(c.upper, rs);
    return QStringLiteral("не заданы");
}

QString alignedText(const QList<QStringList>& rows)
{
    // Consecutive rows of as many cells form one block with its own widths,
    // so that a long value of one block does not push the other's columns.
    QString out;
    for (qsizetype from = 0; from < rows.size();) {
        qsizetype to = from;
        while (to < rows.size() && rows[to].size() == rows[from].size())
            ++to;
        QList<qsizetype> widths(rows[from].size(), 0);
        for (qsizetype r = from; r < to; ++r)
            for (qsizetype i = 0; i < rows[r].size(); ++i)
                widths[i] = std::max(widths[i], rows[r][i].size());
        for (qsizetype r = from; r < to; ++r) {
            QString line;
            for (qsizetype i = 0; i < rows[r].size(); ++i)
                line +=
                    i + 1 < rows[r].size() ? rows[r][i].leftJustified(widths[i] + 2) : rows[r][i];
            out += line + u'\n';
        }
        from = to;
    }
    return out;
}

QString tabSeparatedText(const QList<QStringList>& rows)
{
    QString out;
    for (const QStringList& row : rows)
        out += row.join(u'\t') + u'\n';
    return out;
}

QString summaryJson(const RecordingSummary& s)
{
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("records")).integer(s.records);
    jOptMoment(w.key(QStringLiteral("first")), s.first);
    jOptMoment(w.key(QStringLiteral("last")), s.last);
    jOptInteger(w.key(QStringLiteral("interval_s")), s.interval != 0, s.interval);
    w.key(QStringLiteral("modes")).beginObject();
    for (const auto& [mode, count] : s.modes)
        w.key(mode).integer(count);
    w.endObject();

    w.key(QStringLiteral("gaps")).beginObject();
    w.key(QStringLiteral("count")).integer(s.gaps.size());
    w.key(QStringLiteral("missing_s")).integer(s.missingSeconds);
    w.key(QStringLiteral("longest"));
    if (s.longestGap)
        jGap(w, *s.longestGap);
    else
        w.null();
    w.key(QStringLiteral("list")).beginArray();
    for (const Gap& g : s.gaps)
        jGap(w, g);
    w.endArray();
    w.endObject();

    w.key(QStringLiteral("clock_back")).beginObject();
    w.key(QStringLiteral("count")).integer(s.clockBack);
    jOptMoment(w.key(QStringLiteral("first_at")), s.firstClockBackAt);
    w.key(QStringLiteral("equal")).integer(s.equalMoments);
    w.endObject();

    w.key(QStringLiteral("channels")).beginObject();
    jChannel(w.key(QStringLiteral("T1")), s.channels[0], s.records > 0);
    jChannel(w.key(QStringLiteral("T2")), s.channels[1], s.records > 0);
    w.endObject();

    w.key(QStringLiteral("days")).beginArray();
    for (const DaySummary& d : s.days) {
        w.beginObject();
        w.key(QStringLiteral("date")).string(d.date.toString(QStringLiteral("yyyy-MM-dd")));
        w.key(QStringLiteral("records")).integer(d.records);
        jDayChannel(w.key(QStringLiteral("T1")), d.channels[0]);
        jDayChannel(w.key(QStringLiteral("T2")), d.channels[1]);
        w.endObject();
    }
    w.endArray();
    w.endObject();
    return w.text() + u'\n';
}
