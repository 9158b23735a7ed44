// libFuzzer target: the device emulator's request handling (tools/devsim).
//
// Input: a control byte, then parts joined by the part separator. With bit
// 0x20 of the control byte the first part is a fleet file (ReadFleet);
// otherwise a generated fleet of 5 cameras and 4 controllers is used, with
// faults chosen by the low bits. Every further part is a received datagram
// for Emulator::Handle.
//
// Checked after every datagram: only requests are answered, each answer is
// a whole frame from a device of the fleet with that device's delay, every
// value the devices hold still passes the tool's own rules (setting
// requests may change them), and - unless a device breaks replies on
// purpose - the tool's reply analysis accepts every answer: network replies
// are stored, table pages of controllers 0 to 4 are unpacked, and each
// acknowledgement or refusal reaches the owner.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mainwindow/Messages.h"
#include "protocol/Frames.h"
#include "tests/protocol/AnalysisHarness.h"
#include "tools/devsim/Emulator.h"
#include "tools/devsim/Fleet.h"
#include "tools/fuzz/FuzzSupport.h"
#include "validation/Judge.h"

namespace {

using korvo::fuzz::InvariantBroken;

constexpr const char* kTarget = "fuzz_devsim";
constexpr std::size_t kMaxParts = 24;
// Fleets up to this size are also run through the tool's analysis (the reply
// queue takes 256 distinct devices).
constexpr std::size_t kAnalysedFleet = 200;

void CheckFleet(const devsim::Fleet& fleet)
{
    const korvo::CJudge judge;
    for (const devsim::Device& d : fleet.devices) {
        if (judge.CheckMacAddress(d.mac) != 0 || judge.CheckName(d.name) != 0 || judge.CheckIpAddress(d.ip) != 0 ||
            judge.CheckSubnetMask(d.mask) != 0 || judge.CheckGateway(d.gateway) != 0 || d.version.size() != 4)
            InvariantBroken(kTarget, "device " + d.mac + " holds a value the tool refuses");
        const bool knownModel =
            d.controller ? (d.model == "CONTROLLER" || d.model == "ST-HUB80") : d.model == "IPCARD";
        if (!knownModel)
            InvariantBroken(kTarget, "device " + d.mac + " has model " + d.model);
        for (const devsim::TableRow& row : d.table) {
            if ((!row.mac.empty() && judge.CheckMacAddress(row.mac) != 0) ||
                (!row.ip.empty() && judge.CheckIpAddress(row.ip) != 0) || judge.CheckName(row.name) != 0)
                InvariantBroken(kTarget, "controller " + d.mac + " holds a table row the tool refuses");
        }
    }
}

devsim::Fleet MakeFleet(std::uint8_t control, std::optional<std::string_view> file)
{
    devsim::Fleet fleet;
    if (file) {
        std::istringstream in{std::string(*file)};
        std::string error;
        if (!devsim::ReadFleet(in, "fuzz", fleet, error)) {
            if (error.rfind("fuzz:", 0) != 0)
                InvariantBroken(kTarget, "fleet error without its line: " + error);
            fleet = devsim::GenerateFleet(2, 2);
        }
        return fleet;
    }
    fleet = devsim::GenerateFleet(5, 4);
    devsim::Faults& camera = fleet.devices[1].faults;
    devsim::Faults& controller = fleet.devices[6].faults;
    camera.duplicate = controller.duplicate = (control & 1) != 0;
    camera.refuse = (control & 2) != 0;
    controller.dropPercent = (control & 4) ? 50 : 0;
    camera.malformed = controller.malformed = (control & 8) != 0;
    camera.delayMs = 30;
    return fleet;
}

struct Tool {
    explicit Tool(const devsim::Fleet& fleet)
    {
        int cameras = 0;
        int controllers = 0;
        for (const devsim::Device& d : fleet.devices)
            rig.AddDirectoryDevice(d.controller ? controllers++ : cameras++, d.model, d.mac);
        rig.store.CopyDirectory(directory);
    }
    int IndexOf(const std::string& mac) const
    {
        for (const korvo::DeviceDirectoryEntry& e : directory)
            if (e.mac == mac)
                return e.index;
        return -1;
    }
    korvo::test::Harness rig;
    std::vector<korvo::DeviceDirectoryEntry> directory;
};

// The device whose MAC address comes first in the frame (answers carry the
// sender's address before any other).
const devsim::Device* Sender(const devsim::Fleet& fleet, const std::string& frame)
{
    const devsim::Device* sender = nullptr;
    std::size_t first = std::string::npos;
    for (const devsim::Device& d : fleet.devices) {
        const std::size_t at = frame.find(d.mac);
        if (at < first) {
            first = at;
            sender = &d;
        }
    }
    return sender;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t control = data[0];
    std::vector<std::string_view> parts = korvo::fuzz::SplitParts(data + 1, size - 1, kMaxParts);
    std::optional<std::string_view> file;
    if (control & 0x20) {
        file = parts.front();
        parts.erase(parts.begin());
    }
    devsim::Emulator emulator(MakeFleet(control, file), 7);
    const devsim::Fleet& fleet = emulator.GetFleet();
    CheckFleet(fleet);
    bool anyMalformed = false;
    for (const devsim::Device& d : fleet.devices)
        anyMalformed = anyMalformed || d.faults.malformed;
    std::optional<Tool> tool;
    if (fleet.devices.size() <= kAnalysedFleet)
        tool.emplace(fleet);

    for (std::string_view part : parts) {
        devsim::RequestKind kind = devsim::RequestKind::kUnknown;
        const std::vector<devsim::Answer> answers = emulator.Handle(std::string(part), &kind);
        if (kind == devsim::RequestKind::kUnknown && !answers.empty())
            InvariantBroken(kTarget, "an unknown frame was answered");
        if (answers.size() > 2 * fleet.devices.size())
            InvariantBroken(kTarget, "more answers than devices can give");
        CheckFleet(fleet);

        for (const devsim::Answer& answer : answers) {
            const std::string& frame = answer.frame;
            const devsim::Device* sender = Sender(fleet, frame);
            if (!sender && !anyMalformed)
                InvariantBroken(kTarget, "an answer names no device of the fleet");
            if (frame.size() < 2 || frame.back() != korvo::kEtx || (!anyMalformed && frame.front() != korvo::kStx))
                InvariantBroken(kTarget, "an answer is not a whole frame");
            if (sender && answer.delayMs != sender->faults.delayMs)
                InvariantBroken(kTarget, "an answer leaves with another device's delay");
            if (!tool || anyMalformed || !sender)
                continue;

            korvo::test::Harness& h = tool->rig;
            const std::size_t messages = h.owner.log.size();
            if (kind == devsim::RequestKind::kNetworkInquiry) {
                const int result = h.analysis.AnalyzeNetworkInfo(frame);
                if (result != korvo::kReplyAccepted)
                    InvariantBroken(kTarget, "the tool refuses the network reply of " + sender->mac + " with " +
                                                 std::to_string(result));
            } else if (kind == devsim::RequestKind::kCameraTableInquiry) {
                const int result = h.analysis.AnalyzeCameraTable(frame);
                const int index = tool->IndexOf(sender->mac);
                if ((result == korvo::kReplyAccepted) != (index >= 0 && index < korvo::kTableControllers))
                    InvariantBroken(kTarget, "the tool gives " + std::to_string(result) + " for the table page of " +
                                                 sender->mac);
            } else {
                const bool ack = frame.find("ACK:") == 1;
                if (!ack && frame.find("NAK:") != 1)
                    InvariantBroken(kTarget, "a setting request is answered by neither ACK nor NAK");
                ack ? h.analysis.AnalyzeAcknowledgement(frame) : h.analysis.AnalyzeRefusal(frame);
                if (h.owner.answers.empty() || h.owner.log.size() != messages + 1 ||
                    h.owner.answers.back().entry.mac != sender->mac ||
                    h.owner.answers.back().message != (ack ? korvo::UWM_ACK : korvo::UWM_NAK))
                    InvariantBroken(kTarget, "the tool does not see the answer of " + sender->mac);
            }
        }
        if (tool) {
            tool->rig.store.ClearReplyQueue();
            tool->rig.owner.log.clear();
            tool->rig.owner.answers.clear();
            tool->rig.lines.clear();
        }
    }
    return 0;
}
