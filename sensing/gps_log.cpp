#include "sensing/gps_log.h"

#include <cstring>

#include "app/app_state.h"
#include "platform/kernel/clock.h"
#include "platform/files/file.h"
#include "platform/base/trace.h"
#include "sensing/record_sound.h"

namespace {

constexpr char kStartMark[] = "PGPSSTRT";
constexpr char kEndMark[] = "PGPSFEND";
constexpr std::size_t kMarkBytes = 8;
constexpr std::size_t kPaddingBytes = 56;
constexpr std::size_t kSummaryOffset = kMarkBytes + kPaddingBytes;
constexpr std::size_t kCountOffset = kSummaryOffset + sizeof(RecordingSummary);
constexpr std::size_t kHeaderBytes = kCountOffset + sizeof(uint32_t);
static_assert(kHeaderBytes == 196);

bool WriteAll(os::HANDLE file, const void* data, os::DWORD size)
{
    os::DWORD written = 0;
    return os::WriteFile(file, data, size, &written, nullptr) && written == size;
}

bool WriteHeader(os::HANDLE file, const RecordingSummary& summary, uint32_t count)
{
    uint8_t header[kHeaderBytes] = {};
    std::memcpy(header, kStartMark, kMarkBytes);
    std::memcpy(header + kSummaryOffset, &summary, sizeof summary);
    std::memcpy(header + kCountOffset, &count, sizeof count);
    return WriteAll(file, header, sizeof header);
}

bool WriteTrailer(os::HANDLE file)
{
    uint8_t trailer[kPaddingBytes + kMarkBytes] = {};
    std::memcpy(trailer + kPaddingBytes, kEndMark, kMarkBytes);
    return WriteAll(file, trailer, sizeof trailer);
}

// stop - start in 100-nanosecond units.
int64_t Elapsed(const os::SYSTEMTIME& start, const os::SYSTEMTIME& stop)
{
    os::FILETIME a, b;
    if (!os::SystemTimeToFileTime(&start, &a) || !os::SystemTimeToFileTime(&stop, &b)) return 0;
    return static_cast<int64_t>(os::FileTimeToU64(b) - os::FileTimeToU64(a));
}

// The GPS state of the main window, once GpsInit made its lock.
GpsState* LockedGps(os::HWND hwnd, const char* caller)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || !app->gps.locksMade) {
        os::Trace("%s: GPS is not set up", caller);
        return nullptr;
    }
    os::EnterCriticalSection(&app->gps.lock);
    return &app->gps;
}

int Unlock(GpsState* gps, int result)
{
    os::LeaveCriticalSection(&gps->lock);
    return result;
}

}  // namespace

int GpsLogStart(os::HWND hwnd, const char* path, int playSound)
{
    // The start sound keeps this thread for its length: it plays before the
    // lock, so the GPS reader is never held up by it.
    if (playSound) PlayRecordSound(hwnd, 1);
    GpsState* gps = LockedGps(hwnd, "GpsLogStart");
    if (gps == nullptr) return 0;
    if (gps->logging) return Unlock(gps, 0);
    os::HANDLE file = os::CreateFileW(path, os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, 0, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) {
        os::Trace("GpsLogStart: cannot create %s, error %u", path, os::GetLastError());
        return Unlock(gps, 0);
    }
    if (!WriteHeader(file, RecordingSummary{}, 1)) {
        os::Trace("GpsLogStart: cannot write %s, error %u", path, os::GetLastError());
        os::CloseHandle(file);
        os::DeleteFileW(path);
        return Unlock(gps, 0);
    }
    gps->logFile = file;
    gps->logRecordCount = 1;
    gps->logFailedRecords = 0;
    gps->logSummary = RecordingSummary{};
    gps->logDistanceKm = 0;
    gps->previousLatitude = 0;
    gps->previousLongitude = 0;
    os::GetLocalTime(&gps->logStartTime);
    gps->logSummary.openTime = gps->logStartTime;
    gps->logSummary.firstGps = gps->fix.body.timePosition;
    gps->logging = 1;
    return Unlock(gps, 1);
}

int GpsLogStop(os::HWND hwnd, int playSound)
{
    GpsState* gps = LockedGps(hwnd, "GpsLogStop");
    if (gps == nullptr) return 0;
    if (!gps->logging) return Unlock(gps, 0);
    RecordingSummary& summary = gps->logSummary;
    os::SYSTEMTIME stop;
    os::GetLocalTime(&stop);
    summary.lengthHns = Elapsed(gps->logStartTime, stop);
    summary.closeTime = stop;
    summary.lastGps = gps->fix.body.timePosition;
    summary.distanceKm = gps->logDistanceKm;
    const uint32_t count = gps->logRecordCount > 1 ? gps->logRecordCount - 1 : gps->logRecordCount;
    const bool written = WriteTrailer(gps->logFile) &&
                         os::SetFilePointer(gps->logFile, 0, nullptr, os::FILE_BEGIN) == 0 &&
                         WriteHeader(gps->logFile, summary, count);
    if (!written) os::Trace("GpsLogStop: the log's end is not written, error %u", os::GetLastError());
    if (gps->logFailedRecords > 0) os::Trace("GpsLogStop: the last %u records were lost", gps->logFailedRecords);
    gps->logFailedRecords = 0;
    os::CloseHandle(gps->logFile);
    gps->logFile = nullptr;
    gps->logRecordCount = 0;
    gps->logSummary = RecordingSummary{};
    gps->logDistanceKm = 0;
    os::GetLocalTime(&gps->logStopTime);
    gps->logging = 0;
    Unlock(gps, 1);
    if (playSound) PlayRecordSound(hwnd, 0);
    return 1;
}

void GpsLogAppendFix(GpsState* gps)
{
    GpsFix record = gps->fix;
    record.mark = kGpsFixLogMark;
    record.index = gps->logRecordCount - 1;
    if (WriteAll(gps->logFile, &record, sizeof record)) {
        ++gps->logRecordCount;
        if (gps->logFailedRecords > 0) {
            os::Trace("GpsLogAppendFix: records written again after %u lost", gps->logFailedRecords);
            gps->logFailedRecords = 0;
        }
        return;
    }
    // A full card refuses a record every second: the first loss is traced,
    // then nothing until a record is written again.
    const bool first = gps->logFailedRecords++ == 0;
    if (first) os::Trace("GpsLogAppendFix: record %u not written, error %u", record.index, os::GetLastError());
    // A part of the record may have reached the file: it is cut off, so that
    // the next record and the end of the log go in its place.
    const os::LONGLONG place = kHeaderBytes + static_cast<os::LONGLONG>(record.index) * sizeof record;
    if (!os::SetFilePointerEx(gps->logFile, place, nullptr, os::FILE_BEGIN) || !os::SetEndOfFile(gps->logFile)) {
        if (first) os::Trace("GpsLogAppendFix: the partial record stays, error %u", os::GetLastError());
    }
}
