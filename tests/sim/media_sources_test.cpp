// The simulator's pictures and sound: the road scene, the engine, and a host
// video file, checked for determinism, looping, sensible content, and for a
// capture index band that survives a round trip through MPEG-4.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/media/capture_index.h"
#include "sim/engine_sound.h"
#include "sim/road_scene.h"
#include "sim/video_file_source.h"
#include "tests/support/host_tool.h"
#include "tests/support/shared_data.h"
#include "tests/support/temp_folder.h"

namespace {

using Picture = std::vector<std::uint8_t>;
using Samples = std::vector<std::int16_t>;
using testing_support::RunHostTool;

constexpr std::int64_t kFrameUs = 66'667;  // 15 frames a second
const char* const kClips[] = {"video/opencv-doc-tree.avi", "video/udacity-solidWhiteRight.mp4"};

Picture Take(os::sim::PictureSource& source, std::uint32_t index, std::int64_t us, int width, int height,
             std::uint8_t fill = 0xEE)
{
    Picture p(static_cast<std::size_t>(width) * height * 3 / 2, fill);
    source.Fill(index, us, width, height, p.data());
    return p;
}

Samples Hear(os::sim::SoundSource& source, std::int64_t first, int rate, std::size_t count)
{
    Samples s(count, 0x5A5A);
    source.Fill(first, rate, s.data(), count);
    return s;
}

// The same stretch asked for in pieces of varied lengths.
Samples HearInPieces(os::sim::SoundSource& source, std::int64_t first, int rate, std::size_t count)
{
    static constexpr std::size_t kPieces[] = {1, 799, 800, 3, 1600, 17, 4001};
    Samples all;
    for (std::size_t i = 0; all.size() < count; ++i) {
        const std::size_t n = std::min(kPieces[i % std::size(kPieces)], count - all.size());
        const Samples piece = Hear(source, first + static_cast<std::int64_t>(all.size()), rate, n);
        all.insert(all.end(), piece.begin(), piece.end());
    }
    return all;
}

struct PlaneMeans {
    double y = 0, v = 0, u = 0;
};

// Of a picture whose chroma planes come as `first` then `second` (YV12: V then U).
PlaneMeans Means(const Picture& p, int width, int height, bool yv12 = true)
{
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    auto mean = [&](std::size_t from, std::size_t n) {
        double sum = 0;
        for (std::size_t i = from; i < from + n; ++i) sum += p[i];
        return sum / static_cast<double>(n);
    };
    PlaneMeans m;
    m.y = mean(0, luma);
    const double first = mean(luma, luma / 4);
    const double second = mean(luma + luma / 4, luma / 4);
    m.v = yv12 ? first : second;
    m.u = yv12 ? second : first;
    return m;
}

double LumaDeviation(const Picture& p, int width, int height)
{
    const std::size_t n = static_cast<std::size_t>(width) * height;
    double sum = 0, squares = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += p[i];
        squares += static_cast<double>(p[i]) * p[i];
    }
    const double mean = sum / static_cast<double>(n);
    return std::sqrt(squares / static_cast<double>(n) - mean * mean);
}

// Bytes that differ in luma rows [from, to).
int DifferingLuma(const Picture& a, const Picture& b, int width, int from, int to)
{
    int count = 0;
    for (std::size_t i = static_cast<std::size_t>(from) * width; i < static_cast<std::size_t>(to) * width; ++i)
        count += a[i] != b[i];
    return count;
}

void ExpectVideoLevels(const Picture& p)
{
    const auto [lo, hi] = std::minmax_element(p.begin(), p.end());
    EXPECT_GE(*lo, 16);
    EXPECT_LE(*hi, 240);
}

// The video stream's length in microseconds as ffprobe reads it; 0 when it cannot.
std::int64_t ProbedDurationUs(const std::string& file)
{
    const auto probe = RunHostTool("ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 '" +
                                   file + "'");
    if (probe.exitCode != 0) return 0;
    return std::llround(std::atof(probe.output.c_str()) * 1e6);
}

Picture ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Picture(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Compresses stamped YV12 pictures to MPEG-4 with the ffmpeg tool and decodes
// them back; the decoded pictures come as I420 (U before V).
std::vector<Picture> ThroughMpeg4(const std::vector<Picture>& pictures, int width, int height)
{
    testing_support::TempFolder folder;
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    {
        std::ofstream raw(folder / "in.yuv", std::ios::binary);
        for (const Picture& p : pictures) {
            raw.write(reinterpret_cast<const char*>(p.data()), static_cast<std::streamsize>(luma));
            raw.write(reinterpret_cast<const char*>(p.data() + luma + luma / 4), static_cast<std::streamsize>(luma / 4));
            raw.write(reinterpret_cast<const char*>(p.data() + luma), static_cast<std::streamsize>(luma / 4));
        }
    }
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const auto encode = RunHostTool("ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s " + size +
                                    " -framerate 15 -i '" + folder / "in.yuv" +
                                    "' -c:v mpeg4 -b:v 384k -g 30 -threads 1 -f avi '" + folder / "out.avi" + "'");
    EXPECT_EQ(encode.exitCode, 0) << encode.output;
    const auto decode = RunHostTool("ffmpeg -nostdin -v error -y -i '" + folder / "out.avi" +
                                    "' -fps_mode passthrough -f rawvideo -pix_fmt yuv420p '" + folder / "back.yuv" + "'");
    EXPECT_EQ(decode.exitCode, 0) << decode.output;
    const Picture all = ReadFile(folder / "back.yuv");
    std::vector<Picture> decoded;
    for (std::size_t at = 0; at + luma * 3 / 2 <= all.size(); at += luma * 3 / 2)
        decoded.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(at),
                             all.begin() + static_cast<std::ptrdiff_t>(at + luma * 3 / 2));
    return decoded;
}

// Stamps 90 pictures of `source` with frame numbers and a few awkward indices,
// sends them through MPEG-4 and reads every index back.
void ExpectIndicesSurviveMpeg4(os::sim::PictureSource& source, int width, int height)
{
    std::vector<std::uint32_t> indices(90);
    for (std::uint32_t i = 0; i < indices.size(); ++i) indices[i] = i;
    indices[10] = 0xFFFFFFFFu;
    indices[11] = 0x80000001u;
    indices[30] = 0xAAAAAAAAu;
    indices[31] = 0x55555555u;
    indices[60] = 0x7FFFFFFEu;
    indices[89] = 0x00010000u;
    std::vector<Picture> pictures;
    for (std::uint32_t i = 0; i < indices.size(); ++i) {
        Picture p = Take(source, i, 3'000'000 + i * kFrameUs, width, height);
        os::StampCaptureIndex(p.data(), width, height, indices[i]);
        pictures.push_back(std::move(p));
    }
    const std::vector<Picture> decoded = ThroughMpeg4(pictures, width, height);
    ASSERT_EQ(decoded.size(), indices.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const auto read = os::ReadCaptureIndex(decoded[i].data(), width, height, width);
        ASSERT_TRUE(read.has_value()) << "frame " << i;
        EXPECT_EQ(*read, indices[i]) << "frame " << i;
    }
}

bool HaveFfmpeg()
{
    return testing_support::HostToolPresent("ffmpeg") && testing_support::HostToolPresent("ffprobe");
}

TEST(RoadScene, EverySizeIsWhollyDrawnTheSameEachTimeAndMoves)
{
    const std::pair<int, int> sizes[] = {{32, 16}, {34, 18}, {32, 480}, {800, 16}, {64, 48},
                                         {176, 144}, {320, 240}, {640, 480}, {798, 478}, {800, 480}};
    sim::RoadScene a;
    for (const auto& [w, h] : sizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Picture first = Take(a, 7, 1'234'567, w, h);
        Take(a, 8, 2'000'000, 64, 48);  // another size in between
        sim::RoadScene b;
        EXPECT_EQ(Take(b, 7, 1'234'567, w, h), first) << "another source, same call";
        EXPECT_EQ(Take(a, 7, 1'234'567, w, h, 0x11), first) << "back to this size, over other bytes";
        ExpectVideoLevels(first);
        if (h >= 64) {
            const Picture later = Take(a, 8, 1'334'567, w, h);
            EXPECT_GT(DifferingLuma(first, later, w, h / 2, h), 0) << "the road moves in 100 ms";
            EXPECT_GT(LumaDeviation(first, w, h), 20) << "sky, grass and road are told apart";
        }
    }
}

TEST(RoadScene, DeviceTimeIsBurnedInBelowTheIndexBand)
{
    constexpr int kW = 320, kH = 240;
    sim::RoadScene scene;
    const std::int64_t at = ((1 * 60 + 2) * 60 + 3) * 1'000'000ll + 456'000;
    const Picture p = Take(scene, 0, at, kW, kH);
    const Picture oneMsLater = Take(scene, 0, at + 1000, kW, kH);
    const Picture hoursLater = Take(scene, 0, at + 7'200'000'000ll, kW, kH);
    EXPECT_EQ(DifferingLuma(p, hoursLater, kW, 0, os::kCaptureIndexRows), 0) << "nothing moves in the band";
    EXPECT_EQ(DifferingLuma(p, oneMsLater, kW, 0, os::kCaptureIndexRows), 0);
    // The sky above the horizon holds still; only the text changes there.
    EXPECT_GT(DifferingLuma(p, oneMsLater, kW, os::kCaptureIndexRows, kH / 3), 0) << "the milliseconds change";
    EXPECT_GT(DifferingLuma(p, hoursLater, kW, os::kCaptureIndexRows, kH / 3), 0) << "the hours change";
    const Picture sameTimeOtherFrame = Take(scene, 99, at, kW, kH);
    EXPECT_EQ(DifferingLuma(p, sameTimeOtherFrame, kW, 0, kH / 3), 0);
}

TEST(EngineSound, SamplesDependOnTheirNumberAloneAtAModerateLevel)
{
    for (int rate : {8000, 44100}) {
        SCOPED_TRACE(rate);
        sim::EngineSound one, other, third;
        const Samples whole = Hear(one, 1000, rate, 3 * rate);
        EXPECT_EQ(HearInPieces(other, 1000, rate, whole.size()), whole);
        const Samples later = Hear(third, 1000 + rate, rate, 500);
        EXPECT_TRUE(std::equal(later.begin(), later.end(), whole.begin() + rate)) << "asked for out of order";
        for (std::size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(whole[i], sim::EngineSound::Sample(1000 + static_cast<std::int64_t>(i), rate)) << "sample " << i;
        double squares = 0;
        int peak = 0;
        for (std::int16_t s : whole) {
            squares += static_cast<double>(s) * s;
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        const double rms = std::sqrt(squares / static_cast<double>(whole.size()));
        EXPECT_GT(rms, 800);
        EXPECT_LT(rms, 6000);
        EXPECT_LT(peak, 16000);
        EXPECT_GT(std::set<std::int16_t>(whole.begin(), whole.end()).size(), 1000u) << "noise, not a plain tone";
    }
}

TEST(VideoFileSource, SharedClipsLoopAndLookAsFfmpegShowsThem)
{
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
    constexpr int kW = 320, kH = 240;
    constexpr std::int64_t kBase = 5'000'000;
    int tried = 0;
    for (const char* clip : kClips) {
        if (!testing_support::SharedDataPresent(clip)) continue;
        ++tried;
        const std::string file = testing_support::SharedDataPath(clip);
        SCOPED_TRACE(file);
        const std::int64_t duration = ProbedDurationUs(file);
        ASSERT_GT(duration, 2'000'000);
        std::string error;
        const auto walker = sim::OpenVideoPictures(file, &error);
        const auto jumper = sim::OpenVideoPictures(file, &error);
        ASSERT_TRUE(walker && jumper) << error;

        // One source plays a whole loop frame by frame; the other jumps straight to 1 s.
        Picture atOneSecond, afterALoop;
        for (std::int64_t t = 0; t < duration + 1'000'000; t += kFrameUs) {
            const Picture p = Take(*walker, 0, kBase + t, kW, kH);
            if (t == 0) ExpectVideoLevels(p);
            if (t < 1'000'000 && t + kFrameUs >= 1'000'000) atOneSecond = Take(*walker, 0, kBase + 1'000'000, kW, kH);
        }
        afterALoop = Take(*walker, 0, kBase + duration + 1'000'000, kW, kH);
        Take(*jumper, 0, kBase, kW, kH);
        EXPECT_EQ(Take(*jumper, 0, kBase + 1'000'000, kW, kH), atOneSecond) << "same time, same picture";
        EXPECT_EQ(afterALoop, atOneSecond) << "the file starts again after its length";
        EXPECT_GT(LumaDeviation(atOneSecond, kW, kH), 10);

        // The same moment as ffmpeg scales it: plane by plane, V before U.
        testing_support::TempFolder folder;
        const auto ref = RunHostTool("ffmpeg -nostdin -v error -y -ss 1 -i '" + file +
                                     "' -frames:v 1 -s 320x240 -sws_flags bilinear -pix_fmt yuv420p -f rawvideo '" +
                                     folder / "ref.yuv" + "'");
        ASSERT_EQ(ref.exitCode, 0) << ref.output;
        const Picture reference = ReadFile(folder / "ref.yuv");
        ASSERT_EQ(reference.size(), atOneSecond.size());
        const PlaneMeans want = Means(reference, kW, kH, false);
        const PlaneMeans got = Means(atOneSecond, kW, kH);
        EXPECT_NEAR(got.y, want.y, 4);
        EXPECT_NEAR(got.u, want.u, 2);
        EXPECT_NEAR(got.v, want.v, 2);

        // Sound: none in the AVI, a silent track in the MP4; either way about nothing, the same each time.
        const auto sound = sim::OpenVideoSound(file, &error);
        ASSERT_TRUE(sound) << error;
        const Samples heard = Hear(*sound, 0, 8000, 16000);
        EXPECT_LT(*std::max_element(heard.begin(), heard.end()), 64);
        EXPECT_GT(*std::min_element(heard.begin(), heard.end()), -64);
    }
    if (tried == 0) GTEST_SKIP() << "shared test data absent: no clip of ../shared/data/video";
}

TEST(VideoFileSource, SoundIsResampledMonoLoopedWithThePicturesWhateverTheCalls)
{
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
    testing_support::TempFolder folder;
    const std::string clip = folder / "tone.avi";
    // 2 s of a test picture at 10 frames a second with a 500 Hz stereo tone at 44.1 kHz.
    const auto made = RunHostTool("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x120:rate=10:duration=2 "
                                  "-f lavfi -i sine=frequency=500:sample_rate=44100:duration=2 -ac 2 "
                                  "-c:v mpeg4 -c:a pcm_s16le '" + clip + "'");
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::string error;
    const auto one = sim::OpenVideoSound(clip, &error);
    const auto other = sim::OpenVideoSound(clip, &error);
    const auto third = sim::OpenVideoSound(clip, &error);
    ASSERT_TRUE(one && other && third) << error;
    constexpr int kRate = 8000;
    constexpr std::size_t kLoop = 2 * kRate;
    const Samples whole = Hear(*one, 0, kRate, 3 * kLoop);
    EXPECT_EQ(HearInPieces(*other, 0, kRate, whole.size()), whole);
    const Samples late = Hear(*third, 2 * kLoop + 1234, kRate, 800);
    EXPECT_TRUE(std::equal(late.begin(), late.end(), whole.begin() + 2 * kLoop + 1234)) << "straight into a later loop";
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + kLoop, whole.begin() + kLoop)) << "each loop the same";

    // One second of the tone: 500 periods, 1000 sign changes.
    int changes = 0;
    double squares = 0;
    for (std::size_t i = kRate / 2; i < kRate / 2 + kRate; ++i) {
        changes += (whole[i] < 0) != (whole[i + 1] < 0);
        squares += static_cast<double>(whole[i]) * whole[i];
    }
    EXPECT_NEAR(changes, 1000, 4);
    EXPECT_GT(std::sqrt(squares / kRate), 1500) << "the tone, not silence";
}

TEST(CaptureIndexBand, SurvivesMpeg4OverTheRoadSceneAndVideoFiles)
{
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
    constexpr int kW = 320, kH = 240;
    {
        SCOPED_TRACE("road scene");
        sim::RoadScene scene;
        ExpectIndicesSurviveMpeg4(scene, kW, kH);
    }
    for (const char* clip : kClips) {
        if (!testing_support::SharedDataPresent(clip)) {
            std::printf("shared test data absent, not tried: %s\n", clip);
            continue;
        }
        SCOPED_TRACE(clip);
        std::string error;
        const auto source = sim::OpenVideoPictures(testing_support::SharedDataPath(clip), &error);
        ASSERT_TRUE(source) << error;
        ExpectIndicesSurviveMpeg4(*source, kW, kH);
    }
}

TEST(VideoFileSource, RefusesFilesWithoutVideoNamingFileAndReason)
{
    testing_support::TempFolder folder;
    const std::string text = folder / "notes.mp4";
    std::ofstream(text) << "not a video\n";
    const std::string missing = folder / "missing.mp4";
    for (const std::string& file : {text, missing}) {
        std::string error;
        EXPECT_EQ(sim::OpenVideoPictures(file, &error), nullptr);
        EXPECT_TRUE(error.starts_with(file + ": ") && error.size() > file.size() + 4) << error;
        std::string soundError;
        EXPECT_EQ(sim::OpenVideoSound(file, &soundError), nullptr);
        EXPECT_EQ(soundError, error);
    }
}

}  // namespace
