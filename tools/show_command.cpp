// "kestrava-info show": what a recording holds, as text or as JSON.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "tools/avi_checks.h"
#include "tools/avi_reader.h"
#include "tools/gps_log_reader.h"
#include "tools/host_file.h"
#include "tools/info_command.h"

namespace kinfo {
namespace {

constexpr const char* kShowUsage =
    "usage: kestrava-info show [--json] FILE|FOLDER...\n"
    "\n"
    "Shows each AVI file's streams (codec, size, frame rate, frame and chunk\n"
    "counts, duration), its recording summary (\"IFND\"), its event tags\n"
    "(\"IEVT\") and the number of its GPS records (\"IGPS\"); and each GPS\n"
    "log's summary, record count and first and last fixes. A folder stands\n"
    "for its .avi and .gps files.\n"
    "  --json   one JSON document: an array with an object per file\n";

using nlohmann::json;

std::string Format(const char* format, double a, double b = 0, double c = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string LocalTime(const os::SYSTEMTIME& t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

std::string UtcTimeOfDay(const GpsTimePosition& p)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", p.utcHour, p.utcMinute, p.utcSecond);
    return text;
}

double FrameRate(const StreamInfo& s) { return s.scale ? static_cast<double>(s.rate) / s.scale : 0.0; }

// Seconds the stream plays: video from its chunks, audio from its samples.
double Duration(const StreamInfo& s)
{
    if (s.type == "vids") return FrameRate(s) > 0 ? s.chunks / FrameRate(s) : 0.0;
    if (s.type == "auds" && s.blockAlign && s.sampleRate) {
        return static_cast<double>(s.bytes / s.blockAlign) / s.sampleRate;
    }
    return 0.0;
}

// Frame rate of the first video stream, for the time of an event's frame.
double VideoRate(const AviFile& file)
{
    for (const StreamInfo& s : file.streams) {
        if (s.type == "vids") return FrameRate(s);
    }
    return 0.0;
}

const char* KindName(std::uint32_t kind)
{
    if (kind == kEvtKindShock) return "shock";
    if (kind == kEvtKindManual) return "manual";
    return "unknown";
}

json StreamJson(const StreamInfo& s)
{
    json j = {{"type", s.type},
              {"handler", s.handler},
              {"chunks", s.chunks},
              {"empty_chunks", s.emptyChunks},
              {"bytes", s.bytes},
              {"length", s.length},
              {"duration_s", Duration(s)}};
    if (s.type == "vids") {
        j["codec"] = s.compression;
        j["width"] = s.width;
        j["height"] = s.height;
        j["frame_rate"] = FrameRate(s);
        j["frames"] = s.chunks - s.emptyChunks;
    } else if (s.type == "auds") {
        j["format_tag"] = s.formatTag;
        j["channels"] = s.channels;
        j["sample_rate"] = s.sampleRate;
        j["bits_per_sample"] = s.bitsPerSample;
        if (s.blockAlign) j["samples"] = s.bytes / s.blockAlign;
    }
    return j;
}

// The records are packed: their fields are read by value (unary plus), as a
// reference to a packed field may be misaligned.
json PositionJson(const GpsTimePosition& p)
{
    return {{"utc", UtcTimeOfDay(p)},
            {"latitude", +p.latitude},
            {"longitude", +p.longitude},
            {"altitude", +p.altitude},
            {"fix_quality", +p.fixQuality}};
}

json SummaryJson(const RecordingSummary& s)
{
    return {{"opened", LocalTime(s.openTime)},
            {"closed", LocalTime(s.closeTime)},
            {"length_s", s.lengthHns / 1e7},
            {"first_gps", PositionJson(s.firstGps)},
            {"last_gps", PositionJson(s.lastGps)},
            {"distance_km", +s.distanceKm}};
}

std::string FixDate(const GpsFixBody& b)
{
    char text[24];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", +b.year, +b.month, +b.day);
    return text;
}

json FixJson(const GpsFix& fix)
{
    const GpsFixBody& b = fix.body;
    json j = PositionJson(b.timePosition);
    j["index"] = +fix.index;
    j["date"] = FixDate(b);
    j["status"] = std::string(1, static_cast<char>(b.rmcStatus));
    j["speed_knots"] = +b.speedKnots;
    return j;
}

json LogJson(const std::string& path, std::uint64_t size, const GpsLog& log)
{
    json j = {{"file", path}, {"type", "gps_log"}, {"size", size}, {"stopped", log.stopped}};
    if (log.stopped) j["summary"] = SummaryJson(log.summary);
    j["count"] = log.count;
    j["records"] = log.present;
    if (log.first) j["first_fix"] = FixJson(*log.first);
    if (log.last) j["last_fix"] = FixJson(*log.last);
    j["problems"] = log.problems;
    return j;
}

json FileJson(const std::string& path, const AviFile& file)
{
    json j = {{"file", path}, {"type", "avi"}, {"size", file.fileSize}, {"riffs", file.riffs}};
    j["streams"] = json::array();
    for (const StreamInfo& s : file.streams) j["streams"].push_back(StreamJson(s));
    j["recording_data"] = CarriesRecordingData(file);
    if (file.summary) j["summary"] = SummaryJson(*file.summary);
    if (file.events) {
        j["events"] = json::array();
        const double rate = VideoRate(file);
        for (const EvtTagRecord& e : *file.events) {
            j["events"].push_back({{"sequence", +e.sequence},
                                   {"frame", +e.videoFrame},
                                   {"time_s", rate > 0 ? e.videoFrame / rate : 0.0},
                                   {"kind", KindName(e.kind)},
                                   {"axes", {+e.x, +e.y, +e.z}},
                                   {"thresholds", {+e.thresholdX, +e.thresholdY, +e.thresholdZ}}});
        }
    }
    j["gps_records"] = file.gps ? file.gps->size() : 0;
    if (file.software) j["software"] = *file.software;
    j["problems"] = file.problems;
    return j;
}

void ShowStreams(const AviFile& file, std::ostream& out)
{
    for (std::size_t i = 0; i < file.streams.size(); ++i) {
        const StreamInfo& s = file.streams[i];
        out << "  stream " << i << ": ";
        if (s.type == "vids") {
            out << "video " << s.compression << " " << s.width << "x" << s.height << ", "
                << Format("%.3f", FrameRate(s)) << " frames/s, " << (s.chunks - s.emptyChunks) << " frames in "
                << s.chunks << " chunks";
        } else if (s.type == "auds") {
            out << "audio format " << s.formatTag << (s.formatTag == 1 ? " (PCM)" : "") << ", " << s.sampleRate
                << " Hz, " << s.channels << " channels, " << s.bitsPerSample << " bits, " << s.chunks << " chunks";
        } else {
            out << s.type << " " << s.chunks << " chunks";
        }
        out << ", " << Format("%.3f", Duration(s)) << " s\n";
    }
}

std::string PositionText(const GpsTimePosition& p)
{
    return UtcTimeOfDay(p) + " UTC " + Format("%.6f, %.6f, altitude %.1f", p.latitude, p.longitude, p.altitude) +
           ", fix " + std::to_string(p.fixQuality);
}

void ShowSummary(const RecordingSummary& s, std::ostream& out)
{
    out << "  opened " << LocalTime(s.openTime) << ", closed " << LocalTime(s.closeTime) << " (local), length "
        << Format("%.3f", s.lengthHns / 1e7) << " s, distance " << Format("%.3f", s.distanceKm) << " km\n"
        << "  first GPS: " << PositionText(s.firstGps) << "\n"
        << "  last GPS:  " << PositionText(s.lastGps) << "\n";
}

void ShowRecordingData(const AviFile& file, std::ostream& out)
{
    if (!CarriesRecordingData(file)) {
        out << "  no recording data (no \"IGPS\", \"IEVT\" or \"IFND\" chunk)\n";
        return;
    }
    if (file.summary) ShowSummary(*file.summary, out);
    const double rate = VideoRate(file);
    const std::size_t events = file.events ? file.events->size() : 0;
    out << "  events: " << events << "\n";
    for (std::size_t i = 0; i < events; ++i) {
        const EvtTagRecord& e = (*file.events)[i];
        out << "    #" << e.sequence << " " << KindName(e.kind) << " at frame " << e.videoFrame << " ("
            << Format("%.3f", rate > 0 ? e.videoFrame / rate : 0.0) << " s), axes "
            << Format("%g %g %g", e.x, e.y, e.z) << ", thresholds "
            << Format("%g %g %g", e.thresholdX, e.thresholdY, e.thresholdZ) << "\n";
    }
    out << "  GPS records: " << (file.gps ? file.gps->size() : 0) << "\n";
}

void ShowText(const std::string& path, const AviFile& file, std::ostream& out)
{
    out << path << ": " << file.fileSize << " bytes, " << file.riffs << (file.riffs == 1 ? " RIFF\n" : " RIFFs\n");
    ShowStreams(file, out);
    ShowRecordingData(file, out);
    if (file.software) out << "  software: " << *file.software << "\n";
    for (const std::string& problem : file.problems) out << "  problem: " << problem << "\n";
}

std::string FixText(const GpsFix& fix)
{
    const GpsFixBody& b = fix.body;
    return std::string(1, '#').append(std::to_string(fix.index)) + " " + FixDate(b) + " " + PositionText(b.timePosition) + ", status " +
           static_cast<char>(b.rmcStatus >= 32 && b.rmcStatus < 127 ? b.rmcStatus : '?') +
           (b.speedKnots >= 0 ? Format(", %.1f knots", b.speedKnots) : "");
}

void ShowLogText(const std::string& path, std::uint64_t size, const GpsLog& log, std::ostream& out)
{
    out << path << ": GPS log, " << size << " bytes, "
        << (log.stopped ? "stopped\n" : "not stopped (no end marker, no summary)\n");
    if (log.stopped) ShowSummary(log.summary, out);
    out << "  records: " << log.present << " (the header counts " << log.count << ")\n";
    if (log.first) out << "  first fix: " << FixText(*log.first) << "\n";
    if (log.last) out << "  last fix:  " << FixText(*log.last) << "\n";
    for (const std::string& problem : log.problems) out << "  problem: " << problem << "\n";
}

// 1 when the file was shown (as text to out, or added to all).
int ShowOne(const std::string& path, bool asJson, json* all, std::ostream& out, std::ostream& err)
{
    HostFile host;
    std::string error;
    if (!host.Open(path, &error)) {
        err << "kestrava-info: " << path << ": " << error << "\n";
        return 0;
    }
    if (host.Size() == 0) {
        err << "kestrava-info: " << path << ": empty (0 bytes)\n";
        return 0;
    }
    if (LooksLikeGpsLog(host)) {
        GpsLog log;
        if (!ReadGpsLog(host, &log, &error)) {
            err << "kestrava-info: " << path << ": " << error << "\n";
            return 0;
        }
        if (asJson) {
            all->push_back(LogJson(path, host.Size(), log));
        } else {
            ShowLogText(path, host.Size(), log, out);
        }
        return 1;
    }
    AviFile file;
    if (!ReadAvi(host, &file, &error)) {
        err << "kestrava-info: " << path << ": " << error << (host.Error().empty() ? " nor a GPS log" : "") << "\n";
        return 0;
    }
    if (asJson) {
        all->push_back(FileJson(path, file));
    } else {
        ShowText(path, file, out);
    }
    return 1;
}

}  // namespace

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    bool asJson = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            out << kShowUsage;
            return 0;
        }
        if (arg == "--json") {
            asJson = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            err << "kestrava-info show: unknown option '" << arg << "'\n" << kShowUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        err << kShowUsage;
        return 2;
    }
    int result = 0;
    json all = json::array();
    for (const std::string& path : InputFiles(files, err, &result)) {
        if (!ShowOne(path, asJson, &all, out, err)) result = 1;
    }
    if (asJson) out << all.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
    return result;
}

}  // namespace kinfo
