#include "platform/media/video_codec.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/sync.h"
#include "platform/media/internal/media_faults.h"
#include "platform/media/internal/phys_mem_map.h"

namespace os {

namespace {

struct AvFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

struct Instance {
    VpuEncOpenParam param;
    HANDLE irq = nullptr;
    std::unique_ptr<AVCodecContext, AvFreer> ctx;
    std::unique_ptr<AVFrame, AvFreer> picture;
    std::unique_ptr<AVPacket, AvFreer> packet;
    bool searchRamSet = false;
    bool infoRead = false;
    bool buffersRegistered = false;
    bool busy = false;  // a picture started whose output was not read
    bool hung = false;  // that picture never finishes
    bool intraNext = false;
    std::int64_t pts = 0;
    VpuEncOutputInfo output;
};

struct CodecState {
    std::mutex mu;
    bool initialised = false;
    std::map<VpuEncHandle, std::unique_ptr<Instance>> instances;
    VpuEncHandle nextHandle = 1;
    std::uint64_t picturesInRun = 0;  // every picture started since the platform started
};

CodecState& Codec()
{
    static CodecState state;
    return state;
}

Instance* Find(VpuEncHandle handle)
{
    const auto it = Codec().instances.find(handle);
    return it == Codec().instances.end() ? nullptr : it->second.get();
}

bool Between(int v, int lo, int hi) { return v >= lo && v <= hi; }

bool ValidOpenParam(const VpuEncOpenParam& p)
{
    return p.bitstreamFormat == VPU_STD_MPEG4 && Between(p.picWidth, 16, 2048) && Between(p.picHeight, 16, 2048) &&
           p.picWidth % 2 == 0 && p.picHeight % 2 == 0 && Between(p.frameRate, 1, 60) && Between(p.bitRate, 0, 20000) &&
           p.initialDelay == 0 && p.vbvBufferSize >= 0 && Between(p.enableAutoSkip, 0, 1) &&
           Between(p.gopSize, 1, 1000) && p.sliceMode == 0 && p.sliceSizeMode == 0 && p.sliceSize == 0 &&
           p.intraRefresh == 0 && (p.rcIntraQp == -1 || Between(p.rcIntraQp, 1, 31)) &&
           Between(p.wholeFrameBuffer, 0, 1) && Between(p.ringBufferEnable, 0, 1) &&
           Between(p.mp4.dataPartitionEnable, 0, 1) && Between(p.mp4.verid, 1, 2) && p.bitstreamBufferSize > 0 &&
           detail::PhysToVirt(p.bitstreamBuffer, p.bitstreamBufferSize) != nullptr;
}

// libavcodec's encoder set up as the codec block works: one thread, no
// B-pictures, no scene-cut intra pictures, the VOL header only in extradata.
bool OpenEncoder(Instance& in)
{
    const VpuEncOpenParam& p = in.param;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) return false;
    in.ctx.reset(avcodec_alloc_context3(codec));
    in.picture.reset(av_frame_alloc());
    in.packet.reset(av_packet_alloc());
    if (!in.ctx || !in.picture || !in.packet) return false;
    AVCodecContext* c = in.ctx.get();
    c->width = p.picWidth;
    c->height = p.picHeight;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, p.frameRate};
    c->framerate = AVRational{p.frameRate, 1};
    c->gop_size = p.gopSize;
    c->max_b_frames = 0;
    c->thread_count = 1;
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (p.bitRate > 0) {
        c->bit_rate = static_cast<std::int64_t>(p.bitRate) * 1000;
        if (p.vbvBufferSize > 0) c->rc_buffer_size = p.vbvBufferSize;
    } else {
        c->flags |= AV_CODEC_FLAG_QSCALE;
    }
    if (av_opt_set_int(c->priv_data, "sc_threshold", 1000000000, 0) < 0) return false;
    if (av_opt_set_int(c->priv_data, "data_partitioning", p.mp4.dataPartitionEnable, 0) < 0) return false;
    return avcodec_open2(c, codec, nullptr) == 0 && c->extradata_size > 0;
}

void KeepPhysicalMemory(void*, std::uint8_t*) {}

// Encodes one source picture into the bitstream buffer; false when
// libavcodec fails (the output is then empty). libavcodec reads the source
// where it lies, as the codec block reads it by DMA: the picture wraps the
// physical memory, which stays the pool's.
bool Encode(Instance& in, const VpuEncParam& ep, BYTE* y, BYTE* cb, BYTE* cr)
{
    AVCodecContext* c = in.ctx.get();
    AVFrame* f = in.picture.get();
    const int w = c->width;
    const int h = c->height;
    const int sizes[3] = {w * h, w * h / 4, w * h / 4};
    BYTE* planes[3] = {y, cb, cr};
    for (int i = 0; i < 3; ++i) {
        f->buf[i] = av_buffer_create(planes[i], sizes[i], KeepPhysicalMemory, nullptr, 0);
        if (!f->buf[i]) {
            av_frame_unref(f);
            return false;
        }
        f->data[i] = planes[i];
        f->linesize[i] = i == 0 ? w : w / 2;
    }
    f->format = c->pix_fmt;
    f->width = w;
    f->height = h;
    const bool intra = ep.forceIPicture != 0 || in.intraNext;
    f->pict_type = intra ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    f->pts = in.pts++;
    if (in.param.bitRate == 0) {
        const int qp = intra && in.param.rcIntraQp > 0 ? in.param.rcIntraQp : ep.quantParam;
        f->quality = qp * FF_QP2LAMBDA;
    }
    const int sent = avcodec_send_frame(c, f);
    av_frame_unref(f);
    if (sent < 0) return false;
    AVPacket* pkt = in.packet.get();
    if (avcodec_receive_packet(c, pkt) < 0) return false;
    in.intraNext = false;
    in.output.picType = (pkt->flags & AV_PKT_FLAG_KEY) ? VPU_PIC_I : VPU_PIC_P;
    if (static_cast<DWORD>(pkt->size) <= in.param.bitstreamBufferSize) {
        std::memcpy(detail::PhysToVirt(in.param.bitstreamBuffer, pkt->size), pkt->data, pkt->size);
        in.output.bitstreamSize = pkt->size;
    } else {
        // The picture is lost to the stream, so the next one must not refer to it.
        in.output.bitstreamWrapAround = 1;
        in.intraNext = true;
    }
    av_packet_unref(pkt);
    return true;
}

VpuRet PutHeader(Instance& in, VpuEncHeaderParam* hp)
{
    if (hp == nullptr || hp->headerType != VPU_MP4_VOL_HEADER) return VPU_RET_INVALID_PARAM;
    if (!in.buffersRegistered) return VPU_RET_WRONG_CALL_SEQUENCE;
    if (in.busy) return VPU_RET_FRAME_NOT_COMPLETE;
    const AVCodecContext* c = in.ctx.get();
    if (static_cast<DWORD>(c->extradata_size) > in.param.bitstreamBufferSize) return VPU_RET_BITSTREAM_FULL;
    std::memcpy(detail::PhysToVirt(in.param.bitstreamBuffer, c->extradata_size), c->extradata, c->extradata_size);
    hp->buf = in.param.bitstreamBuffer;
    hp->size = c->extradata_size;
    return VPU_RET_SUCCESS;
}

}  // namespace

VpuRet VPU_Init(DWORD* firmwareVersion)
{
    std::lock_guard lk(Codec().mu);
    Codec().initialised = true;
    if (firmwareVersion) *firmwareVersion = kVpuFirmwareVersion;
    return VPU_RET_SUCCESS;
}

VpuRet VPU_DeInit()
{
    std::lock_guard lk(Codec().mu);
    if (!Codec().initialised) return VPU_RET_NOT_INITIALIZED;
    if (!Codec().instances.empty()) return VPU_RET_WRONG_CALL_SEQUENCE;
    Codec().initialised = false;
    return VPU_RET_SUCCESS;
}

VpuRet VPU_EncOpen(VpuEncHandle* handle, const VpuEncOpenParam* param)
{
    std::lock_guard lk(Codec().mu);
    if (!Codec().initialised) return VPU_RET_NOT_INITIALIZED;
    if (handle == nullptr || param == nullptr || !ValidOpenParam(*param)) return VPU_RET_INVALID_PARAM;
    if (sim::CurrentMediaFaults().encoderOpenFails) return VPU_RET_FAILURE;
    if (Codec().instances.size() >= static_cast<std::size_t>(kVpuMaxInstances)) return VPU_RET_FAILURE;
    auto in = std::make_unique<Instance>();
    in->param = *param;
    if (!OpenEncoder(*in)) return VPU_RET_FAILURE;
    in->irq = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (in->irq == nullptr) return VPU_RET_FAILURE;
    VpuEncHandle h = Codec().nextHandle++;
    if (Codec().nextHandle == 0) Codec().nextHandle = 1;
    Codec().instances.emplace(h, std::move(in));
    *handle = h;
    return VPU_RET_SUCCESS;
}

VpuRet VPU_EncClose(VpuEncHandle handle)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    if (in->busy) return VPU_RET_FRAME_NOT_COMPLETE;
    CloseHandle(in->irq);
    Codec().instances.erase(handle);
    return VPU_RET_SUCCESS;
}

HANDLE VPU_EncGetInterruptEvent(VpuEncHandle handle)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    return in ? in->irq : nullptr;
}

VpuRet VPU_EncGiveCommand(VpuEncHandle handle, VpuCommand command, void* param)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    switch (command) {
    case ENC_SET_SEARCHRAM_PARAM: {
        const auto* sr = static_cast<const VpuSearchRamParam*>(param);
        if (sr == nullptr || sr->searchRamSize < VpuSearchRamBytes(in->param.picWidth) ||
            detail::PhysToVirt(sr->searchRamAddr, sr->searchRamSize) == nullptr)
            return VPU_RET_INVALID_PARAM;
        if (in->infoRead) return VPU_RET_WRONG_CALL_SEQUENCE;
        in->searchRamSet = true;
        return VPU_RET_SUCCESS;
    }
    case ENC_PUT_MP4_HEADER:
        return PutHeader(*in, static_cast<VpuEncHeaderParam*>(param));
    default:
        return VPU_RET_INVALID_COMMAND;
    }
}

VpuRet VPU_EncGetInitialInfo(VpuEncHandle handle, VpuEncInitialInfo* info)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    if (info == nullptr) return VPU_RET_INVALID_PARAM;
    if (!in->searchRamSet) return VPU_RET_WRONG_CALL_SEQUENCE;
    in->infoRead = true;
    info->minFrameBufferCount = kVpuMinFrameBuffers;
    return VPU_RET_SUCCESS;
}

VpuRet VPU_EncRegisterFrameBuffer(VpuEncHandle handle, const VpuFrameBuffer* buffers, int count, int stride)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    if (!in->infoRead || in->buffersRegistered) return VPU_RET_WRONG_CALL_SEQUENCE;
    if (buffers == nullptr || count < 0 || stride % 16 != 0 || stride < in->param.picWidth)
        return VPU_RET_INVALID_PARAM;
    if (count < kVpuMinFrameBuffers) return VPU_RET_INSUFFICIENT_FRAME_BUFFERS;
    const std::size_t luma = static_cast<std::size_t>(stride) * in->param.picHeight;
    for (int i = 0; i < count; ++i) {
        if (!detail::PhysToVirt(buffers[i].bufY, luma) || !detail::PhysToVirt(buffers[i].bufCb, luma / 4) ||
            !detail::PhysToVirt(buffers[i].bufCr, luma / 4))
            return VPU_RET_INVALID_PARAM;
    }
    in->buffersRegistered = true;
    return VPU_RET_SUCCESS;
}

VpuRet VPU_EncStartOneFrame(VpuEncHandle handle, const VpuEncParam* param)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    if (!in->buffersRegistered) return VPU_RET_WRONG_CALL_SEQUENCE;
    if (in->busy && !in->hung) return VPU_RET_FRAME_NOT_COMPLETE;
    if (param == nullptr || !Between(param->quantParam, 1, 31)) return VPU_RET_INVALID_PARAM;
    const std::size_t luma = static_cast<std::size_t>(in->param.picWidth) * in->param.picHeight;
    BYTE* y = detail::PhysToVirt(param->sourceFrame.bufY, luma);
    BYTE* cb = detail::PhysToVirt(param->sourceFrame.bufCb, luma / 4);
    BYTE* cr = detail::PhysToVirt(param->sourceFrame.bufCr, luma / 4);
    if (!y || !cb || !cr) return VPU_RET_INVALID_PARAM;
    // A hung picture is abandoned: the codec takes the new one.
    in->hung = false;
    in->busy = true;
    in->output = VpuEncOutputInfo{};
    in->output.bitstreamBuffer = in->param.bitstreamBuffer;
    in->output.picType = VPU_PIC_P;
    if (detail::EncodeTimesOut(Codec().picturesInRun++)) {
        in->hung = true;
        return VPU_RET_SUCCESS;
    }
    if (param->skipPicture == 0 && !Encode(*in, *param, y, cb, cr)) {
        in->busy = false;
        return VPU_RET_FAILURE;
    }
    SetEvent(in->irq);
    return VPU_RET_SUCCESS;
}

VpuRet VPU_EncGetOutputInfo(VpuEncHandle handle, VpuEncOutputInfo* info)
{
    std::lock_guard lk(Codec().mu);
    Instance* in = Find(handle);
    if (!in) return VPU_RET_INVALID_HANDLE;
    if (info == nullptr) return VPU_RET_INVALID_PARAM;
    if (!in->busy) return VPU_RET_WRONG_CALL_SEQUENCE;
    in->busy = false;
    if (in->hung) {
        in->hung = false;
        *info = VpuEncOutputInfo{};
        info->bitstreamBuffer = in->param.bitstreamBuffer;
        return VPU_RET_FRAME_NOT_COMPLETE;
    }
    *info = in->output;
    return VPU_RET_SUCCESS;
}

void detail::ResetVideoCodec()
{
    std::lock_guard lk(Codec().mu);
    Codec().instances.clear();
    Codec().initialised = false;
    Codec().nextHandle = 1;
    Codec().picturesInRun = 0;
}

}  // namespace os
