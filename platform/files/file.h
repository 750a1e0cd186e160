// Files and folders of the phone, as its file system offers them.
//
// Paths are device paths: backslash-separated (a slash is accepted too),
// absolute from the device root ("\Storage Card\Ardvane\x.avi"; a path
// without a leading backslash also starts at the root, as the phone has no
// current folder). At most MAX_PATH (260) characters, counted as code points
// of the UTF-8 text; longer paths fail with ERROR_FILENAME_EXCED_RANGE.
// Doubled separators and a trailing one are ignored; "." is dropped and ".."
// goes up one folder but never above the root.
//
// Names ignore case and keep it: a lookup takes the exact name when the
// folder holds it, else the first name (in sorted order) equal to it without
// case; a new file or folder is created with the case given. FindFirstFileW
// patterns ("*", "*.*", "name*", "?") ignore case too; "*.*" matches every
// name and "name.*" also matches "name". Letters of ASCII, Latin-1, Greek and
// Cyrillic are folded; other characters compare exactly.
//
// Storage volumes appear as folders of the root ("\Storage Card") while they
// are mounted; their attributes are FILE_ATTRIBUTE_DIRECTORY |
// FILE_ATTRIBUTE_TEMPORARY, and "\<volume>\VOL:" opens for reading. A volume
// with a capacity fills up: WriteFile writes what still fits, then fails
// with ERROR_DISK_FULL. Handles of files on a volume die when it is
// unmounted: every later call on them but CloseHandle fails with
// ERROR_DEVICE_NOT_AVAILABLE, even after the volume comes back.
//
// Symbolic links on the host are not part of the device: a path through one
// fails with ERROR_ACCESS_DENIED and listings leave them out. The program's
// own folder is read-only: every call that would change something in it
// fails with ERROR_ACCESS_DENIED.
//
// File handles (and "VOL:" and store handles) are closed with CloseHandle;
// search handles with FindClose, FindCloseStore or FindClosePartition. A
// file cannot be deleted, moved or opened against the share mode while it
// is open; a read-only file cannot be written, truncated, deleted or moved.
// Every failure sets the thread's last error; none throws.
#pragma once

#include <string>

#include "platform/base/types.h"

namespace os {

// Error codes of the file system beyond those of types.h.
constexpr LONG ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr LONG ERROR_NOT_SAME_DEVICE = 17;
constexpr LONG ERROR_NO_MORE_FILES = 18;
constexpr LONG ERROR_NOT_READY = 21;
constexpr LONG ERROR_GEN_FAILURE = 31;
constexpr LONG ERROR_NEGATIVE_SEEK = 131;
constexpr LONG ERROR_DIRECTORY = 267;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh = 0;
    DWORD nFileSizeLow = 0;
    std::string cFileName;
};

// The entries of a folder matching the last component of the path, which
// may hold wildcards. Files and folders alike; no "." or ".." entries.
// ERROR_FILE_NOT_FOUND when nothing matches, ERROR_PATH_NOT_FOUND when the
// folder does not exist. The entries are those present at the first call.
// Times are the host's: creation and last write both give the modification
// time. Folders report size 0.
HANDLE FindFirstFileW(const char* pattern, WIN32_FIND_DATAW* data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

// A file without other attributes reports FILE_ATTRIBUTE_NORMAL.
DWORD GetFileAttributesW(const char* path);
// Sets READONLY, HIDDEN, SYSTEM, ARCHIVE and TEMPORARY (NORMAL alone clears
// them; DIRECTORY is ignored). A volume root or the program folder refuses
// with ERROR_ACCESS_DENIED. Where the host cannot keep the attributes other
// than READONLY, setting one fails with ERROR_NOT_SUPPORTED.
BOOL SetFileAttributesW(const char* path, DWORD attributes);

BOOL CreateDirectoryW(const char* path, void* security);
BOOL RemoveDirectoryW(const char* path);

// access: GENERIC_READ and/or GENERIC_WRITE (0 opens for size queries).
// On success last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or
// OPEN_ALWAYS found the file, else ERROR_SUCCESS. The attributes of
// flagsAndAttributes are given to a file that is created or replaced.
HANDLE CreateFileW(const char* path, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flagsAndAttributes, HANDLE templateFile);
// At the end of the file ReadFile succeeds with 0 bytes read.
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
// Without distanceHigh the distance is a signed 32-bit value. Returns the
// low part of the new position; INVALID_SET_FILE_POINTER with a last error
// other than ERROR_SUCCESS on failure (a position before the start fails
// with ERROR_NEGATIVE_SEEK and leaves the position).
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
BOOL SetFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD method);
// Cuts or extends the file at the current position.
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
// INVALID_FILE_SIZE with a last error other than ERROR_SUCCESS on failure.
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL GetFileSizeEx(HANDLE file, LONGLONG* size);

// Files move within and between volumes; folders only within one volume
// (ERROR_NOT_SAME_DEVICE otherwise). Fails with ERROR_ALREADY_EXISTS when
// the destination exists, unless it differs from the source only in case.
BOOL MoveFileW(const char* existing, const char* destination);
// Copies the content and the attributes. With failIfExists an existing
// destination fails with ERROR_FILE_EXISTS.
BOOL CopyFileW(const char* existing, const char* destination, BOOL failIfExists);
BOOL DeleteFileW(const char* path);

// Byte counts of the volume holding path (any existing file or folder; null
// means the root). A volume with a capacity reports it, less the bytes of
// its files; other places report the host file system they live on. Any of
// the three outputs may be null.
BOOL GetDiskFreeSpaceExW(const char* path, ULONGLONG* freeBytesToCaller, ULONGLONG* totalBytes,
                         ULONGLONG* totalFreeBytes);

// The device path of the running program ("\Program Files\Kestrava\kestrava.exe"
// unless the simulator names another). Only the program itself (module null)
// is known. Returns its length in characters; a name of maxChars or more is
// cut to maxChars - 1 characters, and maxChars is returned with
// ERROR_INSUFFICIENT_BUFFER. 0 on failure.
DWORD GetModuleFileNameW(HMODULE module, std::string* fileName, DWORD maxChars);

}  // namespace os
