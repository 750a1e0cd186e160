// kestrava-info export, run as the program: the GPS track of recordings of
// the project's writer and of GPS logs, as GPX, KML, CSV and SRT.
#include <regex>

#include "tests/tools/info_test_support.h"

namespace testing_support {
namespace {

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct GpxPoint {
    double latitude;
    double longitude;
    std::string time;
};

std::vector<GpxPoint> TrackPoints(const std::string& gpx)
{
    static const std::regex point(R"re(<trkpt lat="([-0-9.]+)" lon="([-0-9.]+)">.*?<time>([^<]+)</time>)re");
    std::vector<GpxPoint> points;
    for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), point); it != std::sregex_iterator(); ++it) {
        points.push_back(GpxPoint{std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3]});
    }
    return points;
}

class InfoExportTest : public InfoTest {
protected:
    // Two recordings of one trip: the first loses its fix once, the second
    // starts half a minute after the first ends.
    void WriteTrip()
    {
        first_ = WriteRecording("a.avi", 40,
                                {TrackRecord(48.1f, 11.5f, 1, 0, 0), TrackRecord(48.2f, 11.6f, 2, 10, 1),
                                 TrackRecord(0.0f, 0.0f, 3, 20, 2, false), TrackRecord(48.4f, 11.8f, 4, 30, 3)},
                                {EventAt(15, 0, kEvtKindShock)});
        second_ = WriteRecording("b.avi", 20, {TrackRecord(-33.9f, -70.6f, 34, 0, 0)}, {});
    }

    ToolResult Export(const std::string& format, const std::string& files)
    {
        return RunInfo("export --format " + format + " --output " + Quoted(root_ + "/out." + format) + " " + files);
    }

    std::string Exported(const std::string& format)
    {
        std::ifstream in(root_ + "/out." + format);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string first_;
    std::string second_;
};

TEST_F(InfoExportTest, GpxHasOneSegmentPerRunOfValidFixesAndEventsAsWaypoints)
{
    WriteTrip();
    const ToolResult run = Export("gpx", Quoted(second_) + " " + Quoted(first_));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string gpx = Exported("gpx");
    EXPECT_NE(gpx.find("<gpx version=\"1.1\""), std::string::npos);
    EXPECT_EQ(Count(gpx, "<trk>"), 1u);
    EXPECT_EQ(Count(gpx, "<trkseg>"), 3u) << gpx;
    const std::vector<GpxPoint> points = TrackPoints(gpx);
    ASSERT_EQ(points.size(), 4u) << gpx;
    const double expected[][2] = {{48.1, 11.5}, {48.2, 11.6}, {48.4, 11.8}, {-33.9, -70.6}};
    const char* times[] = {"2009-03-03T07:59:01Z", "2009-03-03T07:59:02Z", "2009-03-03T07:59:04Z",
                           "2009-03-03T07:59:34Z"};
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].latitude, expected[i][0], 1e-5);
        EXPECT_NEAR(points[i].longitude, expected[i][1], 1e-5);
        EXPECT_EQ(points[i].time, times[i]);
    }
    EXPECT_EQ(Count(gpx, "<wpt "), 1u);
    EXPECT_NE(gpx.find("<time>2009-03-03T07:59:03Z</time>\n    <name>shock 1</name>\n    <type>shock</type>"),
              std::string::npos)
        << gpx;
}

TEST_F(InfoExportTest, GpsbabelReadsTheGpxBackWithTheSamePoints)
{
    WriteTrip();
    ASSERT_EQ(Export("gpx", Quoted(first_) + " " + Quoted(second_)).exitCode, 0);
    const std::string gpx = Quoted(root_ + "/out.gpx");
    // gpsbabel ends its CSV lines with CR LF.
    const auto lines = [](std::string text) {
        std::erase(text, '\r');
        return text;
    };
    const ToolResult track = RunTool("gpsbabel -t -i gpx -f " + gpx + " -o unicsv,utc=0 -F -");
    EXPECT_EQ(track.exitCode, 0) << track.output;
    EXPECT_EQ(lines(track.output),
              "No,Latitude,Longitude,Altitude,Date,Time\n"
              "1,48.099998,11.500000,41.5,2009/03/03,07:59:01\n"
              "2,48.200001,11.600000,41.5,2009/03/03,07:59:02\n"
              "3,48.400002,11.800000,41.5,2009/03/03,07:59:04\n"
              "4,-33.900002,-70.599998,41.5,2009/03/03,07:59:34\n");
    const ToolResult waypoints = RunTool("gpsbabel -w -i gpx -f " + gpx + " -o unicsv,utc=0 -F -");
    EXPECT_EQ(waypoints.exitCode, 0) << waypoints.output;
    EXPECT_EQ(lines(waypoints.output),
              "No,Latitude,Longitude,Name,Date,Time\n1,48.200001,11.600000,\"shock 1\",2009/03/03,07:59:03\n");
}

TEST_F(InfoExportTest, AFolderIsOneTripAndCsvHasARowPerValidFix)
{
    WriteTrip();
    const ToolResult run = Export("csv", Quoted(std::filesystem::path(first_).parent_path().string()));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Exported("csv"),
              "time_utc,latitude,longitude,altitude,speed_kmh,course_deg,segment\n"
              "2009-03-03T07:59:01Z,48.0999985,11.5000000,41.5,50.0,0.0,1\n"
              "2009-03-03T07:59:02Z,48.2000008,11.6000004,41.5,50.0,0.0,1\n"
              "2009-03-03T07:59:04Z,48.4000015,11.8000002,41.5,50.0,0.0,2\n"
              "2009-03-03T07:59:34Z,-33.9000015,-70.5999985,41.5,50.0,0.0,3\n");
}

TEST_F(InfoExportTest, KmlDrawsTheSegmentsAndTheEvents)
{
    WriteTrip();
    ASSERT_EQ(Export("kml", Quoted(first_) + " " + Quoted(second_)).exitCode, 0);
    const std::string kml = Exported("kml");
    EXPECT_EQ(Count(kml, "<LineString>"), 3u) << kml;
    EXPECT_EQ(Count(kml, "<Point>"), 1u) << kml;
    EXPECT_NE(kml.find("-70.5999985,-33.9000015,41.5"), std::string::npos) << kml;
}

TEST_F(InfoExportTest, SrtFollowsTheVideoOfTheTripAndFfmpegReadsIt)
{
    WriteTrip();
    const ToolResult run = Export("srt", Quoted(first_) + " " + Quoted(second_));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string srt = Exported("srt");
    EXPECT_EQ(srt.substr(0, srt.find("\n\n2\n")),
              "1\n00:00:00,000 --> 00:00:01,000\n2009-03-03 07:59:01 UTC\n50 km/h  48.099998 N  11.500000 E");
    EXPECT_NE(srt.find("3\n00:00:02,000 --> 00:00:03,000\nno GPS fix\n\n"), std::string::npos) << srt;
    EXPECT_NE(srt.find("5\n00:00:04,000 --> 00:00:05,000\n2009-03-03 07:59:34 UTC\n50 km/h  33.900002 S  "
                       "70.599998 W\n\n"),
              std::string::npos)
        << srt;
    const ToolResult decoded =
        RunTool("ffmpeg -nostdin -v error -i " + Quoted(root_ + "/out.srt") + " -c:s srt -f null -");
    EXPECT_EQ(decoded.exitCode, 0) << decoded.output;
    EXPECT_EQ(decoded.output, "");
    const ToolResult probed = RunTool("ffprobe -v error -count_packets -show_entries stream=codec_name,nb_read_packets "
                                      "-of csv=p=0 " + Quoted(root_ + "/out.srt"));
    EXPECT_EQ(probed.output, "subrip,5\n");
}

TEST_F(InfoExportTest, GpsLogsExportLikeRecordings)
{
    const auto write = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = root_ + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    };
    const std::string stopped = write("stopped.gps", GpsLogBytes({FixAt(1.5f, 2.5f, 10), FixAt(1.6f, 2.6f, 11)}, true));
    ToolResult run = Export("csv", Quoted(stopped));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(Count(Exported("csv"), "\n"), 3u) << Exported("csv");
    EXPECT_NE(Exported("csv").find("2009-03-03T07:59:11Z,1.6000000,2.5999999,"), std::string::npos);

    const std::string running = write("running.gps", GpsLogBytes({FixAt(1.5f, 2.5f, 10)}, false));
    run = Export("gpx", Quoted(running));
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(TrackPoints(Exported("gpx")).size(), 1u);

    const std::string garbage = write("garbage.gps", std::vector<std::uint8_t>(300, 'x'));
    run = Export("gpx", Quoted(garbage));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("garbage.gps: not an AVI file"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace testing_support
