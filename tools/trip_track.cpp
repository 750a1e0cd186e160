#include "tools/trip_track.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
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
    bool skipped = false;
    double frameRate = 0;  // recordings: of the video; 0 without video
    double duration = 0;   // seconds of video
    // Logs: their valid fixes and one invalid point for each loss between;
    // recordings: a point for every record, at the video frame in frames.
    std::vector<TrackPoint> points;
    std::vector<std::uint32_t> frames;
    std::vector<EvtTagRecord> events;
    std::vector<std::string> problems;
    std::uint64_t repeated = 0;  // log fixes left out while reading
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
            source->points.push_back(PointOf(r.body));
        }
    }
    if (file.events) source->events = *file.events;
}

// A log can be far longer than a recording: only what the track needs is
// kept, fixes no later than the last one kept are counted and dropped.
void AddLogFix(const GpsFix& fix, Source* source, std::int64_t* lastUtc)
{
    const TrackPoint point = PointOf(fix.body);
    std::vector<TrackPoint>& points = source->points;
    if (!point.valid) {
        if (points.empty() || points.back().valid) points.push_back(point);
        return;
    }
    if (*lastUtc != INT64_MIN && point.utc <= *lastUtc) {
        ++source->repeated;
        return;
    }
    *lastUtc = point.utc;
    points.push_back(point);
}

int LoadSource(const std::string& path, Source* source, FileIdentity* identity, std::string* error)
{
    source->path = path;
    HostFile file;
    if (!file.Open(path, error)) {
        *error = path + ": " + *error;
        return 0;
    }
    *identity = file.Identity();
    if (file.Size() == 0) {
        source->skipped = true;
        source->problems.push_back("empty (0 bytes), skipped");
        return 1;
    }
    if (LooksLikeGpsLog(file)) {
        GpsLog log;
        std::int64_t lastUtc = INT64_MIN;
        if (!ReadGpsLog(file, &log, error, [&](const GpsFix& fix) { AddLogFix(fix, source, &lastUtc); })) {
            *error = path + ": " + *error;
            return 0;
        }
        source->isLog = true;
        source->problems = log.problems;
        source->opened = log.summary.openTime;
        if (log.present == 0) source->problems.push_back("no GPS records");
        return 1;
    }
    AviFile avi;
    if (!ReadAvi(file, &avi, error)) {
        *error = path + ": " + *error + (file.Error().empty() ? " nor a GPS log" : "");
        return 0;
    }
    FromRecording(avi, source);
    if (!avi.problems.empty()) {
        source->problems.push_back(std::to_string(avi.problems.size()) +
                                   " structure problems, the first: " + avi.problems.front());
    }
    if (!avi.gps || avi.gps->empty()) source->problems.push_back("no GPS records");
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
        std::uint64_t leftOut = source.repeated;
        for (std::size_t i = 0; i < source.points.size(); ++i) {
            const TrackPoint& point = source.points[i];
            if (!source.isLog) AddSample(source, i);
            if (point.valid && kept_ && point.utc <= lastUtc_) {
                ++leftOut;
                continue;
            }
            Extend(point);
        }
        if (leftOut > 0) {
            trip_->notes.push_back(source.path + ": " + std::to_string(leftOut) +
                                   (leftOut == 1 ? " fix" : " fixes") + " no later than the one before, left out");
        }
        AddWaypoints(source);
        if (!source.isLog) videoOffset_ += source.duration;
    }

private:
    // A record whose fix is no later than the last one shown is stale.
    void AddSample(const Source& source, std::size_t i)
    {
        TrackPoint sample = source.points[i];
        const double into = source.frameRate > 0 ? source.frames[i] / source.frameRate : static_cast<double>(i);
        sample.videoTime = videoOffset_ + into;
        if (sample.valid && sampled_ && sample.utc <= lastSampleUtc_) {
            sample.valid = false;
        } else if (sample.valid) {
            sampled_ = true;
            lastSampleUtc_ = sample.utc;
        }
        trip_->samples.push_back(sample);
    }

    void Extend(const TrackPoint& point)
    {
        if (!point.valid) {
            open_ = false;
            return;
        }
        if (open_ && point.utc - lastUtc_ > kJoinSeconds) open_ = false;
        if (!open_) trip_->segments.emplace_back();
        trip_->segments.back().push_back(point);
        open_ = true;
        kept_ = true;
        lastUtc_ = point.utc;
    }

    // An event takes the position of the last valid record at or before its
    // frame, and that record's time advanced by the frames between them.
    void AddWaypoints(const Source& source)
    {
        for (const EvtTagRecord& event : source.events) {
            const std::string kind = event.kind == kEvtKindShock ? "shock" : event.kind == kEvtKindManual ? "manual" : "event";
            int best = -1;
            for (std::size_t i = 0; i < source.points.size(); ++i) {
                if (source.frames[i] <= event.videoFrame && source.points[i].valid) best = static_cast<int>(i);
            }
            if (best < 0) {
                trip_->notes.push_back(source.path + ": " + kind + " event #" + std::to_string(event.sequence) +
                                       " has no GPS position before it; left out");
                continue;
            }
            const TrackPoint& at = source.points[static_cast<std::size_t>(best)];
            const double ahead = source.frameRate > 0 ? (event.videoFrame - source.frames[best]) / source.frameRate : 0;
            Waypoint w{at.utc + static_cast<std::int64_t>(ahead + 0.5), at.latitude, at.longitude, kind, ""};
            w.name = kind + " " + std::to_string(trip_->waypoints.size() + 1);
            trip_->waypoints.push_back(w);
        }
    }

    Trip* trip_;
    bool open_ = false;
    bool kept_ = false;  // a point is in the track: lastUtc_ is its time
    std::int64_t lastUtc_ = 0;
    bool sampled_ = false;
    std::int64_t lastSampleUtc_ = 0;
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
    for (const std::string& path : paths) {
        const std::size_t before = files.size();
        if (!FilesOf(path, &files, error)) return 0;
        if (files.size() == before) {
            *error = path + ": a folder without .avi or .gps files";
            return 0;
        }
    }
    std::vector<Source> sources(files.size());
    trip->inputs.resize(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!LoadSource(files[i], &sources[i], &trip->inputs[i], error)) return 0;
    }
    std::stable_sort(sources.begin(), sources.end(),
                     [](const Source& a, const Source& b) { return OpenKey(a) < OpenKey(b); });
    TripBuilder builder(trip);
    bool any = false;
    for (const Source& source : sources) {
        builder.Add(source);
        any |= !source.skipped;
    }
    if (!any) {
        *error = "every file was skipped: nothing to export";
        return 0;
    }
    return 1;
}

}  // namespace kinfo
