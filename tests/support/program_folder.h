// A device root of its own whose program folder is the build folder, so that
// tests load the resource libraries by their device paths, as the program does.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/file_sim.h"

namespace testing_support {

class ProgramFolder {
public:
    ProgramFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrava-program-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot make a temporary device root";
            return;
        }
        root_ = pattern;
        os::sim::FileSystemConfig config;
        config.deviceRoot = root_;
        config.programHostFolder = KESTRAVA_BINARY_DIR;
        std::string error;
        EXPECT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
    }
    ~ProgramFolder()
    {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    static std::string LibraryPath(const std::string& language)
    {
        return "\\Program Files\\Kestrava\\res\\kestrava-res-" + language + ".dll";
    }

private:
    std::string root_;
};

}  // namespace testing_support
