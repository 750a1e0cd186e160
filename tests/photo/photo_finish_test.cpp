// Finishing photos on a card that fills up, with names taken in the same
// second, with source JPEGs whose head cannot be trusted, and with stills
// that never arrive.
#include <cstring>

#include "photo/photo_files.h"
#include "photo/photo_finish.h"
#include "platform/kernel/clock.h"
#include "tests/photo/photo_test_support.h"

namespace photo_test {
namespace {

class PhotoFinishTest : public PhotoFilesTest {
protected:
    void SetUp() override
    {
        PhotoFilesTest::SetUp();
        PhotoInit(&photo_);
        fed_.Fix(-33.8688, 151.2093, 58.1);
    }
    void TearDown() override
    {
        PhotoDeinit(&photo_);
        PhotoFilesTest::TearDown();
    }

    // Writes the still and finishes it for the target; the finisher's result.
    int Finish(const std::string& still, const std::string& target, GpsState* gps)
    {
        PutFile(kPhotoTempFile, still);
        photo_.target = target;
        photo_.capturing = 1;
        const int saved = FinishPhoto(&photo_, gps, kPhotoTempFile, nullptr);
        EXPECT_EQ(photo_.capturing, 0);
        return saved;
    }

    std::string Target(const char* name) const { return std::string(kPhotoFolder) + "\\" + name; }

    PhotoState photo_;
    FedGps fed_;
};

TEST_F(PhotoFinishTest, FullCardKeepsTheCapturedStillAndLeavesNoPartialCopy)
{
    const std::string still = CameraJpeg(320, 240);
    ASSERT_GT(still.size(), 4000u);
    ASSERT_TRUE(os::sim::FillVolume("Storage Card", FreeBytes("\\Storage Card") - 2000));
    const std::string target = Target("120000_20091201.jpg");

    EXPECT_EQ(Finish(still, target, &fed_.gps), 0);
    EXPECT_EQ(ReadDevice(kPhotoTempFile), still);
    EXPECT_FALSE(Exists(kPhotoExifTempFile));
    EXPECT_TRUE(Find("\\Storage Card\\Photo\\*").empty());
    EXPECT_EQ(FreeBytes("\\Storage Card"), 2000u);
    EXPECT_TRUE(photo_.saved.empty());
    EXPECT_NE(photo_.message.find("not saved"), std::string::npos) << photo_.message;

    // Without a position the same happens to the plain copy.
    FedGps noFix;
    EXPECT_EQ(Finish(still, target, &noFix.gps), 0);
    EXPECT_EQ(ReadDevice(kPhotoTempFile), still);
    EXPECT_TRUE(Find("\\Storage Card\\Photo\\*").empty());

    // With room again the photo is saved whole, with its EXIF segment.
    ASSERT_TRUE(os::sim::FillVolume("Storage Card", 0));
    EXPECT_EQ(Finish(still, target, &fed_.gps), 1);
    EXPECT_EQ(ReadDevice(target).size(), still.size() + kExifSegmentSize);
    EXPECT_FALSE(Exists(kPhotoTempFile));
    EXPECT_EQ(photo_.message, "Lat.:-33.87, Lon.:151.21\n Save 120000_20091201.jpg");
}

TEST_F(PhotoFinishTest, PhotosOfTheSameSecondTakeTheNextSeconds)
{
    const std::string first = CameraJpeg(64, 48);
    const std::string second = CameraJpeg(96, 64);
    const std::string third = CameraJpeg(32, 32);
    const std::string target = Target("235959_20091231.jpg");
    FedGps noFix;
    ASSERT_EQ(Finish(first, target, &noFix.gps), 1);
    EXPECT_EQ(photo_.message, "Save 235959_20091231.jpg");
    ASSERT_EQ(Finish(second, target, &noFix.gps), 1);
    EXPECT_EQ(photo_.saved, Target("000000_20100101.jpg"));
    EXPECT_EQ(photo_.message, "Save 000000_20100101.jpg");
    ASSERT_EQ(Finish(third, target, &fed_.gps), 1);
    EXPECT_EQ(photo_.saved, Target("000001_20100101.jpg"));
    EXPECT_EQ(ReadDevice(target), first);
    EXPECT_EQ(ReadDevice(Target("000000_20100101.jpg")), second);
    EXPECT_EQ(ReadDevice(Target("000001_20100101.jpg")).size(), third.size() + kExifSegmentSize);

    // A name outside the scheme has no next one: the photo stays in "\temp".
    ASSERT_EQ(Finish(first, Target("holiday.jpg"), &noFix.gps), 1);
    EXPECT_EQ(Finish(second, Target("holiday.jpg"), &noFix.gps), 0);
    EXPECT_EQ(ReadDevice(kPhotoTempFile), second);
    EXPECT_EQ(ReadDevice(Target("holiday.jpg")), first);
}

TEST_F(PhotoFinishTest, UntrustworthyHeadsAreSavedWithoutExif)
{
    const std::string jpeg = CameraJpeg(64, 48);
    ASSERT_EQ(jpeg.substr(0, 4), "\xFF\xD8\xFF\xE0");
    const std::size_t app0 = 4 + ((static_cast<uint8_t>(jpeg[4]) << 8) | static_cast<uint8_t>(jpeg[5]));
    const std::string body = jpeg.substr(app0);
    // SOI and an APP0 segment of the given length (length field included).
    const auto withApp0 = [&](std::size_t length) {
        std::string head("\xFF\xD8\xFF\xE0", 4);
        head += static_cast<char>(length >> 8);
        head += static_cast<char>(length & 0xFF);
        head += jpeg.substr(6, std::min(app0 - 6, length - 2));
        head.resize(4 + length, '\0');
        return head + body;
    };
    const std::string exifSecond =
        jpeg.substr(0, app0) + std::string("\xFF\xE1\x00\x10" "Exif\0\0II*\0\x08\0\0\0", 18) + body;
    const struct {
        const char* what;
        std::string still;
        bool exif;
    } cases[] = {
        {"the camera's JFIF head", jpeg, true},
        {"a first segment of 60 bytes", withApp0(60), true},
        {"a first segment of 61 bytes", withApp0(61), false},
        {"a first segment of 4000 bytes", withApp0(4000), false},
        {"a length of 1", std::string("\xFF\xD8\xFF\xE0\x00\x01", 6) + body, false},
        {"a head past the end of the file", std::string("\xFF\xD8\xFF\xE0\x00\x3C" "JFIF", 10), false},
        {"no start-of-image marker", "GIF89a" + body, false},
        {"scan data first", std::string("\xFF\xD8\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 12) + body, false},
        {"an EXIF segment after the head", exifSecond, false},
        {"an empty file", "", false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string target = Target(FormatText("1200%02d_20091201.jpg", n++).c_str());
        ASSERT_EQ(Finish(c.still, target, &fed_.gps), 1);
        const std::string saved = ReadDevice(target);
        if (c.exif) {
            ASSERT_EQ(saved.size(), c.still.size() + kExifSegmentSize);
            EXPECT_EQ(saved.substr(0, 2), "\xFF\xD8");
            std::string out;
            EXPECT_EQ(RunTool("identify -regard-warnings " + Quoted(HostOf(target)), &out), 0);
        } else {
            EXPECT_EQ(saved, c.still);
        }
        EXPECT_FALSE(Exists(kPhotoExifTempFile));
    }
}

TEST_F(PhotoFinishTest, ACaptureWithoutAStillIsRefusedOnlyUntilItIsGivenUp)
{
    // No camera: the still cannot be triggered and the capture ends at once.
    EXPECT_EQ(TakePhoto(&photo_, nullptr, Target("080000_20091201.jpg").c_str()), 0);
    EXPECT_EQ(photo_.capturing, 0);
    EXPECT_TRUE(Exists(kPhotoTempFolder));

    // A capture in progress refuses the next one and keeps its target...
    photo_.capturing = 1;
    photo_.target = Target("080001_20091201.jpg");
    photo_.captureStartTick = os::GetTickCount();
    EXPECT_EQ(TakePhoto(&photo_, nullptr, Target("080002_20091201.jpg").c_str()), 0);
    EXPECT_EQ(photo_.capturing, 1);
    EXPECT_EQ(photo_.target, Target("080001_20091201.jpg"));
    // ...until its still is overdue: then the next capture starts.
    photo_.captureStartTick = os::GetTickCount() - kStillWaitMs;
    TakePhoto(&photo_, nullptr, Target("080003_20091201.jpg").c_str());
    EXPECT_EQ(photo_.target, Target("080003_20091201.jpg"));
    EXPECT_EQ(photo_.capturing, 0);

    // A still that nobody asked for is left where it was written.
    photo_.target.clear();
    PutFile(kPhotoTempFile, "still");
    EXPECT_EQ(FinishPhoto(&photo_, &fed_.gps, kPhotoTempFile, nullptr), 0);
    EXPECT_EQ(ReadDevice(kPhotoTempFile), "still");
}

}  // namespace
}  // namespace photo_test
