#include "sim/sim_archive.h"

#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

SimArchive SimArchive::generate(std::uint32_t seed, int count, const QDateTime& start,
                                int intervalSeconds)
{
    SimArchive a;
    a.m_random.seed(seed);
    a.m_intervalSeconds = intervalSeconds > 0 ? intervalSeconds : 600;
    count = std::clamp(count, 0, kMaxRecords);
    a.m_records.reserve(count);
    for (int i = 0; i < count; ++i)
        a.m_records.push_back(a.makeRecord(start.addSecs(qint64(i) * a.m_intervalSeconds)));
    return a;
}

SimRecord SimArchive::makeRecord(const QDateTime& time)
{
    SimRecord r;
    r.time = time;
    const double hour = time.time().hour() + time.time().minute() / 60.0;
    const double day = 2 * std::numbers::pi * (hour - 9.0) / 24.0;
    std::normal_distribution<double> noise(0.0, 0.4);
    // Channel 1 indoors around +18, channel 2 outdoors in winter, often below zero.
    r.t1 = int(std::lround((18.0 + 3.0 * std::sin(day) + noise(m_random)) * 100));
    r.t2 = int(std::lround((-4.0 + 7.0 * std::sin(day) + noise(m_random) * 2) * 100));
    // Observation runs by day, operative records at night.
    r.observation = hour >= 8 && hour < 20;
    std::uniform_int_distribution<int> pick(0, 19);
    const int p = pick(m_random);
    r.channels = p == 0 ? 1 : (p == 1 ? 2 : (p == 2 ? 0 : 3));
    return r;
}

void SimArchive::grow(int count)
{
    QDateTime next = m_records.isEmpty() ? QDateTime(QDate(2026, 1, 1), QTime(0, 0))
                                         : m_records.last().time.addSecs(m_intervalSeconds);
    for (int i = 0; i < count && m_records.size() < kMaxRecords; ++i) {
        m_records.push_back(makeRecord(next));
        next = next.addSecs(m_intervalSeconds);
    }
}

static bool parseRecord(const QString& line, SimRecord& r)
{
    const QStringList f = line.split(u';');
    if (f.size() != 6)
        return false;
    bool ok = false;
    const QString mode = f[0].trimmed();
    if (mode == QStringLiteral("Наблюдения") || mode == u"1")
        r.observation = true;
    else if (mode == QStringLiteral("Оперативный") || mode == u"0")
        r.observation = false;
    else
        return false;
    r.channels = f[1].trimmed().toInt(&ok);
    if (!ok || r.channels < 0 || r.channels > 3)
        return false;
    for (int c = 0; c < 2; ++c) {
        QString t = f[2 + c].trimmed();
        t.replace(u',', u'.');
        const double v = t.toDouble(&ok);
        if (!ok || v < -327.68 || v > 327.67)
            return false;
        (c == 0 ? r.t1 : r.t2) = int(std::lround(v * 100));
    }
    const QDate d = QDate::fromString(f[4].trimmed(), QStringLiteral("dd.MM.yyyy"));
    const QTime t = QTime::fromString(f[5].trimmed(), QStringLiteral("HH:mm:ss"));
    if (!d.isValid() || !t.isValid() || d.year() < 2000 || d.year() > 2255)
        return false;
    r.time = QDateTime(d, t);
    return true;
}

SimArchive SimArchive::fromCsv(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(
            QStringLiteral("cannot read %1: %2").arg(path, file.errorString()).toStdString());
    SimArchive a;
    QTextStream in(&file);
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNo;
        if (line.trimmed().isEmpty())
            continue;
        SimRecord r;
        if (!parseRecord(line, r)) {
            if (lineNo == 1)
                continue; // header
            throw std::runtime_error(QStringLiteral("%1:%2: not a record: %3")
                                         .arg(path)
                                         .arg(lineNo)
                                         .arg(line)
                                         .toStdString());
        }
        if (a.m_records.size() >= kMaxRecords)
            throw std::runtime_error(QStringLiteral("%1: more than %2 records")
                                         .arg(path)
                                         .arg(kMaxRecords)
                                         .toStdString());
        a.m_records.push_back(r);
    }
    if (a.m_records.size() >= 2) {
        const qint64 step =
            a.m_records[a.m_records.size() - 2].time.secsTo(a.m_records.last().time);
        if (step > 0)
            a.m_intervalSeconds = int(step);
    }
    return a;
}

QByteArray SimArchive::encodeRecord(const SimRecord& r)
{
    QByteArray b(11, '\0');
    b[0] = char((r.observation ? 0x20 : 0) | (r.channels & 3));
    const auto t1 = std::uint16_t(std::int16_t(r.t1));
    const auto t2 = std::uint16_t(std::int16_t(r.t2));
    b[1] = char(t1 & 0xFF);
    b[2] = char(t1 >> 8);
    b[3] = char(t2 & 0xFF);
    b[4] = char(t2 >> 8);
    b[5] = char(r.time.time().second());
    b[6] = char(r.time.time().minute());
    b[7] = char(r.time.time().hour());
    b[8] = char(r.time.date().day());
    b[9] = char(r.time.date().month());
    b[10] = char(r.time.date().year() - 2000);
    return b;
}

QByteArray SimArchive::image() const
{
    QByteArray b;
    b.reserve(2 + 11 * m_records.size());
    const auto n = std::uint16_t(m_records.size());
    b.append(char(n & 0xFF));
    b.append(char(n >> 8));
    for (const SimRecord& r : m_records)
        b.append(encodeRecord(r));
    return b;
}

QByteArray SimArchive::toWire(const QByteArray& bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = std::uint8_t(c);
        out.append(char('0' + (b & 15)));
        out.append(char('0' + (b >> 4)));
    }
    return out;
}
