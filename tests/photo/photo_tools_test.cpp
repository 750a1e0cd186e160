// Finished photos as other programs read them: exiftool and exiv2 find the
// position, maker, model and date, also in photos the driver takes on a
// virtual drive; every sample JPEG, finished directly or delivered as the
// camera's still, either gets a correct EXIF segment or is saved byte for
// byte unchanged, and ImageMagick reads the result exactly as well as it
// reads the source.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "photo/jpeg_head.h"
#include "photo/photo_files.h"
#include "photo/photo_finish.h"
#include "sim/gps_route.h"
#include "sim/profile.h"
#include "tests/photo/photo_test_support.h"
#include "tests/support/program_runner.h"
#include "tests/support/shared_data.h"

namespace photo_test {
namespace {

class PhotoToolsTest : public PhotoFilesTest {};

// exiv2's raw values ("37/1 7/1 2444/100") by key.
std::map<std::string, std::string> Exiv2Values(const std::string& host)
{
    std::string out;
    EXPECT_EQ(RunTool("exiv2 -q -Pkv " + Quoted(host), &out), 0) << "exiv2 failed on " << host;
    std::map<std::string, std::string> values;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::size_t value = line.find_first_not_of(' ', space);
        values[line.substr(0, space)] = value == std::string::npos ? "" : line.substr(value);
    }
    return values;
}

double Rationals(const std::string& text)
{
    std::istringstream in(text);
    double total = 0, scale = 1;
    std::string part;
    while (in >> part) {
        const std::size_t slash = part.find('/');
        if (slash == std::string::npos) return NAN;
        total += std::stod(part.substr(0, slash)) / std::stod(part.substr(slash + 1)) / scale;
        scale *= 60;
    }
    return total;
}

// exiftool writes some numbers as JSON numbers and others (very small ones) as text.
double Number(const nlohmann::json& value)
{
    if (value.is_number()) return value.get<double>();
    return value.is_string() ? std::stod(value.get<std::string>()) : NAN;
}

void ExpectPosition(const nlohmann::json& exif, double latitude, double longitude, double altitude)
{
    ASSERT_TRUE(exif.contains("Composite:GPSLatitude")) << exif.dump(1);
    EXPECT_NEAR(Number(exif["Composite:GPSLatitude"]), latitude, 1e-5);
    EXPECT_NEAR(Number(exif["Composite:GPSLongitude"]), longitude, 1e-5);
    EXPECT_NEAR(Number(exif["GPS:GPSAltitude"]), std::fabs(altitude), 0.011);
    EXPECT_EQ(exif["GPS:GPSLatitudeRef"], latitude < 0 ? "S" : "N");
    EXPECT_EQ(exif["GPS:GPSLongitudeRef"], longitude < 0 ? "W" : "E");
}

TEST_F(PhotoToolsTest, ExiftoolAndExiv2ReadThePositionMakerModelAndDate)
{
    const struct {
        double latitude, longitude, altitude;
    } positions[] = {{37.123456, 127.5, 35.27}, {-33.8688, 151.2093, 58.1}, {51.4778, -0.0014, -2.5},
                     {-54.8019, -68.303, 12.0}};
    ExifIdentity identity;
    std::strcpy(identity.make, "SAMSUNG Electronics");
    std::strcpy(identity.model, "SGH-i900");
    os::SYSTEMTIME time;
    time.wYear = 2009;
    time.wMonth = 12;
    time.wDay = 31;
    time.wHour = 23;
    time.wMinute = 59;
    time.wSecond = 58;
    const std::string jpeg = CameraJpeg(64, 48);
    PutFile("\\temp\\source.jpg", jpeg);
    for (const auto& p : positions) {
        SCOPED_TRACE(testing::Message() << p.latitude << ", " << p.longitude);
        ASSERT_EQ(WriteExif(identity, time, "\\temp\\source.jpg", "\\temp\\out.jpg", p.latitude, p.longitude,
                            p.altitude),
                  1);
        const std::string out = ReadDevice("\\temp\\out.jpg");
        ASSERT_EQ(out.size(), jpeg.size() + kExifSegmentSize);
        // The JFIF head of the source, the segment, then the rest of the source.
        EXPECT_EQ(out.substr(0, 20), jpeg.substr(0, 20));
        EXPECT_EQ(out.substr(20, 2), "\xFF\xE1");
        EXPECT_EQ(out.substr(20 + kExifSegmentSize), jpeg.substr(20));

        const nlohmann::json exif = Exiftool("\\temp\\out.jpg");
        ExpectPosition(exif, p.latitude, p.longitude, p.altitude);
        EXPECT_EQ(exif["IFD0:Make"], "SAMSUNG Electronics");
        EXPECT_EQ(exif["IFD0:Model"], "SGH-i900");
        EXPECT_EQ(exif["IFD0:ModifyDate"], "2009:12:31 23:59:58");
        EXPECT_FALSE(exif.contains("ExifTool:Error")) << exif.dump(1);

        auto v = Exiv2Values(HostOf("\\temp\\out.jpg"));
        EXPECT_EQ(v["Exif.Image.Make"], "SAMSUNG Electronics");
        EXPECT_EQ(v["Exif.Image.Model"], "SGH-i900");
        EXPECT_EQ(v["Exif.Image.DateTime"], "2009:12:31 23:59:58");
        EXPECT_NEAR(Rationals(v["Exif.GPSInfo.GPSLatitude"]), std::fabs(p.latitude), 1e-5);
        EXPECT_NEAR(Rationals(v["Exif.GPSInfo.GPSLongitude"]), std::fabs(p.longitude), 1e-5);
        EXPECT_EQ(v["Exif.GPSInfo.GPSLatitudeRef"], p.latitude < 0 ? "S" : "N");
        EXPECT_EQ(v["Exif.GPSInfo.GPSLongitudeRef"], p.longitude < 0 ? "W" : "E");

        std::string ignored;
        EXPECT_EQ(RunTool("identify -regard-warnings " + Quoted(HostOf("\\temp\\out.jpg")), &ignored), 0);
    }
}

// The saved photo of a source: the source with the EXIF segment after its
// head and the position in it, or, when the head does not pass the check,
// the source byte for byte; readers fare no worse with it than with the source.
// 1 when it got EXIF, 0 when it was saved unchanged.
int ExpectExifOrUnchanged(const std::string& sourceHost, const std::string& savedHost, const PhotoPosition& position)
{
    const std::string source = testing_support::ReadWholeFile(sourceHost);
    const std::string saved = testing_support::ReadWholeFile(savedHost);
    const auto* bytes = reinterpret_cast<const uint8_t*>(source.data());
    const std::size_t head = ExifInsertionPoint(bytes, std::min<std::size_t>(source.size(), kJpegProbeSize), source.size());
    int withExif = 0;
    if (saved == source) {
        EXPECT_EQ(head, 0u) << "a source that passes the check must get EXIF";
    } else {
        withExif = 1;
        EXPECT_NE(head, 0u);
        EXPECT_EQ(saved.size(), source.size() + kExifSegmentSize);
        if (head == 0 || saved.size() != source.size() + kExifSegmentSize) return withExif;
        EXPECT_EQ(saved.substr(0, head), source.substr(0, head));
        EXPECT_EQ(saved.substr(head + kExifSegmentSize), source.substr(head));
        ExpectPosition(ExiftoolOfHost(savedHost), position.latitude, position.longitude, position.altitude);
    }
    std::string out;
    const std::string identify = "identify -regard-warnings ";
    EXPECT_EQ(RunTool(identify + Quoted(savedHost), &out), RunTool(identify + Quoted(sourceHost), &out));
    RunTool("exiftool -j " + Quoted(sourceHost), &out);
    EXPECT_EQ(ExiftoolOfHost(savedHost).contains("ExifTool:Error"), out.find("\"Error\"") != std::string::npos);
    return withExif;
}

// A drive of the built-in profile in virtual time from 08:59:30 on
// 2009-03-03, with the scenario's events; `still` names the camera's still
// when not empty. The photos it saved, by name.
struct PhotoDriveRun {
    int exitCode = -1;
    std::string err;
    sim::DeviceProfile profile;
    std::string photoFolder;
    std::vector<std::string> photos;
};

constexpr int kPhotoDriveStartSecond = 8 * 3600 + 59 * 60 + 30;

PhotoDriveRun RunPhotoDrive(const testing_support::TempFolder& folder, const std::string& name,
                            const std::string& still, const std::string& events)
{
    PhotoDriveRun run;
    auto profile = nlohmann::ordered_json::parse(
        testing_support::ReadWholeFile(std::string(KESTRAVA_SOURCE_DIR) + "/sim/profiles/default.json"));
    profile["startTime"] = "2009-03-03T08:59:30";
    if (!still.empty()) profile["camera"]["still"] = still;
    const std::string profilePath = folder / (name + ".profile.json");
    std::ofstream(profilePath) << profile.dump(2);
    std::string error;
    EXPECT_TRUE(sim::LoadProfile(profilePath, &run.profile, &error)) << error;
    std::ofstream(folder / (name + ".json")) << "{\"events\": [" << events << "]}";
    const auto program = testing_support::RunProgram({"--root", folder / name, "--clock", "virtual", "--profile",
                                                      profilePath, "--scenario", folder / (name + ".json")},
                                                     folder, name);
    run.exitCode = program.exitCode;
    run.err = program.err;
    run.photoFolder = folder / (name + "/volumes/Storage Card/Ardvane/20090303/085930/Photo");
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(run.photoFolder, ec))
        run.photos.push_back(entry.path().filename().string());
    std::sort(run.photos.begin(), run.photos.end());
    EXPECT_FALSE(std::filesystem::exists(folder / (name + "/fs/temp/kestrava_tmp.jpg")));
    EXPECT_FALSE(std::filesystem::exists(folder / (name + "/fs/temp/kestrava_tmp2.jpg")));
    return run;
}

// Where the drive's receiver reported the car at that whole second of the drive.
PhotoPosition RoutePositionAt(const sim::DeviceProfile& profile, int second)
{
    const sim::RoutePosition at = sim::PositionOnRoute(profile.gps->route, profile.gps->loop, second * 1000LL);
    PhotoPosition position;
    position.valid = 1;
    position.latitude = at.latitude;
    position.longitude = at.longitude;
    position.altitude = profile.gps->altitude;
    return position;
}

std::string ClockText(int secondOfDay)
{
    return FormatText("%02d%02d%02d", secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
}

TEST_F(PhotoToolsTest, EverySampleJpegGetsCorrectExifOrIsSavedUnchanged)
{
    SKIP_WITHOUT_SHARED_DATA("jpeg");
    FedGps fed;
    fed.Fix(-33.8688, 151.2093, 58.1);
    const PhotoPosition position = ReadPhotoPosition(&fed.gps);
    ASSERT_TRUE(position.valid);
    PhotoState photo;
    PhotoInit(&photo);
    testing_support::TempFolder drives;
    int withExif = 0, unchanged = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testing_support::SharedDataPath("jpeg"))) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".jpg" && ext != ".jpeg") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        PutFile(kPhotoTempFile, ReadHostFile(entry.path().string()));
        const std::string target = std::string(kPhotoFolder) + "\\" + name;
        photo.target = target;
        ASSERT_EQ(FinishPhoto(&photo, &fed.gps, kPhotoTempFile, nullptr), 1);
        EXPECT_EQ(photo.saved, target);
        EXPECT_FALSE(Exists(kPhotoTempFile));
        EXPECT_FALSE(Exists(kPhotoExifTempFile));
        const int exif = ExpectExifOrUnchanged(entry.path().string(), HostOf(target), position);
        withExif += exif;
        unchanged += 1 - exif;
        ASSERT_TRUE(os::DeleteFileW(target.c_str()));

        // The same file as the camera's still, taken with the camera key on the built-in route.
        const PhotoDriveRun run = RunPhotoDrive(drives, "still" + std::to_string(withExif + unchanged),
                                                entry.path().string(),
                                                R"({"at": "10500ms", "do": "photo"}, {"at": "12s", "do": "end"})");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_EQ(run.photos, std::vector<std::string>{ClockText(kPhotoDriveStartSecond + 10) + "_20090303.jpg"});
        EXPECT_EQ(ExpectExifOrUnchanged(entry.path().string(), run.photoFolder + "/" + run.photos[0],
                                        RoutePositionAt(run.profile, 10)),
                  exif)
            << "the camera's still is finished as the same file is directly";
    }
    EXPECT_GT(withExif, 0);
    EXPECT_GT(unchanged, 0);
    PhotoDeinit(&photo);
}

// The driver takes photos with the camera key while the car drives the
// built-in route: each carries the position the receiver last reported,
// the handset's maker and model and the time; two in one second get two
// names; in a tunnel the photo is saved without a position.
TEST(PhotoDrive, PhotosOnTheBuiltInRouteCarryTheRoutesPositionMakerModelAndDate)
{
    testing_support::TempFolder folder;
    const PhotoDriveRun run = RunPhotoDrive(folder, "drive", "",
                                            R"({"at": "10500ms", "do": "photo"},
                                               {"at": "20500ms", "do": "photo"},
                                               {"at": "20700ms", "do": "photo"},
                                               {"at": "35500ms", "do": "photo"},
                                               {"at": "40s", "do": "gps_fix_lost"},
                                               {"at": "45500ms", "do": "photo"},
                                               {"at": "50s", "do": "gps_fix_back"},
                                               {"at": "55500ms", "do": "photo"},
                                               {"at": "58s", "do": "end"})");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The drive second each photo was taken in, and the name it got.
    const struct {
        int second;
        int nameSecond;
        bool fix;
    } taken[] = {{10, 10, true}, {20, 20, true}, {20, 21, true}, {35, 35, true}, {45, 45, false}, {55, 55, true}};
    std::vector<std::string> names;
    for (const auto& t : taken) names.push_back(ClockText(kPhotoDriveStartSecond + t.nameSecond) + "_20090303.jpg");
    ASSERT_EQ(run.photos, names);
    for (std::size_t i = 0; i < std::size(taken); ++i) {
        SCOPED_TRACE(names[i]);
        const std::string host = run.photoFolder + "/" + names[i];
        const nlohmann::json exif = ExiftoolOfHost(host);
        std::string out;
        EXPECT_EQ(RunTool("identify -regard-warnings " + Quoted(host), &out), 0);
        if (!taken[i].fix) {
            EXPECT_FALSE(exif.contains("GPS:GPSLatitude")) << exif.dump(1);
            EXPECT_FALSE(exif.contains("IFD0:Make")) << "saved as the camera made it";
            continue;
        }
        const PhotoPosition at = RoutePositionAt(run.profile, taken[i].second);
        ExpectPosition(exif, at.latitude, at.longitude, at.altitude);
        const int clock = kPhotoDriveStartSecond + taken[i].second;
        const std::string date = FormatText("2009:03:03 %02d:%02d:%02d", clock / 3600, clock / 60 % 60, clock % 60);
        EXPECT_EQ(exif["IFD0:Make"], run.profile.manufacturer);
        EXPECT_EQ(exif["IFD0:Model"], run.profile.model);
        EXPECT_EQ(exif["IFD0:ModifyDate"], date);

        auto v = Exiv2Values(host);
        EXPECT_EQ(v["Exif.Image.Make"], run.profile.manufacturer);
        EXPECT_EQ(v["Exif.Image.Model"], run.profile.model);
        EXPECT_EQ(v["Exif.Image.DateTime"], date);
        EXPECT_NEAR(Rationals(v["Exif.GPSInfo.GPSLatitude"]), at.latitude, 1e-5);
        EXPECT_NEAR(Rationals(v["Exif.GPSInfo.GPSLongitude"]), at.longitude, 1e-5);
        EXPECT_EQ(v["Exif.GPSInfo.GPSLatitudeRef"], "N");
        EXPECT_EQ(v["Exif.GPSInfo.GPSLongitudeRef"], "E");
    }
}

}  // namespace
}  // namespace photo_test
