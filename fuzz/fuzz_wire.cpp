// The chunk handler of the download fed with random streams cut at random
// places, with the two timers firing in between. Nothing may crash or hang,
// and the only error allowed is the range error.
#include "device/download_protocol.h"
#include "platform/app_error.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

struct QuietHost : DownloadHost
{
    QString port;
    bool open = false;
    int result = 0;
    void setPortName(const QString& name) override { port = name; }
    void openPort() override { open = true; }
    void closePort() override { open = false; }
    void sendChar(char) override {}
    void startDetectionTimer() override {}
    void stopDetectionTimer() override {}
    void startRequestTimer() override {}
    void stopRequestTimer() override {}
    void showProgress(int) override {}
    void showWaiting() override {}
    void showIdentified(const QString&) override {}
    void showRecordCount(int count) override
    {
        if (count < 0 || count > 65535)
            std::abort();
    }
    void reportWrongInstrument() override {}
    void reportNotFound() override {}
    void finish(int r) override { result = r; }
};

} // namespace

// Input: a sequence of [control byte][chunk]. The control byte's low six bits
// give the chunk length minus one; bit 7 fires the request timer and bit 6 the
// detection timer before the chunk.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto image = std::make_unique<ArchiveImage>();
    QuietHost host;
    DownloadProtocol protocol(host, *image);
    try {
        protocol.start();
        std::size_t pos = 0;
        while (pos < size && host.result == 0) {
            const std::uint8_t control = data[pos++];
            if (control & 0x80)
                protocol.requestTimeout();
            if ((control & 0x40) && host.result == 0)
                protocol.detectionTimeout();
            if (host.result != 0)
                break;
            const std::size_t len = std::min<std::size_t>((control & 0x3F) + 1, size - pos);
            if (len == 0)
                break;
            protocol.receive(data + pos, std::uint32_t(len));
            pos += len;
        }
        if (host.result == 1) {
            // a finished download decoded an even, non-empty run of pairs
            if (image->decodedLength < 1 || image->decodedLength > 65535)
                std::abort();
            if (host.open)
                std::abort(); // the port is closed before decoding
        }
    } catch (const RangeError&) {
        // the one error the stream may cause
    }
    return 0;
}
