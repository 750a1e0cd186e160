// A registry of its own for each test: a fresh device root in a temporary
// folder, opened before the test and removed after it, on a started platform
// (for the windows that receive notifications and own application state).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

class RegistryFixture : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        root_ = folder_.Path();
        Reopen();
    }

    void TearDown() override
    {
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    // Closes the registry and reads it back from its file.
    void Reopen()
    {
        std::string error;
        ASSERT_EQ(os::sim::OpenRegistry(root_, &error), os::sim::RegistryOpenResult::Loaded) << error;
    }

    std::string RegistryFile() const { return root_ + "/registry.json"; }

    std::string ReadFile(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void WriteFile(const std::string& path, const std::string& text) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    testing_support::TempFolder folder_;
    std::string root_;
};
