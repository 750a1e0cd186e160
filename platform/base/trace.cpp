#include "platform/base/trace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/base/host_problem.h"
#include "platform/kernel/clock.h"

namespace os {

namespace {

struct TraceState {
    std::mutex mu;
    TraceSink sink;
    std::FILE* file = nullptr;
    std::string filePath;
    std::vector<std::vector<std::string>*> captures;
};

TraceState& Tracing()
{
    static TraceState state;
    return state;
}

// One line per call: line ends at either side are dropped, inner ones are
// shown as "\n" so that a line never spans two.
std::string Normalise(const char* text)
{
    std::string line(text);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && (line[start] == '\r' || line[start] == '\n')) ++start;
    std::string out;
    for (std::size_t i = start; i < line.size(); ++i) {
        if (line[i] == '\r') continue;
        if (line[i] == '\n') {
            out += "\\n";
        } else {
            out += line[i];
        }
    }
    return out;
}

void Emit(const std::string& line)
{
    TraceState& s = Tracing();
    std::lock_guard<std::mutex> lk(s.mu);
    if (!s.sink && s.captures.empty()) return;
    const std::int64_t now = DeviceTimeUs();
    for (auto* capture : s.captures) capture->push_back(line);
    if (s.sink) s.sink(now, line);
}

// A trace file that stops taking lines (a full disk, a device such as
// /dev/full) cannot say so in itself: the host is told instead.
void ReportTraceFileProblem(const std::string& path, int err)
{
    sim::ReportHostProblem("trace", "cannot write the trace file " + path + ": " + std::strerror(err));
}

}  // namespace

void VTrace(const char* format, va_list args)
{
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    Emit(Normalise(buffer));
}

void Trace(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VTrace(format, args);
    va_end(args);
}

void PlatformLog(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Emit("[os] " + Normalise(buffer));
}

void OutputDebugStringW(const char* text)
{
    Emit("[debug] " + Normalise(text ? text : ""));
}

void SetTraceSink(TraceSink sink)
{
    std::lock_guard<std::mutex> lk(Tracing().mu);
    Tracing().sink = std::move(sink);
}

bool TraceToFile(const std::string& path, std::string* error)
{
    // Opened without blocking, so a FIFO nobody reads is an error now rather
    // than a start-up that hangs; writes then block as usual.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
    std::FILE* file = nullptr;
    if (fd >= 0 && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) file = ::fdopen(fd, "w");
    if (file == nullptr) {
        const int reason = errno;
        if (fd >= 0) ::close(fd);
        if (error) *error = "cannot write the trace file " + path + ": " + std::strerror(reason);
        return false;
    }
    std::setvbuf(file, nullptr, _IOLBF, 0);
    std::lock_guard<std::mutex> lk(Tracing().mu);
    if (Tracing().file) std::fclose(Tracing().file);
    Tracing().file = file;
    Tracing().filePath = path;
    Tracing().sink = [file, path](std::int64_t us, const std::string& line) {
        if (std::fprintf(file, "%s %s\n", FormatDeviceTime(us).c_str(), line.c_str()) < 0 || std::ferror(file)) {
            ReportTraceFileProblem(path, errno);
            std::clearerr(file);
        }
    };
    return true;
}

void CloseTraceFile()
{
    std::lock_guard<std::mutex> lk(Tracing().mu);
    if (Tracing().file == nullptr) return;
    Tracing().sink = nullptr;
    if (std::fclose(Tracing().file) != 0) ReportTraceFileProblem(Tracing().filePath, errno);
    Tracing().file = nullptr;
}

TraceCapture::TraceCapture() : lines_(new std::vector<std::string>())
{
    std::lock_guard<std::mutex> lk(Tracing().mu);
    Tracing().captures.push_back(lines_);
}

TraceCapture::~TraceCapture()
{
    {
        std::lock_guard<std::mutex> lk(Tracing().mu);
        auto& c = Tracing().captures;
        for (auto it = c.begin(); it != c.end(); ++it) {
            if (*it == lines_) {
                c.erase(it);
                break;
            }
        }
    }
    delete lines_;
}

std::vector<std::string> TraceCapture::Lines() const
{
    std::lock_guard<std::mutex> lk(Tracing().mu);
    return *lines_;
}

std::vector<std::string> TraceCapture::ProgramLines() const
{
    std::vector<std::string> program;
    for (const std::string& line : Lines()) {
        if (line.rfind("[os] ", 0) != 0 && line.rfind("[debug] ", 0) != 0) program.push_back(line);
    }
    return program;
}

}  // namespace os
