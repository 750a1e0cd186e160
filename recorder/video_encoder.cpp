#include "recorder/video_encoder.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/media/video_codec.h"
#include "platform/registry/registry.h"

namespace {

constexpr os::DWORD kRingBufferBytes = 1024;
constexpr os::DWORD kDefaultBitstreamBytes = 256 * 1024;
constexpr int kMaxSide = 4096;  // keeps the buffer sizes within 32 bits

struct EncoderState {
    EncoderParams params;
    os::VpuEncHandle handle = 0;
    os::HANDLE irq = nullptr;
    int encWidth = 0;   // the codec's picture size (rotation swaps the preview's)
    int encHeight = 0;
    PhysBuffer bitstream;
    PhysBuffer searchRam;
    PhysBuffer frames[kMfcMaxFrameBuffers];
    std::vector<std::uint8_t> header;
};

EncoderState& Enc()
{
    static EncoderState state;
    return state;
}

// A block the platform no longer knows (it was restarted) is forgotten all the same.
void Free(PhysBuffer* block)
{
    if (block->handle != 0 && !os::FreePhysMem(block)) os::Trace("MFC: stale physical block 0x%x\r\n", block->phys);
    *block = {};
}

void FreeCodecBuffers()
{
    Free(&Enc().bitstream);
    Free(&Enc().searchRam);
    for (PhysBuffer& f : Enc().frames) Free(&f);
}

bool Alloc(os::DWORD size, PhysBuffer* block, const char* what)
{
    if (os::AllocPhysMem(size, block)) return true;
    os::Trace("MFC_Open: no physical memory for the %s (%u bytes)\r\n", what, size);
    return false;
}

// Starting the library again is harmless, and a close shuts it down: the
// open of a quality change brings it back up.
bool LibraryUp(os::DWORD* version)
{
    if (os::VPU_Init(version) == os::VPU_RET_SUCCESS) return true;
    os::Trace(" Failt to VPU_Initialize \r\n");
    return false;
}

// Ends the codec instance, answering a picture still in progress by reading it out.
void CloseInstance()
{
    if (Enc().handle == 0) return;
    os::VpuRet ret = os::VPU_EncClose(Enc().handle);
    if (ret == os::VPU_RET_FRAME_NOT_COMPLETE) {
        os::VpuEncOutputInfo ignored;
        os::VPU_EncGetOutputInfo(Enc().handle, &ignored);
        ret = os::VPU_EncClose(Enc().handle);
    }
    if (ret != os::VPU_RET_SUCCESS) os::Trace("VPU_EncClose failed Error code is 0x%x \r\n", ret);
    Enc().handle = 0;
    Enc().irq = nullptr;
}

int FailOpen()
{
    CloseInstance();
    FreeCodecBuffers();
    Enc().header.clear();
    return 0;
}

// Removes the active instance of the codec's stream driver. The platform has
// no device manager, so its registration is the "Drivers\Active" entry
// itself: deleting that entry is the deregistration.
void DeregisterActiveDriver()
{
    os::HKEY active = nullptr;
    if (os::RegOpenKeyExW(os::HKEY_LOCAL_MACHINE, "Drivers\\Active", 0, os::KEY_ALL_ACCESS, &active) !=
        os::ERROR_SUCCESS)
        return;
    std::string sub;
    for (os::DWORD i = 0; os::RegEnumKeyExW(active, i, &sub) == os::ERROR_SUCCESS;) {
        os::HKEY key = nullptr;
        std::string name;
        if (os::RegOpenKeyExW(active, sub.c_str(), 0, os::KEY_READ, &key) == os::ERROR_SUCCESS) {
            os::RegQueryString(key, "Name", &name);
            os::RegCloseKey(key);
        }
        if (name == "MFC1:" && os::RegDeleteKeyW(active, sub.c_str()) == os::ERROR_SUCCESS) continue;
        ++i;
    }
    os::RegCloseKey(active);
}

bool GiveCommand(os::VpuCommand command, void* param, const char* name)
{
    const os::VpuRet ret = os::VPU_EncGiveCommand(Enc().handle, command, param);
    if (ret == os::VPU_RET_SUCCESS) return true;
    os::Trace("VPU_EncGiveCommand ( %s ) failed Error code is 0x%x\r\n", name, ret);
    return false;
}

bool Rotate()
{
    const EncoderParams& p = Enc().params;
    int angle = p.rotationAngle;
    int direction = p.mirrorDirection;
    return GiveCommand(os::ENABLE_ROTATION, nullptr, "ENABLE_ROTATION") &&
           GiveCommand(os::ENABLE_MIRRORING, nullptr, "ENABLE_MIRRORING") &&
           GiveCommand(os::SET_ROTATION_ANGLE, &angle, "SET_ROTATION_ANGLE") &&
           GiveCommand(os::SET_MIRROR_DIRECTION, &direction, "SET_MIRROR_DIRECTION");
}

}  // namespace

int MFC_Initialize()
{
    DeregisterActiveDriver();
    os::Sleep(100);
    os::DWORD version = 0;
    if (!LibraryUp(&version)) return 0;
    os::Trace(" Success to VPU_Initialize version=0x%x\r\n", version);
    return 1;
}

void MFC_SetDefaults(EncoderParams* params)
{
    if (params) *params = EncoderParams{};
}

int MFC_Apply(const EncoderParams* params)
{
    if (!params) return 0;
    Enc().params = *params;
    return 1;
}

int MFC_Open()
{
    EncoderState& e = Enc();
    const EncoderParams& p = e.params;
    if (e.handle != 0) {
        os::Trace("MFC_Open: the encoder is already open\r\n");
        return 0;
    }
    if (p.standard < 0 || p.standard > 2) {
        os::Trace("Invalid codec standard mode \r\n");
        return 0;
    }
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxSide || p.height > kMaxSide) {
        os::Trace("MFC_Open: bad picture size %dx%d\r\n", p.width, p.height);
        return 0;
    }
    os::DWORD version = 0;
    if (!LibraryUp(&version)) return 0;
    const bool swap = p.rotationEnable && (p.rotationAngle == 90 || p.rotationAngle == 270);
    e.encWidth = swap ? p.height : p.width;
    e.encHeight = swap ? p.width : p.height;
    const os::DWORD picture = static_cast<os::DWORD>(e.encWidth) * e.encHeight * 3 / 2;
    const os::DWORD bitstreamBytes = p.wholeFrameBuffer ? (picture + 1023) / 1024 * 1024
                                     : p.ringBufferMode ? kRingBufferBytes
                                                        : kDefaultBitstreamBytes;
    if (!Alloc(bitstreamBytes, &e.bitstream, "bitstream buffer") ||
        !Alloc(os::VpuSearchRamBytes(e.encWidth), &e.searchRam, "search RAM"))
        return FailOpen();

    os::VpuEncOpenParam op;
    op.bitstreamBuffer = e.bitstream.phys;
    op.bitstreamBufferSize = e.bitstream.size;
    op.bitstreamFormat = p.standard;
    op.picWidth = e.encWidth;
    op.picHeight = e.encHeight;
    op.frameRate = p.frameRate;
    op.bitRate = p.bitRateKbps;
    op.initialDelay = 0;
    op.vbvBufferSize = 0;
    op.enableAutoSkip = 1;
    op.gopSize = 30;
    op.sliceMode = 0;
    op.sliceSizeMode = 0;
    op.sliceSize = 0;
    op.intraRefresh = 0;
    op.rcIntraQp = p.intraQp;
    op.wholeFrameBuffer = p.wholeFrameBuffer;
    op.ringBufferEnable = p.ringBufferMode;
    op.mp4.dataPartitionEnable = 0;
    op.mp4.verid = 2;
    const os::VpuRet opened = os::VPU_EncOpen(&e.handle, &op);
    if (opened != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncOpen failed Error code is 0x%x \r\n", opened);
        e.handle = 0;
        return FailOpen();
    }
    e.irq = os::VPU_EncGetInterruptEvent(e.handle);

    os::VpuSearchRamParam searchRam{e.searchRam.phys, e.searchRam.size};
    os::VpuRet ret = os::VPU_EncGiveCommand(e.handle, os::ENC_SET_SEARCHRAM_PARAM, &searchRam);
    if (ret != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncGiveCommand ( ENC_SET_SEARCHRAM_PARAM ) failed Error code is 0x%x\r\n", ret);
        return FailOpen();
    }
    if (p.rotationEnable && !Rotate()) return FailOpen();

    os::VpuEncInitialInfo info;
    ret = os::VPU_EncGetInitialInfo(e.handle, &info);
    if (ret != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncGetInitialInfo failed Error code is 0x%x \r\n\n", ret);
        return FailOpen();
    }
    const int count = std::min(info.minFrameBufferCount, kMfcMaxFrameBuffers);
    const int stride = (e.encWidth + 15) / 16 * 16;
    const os::DWORD luma = static_cast<os::DWORD>(stride) * e.encHeight;
    os::VpuFrameBuffer registered[kMfcMaxFrameBuffers];
    for (int i = 0; i < count; ++i) {
        if (!Alloc(luma * 3 / 2, &e.frames[i], "frame buffer")) return FailOpen();
        registered[i] = {e.frames[i].phys, e.frames[i].phys + luma, e.frames[i].phys + luma * 5 / 4};
    }
    ret = os::VPU_EncRegisterFrameBuffer(e.handle, registered, count, stride);
    if (ret != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncRegisterFrameBuffer failed Error code is 0x%x \r\n", ret);
        return FailOpen();
    }

    // H.263 streams carry no sequence header; the H.264 parameter sets would
    // come here, but the codec stand-in opens MPEG-4 only.
    e.header.clear();
    if (p.standard == 0) {
        os::VpuEncHeaderParam hp;
        hp.headerType = os::VPU_MP4_VOL_HEADER;
        if (!GiveCommand(os::ENC_PUT_MP4_HEADER, &hp, "ENC_PUT_MP4_HEADER")) return FailOpen();
        const std::uint8_t* at = e.bitstream.virt + (hp.buf - e.bitstream.phys);
        if (!p.ringBufferMode) e.header.assign(at, at + hp.size);
    }
    return 1;
}

int MFC_EncodeFrame(const PhysBuffer* input, EncodedFrame* out, int forceIntra)
{
    EncoderState& e = Enc();
    if (e.handle == 0 || input == nullptr || out == nullptr) return 0;
    const os::DWORD luma = static_cast<os::DWORD>(e.encWidth) * e.encHeight;
    if (e.bitstream.handle == 0) {
        os::Trace("MFC_EncodeFrame: the encoder's buffers were freed\r\n");
        return 0;
    }
    if (input->size < luma * 3 / 2) {
        os::Trace("MFC_EncodeFrame: input of %u bytes for a %dx%d picture\r\n", input->size, e.encWidth,
                  e.encHeight);
        return 0;
    }
    os::VpuEncParam ep;
    ep.sourceFrame = {input->phys, input->phys + luma, input->phys + luma * 5 / 4};
    ep.quantParam = kMfcQuantParam;
    ep.skipPicture = 0;
    ep.forceIPicture = forceIntra ? 1 : 0;
    os::VpuRet ret = os::VPU_EncStartOneFrame(e.handle, &ep);
    if (ret != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncStartOneFrame failed Error code is 0x%x \r\n", ret);
        return 0;
    }
    if (os::WaitForSingleObject(e.irq, kMfcFrameTimeoutMs) != os::WAIT_OBJECT_0) {
        os::Trace("VPU_WaitOneFrame : timeout 5000ms\r\n");
        return 0;
    }
    os::VpuEncOutputInfo info;
    ret = os::VPU_EncGetOutputInfo(e.handle, &info);
    if (ret != os::VPU_RET_SUCCESS) {
        os::Trace("VPU_EncGetOutputInfo failed Error code is 0x%x \r\n", ret);
        return 0;
    }
    if (info.bitstreamWrapAround) os::Trace("Warnning!! BitStream buffer wrap arounded. prepare more large buffer \r\n");
    if (info.bitstreamSize <= 0) return 0;
    out->size = info.bitstreamSize;
    out->data = e.bitstream.virt + (info.bitstreamBuffer - e.bitstream.phys);
    out->phys = info.bitstreamBuffer;
    out->picType = info.picType;
    return 1;
}

int MFC_ReadHeader(std::uint8_t* destination, int capacity)
{
    const std::vector<std::uint8_t>& h = Enc().header;
    if (destination == nullptr || h.empty() || capacity < static_cast<int>(h.size())) return 0;
    std::memcpy(destination, h.data(), h.size());
    return static_cast<int>(h.size());
}

int MFC_Close()
{
    CloseInstance();
    FreeCodecBuffers();
    Enc().header.clear();
    const os::VpuRet down = os::VPU_DeInit();
    if (down != os::VPU_RET_SUCCESS && down != os::VPU_RET_NOT_INITIALIZED)
        os::Trace("VPU_DeInit failed Error code is 0x%x \r\n", down);
    return 1;
}

int MFC_ChangeQuality(int videoKbps)
{
    if (videoKbps <= 0 || Enc().handle == 0) return 0;
    const EncoderParams previous = Enc().params;
    EncoderParams next = previous;
    next.bitRateKbps = videoKbps;
    MFC_Close();
    MFC_Apply(&next);
    if (MFC_Open()) return 1;
    MFC_Apply(&previous);
    MFC_Open();
    return 0;
}

int MFC_FreeBuffers()
{
    FreeCodecBuffers();
    return 1;
}

void MFC_CopyCapture(const std::uint8_t* yv12, int width, int height, const PhysBuffer* input)
{
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const std::size_t chroma = luma / 4;
    std::memcpy(input->virt, yv12, luma);
    std::memcpy(input->virt + luma + chroma, yv12 + luma, chroma);
    std::memcpy(input->virt + luma, yv12 + luma + chroma, chroma);
}

int MFC_AllocInputFrame(int width, int height, PhysBuffer* frame)
{
    if (frame == nullptr || width <= 0 || height <= 0 || width % 2 || height % 2) return 0;
    if (os::AllocPhysMem(static_cast<os::DWORD>(width) * height * 3 / 2, frame)) return 1;
    os::Trace("MFC_AllocInputFrame: no physical memory for %dx%d\r\n", width, height);
    return 0;
}

int MFC_FreeInputFrame(PhysBuffer* frame)
{
    return frame != nullptr && os::FreePhysMem(frame) ? 1 : 0;
}
