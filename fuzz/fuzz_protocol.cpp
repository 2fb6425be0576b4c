// libFuzzer target: the download protocol fed arbitrary bytes in arbitrary pieces.
//
// Input: a sequence of [length byte][piece]. Length 0 stands for the pause timer (archive
// request), 255 for a new identification request, 254 for the operator's cancel; any other
// length is followed by that many bytes fed as one piece.

#include "device/DownloadProtocol.h"
#include "store/SeriesNames.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkInvariants(const DownloadProtocol &p, const DownloadProtocol::Step &step)
{
    check(p.receivedCount() >= 0 && p.receivedCount() <= DownloadProtocol::kReceiveBufferSize);
    check(p.image().size() == DownloadProtocol::kMemoryImageSize);
    const int progress = p.progress();
    check(progress == 0 || progress == 20 || progress == 80 || progress == 95 || progress == 100);
    check(p.header().seriesCount <= kve::kSeriesCount);
    if (step.result == DownloadProtocol::Result::Success) {
        check(p.imageLength() > 0 && p.imageLength() <= DownloadProtocol::kMaxImageBytes);
        long promised = 0;
        for (int s = 0; s < p.header().seriesCount; ++s)
            promised += p.header().recordCounts[s];
        check(promised == 0 || 2 + 24 * promised <= p.imageLength());
        check(progress == 100);
    }
    if (step.result == DownloadProtocol::Result::BadData)
        check(!step.errorText.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static DownloadProtocol protocol;   // reused like the dialog's, across inputs
    protocol.requestIdentification();
    size_t i = 0;
    while (i < size) {
        const uint8_t len = data[i++];
        if (len == 0) {
            protocol.requestArchive();
            continue;
        }
        if (len == 255) {
            protocol.requestIdentification();
            continue;
        }
        if (len == 254) {
            protocol.cancel();
            continue;
        }
        const size_t n = std::min<size_t>(len, size - i);
        if (n == 0)
            break;
        const auto step = protocol.feed(reinterpret_cast<const char *>(data + i), uint32_t(n));
        i += n;
        checkInvariants(protocol, step);
        if (step.result != DownloadProtocol::Result::None)
            protocol.requestIdentification();
    }
    return 0;
}
