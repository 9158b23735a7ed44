#include "protocol/ReplyAnalysis.h"

#include <cctype>
#include <vector>

#include "files/DiagLog.h"
#include "mainwindow/Messages.h"
#include "model/DataCommon.h"
#include "protocol/Frames.h"
#include "validation/Judge.h"

namespace korvo {

namespace {

constexpr const char* kUnit = "UdpClient";
constexpr std::size_t kNpos = std::string_view::npos;

// Model texts a network information reply may carry.
constexpr std::string_view kModels[] = {"IPCARD", "CONTROLLER", "ST-HUB80"};

// A received datagram is a zero-terminated text.
std::string_view UpToZero(const std::string& text)
{
    const std::size_t end = text.find('\0');
    return end == std::string::npos ? std::string_view(text) : std::string_view(text.data(), end);
}

// A value taken up to the next 0xFF. Without a following 0xFF the value is
// empty and its length is negative, so only "at most n" rules pass.
struct FieldValue {
    std::string_view text;
    long length = -1;
};

// Finds the first occurrence of key; false when it is missing.
bool FindValue(std::string_view text, std::string_view key, FieldValue& value)
{
    const std::size_t at = text.find(key);
    if (at == kNpos)
        return false;
    const std::size_t start = at + key.size();
    const std::size_t end = text.find(kFieldEnd, start);
    if (end == kNpos) {
        value = FieldValue{};
    } else {
        value.text = text.substr(start, end - start);
        value.length = static_cast<long>(end - start);
    }
    return true;
}

// The number of the leading decimal digits after optional blanks and a sign
// (0 when there are none), reduced to its low 8 bits. Long digit runs wrap
// instead of overflowing.
std::uint8_t LowByte(std::string_view part)
{
    std::size_t i = 0;
    while (i < part.size() && std::isspace(static_cast<unsigned char>(part[i])))
        ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == '+' || part[i] == '-')) {
        negative = part[i] == '-';
        ++i;
    }
    unsigned value = 0;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i)
        value = (value * 10 + static_cast<unsigned>(part[i] - '0')) & 0xFFu;
    if (negative)
        value = (256u - value) & 0xFFu;
    return static_cast<std::uint8_t>(value);
}

// Value of a three-character camera number, read like the address parts but
// without the 8-bit reduction.
int CameraNumber(std::string_view digits)
{
    std::size_t i = 0;
    while (i < digits.size() && std::isspace(static_cast<unsigned char>(digits[i])))
        ++i;
    int sign = 1;
    if (i < digits.size() && (digits[i] == '+' || digits[i] == '-')) {
        sign = digits[i] == '-' ? -1 : 1;
        ++i;
    }
    int value = 0;
    for (; i < digits.size() && digits[i] >= '0' && digits[i] <= '9'; ++i)
        value = value * 10 + (digits[i] - '0');
    return sign * value;
}

// Splits a dotted address: parts 1 to 3 end at the next ".", part 4 at the
// next "." or the end. False (out unchanged) when a "." before part 4 is
// missing.
bool SplitAddress(std::string_view value, Address4& out)
{
    Address4 parts{};
    bool complete = true;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::size_t dot = value.find('.', pos);
        std::string_view part;
        if (dot == kNpos) {
            part = value.substr(pos);
            pos = value.size();
            if (i < 3)
                complete = false;
        } else {
            part = value.substr(pos, dot - pos);
            pos = dot + 1;
        }
        parts[i] = LowByte(part);
    }
    if (!complete)
        return false;
    out = parts;
    return true;
}

// An address field: present, 7 to 15 characters, four parts.
bool ReadAddress(std::string_view text, std::string_view key, Address4& out)
{
    FieldValue value;
    if (!FindValue(text, key, value))
        return false;
    if (value.length < 7 || value.length > 15)
        return false;
    return SplitAddress(value.text, out);
}

bool Contains(std::string_view text, std::string_view what)
{
    return text.find(what) != kNpos;
}

// Holds the reply queue lock when there is one.
class QueueGuard {
public:
    explicit QueueGuard(platform::SemaphoreLock* lock) : m_lock(lock)
    {
        if (m_lock)
            m_lock->Lock();
    }
    ~QueueGuard()
    {
        if (m_lock)
            m_lock->Unlock();
    }
    QueueGuard(const QueueGuard&) = delete;
    QueueGuard& operator=(const QueueGuard&) = delete;

private:
    platform::SemaphoreLock* m_lock;
};

}  // namespace

CReplyAnalysis::CReplyAnalysis(platform::MessageTarget* owner, CDataCommon* store,
                               platform::SemaphoreLock* replyQueueLock,
                               std::array<ReceptionTable, kTableControllers>* receptionTables)
    : m_owner(owner), m_store(store), m_lock(replyQueueLock), m_tables(receptionTables)
{
}

void CReplyAnalysis::AnalyzeReply(const std::string& received)
{
    const std::string text(UpToZero(received));
    if (Contains(text, "INFO:")) {
        if (Contains(text, "network")) {
            WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvNetInq), "Analyze start.");
            const int result = AnalyzeNetworkInfo(text);
            if (result != kReplyAccepted)
                WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "[RCV]Network inquiry recieve error:%d", result);
        } else if (Contains(text, "camtable")) {
            WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvCamInq), "Analyze start.");
            const int result = AnalyzeCameraTable(text);
            if (result != kReplyAccepted)
                WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "[RCV]Cameratable inquiry recieve error:%d",
                                result);
        } else {
            WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvUnknown), "Unknown message.");
        }
    } else if (Contains(text, "ACK:")) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvAck), "Analyze start.");
        AnalyzeAcknowledgement(text);
    } else if (Contains(text, "NAK:")) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvNak), "Analyze start.");
        AnalyzeRefusal(text);
    } else {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kRcvUnknown), "Unknown message.");
    }
}

int CReplyAnalysis::AnalyzeNetworkInfo(const std::string& received)
{
    const std::string_view text = UpToZero(received);
    const CJudge judge;
    DeviceRecord record;

    // The owner fills this with a copy of the reply queue before the reply
    // is looked at.
    std::vector<DeviceRecord> queue;
    if (m_owner)
        m_owner->Send(UWM_GET_REPLY_QUEUE, reinterpret_cast<platform::WParam>(&queue), 0);

    FieldValue value;
    if (!FindValue(text, "MAC:", value) || value.length != static_cast<long>(kMacLength))
        return kReplyBadMac;
    const std::string mac(value.text);

    std::size_t before = 0;
    for (const DeviceRecord& queued : queue) {
        if (judge.IsSameMacAddress(queued.mac, mac) == kJudgeSameMacAddress)
            break;
        ++before;
    }
    if (before >= kReplyQueueDevices)
        return kReplyBadMac;
    record.mac = mac;

    if (!FindValue(text, "MODEL:", value))
        return kReplyBadModel;
    bool knownModel = false;
    for (std::string_view model : kModels)
        knownModel = knownModel || (value.length >= 0 && value.text == model);
    if (!knownModel)
        return kReplyBadModel;
    record.model = std::string(value.text);

    if (!ReadAddress(text, "IPADR:", record.ip))
        return kReplyBadIpAddress;
    if (!ReadAddress(text, "MASK:", record.mask))
        return kReplyBadMask;

    if (!FindValue(text, "SOFTVERSION:", value) || value.length != 4)
        return kReplyBadVersion;
    record.version = std::string(value.text);

    if (!FindValue(text, "NAME:", value) || value.length > static_cast<long>(kNameMax))
        return kReplyBadName;
    record.name = std::string(value.text);

    if (!FindValue(text, "WRITE:", value) || value.length > 3)
        return kReplyBadWrite;
    if (value.length >= 0 && value.text == "on")
        record.writable = 1;
    else if (value.length >= 0 && value.text == "off")
        record.writable = 0;
    else
        return kReplyBadWrite;

    if (Contains(text, "GATEWAY:")) {
        if (!ReadAddress(text, "GATEWAY:", record.gateway))
            return kReplyBadGateway;
    } else if (judge.SupportsNetworkSettings(record.version) != 0) {
        return kReplyBadGateway;
    }

    record.pending = 1;
    if (m_owner && m_store) {
        {
            QueueGuard guard(m_lock);
            m_store->AppendToReplyQueue(record);
        }
        m_owner->Post(UWM_NETWORK_INFO, 0, 0);
    }
    return kReplyAccepted;
}

int CReplyAnalysis::AnalyzeCameraTable(const std::string& received)
{
    const std::string_view text = UpToZero(received);
    FieldValue value;
    if (!FindValue(text, "MAC:", value) || !m_owner || !m_store || !m_tables)
        return kReplyBadMac;
    if (value.length != static_cast<long>(kMacLength))
        return kReplyBadTableMac;
    const std::string mac(value.text);

    DeviceDirectoryEntry entry;
    if (!FindDirectoryEntry(mac, entry))
        return kReplyBadTableMac;
    if (entry.index < 0 || entry.index >= kTableControllers) {
        WriteDiagnostic(KORVO_WHERE(kUnit, CRLog::kSymptom), "[ERROR]MACToNum error.");
        return kReplyBadTableMac;
    }
    const int k = entry.index;
    ReceptionTable& table = (*m_tables)[static_cast<std::size_t>(k)];
    table.controllerMac = mac;

    std::size_t pos = 0;
    for (int count = 0; count < kRowsPerPage; ++count) {
        const std::size_t cam = text.find("CAM", pos);
        if (cam == kNpos)
            return kReplyBadRowNumber;
        const std::size_t numberStart = cam + 3;
        const std::size_t numberEnd = text.find(':', numberStart);
        if (numberEnd == kNpos || numberEnd - numberStart != 3)
            return kReplyBadRowNumber;
        // A camera number without a table position is a broken row.
        const int number = CameraNumber(text.substr(numberStart, 3));
        if (number < 1 || number > kCameraTableRows)
            return kReplyBadRowNumber;
        CameraTableEntry& row = table.rows[static_cast<std::size_t>(number - 1)];
        row.number = static_cast<std::uint8_t>(number);

        const std::size_t macStart = numberEnd + 1;
        const std::size_t macEnd = text.find(':', macStart);
        if (macEnd == kNpos)
            return kReplyBadTableMac;
        const std::size_t macLength = macEnd - macStart;
        if (macLength != 0 && macLength != kMacLength)
            return kReplyBadTableMac;
        row.mac = std::string(text.substr(macStart, macLength));

        const std::size_t ipStart = macEnd + 1;
        const std::size_t ipEnd = text.find(':', ipStart);
        if (ipEnd == kNpos)
            return kReplyBadRowIp;
        const std::size_t ipLength = ipEnd - ipStart;
        if (ipLength == 0) {
            row.ip = Address4{};
        } else if (ipLength < 7 || ipLength > 15 || !SplitAddress(text.substr(ipStart, ipLength), row.ip)) {
            return kReplyBadRowIp;
        }

        const std::size_t nameStart = ipEnd + 1;
        const std::size_t nameEnd = text.find(kFieldEnd, nameStart);
        if (nameEnd == kNpos || nameEnd - nameStart > kNameMax)
            return kReplyBadRowName;
        row.name = std::string(text.substr(nameStart, nameEnd - nameStart));

        row.flag = 1;
        pos = nameEnd;
    }

    m_owner->Send(UWM_CAMTABLE_REPLY, static_cast<platform::WParam>(k), 0);
    return kReplyAccepted;
}

int CReplyAnalysis::AnalyzeAcknowledgement(const std::string& text)
{
    return AnalyzeAnswer(UpToZero(text), UWM_ACK);
}

int CReplyAnalysis::AnalyzeRefusal(const std::string& text)
{
    return AnalyzeAnswer(UpToZero(text), UWM_NAK);
}

int CReplyAnalysis::AnalyzeAnswer(std::string_view text, unsigned message)
{
    if (!m_owner)
        return 0;
    // STX and the four key characters come first, then the MAC address.
    const std::string mac(text.size() > 5 ? text.substr(5, kMacLength) : std::string_view());
    DeviceDirectoryEntry entry;
    if (!FindDirectoryEntry(mac, entry))
        return 0;

    std::string note;
    const std::size_t open = text.find('"');
    if (open != kNpos) {
        const std::size_t close = text.find('"', open + 1);
        if (close != kNpos)
            note = std::string(text.substr(open + 1, close - open - 1));
    }
    m_owner->Send(message, reinterpret_cast<platform::WParam>(&entry), reinterpret_cast<platform::LParam>(&note));
    return 0;
}

bool CReplyAnalysis::FindDirectoryEntry(const std::string& mac, DeviceDirectoryEntry& entry)
{
    if (!m_store)
        return false;
    QueueGuard guard(m_lock);
    return m_store->FindDirectoryEntry(mac, entry);
}

}  // namespace korvo
