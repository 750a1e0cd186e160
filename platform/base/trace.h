// Trace lines. The program's own Trace lines, and the platform layer's log of
// what the stand-ins did (message boxes, shell calls, abandoned threads),
// produce no output unless a sink is set: `--trace FILE` writes them one per
// line with the device time; tests capture them to check fixed orders.
// Platform log lines are marked "[os]" so that they never mix with the
// program's own.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>
#include <vector>

namespace os {

// printf-style format; a trailing "\r\n" of the format is not repeated.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void VTrace(const char* format, va_list args);
// A line of the platform layer's own log, traced as "[os] text".
void PlatformLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The kernel debug output (a few modules write there directly).
void OutputDebugStringW(const char* text);

// Where lines go. A sink receives the device time in microseconds and the
// line without its line end. Setting an empty sink turns output off.
using TraceSink = std::function<void(std::int64_t deviceTimeUs, const std::string& line)>;
void SetTraceSink(TraceSink sink);
// Opens FILE and writes every line to it as "hh:mm:ss.mmm line"; false on
// failure, with *error (if given) naming the file and the system's reason.
// A line the file refuses later, or a failed close, is a host problem
// (platform/base/host_problem.h), reported once.
bool TraceToFile(const std::string& path, std::string* error = nullptr);
void CloseTraceFile();

// Collects trace lines for tests while alive.
class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    std::vector<std::string> Lines() const;
    // Lines of the program only, without the platform's "[os]" lines.
    std::vector<std::string> ProgramLines() const;

private:
    std::vector<std::string>* lines_;
};

}  // namespace os
