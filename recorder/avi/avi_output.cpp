#include "recorder/avi/avi_output.h"

#include <cerrno>

#include "platform/files/file.h"
#include "platform/kernel/sync.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace {

constexpr int kBufferBytes = 64 * 1024;

struct DeviceFile {
    os::HANDLE handle = os::INVALID_HANDLE_VALUE;
};

int WriteCallback(void* opaque, std::uint8_t* buffer, int size)
{
    auto* file = static_cast<DeviceFile*>(opaque);
    os::DWORD written = 0;
    if (!os::WriteFile(file->handle, buffer, static_cast<os::DWORD>(size), &written, nullptr)) {
        return os::GetLastError() == static_cast<os::DWORD>(os::ERROR_DISK_FULL) ? AVERROR(ENOSPC) : AVERROR(EIO);
    }
    return static_cast<int>(written);
}

std::int64_t SeekCallback(void* opaque, std::int64_t offset, int whence)
{
    auto* file = static_cast<DeviceFile*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        os::LONGLONG size = 0;
        return os::GetFileSizeEx(file->handle, &size) ? size : AVERROR(EIO);
    }
    os::DWORD method = os::FILE_BEGIN;
    if (whence == SEEK_CUR) method = os::FILE_CURRENT;
    else if (whence == SEEK_END) method = os::FILE_END;
    else if (whence != SEEK_SET) return AVERROR(EINVAL);
    os::LONGLONG position = 0;
    return os::SetFilePointerEx(file->handle, offset, &position, method) ? position : AVERROR(EIO);
}

}  // namespace

AVIOContext* AviOutputOpen(const char* devicePath)
{
    const os::HANDLE handle = os::CreateFileW(devicePath, os::GENERIC_WRITE, os::FILE_SHARE_READ, nullptr,
                                              os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == os::INVALID_HANDLE_VALUE) return nullptr;
    auto* file = new DeviceFile{handle};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    AVIOContext* pb =
        buffer ? avio_alloc_context(buffer, kBufferBytes, 1, file, nullptr, WriteCallback, SeekCallback) : nullptr;
    if (!pb) {
        av_free(buffer);
        os::CloseHandle(handle);
        delete file;
        return nullptr;
    }
    return pb;
}

int AviOutputMakeDurable(AVIOContext* pb, std::int64_t* durableBytes)
{
    avio_flush(pb);
    if (pb->error < 0) return pb->error;
    auto* file = static_cast<DeviceFile*>(pb->opaque);
    if (!os::FlushFileBuffers(file->handle)) return AVERROR(EIO);
    *durableBytes = avio_tell(pb);
    return 0;
}

int AviOutputClose(AVIOContext** pb)
{
    if (!*pb) return 0;
    avio_flush(*pb);
    int result = (*pb)->error;
    auto* file = static_cast<DeviceFile*>((*pb)->opaque);
    if (!os::CloseHandle(file->handle) && result == 0) result = AVERROR(EIO);
    delete file;
    av_freep(&(*pb)->buffer);
    avio_context_free(pb);
    return result;
}
