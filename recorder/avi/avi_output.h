// The byte sink beneath the AVI writer: an FFmpeg AVIOContext whose writes
// and seeks go to a device file through the platform's file calls, so that
// card capacity, a full disk and sharing behave as on the phone.
//
// The context is seekable. A full volume makes the failing write report
// AVERROR(ENOSPC); any other failure AVERROR(EIO). The avio_w* writers
// return nothing: a failure shows in pb->error after avio_flush.
#pragma once

#include <cstdint>

extern "C" {
#include <libavformat/avio.h>
}

// Creates (or replaces) the file, shared for reading. Null on failure, with
// the platform's last error left as the file call set it.
AVIOContext* AviOutputOpen(const char* devicePath);
// Makes what was written durable: the buffer flushed, then FlushFileBuffers.
// 0 with *durableBytes the file's length then, or the context's error.
int AviOutputMakeDurable(AVIOContext* pb, std::int64_t* durableBytes);
// Flushes, closes the file and frees the context; *pb becomes null. 0, or
// the first error of the context's life (a write error, then the close's).
int AviOutputClose(AVIOContext** pb);
