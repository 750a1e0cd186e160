#include "photo/photo_files.h"

#include <cctype>
#include <memory>
#include <string>
#include <new>

#include "photo/jpeg_head.h"
#include "platform/files/file.h"
#include "platform/kernel/sync.h"
#include "storage/path_text.h"
#include "storage/time_ops.h"

namespace {

constexpr os::ULONGLONG kOneSecond = 10000000;  // in the 100 ns units of time_ops

// The two files of a copy: what is still open at the end is closed, and a
// destination that was not finished is removed.
struct CopyFiles {
    os::HANDLE source = os::INVALID_HANDLE_VALUE;
    os::HANDLE destination = os::INVALID_HANDLE_VALUE;
    std::string destinationPath;

    // Closes the completed destination; one whose close fails (its last bytes
    // not stored) is removed.
    bool Finish()
    {
        const bool closed = os::CloseHandle(destination) != 0;
        destination = os::INVALID_HANDLE_VALUE;
        if (!closed) os::DeleteFileW(destinationPath.c_str());
        return closed;
    }

    ~CopyFiles()
    {
        if (source != os::INVALID_HANDLE_VALUE) os::CloseHandle(source);
        if (destination != os::INVALID_HANDLE_VALUE) {
            os::CloseHandle(destination);
            os::DeleteFileW(destinationPath.c_str());
        }
    }
};

bool WriteAll(os::HANDLE file, const void* bytes, std::size_t count)
{
    os::DWORD written = 0;
    return os::WriteFile(file, bytes, static_cast<os::DWORD>(count), &written, nullptr) && written == count;
}

// Copies the rest of the source to the destination in blocks.
bool CopyRest(os::HANDLE source, os::HANDLE destination)
{
    const std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kPhotoCopyBlock]);
    if (!block) return false;
    for (;;) {
        os::DWORD got = 0;
        if (!os::ReadFile(source, block.get(), kPhotoCopyBlock, &got, nullptr)) return false;
        if (got == 0) return true;
        if (!WriteAll(destination, block.get(), got)) return false;
    }
}

os::HANDLE OpenSource(const char* path)
{
    return os::CreateFileW(path, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING,
                           os::FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Digits(const std::string& text, std::size_t at, std::size_t count, int* value)
{
    *value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        *value = *value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

int PreparePhotoTemp()
{
    const os::DWORD attributes = os::GetFileAttributesW(kPhotoTempFolder);
    if (attributes != os::INVALID_FILE_ATTRIBUTES) return (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : 0;
    return os::CreateDirectoryW(kPhotoTempFolder, nullptr) ? 1 : 0;
}

int WriteExif(const ExifIdentity& identity, const os::SYSTEMTIME& time, const char* source, const char* destination,
              double latitude, double longitude, double altitude)
{
    uint8_t segment[kExifSegmentSize];
    if (!BuildExifSegment(identity, time, latitude, longitude, altitude, segment)) return 0;
    CopyFiles files;
    files.source = OpenSource(source);
    if (files.source == os::INVALID_HANDLE_VALUE) return 0;
    os::LONGLONG size = 0;
    if (!os::GetFileSizeEx(files.source, &size) || size < 0) return 0;
    uint8_t probe[kJpegProbeSize];
    os::DWORD got = 0;
    if (!os::ReadFile(files.source, probe, sizeof probe, &got, nullptr)) return 0;
    const std::size_t head = ExifInsertionPoint(probe, got, static_cast<uint64_t>(size));
    if (head == 0) return 0;
    files.destinationPath = destination;
    files.destination = os::CreateFileW(destination, os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS,
                                        os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (files.destination == os::INVALID_HANDLE_VALUE) return 0;
    if (!WriteAll(files.destination, probe, head) || !WriteAll(files.destination, segment, sizeof segment) ||
        !WriteAll(files.destination, probe + head, got - head) || !CopyRest(files.source, files.destination))
        return 0;
    return files.Finish() ? 1 : 0;
}

int MoveFileByCopy(const char* source, std::string* destination)
{
    CopyFiles files;
    files.source = OpenSource(source);
    if (files.source == os::INVALID_HANDLE_VALUE) return 0;
    std::string target = *destination;
    for (int attempt = 0;; ++attempt) {
        files.destination = os::CreateFileW(target.c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW,
                                            os::FILE_ATTRIBUTE_NORMAL, nullptr);
        if (files.destination != os::INVALID_HANDLE_VALUE) break;
        const os::DWORD error = os::GetLastError();
        const bool taken = error == static_cast<os::DWORD>(os::ERROR_FILE_EXISTS) ||
                           error == static_cast<os::DWORD>(os::ERROR_ALREADY_EXISTS);
        if (!taken || attempt + 1 == kPhotoNameAttempts || !NextPhotoName(&target)) return 0;
    }
    files.destinationPath = target;
    if (!CopyRest(files.source, files.destination) || !files.Finish()) return 0;
    os::CloseHandle(files.source);
    files.source = os::INVALID_HANDLE_VALUE;
    os::DeleteFileW(source);
    *destination = target;
    return 1;
}

int NextPhotoName(std::string* path)
{
    const std::size_t slash = path->rfind('\\');
    const std::size_t at = slash == std::string::npos ? 0 : slash + 1;
    const std::string& p = *path;
    os::SYSTEMTIME time;
    int hour, minute, second, year, month, day;
    if (p.size() < at + 16 || p[at + 6] != '_' || p[at + 15] != '.' || !Digits(p, at, 2, &hour) ||
        !Digits(p, at + 2, 2, &minute) || !Digits(p, at + 4, 2, &second) || !Digits(p, at + 7, 4, &year) ||
        !Digits(p, at + 11, 2, &month) || !Digits(p, at + 13, 2, &day))
        return 0;
    time.wHour = static_cast<os::WORD>(hour);
    time.wMinute = static_cast<os::WORD>(minute);
    time.wSecond = static_cast<os::WORD>(second);
    time.wYear = static_cast<os::WORD>(year);
    time.wMonth = static_cast<os::WORD>(month);
    time.wDay = static_cast<os::WORD>(day);
    os::ULONGLONG count = 0;
    if (!SystemTimeToU64(&time, &count) || !U64ToSystemTime(count + kOneSecond, &time) || time.wYear > 9999) return 0;
    *path = p.substr(0, at) + FormatText("%02d%02d%02d_%04d%02d%02d", time.wHour, time.wMinute, time.wSecond,
                                         time.wYear, time.wMonth, time.wDay) + p.substr(at + 15);
    return 1;
}
