// The recorder's video encoder: the handset's codec block (platform
// video_codec.h), one instance for the whole process, turning one planar
// 4:2:0 frame in a physical buffer into one MPEG-4 VOP, plus the VOL header
// that goes in front of the first frame of each file.
//
// Order: MFC_Initialize; MFC_SetDefaults, adjust, MFC_Apply; MFC_Open;
// MFC_AllocInputFrame; per frame MFC_EncodeFrame, per file MFC_ReadHeader;
// MFC_ChangeQuality while open; MFC_Close (or MFC_FreeBuffers on power loss,
// which releases the memory and leaves the codec alone); MFC_FreeInputFrame.
// Results are 1 or 0; each failing step traces its line and leaves the
// encoder closed (MFC_ChangeQuality: see there). State is process-wide and
// unguarded: every call is made under the recorder lock, so the streaming
// thread's encodes, the window thread's quality change and the close never
// overlap.
#pragma once

#include <cstdint>

#include "platform/media/phys_mem.h"

// A physically contiguous buffer: bus address, virtual address, allocation
// handle, size.
using PhysBuffer = os::PhysMemBlock;

constexpr int kMfcMaxFrameBuffers = 4;
constexpr int kMfcFrameTimeoutMs = 5000;
constexpr int kMfcQuantParam = 10;

// In the order the codec's parameter block has them.
struct EncoderParams {
    int standard = 0;        // 0 MPEG-4, 1 H.263, 2 H.264 (the handset's stand-in encodes MPEG-4 only)
    int width = 320;         // the preview size; MOV_Init sets the graph's
    int height = 240;
    int bitRateKbps = 384;
    int rotationAngle = 0;   // 90 or 270 swaps width and height for the encoder
    int mirrorDirection = 0;
    int rotationEnable = 0;  // 1: rotation and mirroring commands after the open
    int h264Params[3] = {0, 0, 0};
    int wholeFrameBuffer = 1;  // bitstream buffer of width x height x 3 / 2 rounded up to 1024
    int ringBufferMode = 0;    // 1: a 1024-byte ring; 0 with wholeFrameBuffer 0: 256 KiB
    int intraQp = -1;          // -1: rate control chooses
    int frameRate = 30;        // 24 on the "sgh-i900"
};

struct EncodedFrame {
    int size = 0;
    std::uint8_t* data = nullptr;  // virtual address of the bitstream buffer
    std::uint32_t phys = 0;        // its bus address
    int picType = 0;               // 0 intra, other values predicted
};

// Takes over the codec from any active driver instance, then starts its library.
int MFC_Initialize();
void MFC_SetDefaults(EncoderParams* params);
// Copies the block into the encoder state for the next open; 0 for null.
int MFC_Apply(const EncoderParams* params);
int MFC_Open();
// One frame of the applied size: luma at the start, Cb at + width x height,
// Cr at + width x height x 5 / 4. 1 when a VOP was produced into *out (valid
// until the next encode); 0 when the codec failed or timed out
// (kMfcFrameTimeoutMs) or produced nothing: the caller skips the frame.
int MFC_EncodeFrame(const PhysBuffer* input, EncodedFrame* out, int forceIntra);
// Copies the VOL header of the open into destination; its length, or 0 when
// there is none or it does not fit capacity.
int MFC_ReadHeader(std::uint8_t* destination, int capacity);
int MFC_Close();
// Reopens at videoKbps with the other applied parameters unchanged. On
// failure the encoder is reopened with the previous parameters (still usable
// at the previous rate when that succeeds) and 0 is returned for the caller
// to log; a rate the codec refuses takes that path. A rate of 0 or less
// changes nothing.
int MFC_ChangeQuality(int videoKbps);
int MFC_FreeBuffers();
// Copies a camera picture (planar YV12: Y, V, U) into the encoder's input
// (Y, Cb, Cr), swapping the chroma planes on the way.
void MFC_CopyCapture(const std::uint8_t* yv12, int width, int height, const PhysBuffer* input);
// width x height x 1.5 bytes of physical memory for the encoder's input.
int MFC_AllocInputFrame(int width, int height, PhysBuffer* frame);
int MFC_FreeInputFrame(PhysBuffer* frame);
