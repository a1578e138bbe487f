// Any bytes as what a client sends on one connection, read ahead of Qt's
// parser by the request scanner: the first two bytes pick where the rest is
// cut into two feeds. However the bytes are cut, the scanner must come to
// the same verdict and frame the same requests, or a client could choose
// the cut that slips a request past it.
#include "requestscanner.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qint64 kRequestLimit = 4096;

struct Outcome {
    int status = 0;
    int requests = 0;
    bool idle = false;
};

Outcome Scan(const QByteArray &bytes, qsizetype cut)
{
    RequestScanner scanner(kRequestLimit);
    std::optional<RequestScanner::Refusal> refusal = scanner.Feed(QByteArrayView(bytes).first(cut));
    if (!refusal)
        refusal = scanner.Feed(QByteArrayView(bytes).sliced(cut));
    Outcome outcome;
    outcome.status = refusal ? refusal->status : 0;
    if (refusal && (refusal->status < 400 || refusal->status > 499 || refusal->reason.isEmpty()))
        std::abort();
    while (!refusal && !scanner.Idle() && outcome.requests <= RequestScanner::MAX_WAITING) {
        scanner.Answered();
        ++outcome.requests;
    }
    outcome.idle = scanner.Idle();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const qsizetype cut = input.isEmpty() ? 0 : qsizetype((data[0] << 8 | data[1]) % (input.size() + 1));
    const Outcome whole = Scan(input, input.size());
    const Outcome split = Scan(input, cut);
    if (whole.status != split.status || whole.requests != split.requests || whole.idle != split.idle)
        std::abort();
    return 0;
}
