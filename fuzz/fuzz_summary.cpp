// A table file of any content, summarised: the whole table and a selection
// of its rows, as text and as JSON, and `info --json`. Every input ends in a
// failure text or in a summary whose JSON parses (by a strict reading of the
// grammar, numbers finite), whose counts add up and whose text shows no
// infinity and no NaN.
#include "data/dbf_table.h"
#include "data/recording_summary.h"
#include "data/recording_summary_text.h"
#include "data/table_info_json.h"
#include "fuzz/fuzz_work_dir.h"
#include "platform/app_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const QString& text)
{
    std::fprintf(stderr, "fuzz_summary: %s\n%s\n", what, text.toUtf8().constData());
    std::abort();
}

// RFC 8259, nothing more: no comments, no trailing commas, no NaN or
// Infinity, no leading zeros, no control characters in strings, and every
// number finite as a double.
class StrictJson
{
public:
    explicit StrictJson(const std::string& text) : m_s(text) {}

    bool valid()
    {
        space();
        if (!value(0))
            return false;
        space();
        return m_at == m_s.size();
    }

private:
    bool value(int depth)
    {
        if (depth > 64 || m_at >= m_s.size())
            return false;
        switch (m_s[m_at]) {
        case '{':
            return object(depth);
        case '[':
            return array(depth);
        case '"':
            return string();
        case 't':
            return word("true");
        case 'f':
            return word("false");
        case 'n':
            return word("null");
        default:
            return number();
        }
    }
    bool object(int depth)
    {
        ++m_at;
        space();
        if (peek('}'))
            return ++m_at, true;
        for (;;) {
            space();
            if (!peek('"') || !string())
                return false;
            space();
            if (!peek(':'))
                return false;
            ++m_at;
            space();
            if (!value(depth + 1))
                return false;
            space();
            if (peek('}'))
                return ++m_at, true;
            if (!peek(','))
                return false;
            ++m_at;
        }
    }
    bool array(int depth)
    {
        ++m_at;
        space();
        if (peek(']'))
            return ++m_at, true;
        for (;;) {
            space();
            if (!value(depth + 1))
                return false;
            space();
            if (peek(']'))
                return ++m_at, true;
            if (!peek(','))
                return false;
            ++m_at;
        }
    }
    bool string()
    {
        ++m_at;
        while (m_at < m_s.size()) {
            const unsigned char c = static_cast<unsigned char>(m_s[m_at++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c != '\\')
                continue;
            if (m_at >= m_s.size())
                return false;
            const char e = m_s[m_at++];
            if (e == 'u') {
                for (int i = 0; i < 4; ++i, ++m_at)
                    if (m_at >= m_s.size() || !std::isxdigit(static_cast<unsigned char>(m_s[m_at])))
                        return false;
            } else if (std::string("\"\\/bfnrt").find(e) == std::string::npos) {
                return false;
            }
        }
        return false;
    }
    bool number()
    {
        const size_t from = m_at;
        if (peek('-'))
            ++m_at;
        if (peek('0')) {
            ++m_at;
        } else if (!digits()) {
            return false;
        }
        if (peek('.')) {
            ++m_at;
            if (!digits())
                return false;
        }
        if (peek('e') || peek('E')) {
            ++m_at;
            if (peek('+') || peek('-'))
                ++m_at;
            if (!digits())
                return false;
        }
        return std::isfinite(std::strtod(m_s.substr(from, m_at - from).c_str(), nullptr));
    }
    bool digits()
    {
        const size_t from = m_at;
        while (m_at < m_s.size() && m_s[m_at] >= '0' && m_s[m_at] <= '9')
            ++m_at;
        return m_at > from;
    }
    bool word(const char* w)
    {
        const std::string t(w);
        if (m_s.compare(m_at, t.size(), t) != 0)
            return false;
        m_at += t.size();
        return true;
    }
    bool peek(char c) const { return m_at < m_s.size() && m_s[m_at] == c; }
    void space()
    {
        while (m_at < m_s.size() &&
               (m_s[m_at] == ' ' || m_s[m_at] == '\t' || m_s[m_at] == '\n' || m_s[m_at] == '\r'))
            ++m_at;
    }

    const std::string& m_s;
    size_t m_at = 0;
};

QJsonObject parsed(const QString& json)
{
    const std::string bytes = json.toStdString();
    if (!StrictJson(bytes).valid())
        fail("JSON that does not parse", json);
    QJsonParseError e;
    const QJsonDocument d = QJsonDocument::fromJson(QByteArray::fromStdString(bytes), &e);
    if (e.error != QJsonParseError::NoError || !d.isObject())
        fail("JSON that Qt does not read", json);
    return d.object();
}

qint64 integer(const QJsonValue& v)
{
    return qint64(v.toDouble(-1));
}

// The counts of one summary, as its JSON gives them, add up.
void checkCounts(const RecordingSummary& s, const QString& json)
{
    const QJsonObject o = parsed(json);
    const qint64 records = integer(o["records"]);
    if (records != s.records)
        fail("records", json);
    qint64 modes = 0;
    const QJsonObject modeCounts = o["modes"].toObject();
    for (auto it = modeCounts.begin(); it != modeCounts.end(); ++it)
        modes += integer(it.value());
    // Two MODE texts may read alike once trimmed; their counts then share
    // one key of the object, so only the summary's own list adds up whole.
    qint64 listed = 0;
    for (const auto& m : s.modes)
        listed += m.second;
    if (listed != records || modes > records)
        fail("modes do not add up to the records", json);
    qint64 dayRecords = 0;
    for (const QJsonValue& d : o["days"].toArray())
        dayRecords += integer(d.toObject()["records"]);
    if (dayRecords != records)
        fail("days do not add up to the records", json);
    const QJsonObject gaps = o["gaps"].toObject();
    if (integer(gaps["count"]) != gaps["list"].toArray().size())
        fail("gap count", json);
    for (const char* channel : {"T1", "T2"}) {
        const QJsonObject c = o["channels"].toObject()[QLatin1String(channel)].toObject();
        if (integer(c["count"]) != records)
            fail("channel count", json);
        for (const char* side : {"below", "above"}) {
            const QJsonObject l = c[QLatin1String(side)].toObject();
            if (integer(l["excursions"]) > integer(l["readings"]) ||
                integer(l["readings"]) > records)
                fail("excursions", json);
        }
        if (records > 0 && !c["min"].isNull() && !c["max"].isNull() &&
            c["min"].toDouble() > c["max"].toDouble())
            fail("minimum above maximum", json);
    }
}

// The figures of the text form: every row but the MODE texts, which come
// from the file.
void checkText(const QList<QStringList>& rows)
{
    for (const QStringList& row : rows) {
        if (row.value(0).startsWith(QStringLiteral("Режим")))
            continue;
        for (const QString& cell : row)
            if (cell.contains(QStringLiteral("inf"), Qt::CaseInsensitive) ||
                cell.contains(QStringLiteral("nan"), Qt::CaseInsensitive))
                fail("a figure that is no number", row.join(u'|'));
    }
}

void summarize(const DbfTable& t, const QList<quint32>* records, const SummaryOptions& o)
{
    static const RegionalSettings rs = RegionalSettings::russian();
    const RecordingSummary s =
        records ? summarizeRecords(t, *records, o, rs) : summarizeTable(t, o, rs);
    checkCounts(s, summaryJson(s));
    checkText(summaryRows(s, rs));
    checkText(dayRows(s, rs));
    (void)alignedText(summaryRows(s, rs));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzWorkDir dir(QStringLiteral("fuzz_summary"));
    const QString path = dir.write(QStringLiteral("t.db"), data, size);
    if (path.isEmpty())
        return 0;
    DbfTable t;
    t.setTableFile(path);
    try {
        t.open(DbfTable::Access::ReadOnly);
    } catch (const AppError&) {
        return 0;
    }
    // No limits; tight limits on both sides with the lowest ΔH the options
    // take; the highest; and a ΔH far below them, which the options refuse
    // but the arithmetic must still survive without infinity or NaN.
    SummaryOptions limits;
    limits.lower = {0.0, -5.0};
    limits.upper = {0.0, 5.0};
    limits.activationEnergy = 1;
    SummaryOptions hot;
    hot.activationEnergy = 1000;
    SummaryOptions tiny;
    tiny.activationEnergy = 1e-16;
    for (const SummaryOptions& o : {SummaryOptions(), limits, hot, tiny}) {
        try {
            summarize(t, nullptr, o);
        } catch (const AppError&) {
            // A text that does not convert: the summary says which.
        }
    }
    // Every third row of the table, backwards: a selection in no order.
    QList<quint32> some;
    for (qint64 i = t.rowCount() - 1; i >= 0 && some.size() < 100000; i -= 3)
        some << t.recordAt(i);
    try {
        summarize(t, &some, limits);
    } catch (const AppError&) {
    }
    (void)parsed(tableInfoJson(t, path, RegionalSettings::russian()));
    t.close();
    return 0;
}
