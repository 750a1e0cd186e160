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

std::string RecordingLine(const ClosedRecording& r)
{
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "  %.1f s  %.1f MB", static_cast<double>(r.lengthHns) / kHnsPerSecond,
                  static_cast<double>(r.bytes) / kBytesPerMb);
    std::string line = "  " + r.path + numbers;
    if (r.eventClip) line += "  event clip";
    if (r.closeFailed) line += "  close failed";
    return line + "\n";
}

}  // namespace

std::string WrittenFilesText(const std::vector<ClosedRecording>& recordings,
                             const std::vector<std::string>& filesWritten)
{
    const auto clips = std::count_if(recordings.begin(), recordings.end(),
                                     [](const ClosedRecording& r) { return r.eventClip != 0; });
    std::string text = "kestrava: " + std::to_string(recordings.size()) + " recording(s) written, " +
                       std::to_string(clips) + " of them event clip(s)\n";
    for (const ClosedRecording& r : recordings) text += RecordingLine(r);
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
