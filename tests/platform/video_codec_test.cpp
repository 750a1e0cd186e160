// The codec stand-in and its physical memory: blocks never overlap and the
// codec reaches only live blocks; the call order is enforced; a picture that
// does not fit the bitstream buffer is dropped without a byte written past
// it, and the stream recovers with an intra picture; a restart frees all.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "platform/base/platform.h"
#include "platform/kernel/sync.h"
#include "platform/media/internal/phys_mem_map.h"
#include "platform/media/phys_mem.h"
#include "platform/media/video_codec.h"
#include "tests/support/platform_fixture.h"

namespace {

using namespace os;

class VideoCodecTest : public testing_support::PlatformTest {};

TEST_F(VideoCodecTest, PhysicalBlocksNeverOverlapAndOnlyLiveBytesAreReachable)
{
    std::mt19937 rng(7);
    std::map<DWORD, std::pair<PhysMemBlock, BYTE>> live;  // by handle: the block and its fill byte
    std::size_t expectedInUse = 0;
    for (int step = 0; step < 3000; ++step) {
        if (live.empty() || rng() % 3 != 0) {
            const DWORD size = 1 + rng() % (rng() % 4 == 0 ? 4 * 1024 * 1024 : 70000);
            PhysMemBlock b;
            if (!AllocPhysMem(size, &b)) {
                EXPECT_EQ(b.handle, 0u);
                EXPECT_GT(expectedInUse + size, kPhysMemPoolBytes / 2) << "refused with most of the pool free";
                continue;
            }
            ASSERT_EQ(b.size, size);
            EXPECT_EQ(b.phys % 4096, 0u);
            for (const auto& [h, other] : live) {
                const PhysMemBlock& o = other.first;
                EXPECT_TRUE(b.phys + size <= o.phys || o.phys + o.size <= b.phys) << "overlap";
            }
            EXPECT_EQ(b.virt[0] | b.virt[size - 1], 0);
            EXPECT_EQ(detail::PhysToVirt(b.phys, size), b.virt);
            EXPECT_EQ(detail::PhysToVirt(b.phys + size - 1, 1), b.virt + size - 1);
            EXPECT_EQ(detail::PhysToVirt(b.phys, size + 1), nullptr);
            const BYTE fill = static_cast<BYTE>(step);
            std::memset(b.virt, fill, size);
            live[b.handle] = {b, fill};
            expectedInUse += size;
        } else {
            auto it = live.begin();
            std::advance(it, rng() % live.size());
            PhysMemBlock b = it->second.first;
            EXPECT_EQ(b.virt[0], it->second.second);
            EXPECT_EQ(b.virt[b.size - 1], it->second.second);
            PhysMemBlock forged = b;
            forged.handle += 100000;
            EXPECT_FALSE(FreePhysMem(&forged));
            ASSERT_TRUE(FreePhysMem(&b));
            EXPECT_EQ(b.handle, 0u);
            EXPECT_EQ(detail::PhysToVirt(it->second.first.phys, 1), nullptr);
            expectedInUse -= it->second.first.size;
            live.erase(it);
        }
        ASSERT_EQ(PhysMemInUse(), expectedInUse);
    }
    PhysMemBlock none;
    EXPECT_FALSE(AllocPhysMem(0, &none));
    EXPECT_FALSE(AllocPhysMem(kPhysMemPoolBytes + 1, &none));
    // Freed space comes back whole.
    for (auto& [h, block] : live) ASSERT_TRUE(FreePhysMem(&block.first));
    PhysMemBlock whole;
    ASSERT_TRUE(AllocPhysMem(kPhysMemPoolBytes, &whole));

    sim::StopPlatform();
    SetUp();
    EXPECT_EQ(PhysMemInUse(), 0u);
    EXPECT_EQ(detail::PhysToVirt(whole.phys, 1), nullptr);
}

// A 128x96 picture: flat grey (a few dozen bytes encoded) or noise (kilobytes at a fine quantiser).
void FillPicture(BYTE* at, bool noise, std::mt19937& rng)
{
    for (int i = 0; i < 128 * 96; ++i) at[i] = noise ? static_cast<BYTE>(16 + rng() % 220) : 128;
    std::memset(at + 128 * 96, 128, 128 * 96 / 2);
}

TEST_F(VideoCodecTest, OversizedPictureIsDroppedInsideItsBufferAndTheStreamRecovers)
{
    PhysMemBlock bitstream, searchRam, source, frames[2];
    ASSERT_TRUE(AllocPhysMem(4096, &bitstream));
    ASSERT_TRUE(AllocPhysMem(VpuSearchRamBytes(128), &searchRam));
    ASSERT_TRUE(AllocPhysMem(128 * 96 * 3 / 2, &source));
    for (auto& f : frames) ASSERT_TRUE(AllocPhysMem(128 * 96 * 3 / 2, &f));
    std::memset(bitstream.virt, 0xA5, bitstream.size);

    VpuEncHandle h = 0;
    VpuEncOpenParam op;
    op.bitstreamBuffer = bitstream.phys;
    op.bitstreamBufferSize = 1024;  // the rest of the block must stay untouched
    op.picWidth = 128;
    op.picHeight = 96;
    op.bitRate = 0;
    op.ringBufferEnable = 1;
    op.wholeFrameBuffer = 0;
    EXPECT_EQ(VPU_EncOpen(&h, &op), VPU_RET_NOT_INITIALIZED);
    DWORD version = 0;
    ASSERT_EQ(VPU_Init(&version), VPU_RET_SUCCESS);
    EXPECT_NE(version, 0u);
    VpuEncOpenParam bad = op;
    bad.bitstreamBufferSize = 4097;  // past the block
    EXPECT_EQ(VPU_EncOpen(&h, &bad), VPU_RET_INVALID_PARAM);
    ASSERT_EQ(VPU_EncOpen(&h, &op), VPU_RET_SUCCESS);
    const HANDLE irq = VPU_EncGetInterruptEvent(h);
    ASSERT_NE(irq, nullptr);

    VpuEncParam ep;
    ep.sourceFrame = {source.phys, source.phys + 128 * 96, source.phys + 128 * 96 * 5 / 4};
    VpuEncInitialInfo info;
    VpuFrameBuffer fb[2] = {{frames[0].phys, frames[0].phys + 128 * 96, frames[0].phys + 128 * 96 * 5 / 4},
                            {frames[1].phys, frames[1].phys + 128 * 96, frames[1].phys + 128 * 96 * 5 / 4}};
    // Out of order: nothing moves until the search RAM, initial info and frame buffers are in.
    EXPECT_EQ(VPU_EncStartOneFrame(h, &ep), VPU_RET_WRONG_CALL_SEQUENCE);
    EXPECT_EQ(VPU_EncGetInitialInfo(h, &info), VPU_RET_WRONG_CALL_SEQUENCE);
    VpuSearchRamParam sr{searchRam.phys, searchRam.size - 1};
    EXPECT_EQ(VPU_EncGiveCommand(h, ENC_SET_SEARCHRAM_PARAM, &sr), VPU_RET_INVALID_PARAM);
    sr.searchRamSize = searchRam.size;
    ASSERT_EQ(VPU_EncGiveCommand(h, ENC_SET_SEARCHRAM_PARAM, &sr), VPU_RET_SUCCESS);
    ASSERT_EQ(VPU_EncGetInitialInfo(h, &info), VPU_RET_SUCCESS);
    ASSERT_EQ(info.minFrameBufferCount, 2);
    EXPECT_EQ(VPU_EncRegisterFrameBuffer(h, fb, 1, 128), VPU_RET_INSUFFICIENT_FRAME_BUFFERS);
    EXPECT_EQ(VPU_EncRegisterFrameBuffer(h, fb, 2, 144), VPU_RET_INVALID_PARAM);  // rows would run past the blocks
    ASSERT_EQ(VPU_EncRegisterFrameBuffer(h, fb, 2, 128), VPU_RET_SUCCESS);
    VpuEncHeaderParam hp;
    ASSERT_EQ(VPU_EncGiveCommand(h, ENC_PUT_MP4_HEADER, &hp), VPU_RET_SUCCESS);
    ASSERT_GT(hp.size, 4);
    EXPECT_EQ(hp.buf, bitstream.phys);
    EXPECT_EQ(std::vector<BYTE>(bitstream.virt, bitstream.virt + 4), (std::vector<BYTE>{0, 0, 1, 0xB0}));
    int angle = 90;
    EXPECT_EQ(VPU_EncGiveCommand(h, SET_ROTATION_ANGLE, &angle), VPU_RET_INVALID_COMMAND);

    std::mt19937 rng(3);
    // pictures: noise at the finest quantiser (cannot fit), then flat ones.
    const struct {
        bool noise;
        int qp;
        int force;
        int wrap;
        int type;
    } script[] = {{true, 1, 1, 1, -1}, {false, 31, 0, 0, VPU_PIC_I}, {false, 31, 0, 0, VPU_PIC_P},
                  {true, 1, 0, 1, -1}, {false, 31, 0, 0, VPU_PIC_I}, {false, 31, 1, 0, VPU_PIC_I}};
    for (const auto& s : script) {
        FillPicture(source.virt, s.noise, rng);
        ep.quantParam = s.qp;
        ep.forceIPicture = s.force;
        ASSERT_EQ(VPU_EncStartOneFrame(h, &ep), VPU_RET_SUCCESS);
        ASSERT_EQ(WaitForSingleObject(irq, 5000), WAIT_OBJECT_0);
        VpuEncOutputInfo out;
        ASSERT_EQ(VPU_EncGetOutputInfo(h, &out), VPU_RET_SUCCESS);
        EXPECT_EQ(out.bitstreamWrapAround, s.wrap);
        if (s.wrap) {
            EXPECT_EQ(out.bitstreamSize, 0);
        } else {
            EXPECT_GT(out.bitstreamSize, 0);
            EXPECT_LE(out.bitstreamSize, 1024);
            EXPECT_EQ(out.picType, s.type);
        }
        for (DWORD i = 1024; i < bitstream.size; ++i) ASSERT_EQ(bitstream.virt[i], 0xA5) << "written past at " << i;
    }
    EXPECT_EQ(VPU_DeInit(), VPU_RET_WRONG_CALL_SEQUENCE);
    ep.sourceFrame.bufY = bitstream.phys + 4096;  // no memory there
    EXPECT_EQ(VPU_EncStartOneFrame(h, &ep), VPU_RET_INVALID_PARAM);

    // A restart ends the instance and the library with everything else.
    sim::StopPlatform();
    SetUp();
    EXPECT_EQ(VPU_EncGetInterruptEvent(h), nullptr);
    EXPECT_EQ(VPU_EncClose(h), VPU_RET_INVALID_HANDLE);
    EXPECT_EQ(VPU_DeInit(), VPU_RET_NOT_INITIALIZED);
}

}  // namespace
