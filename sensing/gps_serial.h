// The serial GPS reader and the GPS log, as start-up, shutdown and the main
// window's messages call them. Still to be built: opening reports failure
// (no reader) and the other calls trace that they have nothing to do yet.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct SerialReader;
using SerialCallback = void (*)(const uint8_t* data, uint32_t size, void* arg);

// A reader on the port, or null.
SerialReader* SerialOpen(const char* port, uint32_t baudRate, SerialCallback callback, void* arg);
void SerialClose(SerialReader* reader);
// Starts a GPS log at `path`; 0 when one runs already or the file cannot be made.
int GpsLogStart(os::HWND hwnd, const char* path, int playSound);
// Closes the GPS log if one is being written; 0 when none was.
int GpsLogStop(os::HWND hwnd, int playSound);
