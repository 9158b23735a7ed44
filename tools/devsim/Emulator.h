// What the emulated devices answer to one received frame. No sockets here:
// the answers are returned with their delays, and the caller sends them to
// the frame's sender.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/devsim/Fleet.h"

namespace devsim {

struct Answer {
    int delayMs = 0;
    std::string frame;
};

enum class RequestKind {
    kNetworkInquiry,
    kCameraTableInquiry,
    kNetworkSetting,
    kCameraTableSetting,
    kUnknown,
};

class Emulator {
public:
    Emulator(Fleet fleet, std::uint32_t seed);

    // Answers of every device to one received text (bytes up to the first
    // 0x00), in device order; a device with a delay fault answers later.
    std::vector<Answer> Handle(const std::string& datagram, RequestKind* kind = nullptr);

    const Fleet& GetFleet() const { return m_fleet; }

private:
    void AnswerNetworkInquiry(std::vector<Answer>& out);
    void AnswerCameraTableInquiry(const std::string& text, std::vector<Answer>& out);
    void AnswerNetworkSetting(const std::string& text, std::vector<Answer>& out);
    void AnswerCameraTableSetting(const std::string& text, std::vector<Answer>& out);
    Device* FindDevice(const std::string& mac);
    bool Drops(const Device& device);
    // Queues one answer of the device, applying delay and duplication.
    void Emit(const Device& device, std::string frame, std::vector<Answer>& out);
    void Refuse(const Device& device, const std::string& reason, std::vector<Answer>& out);
    void Acknowledge(const Device& device, const std::string& message, std::vector<Answer>& out);

    Fleet m_fleet;
    std::mt19937 m_random;
};

// The text of a field: from after the key to the next 0xFF (or the end);
// false when the key is missing.
bool FieldValue(const std::string& text, const std::string& key, std::string& value);

// Printable rendering of frame bytes: printable ASCII as is (except '<'),
// every other byte as <XX>.
std::string ShowBytes(const std::string& bytes);

}  // namespace devsim
