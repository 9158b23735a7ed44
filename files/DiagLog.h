// The diagnostic log: one entry point with a source location and a
// printf-style message, handed to every registered listener.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace CRLog {

enum Category : int {
    kSndNetInq = 0,
    kSndNetSet = 1,
    kSndCamInq = 2,
    kSndCamSet = 3,
    kRcvNetInq = 4,
    kRcvCamInq = 5,
    kRcvAck = 6,
    kRcvNak = 7,
    kRcvUnknown = 8,
    kSuccess = 9,
    kFailure = 10,
    kSymptom = 11,
    kNetworkErr = 12,
    kReceive = 13,
};

// "[SND/NETINQ]" ... "[RECIEVE]"; nullptr for a category outside 0 to 13.
const char* CategoryLabel(int category);

struct SourceLocation {
    const char* unit;  // source unit name, e.g. "UdpClient"
    int line;
    int category;
};

class Listener {
public:
    virtual ~Listener() = default;
    virtual void Log(int category, const std::string& text, const char* unit, int line) = 0;
    // Identity for duplicate checks; -1 means none.
    virtual int Id() const { return -1; }
};

// Appends the listener unless another with the same identity (not -1) is
// registered already. Returns true when it was added. The registry owns it.
bool AddListener(std::unique_ptr<Listener> listener);
std::size_t ListenerCount();
// Destroys every listener (program end; tests).
void ClearListeners();

}  // namespace CRLog

// Formats the message and hands it to every listener in registration order.
// Texts from outside and frames must be passed as an argument of "%s".
void WriteDiagnostic(const CRLog::SourceLocation& where, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

#define KORVO_WHERE(unit, category) (CRLog::SourceLocation{(unit), __LINE__, (category)})
