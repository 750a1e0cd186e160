// Finished photos as other programs read them: exiftool and exiv2 find the
// position, maker, model and date; every sample JPEG either gets a correct
// EXIF segment or is saved byte for byte unchanged, and ImageMagick reads
// the result exactly as well as it reads the source.
#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "photo/jpeg_head.h"
#include "photo/photo_files.h"
#include "photo/photo_finish.h"
#include "tests/photo/photo_test_support.h"
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

TEST_F(PhotoToolsTest, EverySampleJpegGetsCorrectExifOrIsSavedUnchanged)
{
    SKIP_WITHOUT_SHARED_DATA("jpeg");
    FedGps fed;
    fed.Fix(-33.8688, 151.2093, 58.1);
    const PhotoPosition position = ReadPhotoPosition(&fed.gps);
    ASSERT_TRUE(position.valid);
    PhotoState photo;
    PhotoInit(&photo);
    int withExif = 0, unchanged = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testing_support::SharedDataPath("jpeg"))) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".jpg" && ext != ".jpeg") continue;
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        const std::string source = ReadHostFile(entry.path().string());
        PutFile(kPhotoTempFile, source);
        const std::string target = std::string(kPhotoFolder) + "\\" + name;
        photo.target = target;
        ASSERT_EQ(FinishPhoto(&photo, &fed.gps, kPhotoTempFile, nullptr), 1);
        EXPECT_EQ(photo.saved, target);
        EXPECT_FALSE(Exists(kPhotoTempFile));
        EXPECT_FALSE(Exists(kPhotoExifTempFile));
        const std::string saved = ReadDevice(target);

        const auto* bytes = reinterpret_cast<const uint8_t*>(source.data());
        const std::size_t head =
            ExifInsertionPoint(bytes, std::min<std::size_t>(source.size(), kJpegProbeSize), source.size());
        if (saved == source) {
            ++unchanged;
            EXPECT_EQ(head, 0u) << "a source that passes the check must get EXIF";
        } else {
            ++withExif;
            ASSERT_NE(head, 0u);
            ASSERT_EQ(saved.size(), source.size() + kExifSegmentSize);
            EXPECT_EQ(saved.substr(0, head), source.substr(0, head));
            EXPECT_EQ(saved.substr(head + kExifSegmentSize), source.substr(head));
            ExpectPosition(Exiftool(target), position.latitude, position.longitude, position.altitude);
        }
        // Readers fare no worse with the saved photo than with the source.
        std::string out;
        const std::string identify = "identify -regard-warnings ";
        EXPECT_EQ(RunTool(identify + Quoted(HostOf(target)), &out),
                  RunTool(identify + Quoted(entry.path().string()), &out));
        RunTool("exiftool -j " + Quoted(entry.path().string()), &out);
        EXPECT_EQ(Exiftool(target).contains("ExifTool:Error"), out.find("\"Error\"") != std::string::npos);
        ASSERT_TRUE(os::DeleteFileW(target.c_str()));
    }
    EXPECT_GT(withExif, 0);
    EXPECT_GT(unchanged, 0);
    PhotoDeinit(&photo);
}

}  // namespace
}  // namespace photo_test
