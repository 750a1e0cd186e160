// The sound player in virtual time: how long a play keeps its caller, which
// files it refuses, the run's sound log, and the system sounds of "\windows".
#include "platform/sound/sound.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

void Put(std::string* out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>(value >> (8 * i)));
}

// A WAVE file's parts, each of which a case may spoil.
struct Wave {
    std::uint16_t format = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 8000;
    std::uint16_t bits = 16;
    std::uint32_t frames = 0;
    int sample = 1000;  // every sample of every channel, in the file's own coding
    std::int64_t declaredData = -1;  // -1: the true size
    std::string before;  // chunks before "fmt "
    std::string after;   // bytes after the data chunk

    std::string Bytes() const
    {
        const std::uint32_t block = channels * (bits / 8u);
        std::string data;
        for (std::uint32_t i = 0; i < frames * channels; ++i) Put(&data, static_cast<std::uint32_t>(sample), bits / 8);
        std::string body = "WAVE" + before + "fmt ";
        Put(&body, 16, 4);
        Put(&body, format, 2);
        Put(&body, channels, 2);
        Put(&body, rate, 4);
        Put(&body, rate * block, 4);
        Put(&body, block, 2);
        Put(&body, bits, 2);
        body += "data";
        Put(&body, declaredData < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(declaredData),
            4);
        body += data + after;
        std::string file = "RIFF";
        Put(&file, static_cast<std::uint32_t>(body.size()), 4);
        return file + body;
    }
};

class SoundTest : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_FALSE(root_.Path().empty());
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_.Path();
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }

    // Places a file at the device path "\<name>" (folders separated by "/").
    void Place(const std::string& name, const std::string& bytes)
    {
        const std::filesystem::path host = root_.Path() + "/fs/" + name;
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << bytes;
    }

    // Plays and returns how much device time the call took, in microseconds.
    static std::int64_t TimedPlay(const char* name, os::UINT flags, os::BOOL* result)
    {
        const std::int64_t start = os::DeviceTimeUs();
        *result = os::sndPlaySoundW(name, flags);
        return os::DeviceTimeUs() - start;
    }

    testing_support::TempFolder root_;
};

TEST_F(SoundTest, SyncPlayTakesTheSoundsLengthAndAsyncReturnsAtOnce)
{
    Wave plain;
    plain.frames = 2000;  // 250 ms at 8000 Hz
    Place("windows/Tone.wav", plain.Bytes());
    Wave stereo8;
    stereo8.rate = 11025;
    stereo8.bits = 8;
    stereo8.channels = 2;
    stereo8.sample = 200;
    stereo8.frames = 1102;  // 99.95 ms: a whole millisecond more
    stereo8.before = std::string("LIST") + std::string("\x05\0\0\0abcde\0", 10);  // odd size, padded
    stereo8.after = std::string("junk") + std::string(4000, 'x');  // not part of the sound
    Place("Sounds/Odd.wav", stereo8.Bytes());
    Wave shortLast = plain;
    shortLast.frames = 800;
    shortLast.declaredData = 1599;  // the last, short frame is dropped: 799 frames
    Place("short.wav", shortLast.Bytes());

    os::BOOL played = os::FALSE;
    EXPECT_EQ(TimedPlay("\\windows\\tone.wav", os::SND_SYNC, &played), 250'000);
    EXPECT_TRUE(played);
    EXPECT_EQ(TimedPlay("\\Sounds\\Odd.wav", os::SND_SYNC | os::SND_NODEFAULT, &played), 100'000);
    EXPECT_TRUE(played);
    EXPECT_EQ(TimedPlay("\\short.wav", os::SND_SYNC, &played), 100'000);
    EXPECT_TRUE(played);
    EXPECT_EQ(TimedPlay("\\windows\\Tone.wav", os::SND_ASYNC, &played), 0);
    EXPECT_TRUE(played);

    const std::vector<os::sim::SoundPlay> plays = os::sim::SoundPlays();
    ASSERT_EQ(plays.size(), 4u);
    EXPECT_EQ(plays[0].file, "\\windows\\tone.wav");
    EXPECT_TRUE(plays[0].sync);
    EXPECT_EQ(plays[0].deviceTimeUs, 0);
    EXPECT_EQ(plays[1].deviceTimeUs, 250'000);
    EXPECT_EQ(plays[1].durationMs, 100u);
    EXPECT_EQ(plays[2].durationMs, 100u);
    EXPECT_FALSE(plays[3].sync);
    EXPECT_EQ(plays[3].deviceTimeUs, 450'000);
    EXPECT_EQ(plays[3].durationMs, 250u);

    PlatformTest::TearDown();
    PlatformTest::SetUp();
    EXPECT_TRUE(os::sim::SoundPlays().empty()) << "a fresh start has played nothing";
}

TEST_F(SoundTest, EveryCallIsOnePlatformLogLineNamingItsFile)
{
    Wave plain;
    plain.frames = 80;
    Place("a.wav", plain.Bytes());
    Place("b.wav", "RIFF");
    os::TraceCapture capture;
    os::sndPlaySoundW("\\a.wav", os::SND_SYNC);
    os::sndPlaySoundW("\\a.wav", os::SND_ASYNC);
    os::sndPlaySoundW("\\b.wav", os::SND_ASYNC);
    os::sndPlaySoundW("\\c.wav", os::SND_SYNC);
    os::sndPlaySoundW("", os::SND_SYNC);
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(lines.size(), 5u);
    const char* const names[] = {"\\a.wav", "\\a.wav", "\\b.wav", "\\c.wav", nullptr};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].starts_with("[os] ")) << lines[i];
        if (names[i] != nullptr) {
            EXPECT_NE(lines[i].find(names[i]), std::string::npos) << lines[i];
        }
        EXPECT_NE(lines[i].find(i == 1 || i == 2 ? "async" : "sync"), std::string::npos) << lines[i];
    }
    EXPECT_EQ(lines[0].find("async"), std::string::npos) << lines[0];
}

TEST_F(SoundTest, NothingPlaysWithoutAWholePcmWaveFile)
{
    Wave good;
    good.frames = 400;
    Place("good.wav", good.Bytes());
    const std::string whole = good.Bytes();

    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> broken = {
        {"empty", ""},
        {"truncated RIFF header", whole.substr(0, 10)},
        {"truncated format chunk", whole.substr(0, 30)},
        {"no data chunk", whole.substr(0, 36)},
        {"data cut short", whole.substr(0, whole.size() - 2)},
        {"not RIFF", "RIFX" + whole.substr(4)},
        {"not WAVE", whole.substr(0, 8) + "AVI " + whole.substr(12)},
    };
    const auto spoiled = [&](const char* what, auto change) {
        Wave wave = good;
        change(&wave);
        broken.push_back({what, wave.Bytes()});
    };
    spoiled("float samples", [](Wave* w) { w->format = 3; w->bits = 32; });
    spoiled("compressed", [](Wave* w) { w->format = 2; });
    spoiled("24-bit", [](Wave* w) { w->bits = 24; });
    spoiled("no channels", [](Wave* w) { w->channels = 0; });
    spoiled("data past the end", [](Wave* w) { w->declaredData = 801; });
    spoiled("data far past the end", [](Wave* w) { w->declaredData = 0x7FFFFFFF; });
    spoiled("chunk past the end", [](Wave* w) { w->before = std::string("LIST\xff\xff\0\0", 8); });
    {
        std::string dataFirst = "WAVE";
        dataFirst += "data";
        Put(&dataFirst, 2, 4);
        dataFirst += "ab";
        dataFirst += whole.substr(12);
        std::string file = "RIFF";
        Put(&file, static_cast<std::uint32_t>(dataFirst.size()), 4);
        broken.push_back({"data before format", file + dataFirst});
    }
    std::string inconsistent = whole;
    inconsistent[32] = 4;  // block alignment of a mono 16-bit file is 2
    broken.push_back({"inconsistent block alignment", inconsistent});

    for (std::size_t i = 0; i < broken.size(); ++i) {
        const std::string name = "broken" + std::to_string(i) + ".wav";
        Place(name, broken[i].bytes);
        os::BOOL played = os::TRUE;
        EXPECT_EQ(TimedPlay(("\\" + name).c_str(), os::SND_SYNC, &played), 0) << broken[i].what;
        EXPECT_FALSE(played) << broken[i].what;
        EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_DATA)) << broken[i].what;
    }
    const std::pair<const char*, os::DWORD> unnamed[] = {
        {nullptr, os::ERROR_INVALID_PARAMETER},
        {"", os::ERROR_INVALID_PARAMETER},
        {"\\windows\\Alarm2.wav", os::ERROR_FILE_NOT_FOUND},
        {"\\nowhere\\good.wav", os::ERROR_FILE_NOT_FOUND},
    };
    for (const auto& [name, error] : unnamed) {
        os::BOOL played = os::TRUE;
        EXPECT_EQ(TimedPlay(name, os::SND_SYNC, &played), 0);
        EXPECT_FALSE(played);
        EXPECT_EQ(os::GetLastError(), error) << (name == nullptr ? "(null)" : name);
    }
    EXPECT_TRUE(os::sim::SoundPlays().empty());
    os::BOOL played = os::FALSE;
    EXPECT_EQ(TimedPlay("\\good.wav", os::SND_SYNC, &played), 50'000) << "the good file still plays";
    EXPECT_TRUE(played);
}

std::vector<std::int16_t> ReadLogSamples(const std::string& path, std::uint32_t* rate)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    const auto le = [&](std::size_t at, int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
        return v;
    };
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le(4, 4), bytes.size() - 8);
    EXPECT_EQ(le(20, 2), 1u);  // PCM
    EXPECT_EQ(le(22, 2), 1u);  // mono
    EXPECT_EQ(le(34, 2), 16u);
    *rate = le(24, 4);
    EXPECT_EQ(le(40, 4), bytes.size() - 44);
    std::vector<std::int16_t> samples;
    for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) samples.push_back(static_cast<std::int16_t>(le(at, 2)));
    return samples;
}

TEST_F(SoundTest, SoundLogHoldsEachSoundAtItsDeviceTime)
{
    Wave first;
    first.frames = 1600;  // 200 ms
    first.sample = 1000;
    Place("first.wav", first.Bytes());
    Wave second;
    second.rate = 16000;
    second.bits = 8;
    second.channels = 2;
    second.sample = 200;  // (200 - 128) * 256 in 16 bits
    second.frames = 4800;  // 300 ms
    Place("second.wav", second.Bytes());

    ASSERT_TRUE(os::sndPlaySoundW("\\first.wav", os::SND_SYNC));
    os::Sleep(300);
    ASSERT_TRUE(os::sndPlaySoundW("\\second.wav", os::SND_ASYNC));
    ASSERT_TRUE(os::sndPlaySoundW("\\first.wav", os::SND_ASYNC)) << "overlaps the second and adds to it";
    testing_support::TempFolder out;
    std::string error;
    ASSERT_TRUE(os::sim::WriteSoundLog(out / "sounds.wav", &error)) << error;
    std::uint32_t rate = 0;
    const std::vector<std::int16_t> samples = ReadLogSamples(out / "sounds.wav", &rate);
    EXPECT_EQ(rate, os::sim::kSoundLogRate);
    ASSERT_EQ(samples.size(), 8000u * 800 / 1000) << "the log ends where the last sound ends";
    const auto expect = [&](std::size_t from, std::size_t to, int value) {
        for (std::size_t i = from; i < to; ++i) {
            if (samples[i] != value) {
                ADD_FAILURE() << "sample " << i << " is " << samples[i] << ", expected " << value;
                return;
            }
        }
    };
    expect(0, 1600, 1000);
    expect(1600, 4000, 0);
    expect(4000, 5600, 72 * 256 + 1000);
    expect(5600, 6400, 72 * 256);

    EXPECT_FALSE(os::sim::WriteSoundLog(out / "missing/folder/sounds.wav", &error));
    EXPECT_NE(error.find("missing/folder/sounds.wav"), std::string::npos) << error;
}

TEST_F(SoundTest, SystemSoundsOfTheBuildPlayFromTheBoundWindowsFolder)
{
    Place("windows/Alarm2.wav", "an ordinary file of the device root, hidden by the binding");
    os::sim::FileSystemConfig config;
    config.deviceRoot = root_.Path();
    config.windowsHostFolder = std::string(KESTRAVA_BINARY_DIR) + "/sounds";
    std::string error;
    ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    const char* const names[] = {"camcorder_start_musical01.wav", "camcorder_start_musical02.wav",
                                 "StartRecording.wav",           "camcorder_end_musical01.wav",
                                 "camcorder_end_musical02.wav",   "StopRecording.wav",
                                 "shutter_01.wav",                "shutter_02.wav",
                                 "shutter_03.wav",                "shutter_04.wav",
                                 "shutter_05.wav",                "AutoFocus.wav",
                                 "AutoFocusFail.wav",             "Alarm2.wav"};
    for (const char* name : names) {
        const std::string device = std::string("\\windows\\") + name;
        os::BOOL played = os::FALSE;
        const std::int64_t took = TimedPlay(device.c_str(), os::SND_SYNC, &played);
        EXPECT_TRUE(played) << name;
        if (std::strcmp(name, "Alarm2.wav") == 0) {
            EXPECT_EQ(took, 1'000'000) << name;
        } else {
            EXPECT_GE(took, 50'000) << name;
            EXPECT_LE(took, 500'000) << name;
        }
    }
    EXPECT_EQ(os::CreateFileW("\\windows\\Alarm2.wav", os::GENERIC_WRITE, 0, nullptr, os::OPEN_EXISTING, 0, nullptr),
              os::INVALID_HANDLE_VALUE)
        << "the system sounds cannot be changed";
    EXPECT_FALSE(os::DeleteFileW("\\windows\\StartRecording.wav"));

    config.windowsHostFolder.clear();
    ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    EXPECT_FALSE(os::sndPlaySoundW("\\windows\\Alarm2.wav", os::SND_SYNC)) << "the root's own file is no sound";
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_DATA));
    EXPECT_FALSE(os::sndPlaySoundW("\\windows\\StartRecording.wav", os::SND_SYNC));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_FILE_NOT_FOUND));

    config.windowsHostFolder = root_.Path() + "/no such folder";
    EXPECT_FALSE(os::sim::ConfigureFileSystem(config, &error));
}

}  // namespace
