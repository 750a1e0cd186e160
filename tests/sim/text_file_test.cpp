// Reading the host files a user names: bounded whatever the file, and a
// file that must be regular refused, without waiting, when it is a device,
// a FIFO or a folder.
#include "sim/text_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

using testing_support::TempFolder;

TEST(HostInputFile, ReadsAreBoundedAndRegularFilesOnlyAreTakenWhereAsked)
{
    TempFolder folder;
    const std::string file = folder / "log.nmea";
    const std::string bytes(5000, 'x');
    std::ofstream(file) << bytes;
    std::string text = "untouched";
    std::string error;
    for (auto read : {&sim::ReadTextFile, &sim::ReadRegularFile}) {
        ASSERT_TRUE(read(file, bytes.size(), &text, &error)) << error;
        EXPECT_EQ(text, bytes);
        text = "untouched";
        EXPECT_FALSE(read(file, bytes.size() - 1, &text, &error));
        EXPECT_EQ(text, "untouched") << "a refused file changes nothing";
    }
    // An endless file ends at the bound.
    EXPECT_FALSE(sim::ReadTextFile("/dev/zero", 1 << 20, &text, &error));
    EXPECT_EQ(text, "untouched");

    const std::string fifo = folder / "receiver.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null"), folder.Path()}) {
        EXPECT_FALSE(sim::ReadRegularFile(path, 1 << 20, &text, &error)) << path;
        EXPECT_EQ(error, sim::kNotARegularFile) << path;
        EXPECT_EQ(text, "untouched");
    }
    // Other refusals say the system's reason.
    EXPECT_FALSE(sim::ReadRegularFile(folder / "log.nmea/more", 100, &text, &error));
    EXPECT_NE(error.find(std::strerror(ENOTDIR)), std::string::npos) << error;
    EXPECT_FALSE(sim::ReadTextFile(folder / std::string(300, 'n'), 100, &text, &error));
    EXPECT_NE(error.find(std::strerror(ENAMETOOLONG)), std::string::npos) << error;
}

}  // namespace
