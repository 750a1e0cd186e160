#include "platform/media/media_types.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace os {

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src)
{
    if (!dst || !src) return E_POINTER;
    *dst = *src;
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
    if (src->cbFormat && src->pbFormat) {
        dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
        if (!dst->pbFormat) {
            *dst = AM_MEDIA_TYPE{};
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
        dst->cbFormat = src->cbFormat;
    }
    if (dst->pUnk) dst->pUnk->AddRef();
    return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& mt)
{
    CoTaskMemFree(mt.pbFormat);
    if (mt.pUnk) mt.pUnk->Release();
    mt = AM_MEDIA_TYPE{};
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src)
{
    auto* mt = new (std::nothrow) AM_MEDIA_TYPE;
    if (!mt) return nullptr;
    if (src && FAILED(CopyMediaType(mt, src))) {
        delete mt;
        return nullptr;
    }
    return mt;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt) return;
    FreeMediaType(*mt);
    delete mt;
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& mt) { CopyMediaType(this, &mt); }
CMediaType::CMediaType(const CMediaType& mt) : AM_MEDIA_TYPE() { CopyMediaType(this, &mt); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& mt)
{
    if (&mt == this) return *this;
    FreeMediaType(*this);
    CopyMediaType(this, &mt);
    return *this;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

bool CMediaType::SetFormat(const void* data, ULONG size)
{
    BYTE* block = size ? static_cast<BYTE*>(CoTaskMemAlloc(size)) : nullptr;
    if (size && !block) return false;
    if (size) std::memcpy(block, data, size);
    CoTaskMemFree(pbFormat);
    pbFormat = block;
    cbFormat = size;
    return true;
}

bool ReadVideoInfo(const AM_MEDIA_TYPE& type, VIDEOINFOHEADER* out)
{
    if (!(type.formattype == FORMAT_VideoInfo) || !type.pbFormat || type.cbFormat < sizeof(VIDEOINFOHEADER)) return false;
    std::memcpy(static_cast<void*>(out), type.pbFormat, sizeof(VIDEOINFOHEADER));
    return true;
}

bool PictureSize(const AM_MEDIA_TYPE& type, int* width, int* height)
{
    VIDEOINFOHEADER vih;
    if (!ReadVideoInfo(type, &vih) || vih.bmiHeader.biHeight == INT32_MIN) return false;
    *width = vih.bmiHeader.biWidth;
    *height = vih.bmiHeader.biHeight < 0 ? -vih.bmiHeader.biHeight : vih.bmiHeader.biHeight;
    return true;
}

int BitsPerPixel(const GUID& subtype)
{
    if (subtype == MEDIASUBTYPE_YV12) return 12;
    if (subtype == MEDIASUBTYPE_RGB565 || subtype == MEDIASUBTYPE_YVYU || subtype == MEDIASUBTYPE_UYVY) return 16;
    if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_IJPG) return 24;
    return 0;
}

CMediaType VideoMediaType(const GUID& subtype, int width, int height, REFERENCE_TIME timePerFrame)
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = subtype;
    mt.formattype = FORMAT_VideoInfo;
    mt.bFixedSizeSamples = subtype == MEDIASUBTYPE_IJPG ? FALSE : TRUE;
    VIDEOINFOHEADER vih;
    const int absHeight = height < 0 ? -height : height;
    vih.rcSource = RECT{0, 0, width, absHeight};
    vih.rcTarget = vih.rcSource;
    vih.AvgTimePerFrame = timePerFrame;
    vih.bmiHeader.biWidth = width;
    vih.bmiHeader.biHeight = height;
    vih.bmiHeader.biBitCount = static_cast<WORD>(BitsPerPixel(subtype));
    vih.bmiHeader.biCompression = subtype == MEDIASUBTYPE_RGB565 ? BI_BITFIELDS
                                  : subtype == MEDIASUBTYPE_RGB24 ? BI_RGB
                                                                  : subtype.Data1;
    vih.bmiHeader.biSizeImage = static_cast<DWORD>(width) * absHeight * vih.bmiHeader.biBitCount / 8;
    mt.lSampleSize = vih.bmiHeader.biSizeImage;
    vih.dwBitRate = static_cast<DWORD>(timePerFrame > 0 ? vih.bmiHeader.biSizeImage * 8ull * 10000000ull / timePerFrame : 0);
    mt.SetFormat(&vih, sizeof vih);
    return mt;
}

CMediaType PcmMediaType(int samplesPerSec, int channels, int bitsPerSample)
{
    CMediaType mt;
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.bFixedSizeSamples = TRUE;
    WAVEFORMATEX wf;
    wf.wFormatTag = WAVE_FORMAT_PCM;
    wf.nChannels = static_cast<WORD>(channels);
    wf.nSamplesPerSec = static_cast<DWORD>(samplesPerSec);
    wf.wBitsPerSample = static_cast<WORD>(bitsPerSample);
    wf.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
    wf.nAvgBytesPerSec = wf.nSamplesPerSec * wf.nBlockAlign;
    mt.lSampleSize = wf.nBlockAlign;
    mt.SetFormat(&wf, sizeof wf);
    return mt;
}

std::string GuidWords(const GUID& id)
{
    std::uint32_t words[4];
    std::memcpy(words, &id, sizeof words);
    char text[64];
    std::snprintf(text, sizeof text, "0x%x, 0x%x, 0x%x, 0x%x", words[0], words[1], words[2], words[3]);
    return text;
}

}  // namespace os
