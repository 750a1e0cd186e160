// What the kestrava-info tests share: recordings written by the project's
// writer (real MPEG-4 frames, PCM sound, GPS and event records), an AVI from
// the ffmpeg command, and runs of the kestrava-info program itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/recorder/avi_recording_script.h"

namespace testing_support {

inline ToolResult RunInfo(const std::string& arguments)
{
    return RunTool(std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info " + arguments);
}

inline GpsTrackRecord TrackRecord(float latitude, float longitude, std::uint8_t second, std::uint32_t frame,
                                  std::uint32_t sequence, bool valid = true)
{
    GpsFix fix = FixAt(latitude, longitude, second);
    if (!valid) {
        fix.body.rmcStatus = 'V';
        fix.body.timePosition.fixQuality = 0;
    }
    return MakeGpsTrackRecord(fix, frame, sequence);
}

// A fix at a time of 2009-03-03, in seconds since midnight UTC.
inline GpsFix FixAtTime(float latitude, float longitude, int secondOfDay, bool valid = true)
{
    GpsFix fix = FixAt(latitude, longitude, 0);
    fix.body.timePosition.utcHour = static_cast<std::uint8_t>(secondOfDay / 3600);
    fix.body.timePosition.utcMinute = static_cast<std::uint8_t>(secondOfDay / 60 % 60);
    fix.body.timePosition.utcSecond = static_cast<std::uint8_t>(secondOfDay % 60);
    if (!valid) {
        fix.body.rmcStatus = 'V';
        fix.body.timePosition.fixQuality = 0;
    }
    return fix;
}

// A GPS log as the phone writes it: header, records, and the end marker
// and summary once the log was stopped.
inline std::vector<std::uint8_t> GpsLogBytes(const std::vector<GpsFix>& fixes, bool stopped,
                                             const RecordingSummary& summary = {})
{
    Bytes b;
    b.Raw("PGPSSTRT", 8).Zeros(56).Raw(&summary, sizeof summary);
    b.U32(stopped && !fixes.empty() ? static_cast<std::uint32_t>(fixes.size()) : 1);
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        GpsFix fix = fixes[i];
        fix.mark = kGpsFixLogMark;
        fix.index = static_cast<std::uint32_t>(i);
        b.Raw(&fix, sizeof fix);
    }
    if (stopped) b.Zeros(56).Raw("PGPSFEND", 8);
    return b.Data();
}

inline std::string WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

inline std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline EvtTagRecord EventAt(std::uint32_t frame, std::uint32_t sequence, std::uint32_t kind)
{
    EvtTagRecord e{};
    e.videoFrame = frame;
    e.sequence = sequence;
    e.kind = kind;
    e.thresholdX = e.thresholdY = e.thresholdZ = 300.0f;
    e.x = 512.0f;
    e.y = -20.0f;
    e.z = 7.0f;
    e.elapsedSec = 99;
    return e;
}

class InfoTest : public AviWriterTest {
protected:
    // A recording of frameCount frames at 10 frames/s with sound, the GPS
    // and event records given; returns its host path.
    std::string WriteRecording(const std::string& name, int frameCount, const std::vector<GpsTrackRecord>& gps,
                               const std::vector<EvtTagRecord>& events)
    {
        static const std::vector<EncodedFrame> frames = EncodeMpeg4Frames(30, 176, 144, 10);
        const std::string device = "\\Storage Card\\" + name;
        EXPECT_EQ(AVI_Writer_Open(device.c_str(), AV_CODEC_ID_MPEG4, 176, 144, 10, AV_CODEC_ID_PCM_S16LE, 8000, 1,
                                  16, 1000, 128),
                  0);
        AVI_Writer_ResetTables();
        RecordingScript script(true);
        for (int i = 0; i < frameCount; ++i) {
            script.Video(frames[static_cast<std::size_t>(i) % frames.size()], i);
            script.Audio(PcmBlock(i, 800));
        }
        for (const GpsTrackRecord& r : gps) EXPECT_EQ(AVI_Writer_AddGpsRecord(&r), 0);
        for (const EvtTagRecord& e : events) EXPECT_EQ(AVI_Writer_AddEventRecord(&e), 0);
        EXPECT_EQ(AVI_Writer_Close(static_cast<std::int64_t>(frameCount) * 1000000, 1.25f), 0);
        return HostPath(device);
    }

    // An AVI the ffmpeg command made, with no chunks of the recorder's.
    std::string WriteFfmpegAvi()
    {
        const std::string path = root_ + "/ffmpeg.avi";
        const ToolResult made = RunTool("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=1:size=160x120:rate=10 "
                                        "-c:v mpeg4 '" + path + "'");
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }

    // A copy of a file changed by edit.
    std::string Damaged(const std::string& path, const std::string& name,
                        const std::function<void(std::vector<std::uint8_t>&)>& edit)
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        edit(bytes);
        const std::string copy = root_ + "/" + name;
        std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
        return copy;
    }

    static std::string Quoted(const std::string& path) { return "'" + path + "'"; }
};

}  // namespace testing_support
