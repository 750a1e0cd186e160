// The accident SMS against the simulated network: what reaches the outbox
// for each handset model, which recipients are refused, and the phone's own
// number found through the telephony service.
#include "sensing/accident_sms.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/devices/device.h"
#include "platform/phone/phone_sim.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

class AccidentSms : public testing_support::PlatformTest {
protected:
    void Use(const char* model, bool line = true)
    {
        os::sim::DeviceProfile device = os::sim::CurrentDeviceProfile();
        device.oemInfo = model;
        ASSERT_TRUE(os::sim::ConfigureDevice(device));
        os::sim::PhoneConfig phone;
        phone.line = line;
        phone.number = "+821055556666";
        phone.outboxPath = outbox_;
        os::sim::ConfigurePhone(phone);
    }

    std::vector<nlohmann::json> Sent() const
    {
        std::vector<nlohmann::json> lines;
        std::ifstream in(outbox_);
        for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
        return lines;
    }

    testing_support::TempFolder folder_;
    std::string outbox_ = folder_ / "outbox.jsonl";
};

TEST_F(AccidentSms, TheOwnNumberTravelsInTheHeaderOnlyOnTheModelsThatWantIt)
{
    struct Case {
        const char* model;
        bool line;
        std::string header;
    };
    const Case cases[] = {{"SCH-M715", true, "+821055556666"}, {"sph-m8400", true, "+821055556666"},
                          {"SCH-M710", false, ""},  // no line: no own number, the message still goes
                          {"SCH-M490", true, ""},  {"SCH-M7150", true, ""}};
    for (const Case& c : cases) {
        Use(c.model, c.line);
        const std::size_t before = Sent().size();
        EXPECT_EQ(SmsSendAccident("01099998888", "사고가 났습니다 / accident", 1), 1) << c.model;
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), before + 1) << c.model;
        const auto& message = sent.back();
        EXPECT_EQ(message["to"], "01099998888");
        EXPECT_EQ(message["address_type"], 1);
        EXPECT_EQ(message["text"], "사고가 났습니다 / accident");
        EXPECT_EQ(message["status_report"], true);
        EXPECT_EQ(message["header"], c.header) << c.model;
    }
    EXPECT_EQ(SmsSendAccident("01099998888", "no report", 0), 1);
    EXPECT_EQ(Sent().back()["status_report"], false);
}

TEST_F(AccidentSms, RecipientsThatAreNotPhoneNumbersOrBadTextSendNothing)
{
    Use("SCH-M715");
    for (const std::string& to : {std::string(), std::string("+821099998888"), std::string("010-9999"),
                                  std::string("0109 99"), std::string(300, '1')}) {
        EXPECT_FALSE(IsValidSmsRecipient(to)) << to;
        EXPECT_EQ(SmsSendAccident(to.c_str(), "text", 1), 0) << to;
    }
    EXPECT_EQ(SmsSendAccident("0101234", "\xff\xfe not UTF-8", 1), 0);
    EXPECT_EQ(SmsSendAccident(nullptr, "text", 1), 0);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(IsValidSmsRecipient(std::string(255, '9')));
}

TEST_F(AccidentSms, OwnNumberIsCutToTheBufferAndFailsWithoutACellularLine)
{
    Use("SCH-M715");
    char number[kOwnNumberCapacity];
    EXPECT_EQ(GetOwnPhoneNumber(number, sizeof number, 1), os::S_OK);
    EXPECT_STREQ(number, "+821055556666");
    EXPECT_EQ(GetOwnPhoneNumber(number, 5, 0), os::S_OK);
    EXPECT_STREQ(number, "+821");
    EXPECT_EQ(GetOwnPhoneNumber(number, sizeof number, 7), os::E_FAIL) << "no such address";
    EXPECT_STREQ(number, "");
    Use("SCH-M715", false);
    std::strcpy(number, "stale");
    EXPECT_EQ(GetOwnPhoneNumber(number, sizeof number, 1), os::E_FAIL);
    EXPECT_STREQ(number, "");
}

}  // namespace
