// The handset's video codec block, programmed as its VPU library programs it,
// standing in with libavcodec's MPEG-4 Part 2 encoder. Memory is exchanged
// by bus address (phys_mem.h): the bitstream buffer, the search RAM, the
// reconstruction frames and each source picture.
//
// Calling order: VPU_Init; VPU_EncOpen; VPU_EncGiveCommand(ENC_SET_SEARCHRAM_PARAM);
// VPU_EncGetInitialInfo; VPU_EncRegisterFrameBuffer; VPU_EncGiveCommand
// (ENC_PUT_MP4_HEADER) for the VOL header; per picture VPU_EncStartOneFrame,
// a wait on the instance's interrupt event, VPU_EncGetOutputInfo;
// VPU_EncClose; VPU_DeInit. A call out of order answers
// VPU_RET_WRONG_CALL_SEQUENCE and changes nothing.
//
// What the stand-in does not do: only MPEG-4 is encoded (H.263 and H.264
// opens are refused as invalid parameters), one slice per picture, no
// intra refresh, no rotation or mirroring (those commands are refused); the
// registered frame buffers are checked but libavcodec keeps its own
// reconstruction; a ring-mode bitstream buffer is not drained during the
// encode, so a picture larger than the buffer is reported as a wrap with no
// bytes. The encode runs inside VPU_EncStartOneFrame, on the caller's thread;
// the interrupt event is set before it returns. A picture that the simulator
// makes time out (media_sim.h) is not encoded and never sets the event; the
// instance then counts as busy until its output is read or the next picture
// starts.
//
// Calls are safe from any thread; one instance is meant to be driven by one
// caller at a time. StartPlatform closes every instance and deinitialises.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

namespace os {

enum VpuRet : int {
    VPU_RET_SUCCESS = 0,
    VPU_RET_FAILURE = 1,                    // the codec refused (open fault, no free instance)
    VPU_RET_INVALID_HANDLE = 2,
    VPU_RET_INVALID_PARAM = 3,
    VPU_RET_INVALID_COMMAND = 4,
    VPU_RET_NOT_INITIALIZED = 5,
    VPU_RET_WRONG_CALL_SEQUENCE = 6,
    VPU_RET_FRAME_NOT_COMPLETE = 7,         // a picture is still in the codec
    VPU_RET_INSUFFICIENT_FRAME_BUFFERS = 8,
    VPU_RET_BITSTREAM_FULL = 9,             // the header does not fit the bitstream buffer
};

constexpr DWORD kVpuFirmwareVersion = 0x0313;
constexpr int kVpuMaxInstances = 4;
// Reconstruction plus reference picture.
constexpr int kVpuMinFrameBuffers = 2;

enum VpuStandard : int { VPU_STD_MPEG4 = 0, VPU_STD_H263 = 1, VPU_STD_AVC = 2 };
enum VpuPicType : int { VPU_PIC_I = 0, VPU_PIC_P = 1 };

using VpuEncHandle = std::uint32_t;  // 0: none

struct VpuEncMp4Param {
    int dataPartitionEnable = 0;
    int verid = 2;  // video_object_layer_verid, 1 or 2; libavcodec picks the one it writes
};

struct VpuEncOpenParam {
    DWORD bitstreamBuffer = 0;  // bus address
    DWORD bitstreamBufferSize = 0;
    int bitstreamFormat = VPU_STD_MPEG4;
    int picWidth = 0;   // even, 16..2048
    int picHeight = 0;  // even, 16..2048
    int frameRate = 30;
    int bitRate = 0;    // kbit/s; 0 = rate control off, each picture's quantParam rules
    int initialDelay = 0;
    int vbvBufferSize = 0;
    int enableAutoSkip = 1;
    int gopSize = 30;  // 0 = only the first picture is intra
    int sliceMode = 0;
    int sliceSizeMode = 0;
    int sliceSize = 0;
    int intraRefresh = 0;
    int rcIntraQp = -1;  // -1, or 1..31: the quantiser of forced intra pictures with rate control off
    int wholeFrameBuffer = 1;
    int ringBufferEnable = 0;
    VpuEncMp4Param mp4;
};

enum VpuCommand : int {
    ENC_SET_SEARCHRAM_PARAM = 0,
    ENC_PUT_MP4_HEADER = 1,
    ENC_PUT_AVC_HEADER = 2,
    ENABLE_ROTATION = 3,
    ENABLE_MIRRORING = 4,
    SET_ROTATION_ANGLE = 5,
    SET_MIRROR_DIRECTION = 6,
};

struct VpuSearchRamParam {
    DWORD searchRamAddr = 0;
    DWORD searchRamSize = 0;  // at least VpuSearchRamBytes(width)
};

constexpr int VPU_MP4_VOL_HEADER = 0;
struct VpuEncHeaderParam {
    int headerType = VPU_MP4_VOL_HEADER;
    DWORD buf = 0;  // out: where in the bitstream buffer the header was put
    int size = 0;   // out: its length
};

struct VpuEncInitialInfo {
    int minFrameBufferCount = 0;
};

struct VpuFrameBuffer {
    DWORD bufY = 0;
    DWORD bufCb = 0;
    DWORD bufCr = 0;
};

struct VpuEncParam {
    VpuFrameBuffer sourceFrame;  // packed planes: luma stride = width, chroma stride = width / 2
    int quantParam = 10;         // 1..31
    int forceIPicture = 0;
    int skipPicture = 0;  // 1: nothing is encoded, the output is empty
};

struct VpuEncOutputInfo {
    DWORD bitstreamBuffer = 0;
    int bitstreamSize = 0;
    int picType = VPU_PIC_I;
    int bitstreamWrapAround = 0;  // the picture did not fit the bitstream buffer and was dropped
};

inline DWORD VpuSearchRamBytes(int width) { return static_cast<DWORD>((width + 15) / 16 * 16 * 36 + 2048); }

VpuRet VPU_Init(DWORD* firmwareVersion);
// Refused (VPU_RET_WRONG_CALL_SEQUENCE) while an instance is open.
VpuRet VPU_DeInit();

// Refused with VPU_RET_FAILURE when the simulator makes every open fail or
// all instances are in use.
VpuRet VPU_EncOpen(VpuEncHandle* handle, const VpuEncOpenParam* param);
// VPU_RET_FRAME_NOT_COMPLETE while a picture is in the codec (read the
// output, then close again).
VpuRet VPU_EncClose(VpuEncHandle handle);
// The auto-reset event the codec sets when a picture is done; closed by
// VPU_EncClose. Null for a bad handle.
HANDLE VPU_EncGetInterruptEvent(VpuEncHandle handle);
VpuRet VPU_EncGiveCommand(VpuEncHandle handle, VpuCommand command, void* param);
VpuRet VPU_EncGetInitialInfo(VpuEncHandle handle, VpuEncInitialInfo* info);
// stride: a multiple of 16, at least the width; each buffer laid out as a
// picture of stride x height (chroma stride / 2).
VpuRet VPU_EncRegisterFrameBuffer(VpuEncHandle handle, const VpuFrameBuffer* buffers, int count, int stride);
VpuRet VPU_EncStartOneFrame(VpuEncHandle handle, const VpuEncParam* param);
// Of the last started picture; VPU_RET_FRAME_NOT_COMPLETE when none has
// finished (a timed-out picture: the call then ends it with an empty output).
VpuRet VPU_EncGetOutputInfo(VpuEncHandle handle, VpuEncOutputInfo* info);

}  // namespace os
