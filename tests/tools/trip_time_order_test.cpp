// The times of an exported track strictly increase in every format, over
// random trips of GPS logs and recordings whose receivers repeat their last
// fix, send several fixes a second, step back in time, lose the fix and
// pause. A model says which fixes are written: each valid fix later than
// every fix before it in the trip, once.
#include <random>
#include <set>
#include <regex>
#include <sstream>

#include "tests/tools/info_test_support.h"
#include "tools/avi_reader.h"
#include "tools/track_formats.h"
#include "tools/trip_track.h"

namespace testing_support {
namespace {

constexpr int kTrips = 24;
constexpr int kStartSecond = 8 * 3600;

// 2009-03-03 at a second of the day, as the exports write it.
std::string TimeOfDay(int second) { return kinfo::IsoUtc(1236038400 + second); }

std::vector<std::string> Matches(const std::string& text, const std::string& pattern)
{
    const std::regex re(pattern);
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1]);
    }
    return found;
}

template <class T>
bool StrictlyIncreasing(const std::vector<T>& values)
{
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (!(values[i - 1] < values[i])) return false;
    }
    return true;
}

class TripTimeOrderTest : public InfoTest {
protected:
    // The next fix of a receiver: mostly a second on, else one of its faults.
    GpsFix NextFix(int* second, float* latitude)
    {
        const int roll = static_cast<int>(random_() % 100);
        bool valid = true;
        if (roll < 35) {
            *second += 1;
        } else if (roll < 55) {
            // silent receiver: the last fix again
        } else if (roll < 65) {
            *latitude += 0.0001f;  // a second fix within the same second
        } else if (roll < 75) {
            *second -= 1 + static_cast<int>(random_() % 5);
        } else if (roll < 85) {
            valid = false;
        } else {
            *second += 6 + static_cast<int>(random_() % 20);
        }
        *latitude += 0.0001f * (roll < 35);
        return FixAtTime(*latitude, 11.5f, *second, valid);
    }

    std::mt19937 random_{20090303};
};

TEST_F(TripTimeOrderTest, EveryFormatWritesEachFixOnceInIncreasingTime)
{
    for (int trip = 0; trip < kTrips; ++trip) {
        SCOPED_TRACE("trip " + std::to_string(trip));
        int second = kStartSecond;
        float latitude = 48.0f;
        // The tool puts logs (their summary open time left zero) before the
        // recordings, and the recordings in the order they were opened.
        std::vector<GpsFix> logFixes;
        std::vector<GpsFix> recordingFixes;
        std::vector<std::string> paths;
        const int files = 1 + static_cast<int>(random_() % 3);
        for (int f = 0; f < files; ++f) {
            const int records = 1 + static_cast<int>(random_() % 30);
            std::vector<GpsFix> fixes;
            for (int r = 0; r < records; ++r) fixes.push_back(NextFix(&second, &latitude));
            const std::string name = "t" + std::to_string(trip) + "-" + std::to_string(f);
            if (random_() % 2 == 0) {
                paths.push_back(WriteBytes(root_ + "/" + name + ".gps", GpsLogBytes(fixes, random_() % 2 == 0)));
                logFixes.insert(logFixes.end(), fixes.begin(), fixes.end());
            } else {
                std::vector<GpsTrackRecord> track;
                for (std::size_t r = 0; r < fixes.size(); ++r) {
                    track.push_back(MakeGpsTrackRecord(fixes[r], static_cast<std::uint32_t>(10 * r),
                                                       static_cast<std::uint32_t>(r)));
                }
                paths.push_back(WriteRecording(name + ".avi", 10 * records, track, {}));
                recordingFixes.insert(recordingFixes.end(), fixes.begin(), fixes.end());
            }
        }

        // The model: the valid fixes later than all before them, in trip order.
        const auto secondOf = [](const GpsFix& fix) {
            const GpsTimePosition& p = fix.body.timePosition;
            return p.utcHour * 3600 + p.utcMinute * 60 + p.utcSecond;
        };
        std::vector<std::string> expected;
        std::set<std::string> validTimes;
        int latest = -1;
        for (const std::vector<GpsFix>* part : {&logFixes, &recordingFixes}) {
            for (const GpsFix& fix : *part) {
                if (fix.body.rmcStatus != 'A') continue;
                validTimes.insert(TimeOfDay(secondOf(fix)));
                if (secondOf(fix) <= latest) continue;
                latest = secondOf(fix);
                expected.push_back(TimeOfDay(latest));
            }
        }

        kinfo::Trip loaded;
        std::string error;
        ASSERT_EQ(kinfo::LoadTrip(paths, &loaded, &error), 1) << error;
        std::ostringstream csv, gpx, kml, srt;
        kinfo::WriteCsv(loaded, csv);
        kinfo::WriteGpx(loaded, gpx);
        kinfo::WriteKml(loaded, kml);
        kinfo::WriteSrt(loaded, srt);

        EXPECT_EQ(Matches(csv.str(), R"(\n([0-9T:-]+Z),)"), expected) << csv.str();
        EXPECT_EQ(Matches(gpx.str(), R"(<trkpt [^>]*><ele>[^<]*</ele><time>([^<]+)</time>)"), expected) << gpx.str();
        EXPECT_EQ(Matches(kml.str(), R"(\n        ([-0-9.]+,[-0-9.]+,[-0-9.]+)(?=\n))").size(), expected.size()) << kml.str();

        // Subtitles: one cue a second of video, each fix shown once and later than the one before.
        const std::vector<std::string> starts = Matches(srt.str(), R"(\n?[0-9]+\n([0-9:,]+) --> )");
        EXPECT_TRUE(StrictlyIncreasing(starts)) << srt.str();
        std::vector<std::string> shown;
        for (std::string time : Matches(srt.str(), R"(\n(2009-03-03 [0-9:]+) UTC\n)")) {
            time[10] = 'T';
            shown.push_back(time + "Z");
        }
        EXPECT_TRUE(StrictlyIncreasing(shown)) << srt.str();
        for (const std::string& time : shown) EXPECT_TRUE(validTimes.count(time)) << time;
        EXPECT_EQ(starts.size(), recordingFixes.size()) << srt.str();

        // The real readers agree: both documents are well-formed XML, and
        // gpsbabel reads the GPX track back with the same times.
        const std::string gpxPath = root_ + "/trip.gpx";
        const std::string kmlPath = root_ + "/trip.kml";
        std::ofstream(gpxPath) << gpx.str();
        std::ofstream(kmlPath) << kml.str();
        const ToolResult wellFormed = RunTool("xmllint --noout " + Quoted(gpxPath) + " " + Quoted(kmlPath));
        EXPECT_EQ(wellFormed.exitCode, 0) << wellFormed.output;
        const ToolResult track = RunTool("gpsbabel -t -i gpx -f " + Quoted(gpxPath) + " -o unicsv,utc=0 -F -");
        EXPECT_EQ(track.exitCode, 0) << track.output;
        std::vector<std::string> read;
        for (const std::string& row : Matches(track.output, R"(,(2009/03/03,[0-9:]+)\r?\n)")) {
            std::string time = row;
            time.replace(4, 1, "-").replace(7, 1, "-").replace(10, 1, "T");
            read.push_back(time + "Z");
        }
        EXPECT_EQ(read, expected) << track.output;
    }
}

}  // namespace
}  // namespace testing_support
