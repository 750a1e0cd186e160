// What the recorder's own sources share: the file open and close, the
// timeline write of one sample and the encoder's release. Every function
// here except ReadRecordingFormats and PostStorageFullCommands expects the
// recorder lock held; those two must be called without it. The GPS lock is
// taken inside the recorder lock, never the other way round.
#pragma once

#include <cstdint>

#include "recorder/recorder_state.h"
#include "sensing/gps_fix.h"

// The picture size and sound format the recording sink negotiated, read
// from the graph before the recorder lock is taken (the graph's calls take
// its command lock, which a stop holds while it waits for the streams).
struct RecordingFormats {
    int width = 0;
    int height = 0;
    os::WAVEFORMATEX audio{};
    bool known = false;
};
RecordingFormats ReadRecordingFormats(RecorderState* s);
// Opens `path` for the current stream mode; 1 when open. Zeroes the timeline,
// empties the GPS and event tables and measures the volume's free space.
int OpenRecordingFile(RecorderState* s, const char* path, const RecordingFormats& formats);
// Closes the open file with the status times' length and logs it; 0 when the
// close failed (traced). Harmless without an open file.
int CloseRecordingFile(RecorderState* s, int eventClip);
// Frees the encoder and its input buffer, once, whichever path comes first.
void ReleaseEncoder(RecorderState* s);

// One sample on the open file's timeline. `key` applies to video; `gps` is the
// fix a GPS record takes when one is due; `tick` the sample's arrival tick.
struct TimelineSample {
    int kind = 0;  // 0 video, 1 audio
    const std::uint8_t* data = nullptr;
    int size = 0;
    std::int64_t start = 0;
    std::int64_t stop = 0;
    bool key = false;
    bool intraHeader = false;  // the first frame: the sequence header goes in front
    const GpsFix* gps = nullptr;
    std::uint32_t tick = 0;
    bool audioMuted = false;
    // Which samples move the expected index: audio (and video without sound).
    bool drivesIndex = false;
};
// Applies the base, pause and gap rules of the timeline for a sample.
void AdvanceTimeline(RecorderState* s, const TimelineSample& sample);
// Writes the sample (and any fillers) into the open file; 0 when a write failed.
int WriteTimelineSample(RecorderState* s, const TimelineSample& sample);
// Whether a picture written at `tick` takes a GPS record (one a second).
bool GpsRecordDue(const RecorderState* s, std::uint32_t tick);
// The encoder's sequence header followed by the frame, in the scratch buffer.
int JoinHeaderAndFrame(RecorderState* s, const std::uint8_t* frame, int size, const std::uint8_t** joined);

// Copies a YV12 capture (Y, V, U) into the encoder's input (Y, Cb, Cr) and
// encodes it; 1 with the VOP in *out.
int EncodeCapture(RecorderState* s, const std::uint8_t* yv12, int forceIntra, EncodedFrame* out);

// A local time as 100 ns units since 1601; 0 for a time that is no date.
std::int64_t FileTimeValue(const os::SYSTEMTIME& t);
// The free bytes of the volume holding `path` (a file or a folder ending in
// a backslash); false when the volume cannot be read (gone).
bool VolumeFreeBytes(const char* path, std::uint64_t* freeBytes);

// The live GPS fix, copied under the GPS lock (zero without GPS).
GpsFix CopyGpsFix(const RecorderState* s);

// The storage guard's latch: once per file, under the lock. The caller posts
// the stop commands after unlocking when this returns true.
bool LatchStorageFull(RecorderState* s);
void PostStorageFullCommands(os::HWND hwnd);
