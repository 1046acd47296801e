#include "device/download_protocol.h"

#include "platform/app_error.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kVersionRequest = 'V';
constexpr std::uint8_t kArchiveRequest = 'N';
constexpr std::uint8_t kRestart = 'Z';
constexpr std::uint8_t kStart = 'S';
constexpr std::uint8_t kEnd = 'P';
constexpr int kInstrumentType = 6;
constexpr int kVersionDigit = 1;
constexpr int kIdentificationLength = 9;
constexpr int kMaxImageBytes = 65535;

void checkPosition(std::size_t size, std::int64_t first, std::int64_t last)
{
    if (first < 0 || last >= static_cast<std::int64_t>(size))
        throw RangeError();
}

int pairValue(const std::uint8_t* b, std::int64_t i)
{
    return (int(b[i + 1]) - 48) * 16 + (int(b[i]) - 48);
}

QString twoDigits(int v)
{
    return v < 10 ? QStringLiteral("0") + QString::number(v) : QString::number(v);
}

} // namespace

int chars2byte(const std::uint8_t* buffer, std::size_t size, std::int64_t i)
{
    checkPosition(size, i, i + 1);
    const int v = pairValue(buffer, i);
    if (v < 0 || v > 255)
        throw RangeError();
    return v;
}

int chars2word(const std::uint8_t* buffer, std::size_t size, std::int64_t i)
{
    checkPosition(size, i, i + 3);
    // Neither half is checked by itself, only the whole value.
    const int v = pairValue(buffer, i) + 256 * pairValue(buffer, i + 2);
    if (v < 0 || v > 65535)
        throw RangeError();
    return v;
}

QString ver2str(const std::uint8_t* buffer, std::size_t size, std::int64_t i)
{
    const int b0 = chars2byte(buffer, size, i);
    const int b1 = chars2byte(buffer, size, i + 2);
    const int b2 = chars2byte(buffer, size, i + 4);
    return twoDigits(b2) + u'.' + twoDigits(b1) + u'.' + twoDigits(b0);
}

const QString DownloadProtocol::kFirstPort = QStringLiteral("\\\\.\\COM1");
const QString DownloadProtocol::kSecondPort = QStringLiteral("\\\\.\\COM2");

DownloadProtocol::DownloadProtocol(DownloadHost& host, ArchiveImage& image)
    : m_host(host), m_image(image), m_buffer(kBufferSize, 0)
{
}

void DownloadProtocol::resetDownload()
{
    m_endSeen = false;
    m_received = 0;
    m_firstStart = -1;
}

void DownloadProtocol::start()
{
    m_host.stopRequestTimer();
    m_host.setPortName(kFirstPort);
    resetDownload();
    m_host.showProgress(0);
    m_host.showWaiting();
    m_host.openPort();
    m_lastCommand = kVersionRequest;
    m_host.sendChar(kVersionRequest);
    m_host.startDetectionTimer();
}

void DownloadProtocol::detectionTimeout()
{
    m_host.stopDetectionTimer();
    if (m_host.portName() == kFirstPort) {
        m_host.closePort();
        m_host.setPortName(kSecondPort);
        m_host.openPort();
        resetDownload();
        m_host.showProgress(0);
        m_lastCommand = kVersionRequest;
        m_host.sendChar(kVersionRequest);
        m_host.startDetectionTimer();
        return;
    }
    m_host.closePort();
    m_host.setPortName(kFirstPort);
    resetDownload();
    m_host.showProgress(0);
    m_host.reportNotFound();
    m_host.finish(2);
}

void DownloadProtocol::requestTimeout()
{
    m_host.stopRequestTimer();
    m_lastCommand = kArchiveRequest;
    m_host.sendChar(kArchiveRequest);
    m_received = 0;
    m_firstStart = -1;
}

void DownloadProtocol::cancel()
{
    resetDownload();
    m_host.showProgress(0);
    m_host.closePort();
    m_host.finish(2);
}

void DownloadProtocol::portFailed(const QString& reason)
{
    m_host.stopDetectionTimer();
    m_host.stopRequestTimer();
    resetDownload();
    m_host.showProgress(0);
    m_host.closePort();
    m_host.setPortName(kFirstPort);
    m_host.reportPortFailure(QStringLiteral("Связь с прибором прервана: ") + reason);
    m_host.finish(2);
}

void DownloadProtocol::receive(const std::uint8_t* data, std::uint32_t size)
{
    // 1. Store.
    if (std::uint64_t(m_received) + size > kMaxReceived)
        throw RangeError();
    std::memcpy(m_buffer.data() + m_received, data, size);

    // 2. Scan the new characters only.
    for (std::uint32_t i = m_received; i < m_received + size; ++i) {
        const std::uint8_t c = m_buffer[i];
        if (c == kEnd) {
            m_endSeen = true;
        } else if (c == kStart) {
            if (m_firstStart < 0)
                m_firstStart = i;
            m_host.stopDetectionTimer();
        } else if (c == kRestart) {
            m_host.stopDetectionTimer();
            m_lastCommand = kVersionRequest;
            m_received = 0;
            m_firstStart = -1;
            m_endSeen = false;
            m_host.sendChar(kVersionRequest);
            return; // the rest of the chunk is dropped
        }
    }

    // 3.
    m_received += size;

    // 4. Identification: the last nine characters, for as long as "V" is the
    // last command.
    if (m_lastCommand == kVersionRequest && m_received >= kIdentificationLength) {
        const std::int64_t b = std::int64_t(m_received) - kIdentificationLength;
        const int type = chars2byte(m_buffer.data(), kBufferSize, b);
        const int digit = int(m_buffer[b + 2]) - 48;
        if (digit < 0)
            throw RangeError();
        const QString version = ver2str(m_buffer.data(), kBufferSize, b + 3);
        if (type != kInstrumentType || digit != kVersionDigit) {
            m_host.reportWrongInstrument();
            m_host.closePort();
            m_endSeen = false;
            m_host.finish(2);
            return;
        }
        m_host.stopDetectionTimer();
        m_host.showIdentified(version);
        m_endSeen = false;
        m_countKnown = false;
        m_host.startRequestTimer();
    }

    // 5. Progress (the arithmetic of the instrument's program: 64-bit signed,
    // received count unsigned 32-bit).
    if (m_countKnown) {
        std::int64_t position = 100;
        if (m_expected != 0)
            position = (std::int64_t(m_received) - m_dataStart) * 100 / m_expected;
        if (position < INT32_MIN || position > INT32_MAX)
            throw RangeError();
        m_host.showProgress(int(position));
    }

    // 6. Record count, once "S" and four more characters are there.
    // The first "S" is remembered while scanning, so no chunk is searched twice.
    if (!m_countKnown && m_lastCommand == kArchiveRequest && m_firstStart >= 0 &&
        std::int64_t(m_received) - m_firstStart - 1 >= 4) {
        const int count = chars2word(m_buffer.data(), kBufferSize, m_firstStart + 1);
        m_expected = count * ArchiveImage::kRecordSize * 2;
        m_dataStart = std::int32_t(m_firstStart + 5);
        m_countKnown = true;
        m_host.showRecordCount(count);
    }

    // 7. End.
    if (m_endSeen) {
        m_endSeen = false;
        m_host.closePort();
        decodeArchive();
        m_host.finish(1);
    }
}

void DownloadProtocol::decodeArchive()
{
    const std::uint8_t* begin = m_buffer.data();
    const std::uint8_t* end = begin + m_received;
    const std::int64_t p = std::find(begin, end, kEnd) - begin;
    const std::uint8_t* s = std::find(begin, end, kStart);
    if (s == end)
        throw RangeError();
    // Decoded into a copy first: a stream that turns out to be broken leaves
    // the image as the last good download left it.
    auto decoded = std::make_unique<std::array<std::uint8_t, ArchiveImage::kSize>>(m_image.bytes);
    std::int64_t j = (s - begin) + 1;
    int k = 0;
    do {
        if (k >= kMaxImageBytes)
            throw RangeError();
        (*decoded)[k] = std::uint8_t(chars2byte(begin, kBufferSize, j));
        j += 2;
        ++k;
    } while (j != p);
    m_image.bytes = *decoded;
    m_image.decodedLength = k;
}
