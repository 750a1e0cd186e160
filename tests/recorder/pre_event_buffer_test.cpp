// The pre-event buffer against a plain model of what it must hold: random
// appends, removals and clears, with every node's fields and bytes, the
// layout of the payloads in the store, the order of eviction and the absence
// of allocation checked after each step; the wrap of the store at its end;
// and the store size for the settings at their extremes.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/base/trace.h"
#include "recorder/pre_event_buffer.h"

namespace {

struct ModelSample {
    std::uint32_t kind;
    std::uint32_t tick;
    std::int64_t start;
    std::int64_t stop;
    std::vector<std::uint8_t> bytes;
    GpsFix gps;
    double d1;
    double d2;
    std::uint64_t serial;
};

GpsFix RandomFix(std::mt19937& rng)
{
    GpsFix fix{};
    auto* raw = reinterpret_cast<std::uint8_t*>(&fix);
    for (std::size_t i = 0; i < sizeof(fix); ++i) raw[i] = static_cast<std::uint8_t>(rng());
    return fix;
}

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::uint32_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
    return bytes;
}

// Where the buffer's list and store stand; a refused append moves none of it.
auto Layout(const PreEventBuffer& b)
{
    return std::make_tuple(b.head, b.tail, b.count, b.aStart, b.aEnd, b.bEnd, b.freeNodes, b.nextSerial);
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Everything the buffer shows must be the model, laid out in the store
// without overlap, each node from the pool.
void ExpectMatches(const PreEventBuffer& buffer, const std::deque<ModelSample>& model)
{
    ASSERT_EQ(PreEventBuffer_Count(&buffer), model.size());
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> spans;
    const auto storeBegin = reinterpret_cast<std::uintptr_t>(buffer.store);
    const auto storeEnd = storeBegin + buffer.capacity;
    const BufferedSample* node = PreEventBuffer_Oldest(&buffer);
    for (const ModelSample& want : model) {
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(PreEventBuffer_SerialOf(&buffer, node), want.serial);
        EXPECT_EQ(node->kind, want.kind);
        EXPECT_EQ(node->tick, want.tick);
        EXPECT_EQ(node->start, want.start);
        EXPECT_EQ(node->stop, want.stop);
        EXPECT_EQ(std::memcmp(&node->gps, &want.gps, sizeof(GpsFix)), 0);
        EXPECT_EQ(node->distanceDelta1, want.d1);
        EXPECT_EQ(node->distanceDelta2, want.d2);
        ASSERT_EQ(node->payloadSize, want.bytes.size());
        const auto begin = reinterpret_cast<std::uintptr_t>(node->payload);
        ASSERT_GE(begin, storeBegin);
        ASSERT_LE(begin + node->payloadSize, storeEnd);
        EXPECT_EQ(std::memcmp(node->payload, want.bytes.data(), want.bytes.size()), 0);
        spans.emplace_back(begin, begin + node->payloadSize);
        node = node->next;
    }
    EXPECT_EQ(node, nullptr);
    std::uint32_t newest = 0;
    EXPECT_EQ(PreEventBuffer_NewestTick(&buffer, &newest), model.empty() ? 0 : 1);
    if (!model.empty()) {
        EXPECT_EQ(newest, model.back().tick);
    }
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) EXPECT_LE(spans[i - 1].second, spans[i].first);
}

struct ModelRun {
    std::uint32_t capacity;
    std::uint32_t nodes;
    std::uint32_t maxPayload;  // the largest accepted payload the run draws
    unsigned seed;
};

void RunAgainstModel(const ModelRun& run)
{
    SCOPED_TRACE(testing::Message() << "capacity " << run.capacity << ", nodes " << run.nodes << ", seed "
                                    << run.seed);
    std::mt19937 rng(run.seed);
    PreEventBuffer buffer;
    ASSERT_EQ(PreEventBuffer_Create(&buffer, run.capacity, run.nodes), 1);
    std::deque<ModelSample> model;
    std::vector<std::pair<const BufferedSample*, std::uint64_t>> gone;  // nodes dropped, with their serials
    std::uint64_t serial = 0;
    std::uint32_t tick = 1000;
    std::size_t evictions = 0;
    std::size_t refusals = 0;
    os::TraceCapture trace;

    for (int step = 0; step < 6000; ++step) {
        const unsigned op = rng() % 100;
        if (op < 72) {
            // Mostly small, some large, a few the size of the whole store.
            const unsigned shape = rng() % 20;
            const std::uint32_t size = shape == 0   ? run.maxPayload
                                       : shape < 5  ? 1 + rng() % run.maxPayload
                                                    : 1 + rng() % (run.maxPayload / 8 + 1);
            ModelSample sample{static_cast<std::uint32_t>(rng() % 2), tick += rng() % 40,
                               static_cast<std::int64_t>(rng()), static_cast<std::int64_t>(rng()), RandomBytes(rng, size), RandomFix(rng),
                               std::uniform_real_distribution<double>(-1, 1)(rng),
                               std::uniform_real_distribution<double>(-1, 1)(rng), serial};
            std::vector<std::pair<const BufferedSample*, std::uint64_t>> before;
            for (const BufferedSample* n = PreEventBuffer_Oldest(&buffer); n != nullptr; n = n->next)
                before.emplace_back(n, PreEventBuffer_SerialOf(&buffer, n));

            const std::size_t heap = HeapInUse();
            ASSERT_EQ(PreEventBuffer_Append(&buffer, sample.kind, sample.tick, sample.start, sample.stop,
                                            sample.bytes.data(), size, sample.gps, sample.d1, sample.d2),
                      1);
            ASSERT_EQ(HeapInUse(), heap) << "append allocated";

            // What went must be the oldest, in order; the rest stays.
            const std::size_t kept = PreEventBuffer_Count(&buffer) - 1;
            ASSERT_LE(kept, model.size());
            const std::size_t dropped = model.size() - kept;
            for (std::size_t i = 0; i < dropped; ++i) gone.push_back(before[i]);
            model.erase(model.begin(), model.begin() + static_cast<std::ptrdiff_t>(dropped));
            model.push_back(std::move(sample));
            ++serial;
            if (dropped > 0) {
                ++evictions;
                // Not more than needed: the last node dropped was in the way of
                // either the last free node or enough bytes, and a store split
                // in at most two free pieces and one unused tail leaves less
                // than two payloads' worth unused when it is in the way.
                std::size_t used = 0;
                for (const ModelSample& m : model) used += m.bytes.size();
                EXPECT_TRUE(PreEventBuffer_Count(&buffer) == run.nodes ||
                            used + 2 * std::size_t{run.maxPayload} > run.capacity)
                    << "dropped " << dropped << " leaving " << used << " bytes in use";
            }
        } else if (op < 92) {
            const std::size_t heap = HeapInUse();
            const auto* oldest = PreEventBuffer_Oldest(&buffer);
            const std::uint64_t oldestSerial = PreEventBuffer_SerialOf(&buffer, oldest);
            ASSERT_EQ(PreEventBuffer_RemoveOldest(&buffer), model.empty() ? 0 : 1);
            ASSERT_EQ(HeapInUse(), heap) << "removal allocated";
            if (!model.empty()) {
                gone.emplace_back(oldest, oldestSerial);
                model.pop_front();
            }
        } else if (op < 94) {
            for (const BufferedSample* n = PreEventBuffer_Oldest(&buffer); n != nullptr; n = n->next)
                gone.emplace_back(n, PreEventBuffer_SerialOf(&buffer, n));
            PreEventBuffer_Clear(&buffer);
            model.clear();
        } else {
            // Refused: too large, empty, null, or of no known kind. Nothing moves.
            const std::vector<std::uint8_t> bytes = RandomBytes(rng, run.capacity + 1000);
            const GpsFix fix = RandomFix(rng);
            const unsigned which = rng() % 4;
            const std::uint32_t size = which == 0 ? run.capacity + 1 + rng() % 999 : which == 1 ? 0 : 1;
            const std::uint8_t* data = which == 2 ? nullptr : bytes.data();
            const std::uint32_t kind = which == 3 ? 2 + rng() % 100 : kBufferedVideo;
            const auto layout = Layout(buffer);
            const std::size_t lines = trace.ProgramLines().size();
            EXPECT_EQ(PreEventBuffer_Append(&buffer, kind, tick, 0, 0, data, size, fix, 0, 0), 0);
            EXPECT_EQ(trace.ProgramLines().size(), lines + 1) << "a refusal is traced";
            EXPECT_EQ(Layout(buffer), layout);
            ++refusals;
        }
        ExpectMatches(buffer, model);
        if (testing::Test::HasFatalFailure() || testing::Test::HasNonfatalFailure()) {
            ADD_FAILURE() << "at step " << step;
            break;
        }
    }
    // A node that left the buffer no longer answers to its serial, even when
    // it is back in use for a newer sample.
    for (const auto& [node, oldSerial] : gone) EXPECT_NE(PreEventBuffer_SerialOf(&buffer, node), oldSerial);
    EXPECT_GT(evictions, 100u) << "the run must keep the buffer full";
    EXPECT_GT(refusals, 50u);
    PreEventBuffer_Destroy(&buffer);
    EXPECT_EQ(buffer.store, nullptr);
    EXPECT_EQ(PreEventBuffer_Count(&buffer), 0u);
}

TEST(PreEventBuffer, HoldsWhatAModelSaysUnderRandomTraffic)
{
    RunAgainstModel({4096, 1000, 700, 1});      // bytes run out first
    RunAgainstModel({65536, 24, 3000, 2});      // nodes run out first
    RunAgainstModel({1000, 40, 1000, 3});       // payloads as large as the store
    RunAgainstModel({997, 7, 97, 4});           // odd sizes, few nodes
}

TEST(PreEventBuffer, WrapsAtTheStoreEndAndKeepsItsBounds)
{
    PreEventBuffer buffer;
    EXPECT_EQ(PreEventBuffer_Create(&buffer, 0, 4), 0);
    EXPECT_EQ(PreEventBuffer_Create(&buffer, 100, 0), 0);
    EXPECT_EQ(buffer.store, nullptr);
    ASSERT_EQ(PreEventBuffer_Create(&buffer, 100, 8), 1);
    EXPECT_EQ(PreEventBuffer_Create(&buffer, 100, 8), 0) << "a second create would lose the first store";

    const GpsFix fix{};
    std::uint8_t bytes[101];
    for (int i = 0; i < 101; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    auto append = [&](std::uint32_t tick, std::uint32_t size, std::uint8_t seed) {
        std::uint8_t data[101];
        for (std::uint32_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(seed + i);
        return PreEventBuffer_Append(&buffer, kBufferedAudio, tick, tick, tick + 1, data, size, fix, 0, 0);
    };
    auto ticks = [&] {
        std::vector<std::uint32_t> out;
        for (const BufferedSample* n = PreEventBuffer_Oldest(&buffer); n != nullptr; n = n->next) {
            for (std::uint32_t i = 0; i < n->payloadSize; ++i)
                EXPECT_EQ(n->payload[i], static_cast<std::uint8_t>(n->tick + i)) << "tick " << n->tick;
            out.push_back(n->tick);
        }
        return out;
    };

    ASSERT_EQ(append(1, 40, 1), 1);
    ASSERT_EQ(append(2, 40, 2), 1);
    const std::uint8_t* first = PreEventBuffer_Oldest(&buffer)->payload;
    // 20 bytes left at the end, too few: the oldest goes and the sample
    // starts over at the front, in one piece, while the second stays.
    ASSERT_EQ(append(3, 30, 3), 1);
    EXPECT_EQ(ticks(), (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(buffer.tail->payload, first);
    // The 10 bytes in front of the second sample are used before anything
    // more is dropped.
    ASSERT_EQ(append(4, 10, 4), 1);
    EXPECT_EQ(ticks(), (std::vector<std::uint32_t>{2, 3, 4}));
    // Now only the oldest is in the way.
    ASSERT_EQ(append(5, 50, 5), 1);
    EXPECT_EQ(ticks(), (std::vector<std::uint32_t>{3, 4, 5}));

    // The whole store in one payload pushes everything out; one byte more is
    // refused with everything left as it was.
    ASSERT_EQ(PreEventBuffer_Append(&buffer, kBufferedVideo, 9, 0, 0, bytes, 101, fix, 0, 0), 0);
    EXPECT_EQ(ticks(), (std::vector<std::uint32_t>{3, 4, 5}));
    ASSERT_EQ(append(6, 100, 6), 1);
    EXPECT_EQ(ticks(), (std::vector<std::uint32_t>{6}));
    EXPECT_EQ(PreEventBuffer_Oldest(&buffer)->payload, buffer.store);
    std::uint32_t newest = 0;
    ASSERT_EQ(PreEventBuffer_NewestTick(&buffer, &newest), 1);
    EXPECT_EQ(newest, 6u);

    PreEventBuffer_Clear(&buffer);
    EXPECT_EQ(PreEventBuffer_Oldest(&buffer), nullptr);
    EXPECT_EQ(PreEventBuffer_NewestTick(&buffer, &newest), 0);
    EXPECT_EQ(PreEventBuffer_RemoveOldest(&buffer), 0);
    ASSERT_EQ(append(7, 100, 7), 1) << "a cleared store is whole again";
    PreEventBuffer_Destroy(&buffer);
    PreEventBuffer_Destroy(&buffer);
}

TEST(PreEventBuffer, StoreSizeForTheSettingsNeverOverflows)
{
    const std::uint32_t values[] = {0u,          1u,          2u,          7u,          30u,         64u,
                                    128u,        384u,        4000u,       65535u,      65536u,      1u << 20,
                                    134217u,     134218u,     0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (std::uint32_t seconds : values) {
        for (std::uint32_t video : values) {
            for (std::uint32_t audio : values) {
                using Wide = unsigned __int128;
                const Wide exact = Wide{2} * seconds * (Wide{video} + audio) * 1000 / 8;
                const Wide want = std::clamp<Wide>(exact, kPreEventMinBytes, kPreEventMaxBytes);
                ASSERT_EQ(PreEventBuffer_CapacityFor(seconds, video, audio), static_cast<std::uint32_t>(want))
                    << seconds << " s at " << video << " + " << audio << " kbit/s";
            }
        }
    }
    // The usual settings fit exactly what two event spans need.
    EXPECT_EQ(PreEventBuffer_CapacityFor(30, 384, 128), 2u * 30 * 512 * 125);
}

}  // namespace
