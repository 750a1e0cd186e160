// Serial ports. The program opens a port with CreateFileW("COM1:", ...) and
// reads and writes it with ReadFile / WriteFile; the file module hands such
// names and handles to the os::detail functions at the end of this header.
// Everything else a program does with a port is here: line settings (DCB),
// time-outs, queue sizes, event mask and WaitCommEvent, purge, modem lines
// and error status.
//
// Behind each port name sits a line (os::sim::CommLine) that the simulator
// attaches: the device at the other end (a GPS receiver, a test) feeds bytes
// into it and receives what the program writes. A port can only be opened
// while a line is attached to its name, and by one handle at a time.
// Reads and WaitCommEvent block in platform waits on events of the port, so
// the virtual clock sees them; closing the handle ends them with failure.
//
// A line may run a device of its own while the program has the port open
// (OnPortOpened / OnPortClosed): the simulated GPS receiver of sim/ and the
// host serial device of platform/devices/host_serial.h (whose reader thread reads
// inside os::detail::HostWaitScope and calls Feed) are such lines.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/base/types.h"

namespace os {

constexpr DWORD CBR_4800 = 4800;
constexpr DWORD CBR_9600 = 9600;
constexpr DWORD CBR_38400 = 38400;
constexpr DWORD CBR_57600 = 57600;
constexpr DWORD CBR_115200 = 115200;

constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD DTR_CONTROL_DISABLE = 0;
constexpr DWORD DTR_CONTROL_ENABLE = 1;
constexpr DWORD DTR_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_DISABLE = 0;
constexpr DWORD RTS_CONTROL_ENABLE = 1;
constexpr DWORD RTS_CONTROL_HANDSHAKE = 2;
constexpr DWORD RTS_CONTROL_TOGGLE = 3;

struct DCB {
    DWORD DCBlength = sizeof(DCB);
    DWORD BaudRate = CBR_9600;
    DWORD fBinary : 1 = 1;
    DWORD fParity : 1 = 0;
    DWORD fOutxCtsFlow : 1 = 0;
    DWORD fOutxDsrFlow : 1 = 0;
    DWORD fDtrControl : 2 = DTR_CONTROL_ENABLE;
    DWORD fDsrSensitivity : 1 = 0;
    DWORD fTXContinueOnXoff : 1 = 0;
    DWORD fOutX : 1 = 0;
    DWORD fInX : 1 = 0;
    DWORD fErrorChar : 1 = 0;
    DWORD fNull : 1 = 0;
    DWORD fRtsControl : 2 = RTS_CONTROL_ENABLE;
    DWORD fAbortOnError : 1 = 0;
    DWORD fDummy2 : 17 = 0;
    WORD wReserved = 0;
    WORD XonLim = 0;
    WORD XoffLim = 0;
    BYTE ByteSize = 8;
    BYTE Parity = NOPARITY;
    BYTE StopBits = ONESTOPBIT;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    WORD wReserved1 = 0;
};

constexpr DWORD MAXDWORD = 0xFFFFFFFF;

// Read time-outs as on the phone: interval MAXDWORD with both totals 0 returns
// at once with what is buffered; interval and multiplier MAXDWORD with a
// constant returns as soon as one byte is there, or after the constant; all
// zero waits until every byte asked for came. Otherwise a read ends after
// multiplier x bytes + constant ms in total, or when the interval passes
// between two bytes. A read that times out succeeds with fewer bytes.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};

// Events of SetCommMask / WaitCommEvent.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;

constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;

// Error flags of ClearCommError.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

struct COMSTAT {
    DWORD fCtsHold : 1 = 0;
    DWORD fDsrHold : 1 = 0;
    DWORD fRlsdHold : 1 = 0;
    DWORD fXoffHold : 1 = 0;
    DWORD fXoffSent : 1 = 0;
    DWORD fEof : 1 = 0;
    DWORD fTxim : 1 = 0;
    DWORD fReserved : 25 = 0;
    DWORD cbInQue = 0;
    DWORD cbOutQue = 0;
};

// All fail with ERROR_INVALID_HANDLE on a handle that is not an open port.
BOOL GetCommState(HANDLE port, DCB* dcb);
// Refuses (ERROR_INVALID_PARAMETER, nothing changed) a wrong DCBlength, baud
// rate 0, a byte size outside 5..8, or an unknown parity or stop-bit value.
BOOL SetCommState(HANDLE port, const DCB* dcb);
BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts);
BOOL SetCommTimeouts(HANDLE port, const COMMTIMEOUTS* timeouts);
// The receive queue holds inQueue bytes (4096 until set); bytes arriving
// into a full queue are lost and reported as CE_RXOVER. Writes are not queued.
BOOL SetupComm(HANDLE port, DWORD inQueue, DWORD outQueue);
// Changing the mask ends a pending WaitCommEvent with no event (0).
BOOL SetCommMask(HANDLE port, DWORD mask);
BOOL GetCommMask(HANDLE port, DWORD* mask);
// Blocks until an event of the mask happened since the last call (or the
// mask changed) and returns those events. `overlapped` must be null.
BOOL WaitCommEvent(HANDLE port, DWORD* events, void* overlapped);
// PURGE_RXCLEAR empties the receive queue; PURGE_RXABORT ends a pending read
// with what it has. Transmission is immediate, so the TX flags have nothing to do.
BOOL PurgeComm(HANDLE port, DWORD flags);
// The simulated lines carry no modem or flow-control signals: the functions
// are checked and accepted, and change nothing the device could see.
BOOL EscapeCommFunction(HANDLE port, DWORD function);
// Returns and clears the error flags; the status gives the bytes waiting.
BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status);

}  // namespace os

// ---- Simulator side: the device end of a serial line.
namespace os::sim {

class CommLine {
public:
    CommLine() = default;
    virtual ~CommLine() = default;
    CommLine(const CommLine&) = delete;
    CommLine& operator=(const CommLine&) = delete;

    // Bytes from the device to the program. Returns how many entered the
    // port's receive queue: none while the port is closed, fewer when the
    // queue is full (CE_RXOVER).
    std::size_t Feed(const void* data, std::size_t size);
    bool PortOpen() const;

    // Called (outside every platform lock) with each block the program
    // writes and each line setting it makes; they keep them for the two
    // readers below.
    virtual void OnProgramWrite(const BYTE* data, std::size_t size);
    virtual void OnSettingsChanged(const DCB& settings);
    // Called (outside every platform lock) on the thread that opens the
    // port, and on the one that closes it or unplugs the line while it is
    // open; a line that runs a thread of its own starts and ends it here.
    virtual void OnPortOpened() {}
    virtual void OnPortClosed() {}

    // What the program wrote since the last call.
    std::string TakeWritten();
    DCB LastSettings() const;

private:
    friend bool AttachCommPort(const std::string& name, std::shared_ptr<CommLine> line);
    std::string portName_;  // set once when attached
    mutable std::mutex mutex_;
    std::string written_;
    DCB settings_;
};

// Connects a line to a port name ("COM1:", "GPD0:"; case does not matter).
// False when the name is taken or the line is attached elsewhere.
bool AttachCommPort(const std::string& name, std::shared_ptr<CommLine> line);
// Unplugs the line: the name can no longer be opened; a port open on it
// keeps its handle but receives nothing more, and its writes go nowhere.
bool DetachCommPort(const std::string& name);

}  // namespace os::sim

// ---- For the file module: CreateFileW, ReadFile, WriteFile and CloseHandle
// on port names and handles. Port handle values come from the platform's
// one handle table.
namespace os::detail {

// True when a line is attached to `name`, which CreateFileW must then open here.
bool IsCommDeviceName(const std::string& name);
// `access` holds the GENERIC_READ (0x80000000) and GENERIC_WRITE (0x40000000)
// bits. Null with ERROR_FILE_NOT_FOUND when no line is attached to the name,
// ERROR_ACCESS_DENIED when the port is already open.
HANDLE OpenCommDevice(const std::string& name, DWORD access);
bool IsCommHandle(HANDLE handle);
BOOL ReadComm(HANDLE port, void* buffer, DWORD size, DWORD* bytesRead);
BOOL WriteComm(HANDLE port, const void* data, DWORD size, DWORD* bytesWritten);
BOOL CloseComm(HANDLE port);

}  // namespace os::detail
