// A device root with a storage card and a "\temp" folder for the photo tests,
// a camera JPEG made by the platform's still encoder, a GPS parser fed with a
// position, and the host tools that read the finished photos.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/media/jpeg_encode.h"
#include "sensing/gps_state.h"
#include "sensing/nmea_parser.h"
#include "storage/path_text.h"
#include "tests/platform/file_test_support.h"
#include "tests/support/platform_fixture.h"

namespace photo_test {

// Runs a shell command; its exit status, standard output alone in *out (a
// tool's warnings on standard error would spoil its JSON).
inline int RunTool(const std::string& command, std::string* out)
{
    out->clear();
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::array<char, 4096> chunk;
    std::size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out->append(chunk.data(), got);
    return ::pclose(pipe);
}

inline std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

// exiftool's reading of a host file, grouped by family-1 names ("GPS:GPSLatitude").
inline nlohmann::json ExiftoolOfHost(const std::string& host)
{
    std::string out;
    const int status = RunTool("exiftool -n -j -G1 " + Quoted(host), &out);
    EXPECT_EQ(status, 0) << "exiftool failed on " << host << ": " << out;
    const nlohmann::json all = nlohmann::json::parse(out, nullptr, false);
    if (!all.is_array() || all.empty()) return nlohmann::json::object();
    return all[0];
}

// A width x height picture of gradients, as the camera's still path makes it.
inline std::string CameraJpeg(int width, int height)
{
    std::vector<uint8_t> yv12(static_cast<std::size_t>(width) * height * 3 / 2);
    for (std::size_t i = 0; i < yv12.size(); ++i) yv12[i] = static_cast<uint8_t>(16 + (i * 7 + i / 97) % 200);
    std::vector<uint8_t> jpeg;
    std::string error;
    EXPECT_TRUE(os::EncodeJpeg(yv12.data(), width, height, 85, &jpeg, &error)) << error;
    return std::string(jpeg.begin(), jpeg.end());
}

// NMEA "ddmm.mmmmmm" of decimal degrees, six decimals of minutes.
inline std::string NmeaAngle(double degrees, int degreeDigits)
{
    const double a = degrees < 0 ? -degrees : degrees;
    const int whole = static_cast<int>(a);
    return FormatText("%0*d%09.6f", degreeDigits, whole, (a - whole) * 60);
}

// A GPS state whose parser holds a 3D fix at the position.
struct FedGps {
    CNMEAParser parser;
    GpsState gps;

    FedGps()
    {
        os::InitializeCriticalSection(&gps.parserLock);
        os::InitializeCriticalSection(&gps.lock);
        gps.locksMade = true;
        gps.parser = &parser;
    }
    ~FedGps()
    {
        os::DeleteCriticalSection(&gps.parserLock);
        os::DeleteCriticalSection(&gps.lock);
    }

    void Fix(double latitude, double longitude, double altitude)
    {
        const std::string gga = FormatText("123519,%s,%c,%s,%c,1,08,0.9,%.2f,M,46.9,M,,",
                                           NmeaAngle(latitude, 2).c_str(), latitude < 0 ? 'S' : 'N',
                                           NmeaAngle(longitude, 3).c_str(), longitude < 0 ? 'W' : 'E', altitude);
        parser.ProcessSentence("GPGGA", gga.c_str());
        parser.ProcessSentence("GPGSA", "A,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1");
    }
};

class PhotoFilesTest : public kestrava_test::DeviceRootTest {
protected:
    static constexpr const char* kPhotoFolder = "\\Storage Card\\Photo";

    void SetUp() override
    {
        os::ClockConfig config;
        config.mode = os::ClockMode::Virtual;
        config.start = testing_support::TestStartTime();
        os::sim::StartPlatform(config);
        kestrava_test::DeviceRootTest::SetUp();
        Configure({os::sim::VolumeConfig{"Storage Card", kCardBytes, true, ""}});
        ASSERT_TRUE(os::CreateDirectoryW(kPhotoFolder, nullptr));
        ASSERT_TRUE(os::CreateDirectoryW("\\temp", nullptr));
    }

    void TearDown() override
    {
        kestrava_test::DeviceRootTest::TearDown();
        os::sim::StopPlatform();
    }

    // The host path of a device path on the card or in "\temp".
    std::string HostOf(const std::string& device) const
    {
        std::string relative;
        const std::string card = "\\Storage Card\\";
        if (device.rfind(card, 0) == 0) relative = "volumes/Storage Card/" + device.substr(card.size());
        else relative = "fs/" + device.substr(1);
        for (char& c : relative)
            if (c == '\\') c = '/';
        return Host(relative);
    }

    std::string ReadDevice(const std::string& device) const { return ReadHostFile(HostOf(device)); }
    bool Exists(const std::string& device) const
    {
        return os::GetFileAttributesW(device.c_str()) != os::INVALID_FILE_ATTRIBUTES;
    }

    nlohmann::json Exiftool(const std::string& device) const { return ExiftoolOfHost(HostOf(device)); }

    static constexpr os::ULONGLONG kCardBytes = 8u << 20;
};

}  // namespace photo_test
