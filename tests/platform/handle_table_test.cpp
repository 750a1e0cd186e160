// Handles of every kind share one table of values: a value names one live
// handle of one kind, also after the count wraps around.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/devices/comm.h"
#include "platform/devices/power.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/kernel/sync.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr os::DWORD kGenericWrite = 0x40000000;
constexpr os::DWORD kGenericReadWrite = 0xC0000000;

enum class Kind { Event, File, Find, Port, Queue, PowerNotification, RegistryKey };
constexpr Kind kKinds[] = {Kind::Event, Kind::File,  Kind::Find,  Kind::Port,
                           Kind::Queue, Kind::PowerNotification, Kind::RegistryKey};
const char* const kPorts[] = {"COM1:", "COM2:", "COM3:"};

struct Open {
    Kind kind;
    std::string port;  // for a port
};

class HandleTableTest : public testing_support::PlatformTest {
protected:
    testing_support::TempFolder folder;
    std::vector<std::shared_ptr<os::sim::CommLine>> lines;
    std::map<std::uintptr_t, Open> live;
    std::vector<std::string> freePorts;
    os::HANDLE notifiedQueue = nullptr;
    int files = 0;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::FileSystemConfig config;
        config.deviceRoot = folder.Path();
        std::string error;
        ASSERT_TRUE(os::sim::ConfigureFileSystem(config, &error)) << error;
        ASSERT_EQ(os::sim::OpenRegistry(folder.Path(), &error), os::sim::RegistryOpenResult::Loaded) << error;
        for (const char* name : kPorts) {
            lines.push_back(std::make_shared<os::sim::CommLine>());
            ASSERT_TRUE(os::sim::AttachCommPort(name, lines.back()));
            freePorts.emplace_back(name);
        }
        os::MSGQUEUEOPTIONS options;
        options.cbMaxMessage = 64;
        notifiedQueue = os::CreateMsgQueue(nullptr, &options);
        ASSERT_NE(notifiedQueue, nullptr);
        Remember(notifiedQueue, Open{Kind::Queue, ""});
    }

    void TearDown() override
    {
        os::sim::CloseRegistry();
        PlatformTest::TearDown();
    }

    void Remember(os::HANDLE handle, Open open)
    {
        const auto value = reinterpret_cast<std::uintptr_t>(handle);
        ASSERT_NE(handle, nullptr);
        ASSERT_NE(handle, os::INVALID_HANDLE_VALUE);
        ASSERT_EQ(live.count(value), 0u) << std::hex << "value 0x" << value << " handed out while live";
        live.emplace(value, std::move(open));
    }

    // Opens a handle of `kind`; false when none of that kind can be had now.
    bool OpenOne(Kind kind)
    {
        os::HANDLE handle = nullptr;
        Open open{kind, ""};
        switch (kind) {
        case Kind::Event:
            handle = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
            break;
        case Kind::File: {
            const std::string path = "\\file" + std::to_string(files++) + ".txt";
            handle = os::CreateFileW(path.c_str(), kGenericWrite, 0, nullptr, os::CREATE_ALWAYS,
                                     os::FILE_ATTRIBUTE_NORMAL, nullptr);
            break;
        }
        case Kind::Find: {
            if (files == 0) return false;
            os::WIN32_FIND_DATAW data;
            handle = os::FindFirstFileW("\\*.txt", &data);
            break;
        }
        case Kind::Port:
            if (freePorts.empty()) return false;
            open.port = freePorts.back();
            freePorts.pop_back();
            handle = os::CreateFileW(open.port.c_str(), kGenericReadWrite, 0, nullptr, os::OPEN_EXISTING, 0, nullptr);
            break;
        case Kind::Queue: {
            os::MSGQUEUEOPTIONS options;
            options.cbMaxMessage = 16;
            handle = os::CreateMsgQueue(nullptr, &options);
            break;
        }
        case Kind::PowerNotification:
            handle = os::RequestPowerNotifications(notifiedQueue, os::PBT_POWERINFOCHANGE);
            break;
        case Kind::RegistryKey: {
            os::HKEY key = nullptr;
            const std::string name = "\\Software\\Key" + std::to_string(live.size());
            EXPECT_EQ(os::RegCreateKeyExW(os::HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, 0, nullptr, &key,
                                          nullptr),
                      os::ERROR_SUCCESS);
            handle = reinterpret_cast<os::HANDLE>(key);
            break;
        }
        }
        Remember(handle, open);
        return true;
    }

    // Closes through the call of its kind; a second close must find nothing.
    void CloseOne(std::uintptr_t value)
    {
        const Open open = live.at(value);
        live.erase(value);
        auto handle = reinterpret_cast<os::HANDLE>(value);
        for (int attempt = 0; attempt < 2; ++attempt) {
            bool closed = false;
            switch (open.kind) {
            case Kind::Event:
            case Kind::File:
            case Kind::Port:
                closed = os::CloseHandle(handle) != os::FALSE;
                break;
            case Kind::Find:
                closed = os::FindClose(handle) != os::FALSE;
                break;
            case Kind::Queue:
                closed = os::CloseMsgQueue(handle) != os::FALSE;
                break;
            case Kind::PowerNotification:
                closed = os::StopPowerNotifications(handle) != os::FALSE;
                break;
            case Kind::RegistryKey:
                closed = os::RegCloseKey(reinterpret_cast<os::HKEY>(handle)) == os::ERROR_SUCCESS;
                break;
            }
            EXPECT_EQ(closed, attempt == 0) << std::hex << "value 0x" << value << ", kind "
                                            << static_cast<int>(open.kind) << ", close " << attempt + 1;
        }
        if (open.kind == Kind::Port) freePorts.push_back(open.port);
    }
};

TEST_F(HandleTableTest, NoLiveValueIsHandedOutAgainWhateverItsKindAndAfterWrapAround)
{
    // Some handles at the bottom of the range stay open throughout.
    for (Kind kind : kKinds) ASSERT_TRUE(OpenOne(kind));
    std::mt19937 random(20090303);
    for (int round = 0; round < 6; ++round) {
        // Near the top again: the count runs through the live values there
        // and at the bottom.
        os::detail::SetNextHandleValue(os::detail::kHandleValueLimit - 24 * 4);
        for (int step = 0; step < 150; ++step) {
            if (live.size() > 8 && random() % 3 == 0) {
                auto it = live.begin();
                std::advance(it, 1 + random() % (live.size() - 1));  // the notified queue stays
                CloseOne(it->first);
            } else {
                OpenOne(kKinds[random() % std::size(kKinds)]);
            }
            ASSERT_FALSE(HasFatalFailure());
        }
    }
    // A closed value is unknown to every kind's calls.
    const std::uintptr_t value = live.rbegin()->first;
    CloseOne(value);
    auto stale = reinterpret_cast<os::HANDLE>(value);
    EXPECT_FALSE(os::SetEvent(stale));
    EXPECT_EQ(os::WaitForSingleObject(stale, 0), os::WAIT_FAILED);
    os::DWORD written = 0;
    EXPECT_FALSE(os::WriteFile(stale, "x", 1, &written, nullptr));
    while (live.size() > 1) CloseOne(live.rbegin()->first);
}

}  // namespace
