// Opening and closing a recording file, the encoder's release, and the
// storage guard's latch.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/base/trace.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/windows/window.h"
#include "recorder/avi/avi_writer.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "recorder/recording_log.h"
#include "sensing/gps_state.h"

static_assert(sizeof(RecorderState::closedEvents) == kAviEventTableBytes, "the writer's whole event table");

namespace {

constexpr os::UINT kIdmButton = 40007;
constexpr os::UINT kIdmRecStop = 40005;
constexpr char kGpsScratchName[] = "kestrava_gps.dat";

bool IsEmpty(const os::SYSTEMTIME& t)
{
    return t.wYear == 0 && t.wMonth == 0 && t.wDay == 0;
}

// The length of the file from the status times, never negative.
std::int64_t RecordingLength(const RecordingStatus& status)
{
    if (IsEmpty(status.startTime)) return 0;
    const std::int64_t length = FileTimeValue(status.stopTime) - FileTimeValue(status.startTime);
    return length > 0 ? length : 0;
}

// The length of what the open file holds: its pictures, or its sound
// without pictures.
std::int64_t MediaLength(const RecorderState* s)
{
    const RecorderTimeline& t = s->timeline;
    if (t.videoFrames > 0) return static_cast<std::int64_t>(t.videoFrames) * s->frameDuration;
    if (s->audioFormat.nAvgBytesPerSec == 0) return 0;
    return static_cast<std::int64_t>(t.bytesWritten * 10000000ull / s->audioFormat.nAvgBytesPerSec);
}

void DeleteGpsScratchFile(const RecorderState* s)
{
    if (s->storage == nullptr) return;
    const std::string scratch =
        std::string(s->storage->TimeFolder.View()) + "\\Video\\" + kGpsScratchName;
    os::DeleteFileW(scratch.c_str());
}

}  // namespace

std::int64_t FileTimeValue(const os::SYSTEMTIME& t)
{
    os::FILETIME ft;
    if (!os::SystemTimeToFileTime(&t, &ft)) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

bool VolumeFreeBytes(const char* path, std::uint64_t* freeBytes)
{
    std::string folder(path);
    const std::size_t slash = folder.find_last_of('\\');
    folder = slash == std::string::npos ? std::string("\\") : folder.substr(0, slash + 1);
    os::ULONGLONG toCaller = 0, total = 0, totalFree = 0;
    if (!os::GetDiskFreeSpaceExW(folder.c_str(), &toCaller, &total, &totalFree)) return false;
    *freeBytes = toCaller;
    return true;
}

RecordingFormats ReadRecordingFormats(RecorderState* s)
{
    RecordingFormats formats;
    os::VIDEOINFOHEADER video{};
    if (s->graph != nullptr && os::SUCCEEDED(CaptureGraph_ReadMediaFormats(s->graph, &video, &formats.audio))) {
        formats.width = video.bmiHeader.biWidth;
        formats.height = video.bmiHeader.biHeight < 0 ? -video.bmiHeader.biHeight : video.bmiHeader.biHeight;
        formats.known = true;
    }
    return formats;
}

int OpenRecordingFile(RecorderState* s, const char* path, const RecordingFormats& formats)
{
    if (path == nullptr || std::strlen(path) >= os::MAX_PATH || !formats.known || !s->encoderOpen) return 0;
    std::memcpy(s->filePath, path, std::strlen(path) + 1);
    s->videoWidth = formats.width;
    s->videoHeight = formats.height;
    s->audioFormat = formats.audio;
    s->timeline = RecorderTimeline{};
    const int mode = s->StreamMode.load();
    const AVCodecID video = mode == 3 ? AV_CODEC_ID_NONE : AV_CODEC_ID_MPEG4;
    const AVCodecID audio = mode == 2 ? AV_CODEC_ID_NONE : AV_CODEC_ID_PCM_S16LE;
    const int result = AVI_Writer_Open(path, video, s->videoWidth, s->videoHeight, s->frameRate, audio,
                                       static_cast<int>(s->audioFormat.nSamplesPerSec), s->audioFormat.nChannels,
                                       s->audioFormat.wBitsPerSample, static_cast<int>(s->videoKbps),
                                       static_cast<int>(s->audioKbps));
    if (result == -1) {
        os::Trace("AVI_Writer_Open fail ret=%d\r\n", result);
        return 0;
    }
    AVI_Writer_ResetTables();
    s->freeAtOpen = 0;
    VolumeFreeBytes(path, &s->freeAtOpen);
    s->storageFullLatched = false;
    s->storageFullCode.store(0);
    s->timeline.fileOpen = true;
    ++s->filesOpened;
    return 1;
}

int CloseRecordingFile(RecorderState* s, int eventClip)
{
    if (!s->timeline.fileOpen) return 1;
    ClosedRecording closed;
    closed.path = s->filePath;
    // A clip is written after the fact: its length is what it holds, not
    // the time its writing took.
    closed.lengthHns = eventClip ? MediaLength(s) : RecordingLength(s->status);
    closed.videoFrames = s->timeline.videoFrames;
    closed.audioFrames = s->timeline.audioFrames;
    closed.bytes = s->timeline.bytesWritten;
    closed.eventClip = eventClip;
    closed.eventTags = static_cast<int>(s->timeline.eventTags);
    const float distance = s->timeline.distanceKm;
    s->timeline = RecorderTimeline{};
    const int result = AVI_Writer_Close(closed.lengthHns, distance);
    s->closedEventCount = std::min(AVI_Writer_GetEventCount(), kAviMaxEventRecords);
    AVI_Writer_GetEventTable(s->closedEvents);
    if (result < 0) {
        os::Trace("AVI_Writer_Close fail ret=%d (%s)\r\n", result, closed.path.c_str());
        closed.closeFailed = 1;
    }
    DeleteGpsScratchFile(s);
    RecordingLog_Add(closed);
    return result < 0 ? 0 : 1;
}

void ReleaseEncoder(RecorderState* s)
{
    if (s->encoderOpen) {
        MFC_Close();
        s->encoderOpen = false;
        s->encoderBuffersFreed = false;
    }
    if (s->inputFrame.handle != 0) MFC_FreeInputFrame(&s->inputFrame);
    s->inputFrame = PhysBuffer{};
}

GpsFix CopyGpsFix(const RecorderState* s)
{
    GpsFix fix{};
    if (s->gps == nullptr || !s->gps->locksMade) return fix;
    os::EnterCriticalSection(&s->gps->lock);
    fix = s->gps->fix;
    os::LeaveCriticalSection(&s->gps->lock);
    return fix;
}

bool LatchStorageFull(RecorderState* s)
{
    if (s->storageFullLatched) return false;
    s->storageFullLatched = true;
    s->storageFullCode.store(kStorageFullCode);
    os::Trace("Recording stops: the card is full or gone (%s)\r\n", s->filePath);
    return true;
}

void PostStorageFullCommands(os::HWND hwnd)
{
    os::PostMessageW(hwnd, os::WM_COMMAND, kIdmButton, 4);
    os::PostMessageW(hwnd, os::WM_COMMAND, kIdmRecStop, 1);
}
