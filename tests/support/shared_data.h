// Test data from real devices lives beside the project in ../shared/data, not
// in the repository: a plain clone has none. Tests that read it skip, saying
// so, when the file is absent.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace testing_support {

inline std::string SharedDataPath(const std::string& relative)
{
    return std::string(KESTRAVA_SOURCE_DIR) + "/../shared/data/" + relative;
}

inline bool SharedDataPresent(const std::string& relative)
{
    std::error_code ec;
    return std::filesystem::exists(SharedDataPath(relative), ec);
}

}  // namespace testing_support

// Skips the current test when a file (or folder) of the shared test data is absent.
#define SKIP_WITHOUT_SHARED_DATA(relative)                                                            \
    do {                                                                                               \
        if (!testing_support::SharedDataPresent(relative))                                             \
            GTEST_SKIP() << "shared test data absent: " << testing_support::SharedDataPath(relative)   \
                         << " (a checkout without ../shared/data)";                                    \
    } while (0)
