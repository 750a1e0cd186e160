// What the writer's tests share: a started platform with a device root and a
// "Storage Card" volume, the host path of a device file, the real tools'
// verdict on a file, and little-endian byte building and reading.
#pragma once

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files/internal/file_detail.h"
#include "platform/files/file_sim.h"
#include "recorder/avi/avi_writer.h"
#include "tests/support/host_tool.h"
#include "tests/support/platform_fixture.h"

namespace testing_support {

// Little-endian bytes, built the way the file format tables read.
class Bytes {
public:
    Bytes& U8(std::uint8_t v)
    {
        data_.push_back(v);
        return *this;
    }
    Bytes& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
    Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Bytes& U64(std::uint64_t v) { return U32(v & 0xFFFFFFFFu).U32(v >> 32); }
    Bytes& Tag(const char* fourcc) { return Raw(fourcc, 4); }
    Bytes& Zeros(std::size_t n)
    {
        data_.insert(data_.end(), n, 0);
        return *this;
    }
    Bytes& Raw(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const std::uint8_t*>(p);
        data_.insert(data_.end(), b, b + n);
        return *this;
    }
    Bytes& Append(const Bytes& other) { return Raw(other.data_.data(), other.data_.size()); }
    // A chunk: tag, unpadded size, payload, pad byte.
    Bytes& Chunk(const char* fourcc, const Bytes& payload)
    {
        Tag(fourcc).U32(static_cast<std::uint32_t>(payload.Size())).Append(payload);
        if (payload.Size() & 1) U8(0);
        return *this;
    }
    Bytes& List(const char* type, const Bytes& content)
    {
        Bytes payload;
        payload.Tag(type).Append(content);
        return Chunk("LIST", payload);
    }
    std::size_t Size() const { return data_.size(); }
    const std::vector<std::uint8_t>& Data() const { return data_; }

private:
    std::vector<std::uint8_t> data_;
};

inline std::uint32_t ReadU32(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<std::uint32_t>(d[at + 3]) << 24;
}

inline std::string ReadTag(const std::vector<std::uint8_t>& d, std::size_t at)
{
    return std::string(reinterpret_cast<const char*>(&d[at]), 4);
}

// Position of the first occurrence of a FourCC at or after from; npos if none.
inline std::size_t FindTag(const std::vector<std::uint8_t>& d, const char* tag, std::size_t from = 0)
{
    for (std::size_t i = from; i + 4 <= d.size(); ++i) {
        if (std::memcmp(&d[i], tag, 4) == 0) return i;
    }
    return std::string::npos;
}

using ToolResult = HostToolResult;
inline ToolResult RunTool(const std::string& command) { return RunHostTool(command); }

// The real tools accept the file: ffprobe counts the video frames (the
// number, or -1 when ffprobe fails) and ffmpeg decodes everything with
// -xerror and nothing on its error stream.
// A file cut short by a full card carries no index for MediaInfo to go by:
// `complete` false leaves that check out.
inline void ExpectPlayable(const std::string& host, int videoFrames, bool complete = true)
{
    const ToolResult probe = RunTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                     "stream=nb_read_frames -of csv=p=0 '" + host + "'");
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    if (videoFrames >= 0) {
        EXPECT_EQ(probe.output, std::to_string(videoFrames) + "\n") << host;
    }
    const ToolResult decode = RunTool("ffmpeg -nostdin -v error -xerror -i '" + host + "' -f null -");
    EXPECT_EQ(decode.exitCode, 0) << decode.output;
    EXPECT_EQ(decode.output, "") << host;
    if (videoFrames > 0 && complete) {
        // MediaInfo reads the stream's sequence header: the video is MPEG-4 Visual with its profile.
        const ToolResult info = RunTool("mediainfo --Inform='Video;%Format%|%Format_Profile%' '" + host + "'");
        EXPECT_EQ(info.exitCode, 0) << info.output;
        EXPECT_EQ(info.output.rfind("MPEG-4 Visual|Simple@", 0), 0u) << info.output;
    }
}

class AviWriterTest : public PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        std::string pattern = std::string(KESTRAVA_BINARY_DIR) + "/test-avi-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        ConfigureCard(0);
        AVI_Writer_SetRiffLimit(0x40000000);
        AVI_Writer_ResetTables();
    }

    void TearDown() override
    {
        AVI_Writer_Close(0, 0.0f);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        PlatformTest::TearDown();
    }

    // capacity 0: the host disk's figures.
    void ConfigureCard(std::uint64_t capacity)
    {
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_;
        config.volumes = {os::sim::VolumeConfig{"Storage Card", capacity, true, ""}};
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }

    static std::string HostPath(const std::string& device)
    {
        std::string host;
        EXPECT_EQ(os::detail::ResolveDevicePath(device, &host), 0u) << device;
        return host;
    }

    static std::vector<std::uint8_t> ReadDeviceFile(const std::string& device)
    {
        std::ifstream in(HostPath(device), std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string root_;
};

}  // namespace testing_support
