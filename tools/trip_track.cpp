#include "tools/trip_track.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "tools/avi_reader.h"
#include "tools/gps_log_reader.h"
#include "tools/host_file.h"

namespace kinfo {
namespace {

constexpr double kKmhPerKnot = 1.852;

// One file's records in a common form.
struct Source {
    std::string path;
    os::SYSTEMTIME opened{};
    bool isLog = false;
    double frameRate = 0;  // recordings: of the video; 0 without video
    double duration = 0;   // seconds of video
    std::vector<std::uint32_t> frames;
    std::vector<GpsFixBody> bodies;
    std::vector<EvtTagRecord> events;
    std::vector<std::string> problems;
};

bool ValidFix(const GpsFixBody& b)
{
    const GpsTimePosition& p = b.timePosition;
    return b.rmcStatus == 'A' && p.fixQuality > 0 && b.year >= 1970 && b.month >= 1 && b.month <= 12 &&
           b.day >= 1 && b.day <= 31 && p.utcHour < 24 && p.utcMinute < 60 && p.utcSecond < 61 &&
           p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180;
}

std::int64_t UtcSeconds(const GpsFixBody& b)
{
    using namespace std::chrono;
    const sys_days day = year_month_day{year{b.year}, month{b.month}, std::chrono::day{b.day}};
    const GpsTimePosition& p = b.timePosition;
    return day.time_since_epoch().count() * 86400LL + p.utcHour * 3600 + p.utcMinute * 60 + p.utcSecond;
}

TrackPoint PointOf(const GpsFixBody& b)
{
    TrackPoint point;
    point.valid = ValidFix(b);
    if (!point.valid) return point;
    point.utc = UtcSeconds(b);
    point.latitude = b.timePosition.latitude;
    point.longitude = b.timePosition.longitude;
    point.altitude = b.timePosition.altitude;
    point.speedKmh = b.speedKnots >= 0 ? b.speedKnots * kKmhPerKnot : -1;
    point.courseDeg = b.courseDeg;
    return point;
}

void FromRecording(const AviFile& file, Source* source)
{
    for (const StreamInfo& s : file.streams) {
        if (s.type != "vids" || s.scale == 0) continue;
        source->frameRate = static_cast<double>(s.rate) / s.scale;
        source->duration = source->frameRate > 0 ? s.chunks / source->frameRate : 0;
        break;
    }
    if (source->duration == 0 && file.summary) source->duration = file.summary->lengthHns / 1e7;
    if (file.summary) source->opened = file.summary->openTime;
    if (file.gps) {
        for (const GpsTrackRecord& r : *file.gps) {
            source->frames.push_back(r.videoFrame);
            source->bodies.push_back(r.body);
        }
    }
    if (file.events) source->events = *file.events;
}

int LoadSource(const std::string& path, Source* source, std::string* error)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadHostFile(path, &bytes, error)) return 0;
    source->path = path;
    if (LooksLikeGpsLog(bytes.data(), bytes.size())) {
        GpsLog log;
        if (!ReadGpsLog(bytes.data(), bytes.size(), &log, error)) {
            *error = path + ": " + *error;
            return 0;
        }
        source->isLog = true;
        source->problems = log.problems;
        source->opened = log.summary.openTime;
        for (const GpsFix& fix : log.records) source->bodies.push_back(fix.body);
        return 1;
    }
    AviFile file;
    if (!ReadAvi(bytes.data(), bytes.size(), &file, error)) {
        *error = path + ": " + *error + " and no GPS log";
        return 0;
    }
    FromRecording(file, source);
    if (!file.problems.empty()) {
        source->problems.push_back(std::to_string(file.problems.size()) +
                                   " structure problems, the first: " + file.problems.front());
    }
    return 1;
}

int ExpandPaths(const std::vector<std::string>& paths, std::vector<std::string>* files, std::string* error)
{
    for (const std::string& path : paths) {
        std::error_code ec;
        if (!std::filesystem::is_directory(path, ec)) {
            files->push_back(path);
            continue;
        }
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            if (entry.is_regular_file() && (ext == ".avi" || ext == ".gps")) found.push_back(entry.path().string());
        }
        if (ec) {
            *error = path + ": cannot list: " + ec.message();
            return 0;
        }
        std::sort(found.begin(), found.end());
        files->insert(files->end(), found.begin(), found.end());
    }
    return 1;
}

auto OpenKey(const Source& s)
{
    const os::SYSTEMTIME& t = s.opened;
    return std::make_tuple(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, s.path);
}

class TripBuilder {
public:
    explicit TripBuilder(Trip* trip) : trip_(trip) {}

    void Add(const Source& source)
    {
        for (const std::string& problem : source.problems) trip_->notes.push_back(source.path + ": " + problem);
        for (std::size_t i = 0; i < source.bodies.size(); ++i) {
            TrackPoint point = PointOf(source.bodies[i]);
            if (!source.isLog) {
                const double into = source.frameRate > 0 ? source.frames[i] / source.frameRate : static_cast<double>(i);
                point.videoTime = videoOffset_ + into;
                trip_->samples.push_back(point);
            }
            Extend(point);
        }
        AddWaypoints(source);
        if (!source.isLog) videoOffset_ += source.duration;
    }

private:
    void Extend(const TrackPoint& point)
    {
        if (!point.valid) {
            open_ = false;
            return;
        }
        if (open_ && (point.utc < lastUtc_ || point.utc - lastUtc_ > kJoinSeconds)) open_ = false;
        if (!open_) trip_->segments.emplace_back();
        trip_->segments.back().push_back(point);
        open_ = true;
        lastUtc_ = point.utc;
    }

    // An event takes the position of the last valid record at or before its
    // frame, and that record's time advanced by the frames between them.
    void AddWaypoints(const Source& source)
    {
        for (const EvtTagRecord& event : source.events) {
            const std::string kind = event.kind == kEvtKindShock ? "shock" : event.kind == kEvtKindManual ? "manual" : "event";
            int best = -1;
            for (std::size_t i = 0; i < source.bodies.size(); ++i) {
                if (source.frames[i] <= event.videoFrame && ValidFix(source.bodies[i])) best = static_cast<int>(i);
            }
            if (best < 0) {
                trip_->notes.push_back(source.path + ": " + kind + " event #" + std::to_string(event.sequence) +
                                       " has no GPS position before it; left out");
                continue;
            }
            const TrackPoint at = PointOf(source.bodies[best]);
            const double ahead = source.frameRate > 0 ? (event.videoFrame - source.frames[best]) / source.frameRate : 0;
            Waypoint w{at.utc + static_cast<std::int64_t>(ahead + 0.5), at.latitude, at.longitude, kind, ""};
            w.name = kind + " " + std::to_string(trip_->waypoints.size() + 1);
            trip_->waypoints.push_back(w);
        }
    }

    Trip* trip_;
    bool open_ = false;
    std::int64_t lastUtc_ = 0;
    double videoOffset_ = 0;
};

}  // namespace

std::string IsoUtc(std::int64_t utc)
{
    using namespace std::chrono;
    const std::int64_t days = (utc >= 0 ? utc : utc - 86399) / 86400;
    const std::int64_t rest = utc - days * 86400;
    const year_month_day ymd{sys_days{std::chrono::days{days}}};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

int LoadTrip(const std::vector<std::string>& paths, Trip* trip, std::string* error)
{
    *trip = Trip{};
    std::vector<std::string> files;
    if (!ExpandPaths(paths, &files, error)) return 0;
    if (files.empty()) {
        *error = "no .avi or .gps files found";
        return 0;
    }
    std::vector<Source> sources(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!LoadSource(files[i], &sources[i], error)) return 0;
    }
    std::stable_sort(sources.begin(), sources.end(),
                     [](const Source& a, const Source& b) { return OpenKey(a) < OpenKey(b); });
    TripBuilder builder(trip);
    for (const Source& source : sources) builder.Add(source);
    return 1;
}

}  // namespace kinfo
