#include "sensing/gps_serial.h"

#include <vector>

#include "platform/devices/comm.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"

namespace {

constexpr os::DWORD kQueueBytes = 2048;
constexpr os::DWORD kReadChunk = 2048;
constexpr os::DWORD kWriteTimeoutMs = 1000;
constexpr os::DWORD kReaderStopTimeoutMs = 5000;

bool ConfigurePort(os::HANDLE port, uint32_t baudRate)
{
    os::DCB dcb;
    if (!os::GetCommState(port, &dcb)) return false;
    dcb.BaudRate = baudRate;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = os::DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 1;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = os::RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = 0;
    dcb.ByteSize = 8;
    dcb.Parity = os::NOPARITY;
    dcb.StopBits = os::ONESTOPBIT;
    if (!os::SetCommState(port, &dcb)) return false;

    // A read returns at once with whatever is buffered.
    os::COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = os::MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!os::SetCommTimeouts(port, &timeouts)) return false;

    os::DWORD errors = 0;
    return os::ClearCommError(port, &errors, nullptr) && os::SetupComm(port, kQueueBytes, kQueueBytes);
}

// Reads what the port holds and hands it to the callback; false when the
// port is gone.
bool Deliver(SerialReader* reader, std::vector<uint8_t>& buffer)
{
    os::DWORD got = 0;
    const bool read = os::ReadFile(reader->port, buffer.data(), kReadChunk, &got, nullptr);
    os::DWORD errors = 0;
    os::ClearCommError(reader->port, &errors, nullptr);
    if (read && got != 0) reader->callback(buffer.data(), got, reader->arg);
    return read;
}

// Runs until the port is closed (every wait on it then fails) or the
// running flag is cleared.
os::DWORD SerialWorker(void* param)
{
    auto* reader = static_cast<SerialReader*>(param);
    std::vector<uint8_t> buffer(kReadChunk + 1, 0);
    // Bytes that came before the mask was set raise no event: they are
    // taken at once instead of waiting for the next ones.
    bool ok = os::SetCommMask(reader->port, os::EV_RXCHAR) && Deliver(reader, buffer);
    while (ok && reader->running) {
        os::DWORD events = 0;
        if (!os::WaitCommEvent(reader->port, &events, nullptr) || !reader->running) break;
        os::SetCommMask(reader->port, os::EV_RXCHAR);
        if ((events & os::EV_RXCHAR) != 0) ok = Deliver(reader, buffer);
    }
    reader->lastError = os::GetLastError();
    return 0;
}

}  // namespace

SerialReader* SerialOpen(const char* port, uint32_t baudRate, SerialCallback callback, void* arg)
{
    const char* name = port != nullptr ? port : "";
    os::HANDLE handle =
        os::CreateFileW(name, os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
    if (handle == os::INVALID_HANDLE_VALUE) {
        os::Trace("SerialOpen(%s, %u): cannot open the port, error %u", name, baudRate, os::GetLastError());
        return nullptr;
    }
    if (!ConfigurePort(handle, baudRate)) {
        os::Trace("SerialOpen(%s, %u): cannot set up the port, error %u", name, baudRate, os::GetLastError());
        os::CloseHandle(handle);
        return nullptr;
    }
    auto* reader = new SerialReader;
    reader->port = handle;
    reader->callback = callback;
    reader->arg = arg;
    if (callback == nullptr) return reader;
    reader->running = true;
    reader->thread = os::CreateThread(nullptr, 0, SerialWorker, reader, 0, nullptr);
    if (reader->thread == nullptr) {
        os::Trace("SerialOpen(%s, %u): no worker, error %u", name, baudRate, os::GetLastError());
        os::CloseHandle(handle);
        delete reader;
        return nullptr;
    }
    os::SetThreadDescription(reader->thread, "serial");
    return reader;
}

int SerialShutdown(SerialReader* reader)
{
    if (reader == nullptr) return 1;
    reader->running = false;
    os::CloseHandle(reader->port);
    if (reader->thread == nullptr) {
        delete reader;
        return 1;
    }
    if (os::WaitForSingleObject(reader->thread, kReaderStopTimeoutMs) != os::WAIT_OBJECT_0) {
        os::Trace("SerialClose: the serial worker did not end; it is left running");
        os::TerminateThread(reader->thread, 0);
        return 0;
    }
    os::CloseHandle(reader->thread);
    delete reader;
    return 1;
}

void SerialClose(SerialReader* reader)
{
    SerialShutdown(reader);
}
