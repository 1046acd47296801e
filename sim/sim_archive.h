#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <cstdint>
#include <random>

// One measurement as the instrument stores it.
struct SimRecord
{
    bool observation = false; // mode bit 5: 0 operative, 1 observation
    int channels = 3;         // channel-enable bits 0..3
    int t1 = 0;               // hundredths of a degree Celsius
    int t2 = 0;
    QDateTime time;
};

// The simulated instrument's archive: records at a fixed interval from a
// start time, two channels following daily curves, or records read from a
// CSV file. It can grow with newer records between downloads.
class SimArchive
{
public:
    static constexpr int kMaxRecords = 5957;

    // `count` records made from `seed`, the first at `start`, one every
    // `intervalSeconds`.
    static SimArchive generate(std::uint32_t seed, int count, const QDateTime& start,
                               int intervalSeconds);
    // Lines "MODE;EN_CH;T_1;T_2;DATE;TIME" (MODE 0/1 or the mode's name,
    // temperatures in degrees with "." or ",", DATE dd.mm.yyyy, TIME hh:mm:ss);
    // a first line that does not parse as a record is taken as a header.
    // Throws std::runtime_error naming the line on bad input.
    static SimArchive fromCsv(const QString& path);

    const QVector<SimRecord>& records() const { return m_records; }
    // Adds `count` newer records (for an Append that follows).
    void grow(int count);

    // The archive image: 16-bit count, then 11 bytes a record.
    QByteArray image() const;
    static QByteArray encodeRecord(const SimRecord& r);
    // Every byte as two characters, low nibble first.
    static QByteArray toWire(const QByteArray& bytes);

private:
    SimRecord makeRecord(const QDateTime& time);

    QVector<SimRecord> m_records;
    std::mt19937 m_random{1};
    int m_intervalSeconds = 600;
};
