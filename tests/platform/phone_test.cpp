// The phone's network services: text messages into the simulator's outbox,
// and the handset's own number found the way the program looks for it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/base/host_problem.h"
#include "platform/kernel/clock.h"
#include "platform/phone/phone_sim.h"
#include "platform/phone/sms.h"
#include "platform/phone/tapi.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::PlatformTest;

std::vector<nlohmann::json> OutboxLines(const std::string& path)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

// The text as the program hands it over: UTF-16LE bytes.
std::vector<os::BYTE> Utf16(const std::u16string& text)
{
    std::vector<os::BYTE> bytes;
    for (const char16_t c : text) {
        bytes.push_back(static_cast<os::BYTE>(c & 0xFF));
        bytes.push_back(static_cast<os::BYTE>(c >> 8));
    }
    return bytes;
}

struct Message {
    std::string to;
    std::u16string text;
    bool statusReport = false;
    std::string header;
};

os::HRESULT Send(os::SMS_HANDLE handle, const Message& message, os::SMS_MESSAGE_ID* id,
             os::DWORD providerSize = sizeof(os::TEXT_PROVIDER_SPECIFIC_DATA))
{
    os::SMS_ADDRESS to;
    to.smsatAddressType = os::SMSAT_INTERNATIONAL;
    std::strncpy(to.ptsAddress, message.to.c_str(), sizeof to.ptsAddress - 1);
    os::TEXT_PROVIDER_SPECIFIC_DATA provider;
    provider.dwMessageOptions = message.statusReport ? os::PS_MESSAGE_OPTION_STATUSREPORT : os::PS_MESSAGE_OPTION_NONE;
    provider.dwHeaderDataSize = static_cast<os::DWORD>(message.header.size());
    std::memcpy(provider.pbHeaderData, message.header.data(), message.header.size());
    const std::vector<os::BYTE> data = Utf16(message.text);
    return os::SmsSendMessage(handle, nullptr, &to, nullptr, data.data(), static_cast<os::DWORD>(data.size()),
                              reinterpret_cast<const os::BYTE*>(&provider), providerSize, os::SMSDE_OPTIMAL,
                              os::SMS_OPTION_DELIVERY_NONE, id);
}

class PhoneTest : public PlatformTest {
protected:
    void Configure(bool line, bool smsFails, const std::string& number = "+821099998888")
    {
        os::sim::PhoneConfig config;
        config.line = line;
        config.smsFails = smsFails;
        config.number = number;
        config.outboxPath = outbox_;
        os::sim::ConfigurePhone(config);
    }

    testing_support::TempFolder folder_;
    std::string outbox_ = folder_ / "sms_outbox.jsonl";
};

TEST_F(PhoneTest, SentMessagesReachTheOutboxWithTheirFields)
{
    Configure(true, false);
    os::SMS_HANDLE sms = nullptr;
    EXPECT_EQ(os::SmsOpen("Microsoft Other Protocol", os::SMS_MODE_SEND, &sms, nullptr), os::SMS_E_INVALIDPROTOCOL);
    EXPECT_EQ(os::SmsOpen(os::SMS_MSGTYPE_TEXT, os::SMS_MODE_RECEIVE, &sms, nullptr), os::E_INVALIDARG);
    ASSERT_EQ(os::SmsOpen(os::SMS_MSGTYPE_TEXT, os::SMS_MODE_SEND, &sms, nullptr), os::S_OK);
    ASSERT_NE(sms, nullptr);

    os::Sleep(1500);
    const Message accident{"+821055556666", u"\uC0AC\uACE0 at 37.5665,126.978 \U0001F697", true, "Kestrava accident"};
    os::SMS_MESSAGE_ID id = 0;
    EXPECT_EQ(Send(sms, accident, &id), os::S_OK);
    EXPECT_EQ(id, 1u);
    os::Sleep(250);
    EXPECT_EQ(Send(sms, Message{"010-1234", u"second", false, ""}, &id), os::S_OK);
    EXPECT_EQ(id, 2u);
    EXPECT_EQ(Send(sms, Message{"", u"nobody", false, ""}, &id), os::E_INVALIDARG);
    EXPECT_EQ(Send(sms, accident, &id, 140), os::E_INVALIDARG) << "the provider data is the text protocol's";
    EXPECT_EQ(os::SmsClose(sms), os::S_OK);
    EXPECT_EQ(Send(sms, accident, &id), os::SMS_E_INVALIDHANDLE) << "a closed handle sends nothing";
    EXPECT_EQ(os::SmsClose(sms), os::SMS_E_INVALIDHANDLE);

    const std::vector<nlohmann::json> lines = OutboxLines(outbox_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["time_ms"], 1500);
    EXPECT_EQ(lines[0]["to"], "+821055556666");
    EXPECT_EQ(lines[0]["text"], "\xEC\x82\xAC\xEA\xB3\xA0 at 37.5665,126.978 \xF0\x9F\x9A\x97");
    EXPECT_EQ(lines[0]["status_report"], true);
    EXPECT_EQ(lines[0]["header"], "Kestrava accident");
    EXPECT_EQ(lines[1]["time_ms"], 1750);
    EXPECT_EQ(lines[1]["to"], "010-1234");
    EXPECT_EQ(lines[1]["text"], "second");
    EXPECT_EQ(lines[1]["status_report"], false);
    EXPECT_EQ(lines[1]["header"], "");
}

TEST_F(PhoneTest, ARefusingNetworkWritesNothing)
{
    Configure(true, true);
    os::SMS_HANDLE sms = nullptr;
    ASSERT_EQ(os::SmsOpen(os::SMS_MSGTYPE_TEXT, os::SMS_MODE_SEND, &sms, nullptr), os::S_OK);
    os::SMS_MESSAGE_ID id = 77;
    EXPECT_EQ(Send(sms, Message{"+821055556666", u"help", true, "h"}, &id), os::SMS_E_SEND);
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(os::SmsClose(sms), os::S_OK);
    EXPECT_FALSE(std::filesystem::exists(outbox_));

    // A host that refuses the outbox: the message is not sent, and the run says so.
    os::sim::PhoneConfig config = os::sim::CurrentPhone();
    config.smsFails = false;
    config.outboxPath = folder_.Path();
    os::sim::ConfigurePhone(config);
    os::sim::ClearHostProblems();
    ASSERT_EQ(os::SmsOpen(os::SMS_MSGTYPE_TEXT, os::SMS_MODE_SEND, &sms, nullptr), os::S_OK);
    EXPECT_EQ(Send(sms, Message{"+821055556666", u"help", true, "h"}, &id), os::E_FAIL);
    EXPECT_EQ(os::SmsClose(sms), os::S_OK);
    ASSERT_EQ(os::sim::HostProblems().size(), 1u);
    EXPECT_NE(os::sim::HostProblems()[0].find(folder_.Path()), std::string::npos);
    os::sim::ClearHostProblems();
}

// The handset's own number as the program finds it: the line named
// "Cellular Line", its first address, each record grown until it fits.
// Empty when there is none; *grown counts the calls that asked for more room.
std::string OwnNumber(int* grown)
{
    os::HLINEAPP app = nullptr;
    os::DWORD devices = 0;
    os::DWORD version = os::TAPI_CURRENT_VERSION;
    os::LINEINITIALIZEEXPARAMS params;
    if (os::lineInitializeEx(&app, nullptr, nullptr, "kestrava", &devices, &version, &params) != 0) return "";
    std::string number;
    for (os::DWORD device = 0; device < devices && number.empty(); ++device) {
        os::DWORD api = 0;
        os::LINEEXTENSIONID extension;
        if (os::lineNegotiateAPIVersion(app, device, 0x00010004, 0x00020000, &api, &extension) != 0) continue;
        std::vector<std::uint32_t> buffer(sizeof(os::LINEDEVCAPS) / 4);
        auto* caps = reinterpret_cast<os::LINEDEVCAPS*>(buffer.data());
        caps->dwTotalSize = sizeof(os::LINEDEVCAPS);
        if (os::lineGetDevCaps(app, device, api, 0, caps) != 0) continue;
        while (caps->dwNeededSize > caps->dwTotalSize) {
            ++*grown;
            const os::DWORD needed = caps->dwNeededSize;
            buffer.assign((needed + 3) / 4, 0);
            caps = reinterpret_cast<os::LINEDEVCAPS*>(buffer.data());
            caps->dwTotalSize = needed;
            if (os::lineGetDevCaps(app, device, api, 0, caps) != 0) break;
        }
        const char* base = reinterpret_cast<const char*>(caps);
        if (caps->dwLineNameSize == 0 || std::string(base + caps->dwLineNameOffset) != "Cellular Line") continue;

        std::vector<std::uint32_t> addressBuffer(sizeof(os::LINEADDRESSCAPS) / 4 + 1);
        auto* address = reinterpret_cast<os::LINEADDRESSCAPS*>(addressBuffer.data());
        address->dwTotalSize = static_cast<os::DWORD>(addressBuffer.size() * 4);
        if (os::lineGetAddressCaps(app, device, 0, api, 0, address) != 0) continue;
        if (address->dwNeededSize > address->dwTotalSize) {
            ++*grown;
            const os::DWORD needed = address->dwNeededSize;
            addressBuffer.assign((needed + 3) / 4, 0);
            address = reinterpret_cast<os::LINEADDRESSCAPS*>(addressBuffer.data());
            address->dwTotalSize = needed;
            if (os::lineGetAddressCaps(app, device, 0, api, 0, address) != 0) continue;
        }
        if (address->dwAddressSize > 0 && address->dwAddressOffset + address->dwAddressSize <= address->dwUsedSize) {
            number.assign(reinterpret_cast<const char*>(address) + address->dwAddressOffset, address->dwAddressSize - 1);
        }
    }
    EXPECT_EQ(os::lineShutdown(app), 0);
    return number;
}

TEST_F(PhoneTest, OwnNumberComesFromTheCellularLineAfterGrowingEachRecord)
{
    Configure(true, false, "+821012345678");
    int grown = 0;
    EXPECT_EQ(OwnNumber(&grown), "+821012345678");
    EXPECT_EQ(grown, 2);

    // The texts sit after the fixed part, inside what was used, and a record
    // that is too small keeps its texts out.
    os::HLINEAPP app = nullptr;
    os::DWORD devices = 0;
    os::DWORD version = os::TAPI_CURRENT_VERSION;
    ASSERT_EQ(os::lineInitializeEx(&app, nullptr, nullptr, "kestrava", &devices, &version, nullptr), 0);
    EXPECT_EQ(devices, 1u);
    EXPECT_EQ(version, os::TAPI_CURRENT_VERSION);
    os::LINEDEVCAPS small;
    ASSERT_EQ(os::lineGetDevCaps(app, 0, version, 0, &small), 0);
    EXPECT_EQ(small.dwUsedSize, sizeof small);
    EXPECT_GT(small.dwNeededSize, sizeof small);
    EXPECT_EQ(small.dwLineNameSize, 0u);
    EXPECT_EQ(small.dwNumAddresses, 2u);
    struct {
        os::LINEDEVCAPS caps;
        char texts[200];
    } large;
    large.caps.dwTotalSize = sizeof large;
    ASSERT_EQ(os::lineGetDevCaps(app, 0, version, 0, &large.caps), 0);
    EXPECT_EQ(large.caps.dwUsedSize, large.caps.dwNeededSize);
    EXPECT_EQ(large.caps.dwNeededSize, small.dwNeededSize);
    EXPECT_GE(large.caps.dwLineNameOffset, sizeof(os::LINEDEVCAPS));
    EXPECT_LE(large.caps.dwLineNameOffset + large.caps.dwLineNameSize, large.caps.dwUsedSize);
    EXPECT_EQ(large.caps.dwLineNameSize, sizeof "Cellular Line");

    os::LINEDEVCAPS tooSmall;
    tooSmall.dwTotalSize = sizeof tooSmall - 4;
    EXPECT_EQ(os::lineGetDevCaps(app, 0, version, 0, &tooSmall), os::LINEERR_STRUCTURETOOSMALL);
    os::LINEADDRESSCAPS address;
    EXPECT_EQ(os::lineGetAddressCaps(app, 0, 2, version, 0, &address), os::LINEERR_INVALADDRESSID);
    EXPECT_EQ(os::lineGetDevCaps(app, 1, version, 0, &small), os::LINEERR_BADDEVICEID);
    EXPECT_EQ(os::lineGetDevCaps(app, 0, 0x00010003, 0, &small), os::LINEERR_INCOMPATIBLEAPIVERSION);
    os::DWORD api = 0;
    os::LINEEXTENSIONID extension;
    EXPECT_EQ(os::lineNegotiateAPIVersion(app, 0, 0x00010004, 0x00030000, &api, &extension), 0);
    EXPECT_EQ(api, os::TAPI_CURRENT_VERSION);
    EXPECT_EQ(os::lineNegotiateAPIVersion(app, 0, 0x00030000, 0x00040000, &api, &extension),
              os::LINEERR_INCOMPATIBLEAPIVERSION);
    EXPECT_EQ(os::lineShutdown(app), 0);
    EXPECT_EQ(os::lineGetDevCaps(app, 0, version, 0, &small), os::LINEERR_INVALAPPHANDLE) << "after the shutdown";
    EXPECT_EQ(os::lineShutdown(app), os::LINEERR_INVALAPPHANDLE);
}

TEST_F(PhoneTest, WithoutACellularLineThereIsNoOwnNumber)
{
    Configure(false, false);
    int grown = 0;
    EXPECT_EQ(OwnNumber(&grown), "");
    os::HLINEAPP app = nullptr;
    os::DWORD devices = 5;
    os::DWORD version = os::TAPI_CURRENT_VERSION;
    ASSERT_EQ(os::lineInitializeEx(&app, nullptr, nullptr, "kestrava", &devices, &version, nullptr), 0);
    EXPECT_EQ(devices, 0u);
    os::LINEDEVCAPS caps;
    EXPECT_EQ(os::lineGetDevCaps(app, 0, version, 0, &caps), os::LINEERR_BADDEVICEID);
    EXPECT_EQ(os::lineShutdown(app), 0);
}

TEST_F(PhoneTest, AFreshStartForgetsTheConfiguredPhone)
{
    Configure(false, true, "+15550100");
    PlatformTest::TearDown();
    PlatformTest::SetUp();
    const os::sim::PhoneConfig fresh = os::sim::CurrentPhone();
    EXPECT_TRUE(fresh.line);
    EXPECT_FALSE(fresh.smsFails);
    EXPECT_TRUE(fresh.outboxPath.empty());
    int grown = 0;
    EXPECT_EQ(OwnNumber(&grown), "+821012345678");
}

}  // namespace
