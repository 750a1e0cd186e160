#include "app/photo_key.h"

#include <string>

#include "app/app_state.h"
#include "photo/photo_finish.h"
#include "platform/base/trace.h"
#include "storage/folder_layout.h"

bool PhotoKeyMode(int mode)
{
    return mode == 2 || mode == 4 || mode == 5;
}

int TakeDriverPhoto(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    std::string target;
    if (!PrepareTimeFolder(hwnd, kRecordingPhoto) ||
        !MakeRecordingPath(&app->storage, app->storage.TimeFolder.View(), kRecordingPhoto, "jpg", &target, 0)) {
        os::Trace("TakeDriverPhoto: no Photo folder on the storage card");
        return 0;
    }
    if (!TakePhoto(&app->photo, hwnd, target.c_str())) {
        os::Trace("TakeDriverPhoto: no photo taken (one is on its way, or the camera refused)");
        return 0;
    }
    return 1;
}
