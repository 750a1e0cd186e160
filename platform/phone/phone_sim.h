// The simulator's side of the phone's network services: the handset's own
// number and cellular line, whether the network takes text messages, and the
// host file the sent messages go to. Reset to the defaults below by
// StartPlatform.
#pragma once

#include <string>

namespace os::sim {

struct PhoneConfig {
    bool line = true;                   // a line device "Cellular Line"
    std::string number = "+821012345678";  // its address text
    bool smsFails = false;              // every SmsSendMessage fails, nothing written
    // Host file each sent message is appended to as one JSON line:
    // {"time_ms", "to", "address_type", "text", "status_report", "header"}
    // (device time, recipient, the body as UTF-8, whether a status report was
    // asked for, the header bytes as text). Empty: messages are only traced.
    std::string outboxPath;
};

void ConfigurePhone(const PhoneConfig& config);
PhoneConfig CurrentPhone();

}  // namespace os::sim
