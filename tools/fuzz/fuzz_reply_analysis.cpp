// libFuzzer target: received datagrams through reply analysis.
//
// Input: one control byte, then up to 32 datagrams joined by the part
// separator. The control byte chooses how the reply queue is filled before
// the first datagram (empty, 255 or 256 distinct devices, 300 records of two
// devices) and whether every datagram also goes to each analysis entry point
// directly. After every datagram the invariants of AnalysisRig are checked.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/fuzz/AnalysisRig.h"
#include "tools/fuzz/FuzzSupport.h"

namespace {
constexpr std::size_t kMaxDatagrams = 32;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace korvo::fuzz;
    if (size == 0)
        return 0;
    const std::uint8_t control = data[0];
    const auto fill = static_cast<QueueFill>(control % kQueueFills);
    const bool direct = (control & 0x10) != 0;

    AnalysisRig rig(fill);
    for (std::string_view datagram : SplitParts(data + 1, size - 1, kMaxDatagrams)) {
        const std::string broken = rig.Deliver(datagram, direct);
        if (!broken.empty())
            InvariantBroken("fuzz_reply_analysis", broken);
    }
    return 0;
}
