// A device root of its own whose program folder is the build folder, so that
// tests load the resource libraries by their device paths, as the program does.
// Starting the platform forgets the file system: make it after the start.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "platform/files/file_sim.h"
#include "tests/support/temp_folder.h"

namespace testing_support {

class ProgramFolder {
public:
    ProgramFolder()
    {
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_.Path();
        config.programHostFolder = KESTRAVA_BINARY_DIR;
        std::string error;
        EXPECT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    static std::string LibraryPath(const std::string& language)
    {
        return "\\Program Files\\Kestrava\\res\\kestrava-res-" + language + ".dll";
    }

private:
    TempFolder root_;
};

}  // namespace testing_support
