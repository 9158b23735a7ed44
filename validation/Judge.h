// Validation rules for names, group texts, addresses, masks, gateways, MAC
// addresses and software versions, and the device comparisons. Mixed into
// the main window and the pages as a second base class; also used as a
// short-lived local object.
#pragma once

#include <string>

#include "model/DeviceRecord.h"

namespace korvo {

// Result codes of the rules. Only kJudgeValid means "valid".
enum JudgeResult : int {
    kJudgeValid = 0,
    kJudgeGroupMalformed = 1001,    // group text malformed or out of range
    kJudgeGroupNonNumeric = 1002,   // group text with a non-digit in a number
    kJudgeNameTooLong = 1003,       // name longer than 8 characters
    kJudgeNameNotPrintable = 1004,  // name with a character outside printable ASCII
    kJudgeNameReserved = 1005,      // name with '"', ',' or ':'
    kJudgeAddressTooFewParts = 1006,
    kJudgeAddressNonNumeric = 1007,
    kJudgeAddressOutOfRange = 1008,  // also: address not usable with its mask
    kJudgeAddressLength = 1009,      // text shorter than 7 or longer than 15
    kJudgeMacTooFewGroups = 1010,
    kJudgeMacNonHex = 1011,
    kJudgeMacLength = 1013,          // not 17 characters, or a group not 2
    kJudgeSameIpAddress = 2001,
    kJudgeSameMacAddress = 2002,
};

class CJudge {
public:
    virtual ~CJudge();

    // "Group<g>-<c>"; cameras per group 7 (16 x 7) or 10 (10 x 10) add a
    // range rule, any other count has none.
    virtual int CheckGroupText(const std::string& text, int camerasPerGroup) const;
    virtual int CheckName(const std::string& text) const;
    virtual int CheckIpAddress(const std::string& text) const;
    virtual int CheckSubnetMask(const std::string& text) const;
    virtual int CheckMacAddress(const std::string& text) const;
    // kJudgeSameIpAddress when equal, else 0.
    virtual int IsSameIpAddress(const Address4& a, const Address4& b) const;
    // kJudgeSameMacAddress when equal regardless of letter case, else 0;
    // an empty text never matches.
    virtual int IsSameMacAddress(const std::string& a, const std::string& b) const;
    virtual int CheckGateway(const std::string& text) const;
    // 1 when a device of this software version takes gateway, mask and
    // gateway settings; 0 for the old versions.
    virtual int SupportsNetworkSettings(const std::string& version) const;
    // 0 unless the address is its subnet's own address or broadcast
    // address (kJudgeAddressOutOfRange) or either text has fewer than four
    // parts (kJudgeAddressTooFewParts). Writes no log line.
    virtual int CheckHostPart(const std::string& ipAddress, const std::string& subnetMask) const;
};

}  // namespace korvo
