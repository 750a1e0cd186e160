#include "sim/run_summary.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace sim {

namespace {

constexpr double kHnsPerSecond = 1e7;
constexpr double kBytesPerMb = 1024.0 * 1024.0;

std::string FileName(const std::string& devicePath)
{
    const std::size_t slash = devicePath.find_last_of('\\');
    return slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
}

bool IsRecording(const std::string& path, const std::vector<ClosedRecording>& recordings)
{
    const std::string name = FileName(path);
    return std::any_of(recordings.begin(), recordings.end(),
                       [&](const ClosedRecording& r) { return r.path == path || FileName(r.path) == name; });
}

bool Listed(const std::vector<std::string>& files, const std::string& path)
{
    return std::find(files.begin(), files.end(), path) != files.end();
}

// Where a recording is at the end of the run: where it was opened, in its
// folder's "Event" when it was filed there, or nowhere when loop recording
// deleted it (empty).
std::string PathNow(const ClosedRecording& r, const std::vector<std::string>& filesWritten)
{
    if (Listed(filesWritten, r.path)) return r.path;
    const std::size_t slash = r.path.find_last_of('\\');
    const std::string filed = r.path.substr(0, slash + 1) + "Event\\" + FileName(r.path);
    return Listed(filesWritten, filed) ? filed : std::string();
}

bool InEventFolder(const std::string& path)
{
    const std::size_t slash = path.find_last_of('\\');
    return slash != std::string::npos && path.substr(0, slash).ends_with("\\Event");
}

std::string RecordingLine(const ClosedRecording& r, const std::string& now)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "  %.1f s  %.1f MB", static_cast<double>(r.lengthHns) / kHnsPerSecond,
                  static_cast<double>(r.bytes) / kBytesPerMb);
    std::string line = "  " + (now.empty() ? r.path : now) + numbers;
    if (r.eventClip) {
        line += "  event clip";
    } else if (InEventFolder(now)) {
        line += "  filed as an event";
    }
    if (now.empty()) line += "  deleted since";
    if (r.closeFailed) line += "  close failed";
    return line + "\n";
}

}  // namespace

std::string WrittenFilesText(const std::vector<ClosedRecording>& recordings,
                             const std::vector<std::string>& filesWritten)
{
    std::string lines;
    int clips = 0;
    for (const ClosedRecording& r : recordings) {
        const std::string now = PathNow(r, filesWritten);
        if (r.eventClip || InEventFolder(now)) ++clips;
        lines += RecordingLine(r, now);
    }
    std::string text = "kestrava: " + std::to_string(recordings.size()) + " recording(s) written, " +
                       std::to_string(clips) + " of them event clip(s)\n" + lines;
    std::vector<std::string> others;
    std::copy_if(filesWritten.begin(), filesWritten.end(), std::back_inserter(others),
                 [&](const std::string& f) { return !IsRecording(f, recordings); });
    text += "kestrava: " + std::to_string(others.size()) + " other file(s) written\n";
    for (const std::string& f : others) text += "  " + f + "\n";
    return text;
}

std::string ScreenshotsText(const std::vector<std::string>& screenshots)
{
    std::string text = "kestrava: " + std::to_string(screenshots.size()) + " screenshot(s) written\n";
    for (const std::string& path : screenshots) text += "  " + path + "\n";
    return text;
}

}  // namespace sim
