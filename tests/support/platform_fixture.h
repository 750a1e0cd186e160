// Starts the platform for one test: the test's thread becomes the platform's
// main thread, in virtual time unless the test asks for real time.
#pragma once

#include <gtest/gtest.h>

#include "platform/base/platform.h"

namespace testing_support {

inline os::SYSTEMTIME TestStartTime()
{
    os::SYSTEMTIME st;
    st.wYear = 2009;
    st.wMonth = 3;
    st.wDay = 3;
    st.wHour = 8;
    st.wMinute = 59;
    st.wSecond = 30;
    return st;
}

class PlatformTest : public ::testing::Test {
protected:
    virtual os::ClockMode Mode() const { return os::ClockMode::Virtual; }
    void SetUp() override
    {
        os::ClockConfig config;
        config.mode = Mode();
        config.start = TestStartTime();
        os::sim::StartPlatform(config);
    }
    void TearDown() override { os::sim::StopPlatform(); }
};

class RealTimePlatformTest : public PlatformTest {
protected:
    os::ClockMode Mode() const override { return os::ClockMode::Real; }
};

}  // namespace testing_support
