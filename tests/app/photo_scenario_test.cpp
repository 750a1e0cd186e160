// A photo taken while the main screen runs: the camera's still path writes
// the capture, the event thread finishes it into the run's "Photo" folder,
// and the main window shows the save message posted to it.
#include "photo/photo_files.h"
#include "photo/photo_finish.h"
#include "platform/files/file.h"
#include "storage/folder_layout.h"
#include "tests/app/main_window_fixture.h"
#include "platform/kernel/sync.h"

namespace {

using testing_support::MainWindowTest;

class PhotoScenarioTest : public MainWindowTest {};

// The first bytes of a device file; empty when it cannot be read.
std::string FileStart(const std::string& path)
{
    const os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                            os::OPEN_EXISTING, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return "";
    char bytes[3] = {};
    os::DWORD got = 0;
    os::ReadFile(file, bytes, sizeof bytes, &got, nullptr);
    os::CloseHandle(file);
    return std::string(bytes, got);
}

TEST_F(PhotoScenarioTest, AStillIsFiledInThePhotoFolderAndAnnouncedOnTheMainWindow)
{
    Start();
    ASSERT_EQ(PrepareTimeFolder(hwnd, kRecordingPhoto), 1);
    std::string target;
    ASSERT_EQ(MakeRecordingPath(&App()->storage, App()->storage.TimeFolder.View(), kRecordingPhoto, "jpg", &target, 0),
              1);
    ASSERT_EQ(TakePhoto(&App()->photo, hwnd, target.c_str()), 1);
    // A second shutter press while the still is on its way is refused.
    EXPECT_EQ(TakePhoto(&App()->photo, hwnd, target.c_str()), 0);
    RunFor(3000);
    EXPECT_EQ(App()->photo.capturing, 0);
    ASSERT_EQ(App()->photo.saved, target);
    const std::string name = target.substr(target.rfind('\\') + 1);
    EXPECT_EQ(std::string(App()->message.text.View()), "Save " + name);
    EXPECT_EQ(os::GetFileAttributesW(kPhotoTempFile), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(FileStart(target), "\xFF\xD8\xFF");

    // The same name again, in the same second: the photo takes the next one.
    ASSERT_EQ(TakePhoto(&App()->photo, hwnd, target.c_str()), 1);
    RunFor(3000);
    ASSERT_FALSE(App()->photo.saved.empty());
    EXPECT_NE(App()->photo.saved, target);
    EXPECT_EQ(FileStart(target), "\xFF\xD8\xFF");
    EXPECT_EQ(FileStart(App()->photo.saved), "\xFF\xD8\xFF");
}

}  // namespace
