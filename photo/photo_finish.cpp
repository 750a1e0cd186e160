#include "photo/photo_finish.h"

#include <cmath>

#include "photo/photo_files.h"
#include "photo/still_decode.h"
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

// Ends the capture in progress (under the photo lock) with its message.
void EndCapture(PhotoState* photo, const std::string& target, int saved, const PhotoPosition& position)
{
    photo->saved = saved ? target : std::string();
    photo->message = saved ? PhotoSaveMessage(position, target)
                           : FormatText("Photo not saved: %s", FileNameOf(target).c_str());
    photo->capturing = 0;
    photo->target.clear();
    os::GetLocalTime(&photo->captureEnd);
}

// The camera's JPEG bytes as a new temporary file; 0, with no file left, when
// any step fails.
int WriteStillFile(const os::BYTE* bytes, os::LONG length)
{
    if (!PreparePhotoTemp()) return 0;
    os::HANDLE file = os::CreateFileW(kPhotoTempFile, os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS,
                                      os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return 0;
    os::DWORD written = 0;
    const bool wrote = os::WriteFile(file, bytes, static_cast<os::DWORD>(length), &written, nullptr) &&
                       written == static_cast<os::DWORD>(length);
    const bool closed = os::CloseHandle(file);
    if (wrote && closed) return 1;
    os::DeleteFileW(kPhotoTempFile);
    return 0;
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
    photo->compressedStill = MOV_StillIsCompressed(hwnd);
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
    EndCapture(photo, target, saved, position);
    os::LeaveCriticalSection(&photo->lock);
    if (hwnd != nullptr) os::PostMessageW(hwnd, WM_RECORDER_PHOTO_MESSAGE, saved, 0);
    return saved;
}

int StillReady(PhotoState* photo, GpsState* gps, const os::BYTE* bytes, os::LONG length, os::HWND hwnd)
{
    if (!photo->lockMade) return 0;
    os::EnterCriticalSection(&photo->lock);
    const std::string target = photo->target;
    os::LeaveCriticalSection(&photo->lock);
    // A still nobody asked for is not shown and not kept.
    if (target.empty()) return 0;
    StillPicture picture;
    if (DecodeStill(bytes, length, &picture))
        MOV_ShowStill(hwnd, picture.rgb.data(), picture.width, picture.height, kPhotoMessageMs);
    if (bytes != nullptr && length > 0 && WriteStillFile(bytes, length))
        return FinishPhoto(photo, gps, kPhotoTempFile, hwnd);
    os::EnterCriticalSection(&photo->lock);
    EndCapture(photo, target, 0, PhotoPosition{});
    os::LeaveCriticalSection(&photo->lock);
    if (hwnd != nullptr) os::PostMessageW(hwnd, WM_RECORDER_PHOTO_MESSAGE, 0, 0);
    return 0;
}
