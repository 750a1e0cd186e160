// The recording file writer: one AVI file open at a time, MPEG-4 video and
// 16-bit PCM sound, with the file's GPS track, event tags and summary in its
// INFO list ("IGPS", "IEVT", "IFND").
//
// Calling order per file: AVI_Writer_Open, AVI_Writer_ResetTables, any mix
// of AVI_Writer_WriteFrame / AVI_Writer_AddGpsRecord / AVI_Writer_AddEventRecord,
// AVI_Writer_Close. Results are 0, or -1 with a message on the trace. The
// tables and the summary are process-wide: the event table can be read back
// after the close until the next open, and the summary keeps the GPS
// positions of the last file that had GPS records. Not thread-safe: the
// recorder calls it under its lock.
//
// Against power loss, the file is made durable at its open and then about
// once a second of recording (after a frame, buffers flushed and
// FlushFileBuffers), without changing its layout; its GPS records, event
// records (durable at once) and summary go to a journal beside it
// (recorder/avi/avi_journal.h), deleted by a close that finishes the file.
//
// The tables are bounded: at most kAviMaxGpsRecords and kAviMaxEventRecords
// per file; further records are refused with -1.
#pragma once

#include <cstdint>

#include "recorder/avi/recording_summary.h"
#include "recorder/avi/gps_track_record.h"
#include "sensing/evt_tag_record.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

constexpr int kAviMaxGpsRecords = 1000;
constexpr int kAviMaxEventRecords = 500;
constexpr int kAviEventTableBytes = kAviMaxEventRecords * static_cast<int>(sizeof(EvtTagRecord));

constexpr int kAviStreamVideo = 0;
constexpr int kAviStreamAudio = 1;

// path: a device path ending in ".avi". A codec of AV_CODEC_ID_NONE leaves
// its stream out; video must be AV_CODEC_ID_MPEG4, audio AV_CODEC_ID_PCM_S16LE.
int AVI_Writer_Open(const char* path, AVCodecID videoCodec, int width, int height, int frameRate,
                    AVCodecID audioCodec, int sampleRate, int channels, int bitsPerSample, int videoKbps,
                    int audioKbps);
// kind: kAviStreamVideo or kAviStreamAudio; frameIndex in frames of the
// stream (video: at the frame rate); audio is always key. A write error
// (full disk) gives -1 and the frame is not counted.
int AVI_Writer_WriteFrame(int kind, const std::uint8_t* data, int size, std::int64_t frameIndex, int keyFlag);
int AVI_Writer_AddGpsRecord(const GpsTrackRecord* record);
int AVI_Writer_AddEventRecord(const EvtTagRecord* record);
void AVI_Writer_ResetTables();
// lengthHns: stop - start in 100 ns units. 0 when no file is open or the
// file was finished; -1 when the trailer or the close failed (the file then
// holds what the disk took).
int AVI_Writer_Close(std::int64_t lengthHns, float distanceKm);
// Copies the whole event table (kAviEventTableBytes) to destination.
void AVI_Writer_GetEventTable(void* destination);
int AVI_Writer_GetEventCount();

// The size at which a RIFF of the file is closed and the next begins;
// kAviRiffLimit unless a test sets a smaller one. Applies from the next open.
void AVI_Writer_SetRiffLimit(std::int64_t bytes);
// Durable points and the journal are on unless a benchmark turns them off
// to measure their cost. Applies from the next open.
void AVI_Writer_SetDurablePoints(bool on);
// The summary block as the last close left it.
const RecordingSummary& AVI_Writer_Summary();
