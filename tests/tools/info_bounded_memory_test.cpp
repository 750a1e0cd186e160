// kestrava-info reads recordings of any size in bounded memory: run as the
// program in a child process whose address space is limited far below the
// size of the file, on a sparse file of several gigabytes (an "AVI " RIFF
// and an OpenDML "AVIX" RIFF, each with a video chunk of gigabytes) and on
// devices that never end.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/sanitized.h"
#include "tests/tools/info_test_support.h"

namespace testing_support {
namespace {

constexpr rlim_t kAddressSpace = 256u << 20;
constexpr std::uint32_t kFirstBigChunk = 0xC0000000u;  // 3 GiB
constexpr std::uint32_t kSecondBigChunk = 0x80000000u;  // 2 GiB

struct LimitedRun {
    bool exited = false;
    int exitCode = -1;
    std::string output;
};

// The program in a child with at most kAddressSpace bytes of address space.
LimitedRun RunLimited(const std::vector<std::string>& arguments, const std::string& outputPath)
{
    const std::string binary = std::string(KESTRAVA_BINARY_DIR) + "/kestrava-info";
    std::vector<std::string> args = {binary};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0) ::_exit(126);
        const rlimit limit{kAddressSpace, kAddressSpace};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
    LimitedRun run;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return run;
    run.exited = WIFEXITED(status);
    run.exitCode = run.exited ? WEXITSTATUS(status) : -1;
    run.output = FileText(outputPath);
    return run;
}

// Writes bytes at an offset of a file, leaving a hole before them.
void WriteAt(int fd, std::uint64_t offset, const Bytes& bytes)
{
    ASSERT_EQ(::pwrite(fd, bytes.Data().data(), bytes.Size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.Size()));
}

class InfoBoundedMemoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (kSanitized) GTEST_SKIP() << "a sanitizer build reserves more address space than the limit tested";
        std::string pattern = std::string(KESTRAVA_BINARY_DIR) + "/test-info-memory-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }

    void TearDown() override
    {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }

    // Four video chunks in two RIFFs, two of them gigabytes of holes; the
    // first RIFF carries an index and two GPS records.
    std::string WriteSparseRecording()
    {
        Bytes avih;
        avih.U32(100000).U32(0).U32(0).U32(0x10).U32(4).U32(0).U32(1).U32(0).U32(16).U32(16).Zeros(16);
        Bytes strh;
        strh.Tag("vids").Tag("XVID").U32(0).U32(0).U32(0).U32(1).U32(10).U32(0).U32(4).U32(0).U32(0xFFFFFFFFu).U32(0).Zeros(8);
        Bytes strf;
        strf.U32(40).U32(16).U32(16).U16(1).U16(24).Tag("XVID").U32(768).Zeros(16);
        Bytes hdrl;
        hdrl.Chunk("avih", avih).List("strl", Bytes().Chunk("strh", strh).Chunk("strf", strf));
        hdrl.List("odml", Bytes().Chunk("dmlh", Bytes().U32(4).Zeros(244)));
        const Bytes frame = Bytes().U8(1).U8(2).U8(3);

        // The first RIFF: hdrl, then movi holding a small chunk, the big one and a small one.
        const Bytes head = Bytes().Tag("RIFF").U32(0).Tag("AVI ").List("hdrl", hdrl);
        const std::uint64_t moviAt = head.Size();
        const std::uint64_t bigAt = moviAt + 12 + 12;  // LIST header and type, then the first small chunk
        const std::uint64_t afterBig = bigAt + 8 + kFirstBigChunk;
        const std::uint64_t moviEnd = afterBig + 12;
        Bytes idx1;
        idx1.Tag("00dc").U32(0x10).U32(4).U32(3);
        idx1.Tag("00dc").U32(0x10).U32(static_cast<std::uint32_t>(bigAt - moviAt - 8)).U32(kFirstBigChunk);
        idx1.Tag("00dc").U32(0x10).U32(static_cast<std::uint32_t>(afterBig - moviAt - 8)).U32(3);
        GpsTrackRecord gps[2] = {TrackRecord(48.1f, 11.5f, 1, 0, 0), TrackRecord(48.2f, 11.6f, 2, 2, 1)};
        Bytes info;
        info.Chunk("IGPS", Bytes().U32(2).Raw(gps, sizeof gps)).Chunk("IEVT", Bytes().U32(0));
        info.Chunk("IFND", Bytes().Zeros(sizeof(RecordingSummary)));
        const Bytes tail = Bytes().Chunk("idx1", idx1).List("INFO", info);
        const std::uint64_t firstEnd = moviEnd + tail.Size();

        // The second RIFF: one movi with one big chunk.
        const std::uint64_t secondEnd = firstEnd + 12 + 12 + 8 + kSecondBigChunk;

        const std::string path = root_ + "/long.avi";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        WriteAt(fd, 0, Bytes().Tag("RIFF").U32(static_cast<std::uint32_t>(firstEnd - 8)));
        WriteAt(fd, 8, Bytes().Raw(head.Data().data() + 8, head.Size() - 8));
        WriteAt(fd, moviAt, Bytes().Tag("LIST").U32(static_cast<std::uint32_t>(moviEnd - moviAt - 8)).Tag("movi")
                                .Chunk("00dc", frame));
        WriteAt(fd, bigAt, Bytes().Tag("00dc").U32(kFirstBigChunk));
        WriteAt(fd, afterBig, Bytes().Chunk("00dc", frame));
        WriteAt(fd, moviEnd, tail);
        WriteAt(fd, firstEnd, Bytes().Tag("RIFF").U32(static_cast<std::uint32_t>(secondEnd - firstEnd - 8)).Tag("AVIX")
                                  .Tag("LIST").U32(4 + 8 + kSecondBigChunk).Tag("movi").Tag("00dc").U32(kSecondBigChunk));
        EXPECT_EQ(::ftruncate(fd, static_cast<off_t>(secondEnd)), 0);
        ::close(fd);
        return path;
    }

    std::string root_;
};

TEST_F(InfoBoundedMemoryTest, GigabytesOfRecordingAndEndlessDevicesStayWithinTheLimit)
{
    const std::string path = WriteSparseRecording();
    ASSERT_GT(std::filesystem::file_size(path), 5ull << 30);
    const std::string output = root_ + "/output.txt";

    const LimitedRun shown = RunLimited({"show", path}, output);
    ASSERT_TRUE(shown.exited) << shown.output;
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    for (const char* expected : {" 2 RIFFs\n", "4 frames in 4 chunks, 0.400 s", "GPS records: 2\n"}) {
        EXPECT_NE(shown.output.find(expected), std::string::npos) << expected << "\n" << shown.output;
    }

    // Sound but for one thing: recording data belongs in files of one RIFF.
    const LimitedRun checked = RunLimited({"check", path}, output);
    ASSERT_TRUE(checked.exited) << checked.output;
    EXPECT_EQ(checked.exitCode, 1);
    EXPECT_EQ(checked.output, path + ": 1 problem\n  - recording data in a file of 2 RIFFs, which carries none\n");

    const LimitedRun exported = RunLimited({"export", "--format", "csv", path}, output);
    ASSERT_TRUE(exported.exited) << exported.output;
    EXPECT_EQ(exported.exitCode, 0) << exported.output;
    EXPECT_NE(exported.output.find("2009-03-03T07:59:02Z,48.2000008,11.6000004"), std::string::npos) << exported.output;

    for (const char* command : {"show", "check"}) {
        const LimitedRun endless = RunLimited({command, "/dev/zero"}, output);
        ASSERT_TRUE(endless.exited) << command << "\n" << endless.output;
        EXPECT_EQ(endless.exitCode, 1) << endless.output;
        EXPECT_NE(endless.output.find("/dev/zero: a character device, not a regular file"), std::string::npos)
            << endless.output;
    }
}

}  // namespace
}  // namespace testing_support
