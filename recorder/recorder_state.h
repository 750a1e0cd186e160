// The recorder's state: one RecorderState per main window, kept inside the
// application state and attached to the window with MOV_Attach before
// MOV_Init. The owner fills the links (settings, storage, GPS) and keeps them
// alive until MOV_DeInit has returned.
//
// Locks: `lock` (the recorder lock) guards the timeline, the open file, the
// encoder and the pre-event buffer; it is held for one sample at a time by
// the streaming threads and per node by the event clip, and never across a
// graph command or a wait for another thread. The recorder's control
// operations (MOV_*) run on the main window's thread. Fields marked atomic
// are read without the lock by other threads (the screens, the event poll,
// the power handler).
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/base/types.h"
#include "platform/kernel/sync.h"
#include "platform/media/media_types.h"
#include "recorder/capture_graph.h"
#include "recorder/pre_event_buffer.h"
#include "recorder/preview_frame.h"
#include "recorder/video_encoder.h"
#include "sensing/evt_tag_record.h"
#include "settings/fixed_text.h"
#include "settings/recorder_settings.h"
#include "storage/storage_state.h"

struct GpsState;

// What the screens show of the recording; the four times are local times.
struct RecordingStatus {
    int recording = 0;  // a continuous file is open
    int paused = 0;
    int prepared = 0;
    os::SYSTEMTIME startTime{};
    os::SYSTEMTIME stopTime{};
    os::SYSTEMTIME pauseStart{};
    os::SYSTEMTIME pausedTotal{};
};

// The open file's timeline; zeroed when a file opens and when it closes.
struct RecorderTimeline {
    bool fileOpen = false;
    bool baseSet = false;      // a first timestamp of 0 is a valid base
    std::int64_t base = 0;     // 100 ns: the first audio start, or the first video start without audio
    bool pauseSet = false;
    std::int64_t pauseTimestamp = 0;
    std::int64_t expectedIndex = 0;  // the video frame the audio clock has reached
    std::uint32_t videoFrames = 0;
    std::uint32_t audioFrames = 0;
    std::uint32_t gpsRecords = 0;
    std::uint64_t bytesWritten = 0;
    bool audioSeen = false;
    std::int64_t firstVideoStart = 0;
    std::int64_t lastVideoTimestamp = 0;
    std::int64_t lastAudioTimestamp = 0;
    std::int64_t lastAudioStop = 0;
    std::int64_t silenceDue = 0;  // 100 ns of sound missing before the next audio sample
    bool gpsTickSet = false;
    std::uint32_t lastGpsTick = 0;
    std::uint32_t eventTags = 0;
    float distanceKm = 0;
    float previousLongitude = 0;
    float previousLatitude = 0;
    bool lastWasAudio = false;
};

struct RecorderState {
    // Links the owner sets before MOV_Init.
    const RecorderSettings* settings = nullptr;
    StorageState* storage = nullptr;
    GpsState* gps = nullptr;
    os::HINSTANCE resources = nullptr;            // the language library, for the graph's messages
    StillWrittenHandler stillWritten = nullptr;   // hands a written still to the photo finisher
    StillBytesHandler stillReady = nullptr;       // hands a camera's JPEG still to the photo finisher
    // Phone state the power handling keeps: a call is active; the unattended
    // mode of a call drops every sample.
    std::atomic<int> phoneCall{0};
    std::atomic<int> unattended{0};

    os::HWND window = nullptr;
    CaptureGraphManager* graph = nullptr;
    // The graph found no camera when it was built; stays set.
    bool cameraUnavailable = false;
    os::CRITICAL_SECTION lock{};
    bool lockMade = false;
    int graphRunning = 0;
    std::atomic<int> RecordMode{0};
    std::atomic<int> StreamMode{0};

    // Fixed by MOV_Init.
    int frameRate = 30;
    std::int64_t frameDuration = 333333;
    int previewWidth = 320;
    int previewHeight = 240;
    int screenLayout = 0;    // the main screen's layout code, set by the owner
    os::RECT previewRect{};  // where the live preview goes in the main window
    PreviewFrame preview;    // the preview sink's latest picture, from MOV_Init to MOV_DeInit
    std::uint32_t videoKbps = 0;
    std::uint32_t audioKbps = 0;

    // The encoder and its buffers; `encoderOpen` and `inputFrame` change only
    // under the lock, so whichever path frees them first does it once.
    bool encoderOpen = false;
    bool encoderBuffersFreed = false;  // the power-loss path took the codec's memory
    PhysBuffer inputFrame{};
    std::uint8_t* frameScratch = nullptr;  // sequence header + first frame
    int frameScratchSize = 0;
    std::uint8_t* silence = nullptr;       // zeros for muted or missing sound
    int silenceSize = 0;

    RecordingStatus status;
    os::SYSTEMTIME startTime{};  // the status start time, for the screens
    RecorderTimeline timeline;
    std::uint32_t filesOpened = 0;
    char filePath[os::MAX_PATH] = {};
    int videoWidth = 0;
    int videoHeight = 0;
    os::WAVEFORMATEX audioFormat{};
    // Free bytes of the volume when the file opened; the storage guard
    // subtracts what was written since.
    std::uint64_t freeAtOpen = 0;
    // 2 once the card was found full (or gone) during the open file; the
    // stop commands are posted once per file.
    std::atomic<int> storageFullCode{0};
    bool storageFullLatched = false;

    // The event machinery.
    PreEventBuffer preEvent;
    std::atomic<bool> alive{false};
    std::atomic<bool> armed{false};
    std::atomic<int> EventCaptureState{0};
    std::atomic<bool> eventDeferred{false};
    std::atomic<bool> postEvent{false};
    std::atomic<bool> clipActive{false};
    os::HANDLE sampleArrived = nullptr;  // auto reset
    os::HANDLE wakeWriter = nullptr;     // auto reset
    os::HANDLE clipDone = nullptr;       // manual reset: set while no clip runs
    os::HANDLE writerThread = nullptr;
    std::uint32_t clipsWritten = 0;
    FixedText<64> clipProgress{};        // the progress line of the clip being written
    float bufferPreviousLatitude = 0;
    float bufferPreviousLongitude = 0;

    // The event records of the last file closed, kept for the split's
    // filing rules (the writer's own table belongs to the next file by then).
    EvtTagRecord closedEvents[500]{};
    int closedEventCount = 0;
};
