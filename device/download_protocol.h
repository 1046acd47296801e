#pragma once

#include "data/archive_image.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Codecs of the instrument's character stream: every byte travels as two
// characters, low nibble first, each "0" + nibble (codes 48..63). `buffer`
// is the receive buffer of `size` characters; a position outside it, or a
// result outside the value's range, throws RangeError.
int chars2byte(const std::uint8_t* buffer, std::size_t size, std::int64_t i);
int chars2word(const std::uint8_t* buffer, std::size_t size, std::int64_t i);
// Version text "b2.b1.b0" of the three bytes at i, two digits at least each.
QString ver2str(const std::uint8_t* buffer, std::size_t size, std::int64_t i);

// What the download needs from its surroundings: the port, the two timers and
// the window. The dialog implements it with the real component and widgets;
// tests and the fuzz target implement it with recorders.
class DownloadHost
{
public:
    virtual ~DownloadHost() = default;

    virtual void setPortName(const QString& name) = 0;
    virtual QString portName() const = 0;
    virtual void openPort() = 0;
    virtual void closePort() = 0;
    virtual void sendChar(char c) = 0;

    virtual void startDetectionTimer() = 0; // Timer1, 3000 ms
    virtual void stopDetectionTimer() = 0;
    virtual void startRequestTimer() = 0; // Timer2, 1000 ms
    virtual void stopRequestTimer() = 0;

    virtual void showProgress(int position) = 0; // may be outside 0..100
    virtual void showWaiting() = 0;              // status line, empty values
    virtual void showIdentified(const QString& version) = 0;
    virtual void showRecordCount(int count) = 0;

    // Modal messages; they may run a nested event loop that feeds further
    // chunks into the protocol before they return.
    virtual void reportWrongInstrument() = 0;
    virtual void reportNotFound() = 0;
    // The port failed during the download; `text` is the whole message.
    virtual void reportPortFailure(const QString& text) { (void)text; }

    // Ends the dialog with 1 (archive received) or 2 (cancelled, failed).
    virtual void finish(int result) = 0;
};

// The PC's side of the wire protocol, fed with chunks of received characters
// and with the ticks of the two timers. It owns the receive buffer; on the
// end marker it decodes the archive into the image it was given.
class DownloadProtocol
{
public:
    static constexpr std::size_t kBufferSize = 262144;
    static constexpr std::uint32_t kMaxReceived = 262143;
    static const QString kFirstPort;  // \\.\COM1
    static const QString kSecondPort; // \\.\COM2

    DownloadProtocol(DownloadHost& host, ArchiveImage& image);

    void start();            // the dialog is shown
    void detectionTimeout(); // Timer1
    void requestTimeout();   // Timer2
    void cancel();           // Button1
    // The port component reported that the device is gone or cannot be read:
    // the download ends with 2 and a message naming the cause.
    void portFailed(const QString& reason);
    // One chunk from the port (at least one byte). Throws RangeError.
    void receive(const std::uint8_t* data, std::uint32_t size);

    // State, for the dialog and for tests.
    std::uint32_t receivedCount() const { return m_received; }
    char lastCommand() const { return m_lastCommand; }
    bool endSeen() const { return m_endSeen; }
    bool countKnown() const { return m_countKnown; }
    std::int32_t expectedCharacters() const { return m_expected; }
    std::int32_t dataStart() const { return m_dataStart; }
    const std::uint8_t* buffer() const { return m_buffer.data(); }

private:
    void resetDownload();
    // Decodes the characters between "S" and "P"; the image changes only
    // when the whole archive decodes.
    void decodeArchive();

    DownloadHost& m_host;
    ArchiveImage& m_image;
    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_received = 0;
    char m_lastCommand = 'V';
    bool m_endSeen = false;
    bool m_countKnown = false;
    std::int32_t m_expected = 0;
    std::int32_t m_dataStart = 0;
    std::int64_t m_firstStart = -1; // index of the first "S" received, -1: none yet
};
