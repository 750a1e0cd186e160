#include "sensing/gps_serial.h"

#include "platform/trace.h"

SerialReader* SerialOpen(const char* port, uint32_t baudRate, SerialCallback, void*)
{
    // Will open and configure the port and start the reader's worker.
    os::Trace("SerialOpen(%s, %u): GPS reader not built yet", port ? port : "", baudRate);
    return nullptr;
}

void SerialClose(SerialReader*)
{
    // Will stop the worker and close the port.
    os::Trace("SerialClose: GPS reader not built yet");
}

int GpsLogStop(os::HWND, int)
{
    // Will write the log's summary and close it.
    os::Trace("GpsLogStop: GPS log not built yet");
    return 0;
}

int GpsLogStart(os::HWND, const char*, int)
{
    // Will create the log file and start taking the fixes into it.
    os::Trace("GpsLogStart: GPS log not built yet");
    return 0;
}
