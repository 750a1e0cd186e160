#include <gtest/gtest.h>

#include "platform/windows/message_box.h"
#include "platform/base/trace.h"
#include "tests/support/platform_fixture.h"

namespace {

class MessageBoxTest : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::ClearMessageBoxAnswers();
        os::sim::ClearMessageBoxHistory();
    }
};

TEST_F(MessageBoxTest, QueuedAnswersComeFirstThenTheDefaultButton)
{
    os::sim::QueueMessageBoxAnswer(os::IDNO);
    EXPECT_EQ(os::MessageBoxW(nullptr, "GPS?", "Ardvane", os::MB_YESNO | os::MB_ICONQUESTION), os::IDNO);
    EXPECT_EQ(os::MessageBoxW(nullptr, "GPS?", "Ardvane", os::MB_YESNO | os::MB_ICONQUESTION), os::IDYES);
    EXPECT_EQ(os::MessageBoxW(nullptr, "GPS?", "Ardvane", os::MB_YESNO | os::MB_DEFBUTTON2), os::IDNO);
    EXPECT_EQ(os::MessageBoxW(nullptr, "Retry?", "Ardvane", os::MB_YESNOCANCEL | os::MB_DEFBUTTON3), os::IDCANCEL);
    // A default past the last button falls back to the first.
    EXPECT_EQ(os::MessageBoxW(nullptr, "Done", "Ardvane", os::MB_OK | os::MB_DEFBUTTON3), os::IDOK);

    const auto history = os::sim::MessageBoxHistory();
    ASSERT_EQ(history.size(), 5u);
    EXPECT_TRUE(history[0].answerQueued);
    EXPECT_FALSE(history[1].answerQueued);
    EXPECT_EQ(history[0].caption, "Ardvane");
    EXPECT_EQ(history[0].type, os::MB_YESNO | os::MB_ICONQUESTION);
}

TEST_F(MessageBoxTest, AnAnswerThatIsNoButtonIsRefusedAndUsedUp)
{
    os::sim::QueueMessageBoxAnswer(os::IDYES);
    os::sim::QueueMessageBoxAnswer(os::IDCANCEL);
    os::TraceCapture capture;
    EXPECT_EQ(os::MessageBoxW(nullptr, "No card", "Ardvane", os::MB_OK | os::MB_ICONERROR), os::IDOK);
    EXPECT_EQ(os::MessageBoxW(nullptr, "Sure?", "Ardvane", os::MB_OKCANCEL), os::IDCANCEL);
    const auto lines = capture.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("not a button"), std::string::npos);
}

TEST_F(MessageBoxTest, EveryBoxIsLoggedWithItsTextOnOneLine)
{
    os::TraceCapture capture;
    os::MessageBoxW(nullptr, "Fail to import resource dll\nre-install program.", "Ardvane", os::MB_ICONERROR);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("[os]"), std::string::npos);
    EXPECT_NE(lines[0].find("caption=\"Ardvane\""), std::string::npos);
    EXPECT_NE(lines[0].find("text=\"Fail to import resource dll\\nre-install program.\""), std::string::npos);
    EXPECT_NE(lines[0].find("answer=1"), std::string::npos);
    EXPECT_TRUE(capture.ProgramLines().empty());
    EXPECT_EQ(os::sim::MessageBoxHistory().at(0).text, "Fail to import resource dll\nre-install program.");
}

TEST_F(MessageBoxTest, AnUnknownButtonSetIsAnError)
{
    EXPECT_EQ(os::MessageBoxW(nullptr, "?", "Ardvane", 0x0000000E), 0);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(os::sim::MessageBoxHistory().empty());
}

}  // namespace
