// The head check and the EXIF insertion on any source file. The input is the
// file a camera driver left in "\temp". Checked for every input:
// - the head check accepts only SOI followed by a segment whose length field
//   (2 to 60) gives the head's length, inside the file and the 64-byte head
//   buffer, and never an EXIF segment right after it;
// - WriteExif succeeds exactly when the check accepts (the position being
//   finite) and then writes the source's head, the 393-byte segment
//   (391 in its length field) and the rest of the source, nothing else;
//   when it fails no destination is left.
#include <stdlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/check.h"
#include "photo/exif_segment.h"
#include "photo/jpeg_head.h"
#include "photo/photo_files.h"
#include "platform/files/file.h"
#include "platform/files/file_sim.h"
#include "platform/kernel/sync.h"

namespace {

bool Prepare()
{
    static const bool ready = [] {
        char root[] = "/tmp/jpeg-head-fuzz-XXXXXX";
        if (::mkdtemp(root) == nullptr) return false;
        os::sim::FileSystemConfig config;
        config.deviceRoot = root;
        std::string error;
        return os::sim::ConfigureFileSystem(config, &error) && PreparePhotoTemp() == 1;
    }();
    return ready;
}

bool Put(const char* path, const uint8_t* data, std::size_t size)
{
    const os::HANDLE file =
        os::CreateFileW(path, os::GENERIC_WRITE, 0, nullptr, os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return false;
    os::DWORD written = 0;
    const bool ok = os::WriteFile(file, data, static_cast<os::DWORD>(size), &written, nullptr) && written == size;
    return os::CloseHandle(file) && ok;
}

std::string Get(const char* path)
{
    const os::HANDLE file = os::CreateFileW(path, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING,
                                            os::FILE_ATTRIBUTE_NORMAL, nullptr);
    FUZZ_CHECK(file != os::INVALID_HANDLE_VALUE);
    std::string content;
    char block[4096];
    os::DWORD got = 0;
    while (os::ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) content.append(block, got);
    os::CloseHandle(file);
    return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size > 1 << 16 || !Prepare()) return 0;
    const std::size_t probe = size < kJpegProbeSize ? size : kJpegProbeSize;
    const std::size_t head = ExifInsertionPoint(data, probe, size);
    if (head != 0) {
        FUZZ_CHECK(head >= 6 && head <= kJpegHeadMax && head <= size);
        FUZZ_CHECK(data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF);
        FUZZ_CHECK(static_cast<std::size_t>((data[4] << 8) | data[5]) + 4 == head);
        FUZZ_CHECK(!(size >= head + 10 && data[head] == 0xFF && data[head + 1] == 0xE1 &&
                     std::memcmp(data + head + 4, "Exif\0\0", 6) == 0));
    }
    // A shorter view of a longer file never accepts more than the whole.
    if (probe > 0 && ExifInsertionPoint(data, probe - 1, size) != 0) FUZZ_CHECK(head != 0);

    // The position is the input's last 24 bytes when there are enough: any
    // doubles, infinities and NaNs among them.
    double position[3] = {37.123456, 127.5, 35.27};
    if (size >= sizeof position) std::memcpy(position, data + size - sizeof position, sizeof position);
    const bool finite = std::isfinite(position[0]) && std::isfinite(position[1]) && std::isfinite(position[2]);

    FUZZ_CHECK(Put("\\temp\\in.jpg", data, size));
    os::DeleteFileW("\\temp\\out.jpg");
    const ExifIdentity identity;
    const os::SYSTEMTIME time{2009, 3, 0, 1, 8, 0, 0, 0};
    const int written =
        WriteExif(identity, time, "\\temp\\in.jpg", "\\temp\\out.jpg", position[0], position[1], position[2]);
    FUZZ_CHECK(written == (head != 0 && finite ? 1 : 0));
    if (!written) {
        FUZZ_CHECK(os::GetFileAttributesW("\\temp\\out.jpg") == os::INVALID_FILE_ATTRIBUTES);
        return 0;
    }
    const std::string out = Get("\\temp\\out.jpg");
    const std::string in(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(out.size() == size + kExifSegmentSize);
    FUZZ_CHECK(out.compare(0, head, in, 0, head) == 0);
    FUZZ_CHECK(static_cast<uint8_t>(out[head]) == 0xFF && static_cast<uint8_t>(out[head + 1]) == 0xE1);
    FUZZ_CHECK(((static_cast<uint8_t>(out[head + 2]) << 8) | static_cast<uint8_t>(out[head + 3])) == 391);
    FUZZ_CHECK(out.compare(head + kExifSegmentSize, std::string::npos, in, head) == 0);
    return 0;
}
