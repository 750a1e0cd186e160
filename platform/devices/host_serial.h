// A serial device of the host (a USB serial adapter with a GPS receiver, a
// pseudo-terminal) behind a simulated port, for runs in real time: the bytes
// the device sends reach the program's port, the program's writes reach the
// device, and the line settings the program makes (SetCommState) become the
// terminal's settings: baud rate, byte size, parity, stop bits, hardware and
// XON/XOFF flow control, DTR and RTS, always in raw mode.
//
// While the program has the port open, a platform thread reads the device
// inside a host wait; closing the port (or unplugging the line) ends it.
#pragma once

#include <memory>
#include <string>

#include "platform/devices/comm.h"

namespace os::sim {

class HostSerialLine : public CommLine {
public:
    // Opens the terminal device at devicePath; null with *error set when it
    // cannot be opened or is no terminal.
    static std::shared_ptr<HostSerialLine> Open(const std::string& devicePath, std::string* error);
    ~HostSerialLine() override;

    void OnProgramWrite(const BYTE* data, std::size_t size) override;
    void OnSettingsChanged(const DCB& settings) override;
    void OnPortOpened() override;
    void OnPortClosed() override;

private:
    HostSerialLine(int fd, int wakeFd, std::string path);
    static DWORD ReaderThread(void* self);
    void ReadUntilStopped();
    void WaitForStop();
    void ApplySettings(const DCB& settings);
    void SetModemLine(int line, bool on);

    int fd_;
    int wakeFd_;  // an eventfd that ends the reader's wait
    std::string path_;
    HANDLE reader_ = nullptr;
};

}  // namespace os::sim
