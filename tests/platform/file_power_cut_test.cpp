// The power-cut model of the file system against a model of its own: random
// writes, overwrites, truncations, flushes and closes on two files, then a
// cut; each file must hold exactly its durable bytes, with the pending tail
// dropped, zeroed or garbled as asked. And the card that fills up or is
// pulled out at a given byte.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/platform/file_test_support.h"

namespace {

using kestrava_test::DeviceRootTest;
using kestrava_test::Code;
using os::sim::VolumeConfig;

class FilePowerCutTest : public DeviceRootTest {};

struct PowerCutModelFile {
    const char* path;
    std::string current;
    std::string durable;
    os::HANDLE handle = os::INVALID_HANDLE_VALUE;
    long long position = 0;
};

void PowerCutModelOpen(PowerCutModelFile* f, os::DWORD creation)
{
    f->handle = os::CreateFileW(f->path, os::GENERIC_WRITE, 0, nullptr, creation, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f->handle, os::INVALID_HANDLE_VALUE);
    f->position = 0;
}

TEST_F(FilePowerCutTest, ACutKeepsExactlyTheDurableBytesOfEveryFile)
{
    const os::sim::LostWrites modes[] = {os::sim::LostWrites::Dropped, os::sim::LostWrites::Zeros,
                                         os::sim::LostWrites::Garbage};
    for (const os::sim::LostWrites mode : modes) {
        for (unsigned seed = 1; seed <= 25; ++seed) {
            SCOPED_TRACE("mode " + std::to_string(static_cast<int>(mode)) + " seed " + std::to_string(seed));
            Configure({VolumeConfig{"Card", 0, true, ""}});
            std::mt19937 random(seed);
            PowerCutModelFile files[2] = {{"\\Card\\a.avi", "", ""}, {"\\Card\\a.jnl", "", ""}};
            for (PowerCutModelFile& f : files) PowerCutModelOpen(&f, os::CREATE_ALWAYS);
            for (int step = 0; step < 40; ++step) {
                PowerCutModelFile& f = files[random() % 2];
                const unsigned op = random() % 10;
                if (op < 6) {
                    // Mostly appends, sometimes a patch of earlier bytes (a header).
                    const long long at = op == 0 ? static_cast<long long>(random() % (f.current.size() + 1))
                                                 : static_cast<long long>(f.current.size());
                    const std::string bytes(1 + random() % 300, static_cast<char>('a' + random() % 26));
                    ASSERT_EQ(os::SetFilePointer(f.handle, static_cast<os::LONG>(at), nullptr, os::FILE_BEGIN),
                              static_cast<os::DWORD>(at));
                    os::DWORD written = 0;
                    ASSERT_TRUE(os::WriteFile(f.handle, bytes.data(), static_cast<os::DWORD>(bytes.size()), &written, nullptr));
                    if (f.current.size() < at + bytes.size()) f.current.resize(at + bytes.size());
                    f.current.replace(static_cast<std::size_t>(at), bytes.size(), bytes);
                } else if (op == 6) {
                    const auto at = static_cast<long long>(random() % (f.current.size() + 1));
                    ASSERT_EQ(os::SetFilePointer(f.handle, static_cast<os::LONG>(at), nullptr, os::FILE_BEGIN),
                              static_cast<os::DWORD>(at));
                    ASSERT_TRUE(os::SetEndOfFile(f.handle));
                    f.current.resize(static_cast<std::size_t>(at));
                } else if (op < 9) {
                    ASSERT_TRUE(os::FlushFileBuffers(f.handle));
                    f.durable = f.current;
                } else {
                    ASSERT_TRUE(os::CloseHandle(f.handle));
                    f.durable = f.current;
                    PowerCutModelOpen(&f, os::OPEN_EXISTING);
                }
            }
            ASSERT_TRUE(os::sim::CutPower(mode));
            EXPECT_FALSE(os::sim::CutPower(mode));
            os::DWORD written = 0;
            EXPECT_FALSE(os::WriteFile(files[0].handle, "x", 1, &written, nullptr));
            EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_DEVICE_NOT_AVAILABLE));
            EXPECT_FALSE(os::DeleteFileW(files[1].path));
            for (PowerCutModelFile& f : files) {
                const std::string kept = ReadHostFile(Host(std::string("volumes/Card/") + (f.path + 6)));
                std::string expected = f.durable;
                if (mode != os::sim::LostWrites::Dropped && f.current.size() > f.durable.size()) {
                    expected.resize(f.current.size(), '\0');
                }
                ASSERT_EQ(kept.size(), expected.size());
                EXPECT_EQ(kept.substr(0, f.durable.size()), f.durable);
                if (mode == os::sim::LostWrites::Zeros) {
                    EXPECT_EQ(kept, expected);
                }
                if (mode == os::sim::LostWrites::Garbage && kept.size() > f.durable.size() + 16) {
                    EXPECT_NE(kept.substr(f.durable.size()), f.current.substr(f.durable.size()));
                    EXPECT_NE(kept.substr(f.durable.size()), expected.substr(f.durable.size()));
                }
                os::CloseHandle(f.handle);
            }
        }
    }
}

TEST_F(FilePowerCutTest, ACardFillsUpOrIsPulledOutAtTheGivenByte)
{
    Configure({VolumeConfig{"Card", 1 << 20, true, ""}});
    const std::string block(1000, 'r');
    for (const os::sim::WriteFault fault : {os::sim::WriteFault::Full, os::sim::WriteFault::Removed}) {
        if (fault == os::sim::WriteFault::Removed) Configure({VolumeConfig{"Card", 1 << 20, true, ""}});
        const os::HANDLE file = Open("\\Card\\clip.avi", os::GENERIC_WRITE, os::CREATE_ALWAYS);
        ASSERT_NE(file, os::INVALID_HANDLE_VALUE);
        ASSERT_TRUE(os::sim::FailWritesAfter("Card", 2500, fault));
        os::DWORD written = 0;
        ASSERT_TRUE(os::WriteFile(file, block.data(), 1000, &written, nullptr));
        ASSERT_TRUE(os::WriteFile(file, block.data(), 1000, &written, nullptr));
        EXPECT_EQ(ErrorOf(os::WriteFile(file, block.data(), 1000, &written, nullptr)),
                  fault == os::sim::WriteFault::Full ? Code(os::ERROR_DISK_FULL) : Code(os::ERROR_DEVICE_NOT_AVAILABLE));
        EXPECT_EQ(written, 500u);
        EXPECT_FALSE(os::WriteFile(file, block.data(), 1, &written, nullptr));
        EXPECT_EQ(written, 0u);
        EXPECT_EQ(ReadHostFile(Host("volumes/Card/clip.avi")).size(), 2500u);
        if (fault == os::sim::WriteFault::Full) {
            EXPECT_EQ(FreeBytes("\\Card"), 0u);
            EXPECT_TRUE(os::CloseHandle(file));
        } else {
            EXPECT_EQ(os::GetFileAttributesW("\\Card\\clip.avi"), os::INVALID_FILE_ATTRIBUTES);
            os::CloseHandle(file);
        }
    }
    EXPECT_FALSE(os::sim::FailWritesAfter("Card", 1, os::sim::WriteFault::Full));
    EXPECT_FALSE(os::sim::FailWritesAfter("Nowhere", 1, os::sim::WriteFault::Removed));
}

}  // namespace
