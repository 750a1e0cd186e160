// Media types: what a pin carries (major type, subtype) and its format block
// (VIDEOINFOHEADER for pictures, WAVEFORMATEX for sound), with the ids the
// capture graph uses. AM_MEDIA_TYPE is the plain record pins exchange; its
// format block belongs to whoever holds the record (CopyMediaType and
// FreeMediaType), CMediaType owns one for you.
#pragma once

#include <cstdint>
#include <string>

#include "platform/graphics/bitmap_info.h"
#include "platform/media/com_types.h"

namespace os {

// The ids as the media framework defines them.
constexpr GUID MEDIATYPE_Video = FourCcGuid(FourCc('v', 'i', 'd', 's'));
constexpr GUID MEDIATYPE_Audio = FourCcGuid(FourCc('a', 'u', 'd', 's'));
constexpr GUID MEDIASUBTYPE_YV12 = FourCcGuid(FourCc('Y', 'V', '1', '2'));
constexpr GUID MEDIASUBTYPE_YVYU = FourCcGuid(FourCc('Y', 'V', 'Y', 'U'));
constexpr GUID MEDIASUBTYPE_UYVY = FourCcGuid(FourCc('U', 'Y', 'V', 'Y'));
constexpr GUID MEDIASUBTYPE_M4S2 = FourCcGuid(FourCc('M', '4', 'S', '2'));
constexpr GUID MEDIASUBTYPE_IJPG = FourCcGuid(FourCc('I', 'J', 'P', 'G'));
constexpr GUID MEDIASUBTYPE_PCM = FourCcGuid(0x00000001);
constexpr GUID MEDIASUBTYPE_RGB565{0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID MEDIASUBTYPE_RGB24{0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr GUID FORMAT_VideoInfo{0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr GUID FORMAT_WaveFormatEx{0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate = 0;
    DWORD dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0;
    BITMAPINFOHEADER bmiHeader;
};

// 18 bytes, as it is stored.
struct WAVEFORMATEX {
    WORD wFormatTag = 0;
    WORD nChannels = 0;
    DWORD nSamplesPerSec = 0;
    DWORD nAvgBytesPerSec = 0;
    WORD nBlockAlign = 0;
    WORD wBitsPerSample = 0;
    WORD cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct AM_MEDIA_TYPE {
    GUID majortype = GUID_NULL;
    GUID subtype = GUID_NULL;
    BOOL bFixedSizeSamples = FALSE;
    BOOL bTemporalCompression = FALSE;
    ULONG lSampleSize = 0;
    GUID formattype = GUID_NULL;
    IUnknown* pUnk = nullptr;
    ULONG cbFormat = 0;
    BYTE* pbFormat = nullptr;  // cbFormat bytes from CoTaskMemAlloc
};

// Deep copy (the format block is duplicated); E_OUTOFMEMORY leaves *dst empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees the format block and empties the record.
void FreeMediaType(AM_MEDIA_TYPE& mt);
void DeleteMediaType(AM_MEDIA_TYPE* mt);  // for records handed out by CreateMediaType
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);

// An AM_MEDIA_TYPE that owns its format block.
class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType() = default;
    CMediaType(const AM_MEDIA_TYPE& mt);
    CMediaType(const CMediaType& mt);
    CMediaType& operator=(const AM_MEDIA_TYPE& mt);
    CMediaType& operator=(const CMediaType& mt) { return *this = static_cast<const AM_MEDIA_TYPE&>(mt); }
    ~CMediaType();
    // Replaces the format block with a copy of `size` bytes; false when out of memory.
    bool SetFormat(const void* data, ULONG size);
    // The format block as T when its type and size allow it; null otherwise.
    template <class T>
    const T* FormatAs(const GUID& type) const
    {
        return formattype == type && pbFormat && cbFormat >= sizeof(T) ? reinterpret_cast<const T*>(pbFormat) : nullptr;
    }
};

// A copy of the type's VIDEOINFOHEADER when its format type and size say it
// has one; false otherwise, never reading past the format block.
bool ReadVideoInfo(const AM_MEDIA_TYPE& type, VIDEOINFOHEADER* out);
// The picture size of a type with a VIDEOINFOHEADER, the height made
// positive (a top-down picture has a negative one); false without one or for
// a height that has no positive value.
bool PictureSize(const AM_MEDIA_TYPE& type, int* width, int* height);

// Media types the platform's sources offer.
CMediaType VideoMediaType(const GUID& subtype, int width, int height, REFERENCE_TIME timePerFrame);
CMediaType PcmMediaType(int samplesPerSec, int channels, int bitsPerSample);
// Bits per pixel of the picture subtypes the platform knows (0 for others).
int BitsPerPixel(const GUID& subtype);
// "0x%x, 0x%x, 0x%x, 0x%x" of the id's four 32-bit words, as pin logs show unknown types.
std::string GuidWords(const GUID& id);

}  // namespace os
