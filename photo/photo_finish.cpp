#include "photo/photo_finish.h"

#include <cmath>

#include "photo/photo_files.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/windows/window.h"
#include "recorder/mov.h"
#include "sensing/nmea_parser.h"
#include "storage/path_text.h"

namespace {

std::string FileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void PhotoInit(PhotoState* photo)
{
    if (photo->lockMade) return;
    os::InitializeCriticalSection(&photo->lock);
    photo->lockMade = true;
}

void PhotoDeinit(PhotoState* photo)
{
    if (!photo->lockMade) return;
    os::DeleteCriticalSection(&photo->lock);
    photo->lockMade = false;
}

PhotoPosition ReadPhotoPosition(GpsState* gps)
{
    PhotoPosition position;
    if (gps == nullptr || !gps->locksMade) return position;
    os::EnterCriticalSection(&gps->parserLock);
    if (gps->parser != nullptr && gps->parser->IsPositionValid()) {
        const NmeaGga& gga = gps->parser->Gga();
        position.latitude = gga.latitude;
        position.longitude = gga.longitude;
        position.altitude = gga.altitude;
        position.valid = std::isfinite(gga.latitude) && std::isfinite(gga.longitude) && std::isfinite(gga.altitude);
    }
    os::LeaveCriticalSection(&gps->parserLock);
    return position;
}

std::string PhotoSaveMessage(const PhotoPosition& position, const std::string& path)
{
    const std::string name = FileNameOf(path);
    if (!position.valid) return FormatText("Save %s", name.c_str());
    return FormatText("Lat.:%.2f, Lon.:%.2f\n Save %s", position.latitude, position.longitude, name.c_str());
}

int TakePhoto(PhotoState* photo, os::HWND hwnd, const char* target)
{
    if (!photo->lockMade || target == nullptr || *target == '\0') return 0;
    os::EnterCriticalSection(&photo->lock);
    const os::DWORD now = os::GetTickCount();
    if (photo->capturing && now - photo->captureStartTick < kStillWaitMs) {
        os::LeaveCriticalSection(&photo->lock);
        return 0;
    }
    photo->target = target;
    photo->capturing = 1;
    photo->captureStartTick = now;
    os::GetLocalTime(&photo->captureStart);
    os::LeaveCriticalSection(&photo->lock);
    // The still is triggered outside the photo lock: the recorder side takes
    // its own lock, and the finisher may run on another thread meanwhile.
    const int taken = PreparePhotoTemp() && MOV_SnapShot(hwnd, kPhotoTempFile);
    if (!taken) {
        os::EnterCriticalSection(&photo->lock);
        photo->capturing = 0;
        os::LeaveCriticalSection(&photo->lock);
    }
    return taken;
}

int FinishPhoto(PhotoState* photo, GpsState* gps, const char* tempPath, os::HWND hwnd)
{
    if (!photo->lockMade || tempPath == nullptr) return 0;
    const PhotoPosition position = ReadPhotoPosition(gps);
    os::EnterCriticalSection(&photo->lock);
    std::string target = photo->target;
    if (target.empty()) {
        // A still nobody asked for: it stays where it was written.
        os::LeaveCriticalSection(&photo->lock);
        return 0;
    }
    const char* source = tempPath;
    if (position.valid) {
        RefreshExifIdentity(&photo->identity);
        os::SYSTEMTIME now;
        os::GetLocalTime(&now);
        if (PreparePhotoTemp() && WriteExif(photo->identity, now, tempPath, kPhotoExifTempFile, position.latitude,
                                            position.longitude, position.altitude))
            source = kPhotoExifTempFile;
    }
    const int saved = MoveFileByCopy(source, &target);
    if (source != tempPath) {
        // The EXIF copy was only a step: the captured file is what stays when it could not be moved.
        if (saved) os::DeleteFileW(tempPath);
        else os::DeleteFileW(kPhotoExifTempFile);
    }
    photo->saved = saved ? target : std::string();
    photo->message = saved ? PhotoSaveMessage(position, target)
                           : FormatText("Photo not saved: %s", FileNameOf(target).c_str());
    photo->capturing = 0;
    photo->target.clear();
    os::GetLocalTime(&photo->captureEnd);
    os::LeaveCriticalSection(&photo->lock);
    if (hwnd != nullptr) os::PostMessageW(hwnd, WM_RECORDER_PHOTO_MESSAGE, saved, 0);
    return saved;
}
