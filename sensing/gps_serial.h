// The serial reader: opens a port, sets it up for a receiver that only
// talks (binary, 8N1, no flow control, reads that return at once with what
// is buffered, 2048-byte queues) and, given a callback, runs a worker that
// hands every block of received bytes to it on the worker's thread.
//
// SerialClose ends the worker by closing the port and waits for it before
// freeing the reader, so once it returns the callback is never called
// again; a worker that does not end in time is left running with its
// reader (SerialShutdown says so).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/base/types.h"

using SerialCallback = void (*)(const uint8_t* data, uint32_t size, void* arg);

struct SerialReader {
    os::HANDLE port = nullptr;
    os::HANDLE thread = nullptr;  // the worker; none without a callback
    os::DWORD lastError = 0;
    std::atomic<bool> running{false};
    SerialCallback callback = nullptr;
    void* arg = nullptr;
};

// A reader on the port at baudRate, or null (the error traced, the port
// closed again). Without a callback the port is only opened and set up.
SerialReader* SerialOpen(const char* port, uint32_t baudRate, SerialCallback callback, void* arg);
void SerialClose(SerialReader* reader);
// SerialClose that tells whether the worker ended; 0 when it was left
// running with its reader, whose callback argument must then stay alive.
int SerialShutdown(SerialReader* reader);
